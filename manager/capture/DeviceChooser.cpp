#include "manager/capture/DeviceChooser.h"

#include <string>
#include <utility>
#include <vector>

#include "manager/capture/CaptureText.h"

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

constexpr size_t kDeviceQuestionUnits = 3072;

// The video input devices; empty (after telling the user or reporting the failure) when there is
// nothing to offer.
std::vector<VideoDevice> EnumerateDevices(CameraPrompt& prompt) {
  std::vector<VideoDevice> devices;
  const HRESULT hr = ListVideoDevices(devices);
  if (hr == S_FALSE) {
    prompt.Ask(L"ビデオキャプチャーデバイスが見つかりません", L"Vidtessa", MB_OK | MB_ICONERROR);
  } else if (hr != S_OK) {
    prompt.Report(hr);
  }
  return devices;
}

}  // namespace

bool DeviceChooser::Choose(CameraPrompt& prompt, ComPtr<IBaseFilter>& device) {
  for (const VideoDevice& candidate : EnumerateDevices(prompt)) {
    TakeTexts(candidate);
    const int answer = AskAbout(prompt);
    if (answer == IDNO) continue;
    if (answer != IDYES) return false;
    return Bind(candidate, prompt, device);
  }
  return false;
}

bool DeviceChooser::ChooseQuietly(const std::wstring& devicePath, const std::wstring& friendlyName,
                                  CameraPrompt& prompt, ComPtr<IBaseFilter>& device) {
  std::vector<VideoDevice> devices;
  const HRESULT hr = ListVideoDevices(devices);
  if (FAILED(hr)) return prompt.Report(hr);
  const VideoDevice* found = FindVideoDevice(devices, devicePath, friendlyName);
  if (found == nullptr) return false;
  TakeTexts(*found);
  return Bind(*found, prompt, device);
}

bool DeviceChooser::Bind(const VideoDevice& candidate, CameraPrompt& prompt,
                         ComPtr<IBaseFilter>& device) {
  ComPtr<IBaseFilter> bound;
  const HRESULT hr = BindVideoDevice(candidate, bound);
  if (hr != S_OK) return prompt.Report(hr);
  device = std::move(bound);
  return true;
}

void DeviceChooser::Clear() {
  m_friendlyName[0] = L'\0';
  m_description[0] = L'\0';
  m_devicePath[0] = L'\0';
}

const wchar_t* DeviceChooser::SectionName() const {
  return m_devicePath[0] != L'\0' ? m_devicePath : m_friendlyName;
}

void DeviceChooser::TakeTexts(const VideoDevice& candidate) {
  CopyText(m_friendlyName, kTextUnits, candidate.friendlyName.c_str());
  CopyText(m_description, kTextUnits, candidate.description.c_str());
  CopyText(m_devicePath, kTextUnits, candidate.devicePath.c_str());
}

int DeviceChooser::AskAbout(const CameraPrompt& prompt) const {
  const std::wstring question = FitText(
      std::wstring(L"FriendlyName:") + m_friendlyName + L"\nDescription:" + m_description +
          L"\nDevicePath:" + m_devicePath + L"\nをビデオキャプチャーデバイスとして使用しますか？",
      kDeviceQuestionUnits);
  return prompt.Ask(question.c_str(), L"ビデオキャプチャデバイスの選択", MB_YESNOCANCEL | MB_ICONQUESTION);
}

}  // namespace tvq
