#pragma once

#include <strmif.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace tvq {

// One device of the video input category, with the texts its property bag holds (a text the
// device lacks reads as empty: software devices such as virtual cameras have no DevicePath).
struct VideoDevice {
  std::wstring friendlyName;
  std::wstring description;
  std::wstring devicePath;
  Microsoft::WRL::ComPtr<IMoniker> moniker;
};

// Our own virtual camera. It is never a source chosen without the user's questions (a pick from a
// list, a slot brought back): it would show the Manager's own output in a loop, and hold the
// camera that the call application needs, since only one client may run it.
inline constexpr const wchar_t* kOwnCameraName = L"Tessavue Filter";

// Fills devices with the video input devices in the system's order. S_OK with at least one
// device; S_FALSE when the category is empty; otherwise the failing call's result.
HRESULT ListVideoDevices(std::vector<VideoDevice>& devices);

// The device whose DevicePath is devicePath, else the first whose FriendlyName is friendlyName
// (empty texts never match); null when none is there.
const VideoDevice* FindVideoDevice(const std::vector<VideoDevice>& devices,
                                   const std::wstring& devicePath,
                                   const std::wstring& friendlyName);

// Binds the device's filter; the bind's result.
HRESULT BindVideoDevice(const VideoDevice& device, Microsoft::WRL::ComPtr<IBaseFilter>& filter);

}  // namespace tvq
