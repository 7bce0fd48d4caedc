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

// Our virtual camera's class listed once more in the video input category under a name of the
// test's own, as a camera of the machine would be (our own camera is never brought back). It can
// be unplugged (taken off the list) and plugged in again; plugged in at construction, unplugged
// at destruction. The filter itself must be registered (RegisteredFilter).
class PluggableCamera {
 public:
  explicit PluggableCamera(std::wstring friendlyName);
  ~PluggableCamera();
  PluggableCamera(const PluggableCamera&) = delete;
  PluggableCamera& operator=(const PluggableCamera&) = delete;

  HRESULT Plug();
  void Unplug();
  const std::wstring& FriendlyName() const { return m_friendlyName; }

 private:
  std::wstring m_friendlyName;
  bool m_comInitialized;
};

// Another program runs our camera while this is held: the filter streams once per logon, so a
// graph built on it does not start (its Pause fails) meanwhile.
class CameraInUse {
 public:
  CameraInUse();
  bool IsHeld() const { return m_mutex.IsValid(); }

 private:
  tvq::UniqueKernelHandle m_mutex;
};

// What a capture driver does when its device is unplugged: tells the graph the device is in.
HRESULT ReportDeviceLost(IBaseFilter& device);

extern const CLSID kFakeDeviceA;
extern const CLSID kFakeDeviceB;

}  // namespace tvqtest
