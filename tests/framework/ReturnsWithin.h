#pragma once

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <utility>

namespace tvqtest {

// Runs call on a thread of its own (in the multithreaded apartment); false when it has not
// returned within timeoutMs. The thread is then left running and the test has failed: a call
// that hangs must not hang the test too.
inline bool ReturnsWithin(DWORD timeoutMs, std::function<void()> call) {
  auto* owned = new std::function<void()>(std::move(call));
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        auto* f = static_cast<std::function<void()>*>(p);
        (*f)();
        delete f;
        if (SUCCEEDED(com)) CoUninitialize();
        return 0;
      },
      owned, 0, nullptr);
  if (!thread) {
    delete owned;
    return false;
  }
  const bool returned = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return returned;
}

}  // namespace tvqtest
