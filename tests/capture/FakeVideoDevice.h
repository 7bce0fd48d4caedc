#pragma once

#include <windows.h>
#include <strmif.h>

#include <string>

#include "common/Lifetime.h"

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

// Our virtual camera's class listed once more in the video input category, under a name of the
// test's own, as a camera of the machine would be (our own camera is never brought back): plugged
// in (listed) until unplugged or destroyed. The filter itself must be registered, and COM
// initialised on the thread.
class PluggableCamera {
 public:
  explicit PluggableCamera(std::wstring friendlyName) : m_name(std::move(friendlyName)) { Plug(); }
  ~PluggableCamera() { Unplug(); }
  PluggableCamera(const PluggableCamera&) = delete;
  PluggableCamera& operator=(const PluggableCamera&) = delete;

  void Plug();
  void Unplug();

 private:
  std::wstring m_name;
};

// Another program runs our camera while this is held: the filter streams once per logon, so a
// graph built on it does not start (its Pause fails) meanwhile.
class CameraInUse {
 public:
  CameraInUse();

 private:
  tvq::UniqueKernelHandle m_mutex;
};

// What a capture driver does when its device is unplugged: tells the device's graph.
HRESULT ReportDeviceLost(IBaseFilter& device);

extern const CLSID kFakeDeviceA;
extern const CLSID kFakeDeviceB;

}  // namespace tvqtest
