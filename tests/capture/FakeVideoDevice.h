#pragma once

#include <windows.h>

#include <string>

namespace tvqtest {

// A video input device entry registered the way a DirectShow capture filter registers itself
// (the filter mapper, video input device category), with optional extra properties written into
// its entry. Its class has no server, so binding to it fails. Unregistered at destruction.
class FakeVideoDevice {
 public:
  FakeVideoDevice(const CLSID& clsid, const std::wstring& friendlyName,
                  const wchar_t* description = nullptr, const wchar_t* devicePath = nullptr);
  ~FakeVideoDevice();
  FakeVideoDevice(const FakeVideoDevice&) = delete;
  FakeVideoDevice& operator=(const FakeVideoDevice&) = delete;

  bool IsRegistered() const { return m_registered; }
  static void Unregister(const CLSID& clsid);

 private:
  CLSID m_clsid;
  bool m_comInitialized;
  bool m_registered = false;
};

extern const CLSID kFakeDeviceA;
extern const CLSID kFakeDeviceB;

}  // namespace tvqtest
