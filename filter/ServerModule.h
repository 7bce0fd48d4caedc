#pragma once

#include <windows.h>

// Module-wide state of the COM server: its own module handle (registration needs the DLL's path)
// and the server lock count of IClassFactory::LockServer. Any thread.
namespace tvq {

void SetServerModule(HINSTANCE module);
HINSTANCE ServerModule();

void LockServer(bool lock);
LONG ServerLockCount();

}  // namespace tvq
