#pragma once

#include <strmif.h>
#include <wrl/client.h>

#include <string>

#include "manager/capture/CameraPrompt.h"
#include "manager/capture/VideoDevices.h"

namespace tvq {

// The video capture device the user picks: each device of the video input category is offered
// in turn with its texts until one is answered Yes. The texts stay those of the last device
// asked about until Clear.
//
// Threads: the GUI thread, inside the COM apartment of the camera that owns it.
class DeviceChooser {
 public:
  static constexpr int kTextUnits = 1024;

  // Binds the device answered with Yes and hands it out through device; device is untouched
  // otherwise. False on Cancel, on No throughout, when the system has no device (said so in a
  // box of its own) and when a call fails (reported through prompt).
  bool Choose(CameraPrompt& prompt, Microsoft::WRL::ComPtr<IBaseFilter>& device);
  // Binds the device with this DevicePath (else this FriendlyName) without asking. False when no
  // such device is there now; a failing call is reported through prompt.
  bool ChooseQuietly(const std::wstring& devicePath, const std::wstring& friendlyName,
                     CameraPrompt& prompt, Microsoft::WRL::ComPtr<IBaseFilter>& device);
  void Clear();

  const wchar_t* FriendlyName() const { return m_friendlyName; }
  const wchar_t* Description() const { return m_description; }
  const wchar_t* DevicePath() const { return m_devicePath; }
  // The device's settings section: its DevicePath, or its FriendlyName when it has none
  // (software devices such as virtual cameras have no DevicePath).
  const wchar_t* SectionName() const;

 private:
  void TakeTexts(const VideoDevice& candidate);
  static bool Bind(const VideoDevice& candidate, CameraPrompt& prompt,
                   Microsoft::WRL::ComPtr<IBaseFilter>& device);
  int AskAbout(const CameraPrompt& prompt) const;

  wchar_t m_friendlyName[kTextUnits] = {};
  wchar_t m_description[kTextUnits] = {};
  wchar_t m_devicePath[kTextUnits] = {};
};

}  // namespace tvq
