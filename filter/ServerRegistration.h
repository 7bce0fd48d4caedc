#pragma once

#include <windows.h>

// Registration of the server's classes: the COM class keys, the filter mapper's entry for every
// template with setup data, and the filter's entries as a video capture device. Runs on the
// thread of DllRegisterServer / DllUnregisterServer.
namespace tvq {

// Class keys under HKEY_CLASSES_ROOT\CLSID and the mapper's default-category entries of every
// template (registering), or those entries and then the class keys (unregistering).
HRESULT RegisterAllServers(bool doRegister);

// The filter in the video input device category and in KSCATEGORY_CAPTURE.
HRESULT RegisterCaptureDevice();
HRESULT UnregisterCaptureDevice();

}  // namespace tvq
