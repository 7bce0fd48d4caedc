#include "manager/capture/DeviceChooser.h"

#include <string>
#include <utility>

#include "manager/capture/CaptureText.h"
#include "manager/capture/DirectShow.h"

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

constexpr size_t kDeviceQuestionUnits = 3072;

std::wstring ReadBagText(IPropertyBag& bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  // Devices may lack a property ("DevicePath" of software devices); it then reads as empty.
  if (SUCCEEDED(bag.Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return text;
}

// The monikers of the video input category; null (after telling the user or reporting the
// failure) when there is nothing to offer.
ComPtr<IEnumMoniker> EnumerateDevices(CameraPrompt& prompt) {
  ComPtr<ICreateDevEnum> deviceEnum;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, reinterpret_cast<void**>(deviceEnum.GetAddressOf()));
  if (hr != S_OK) {
    prompt.Report(hr);
    return nullptr;
  }
  ComPtr<IEnumMoniker> monikers;
  hr = deviceEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  // An empty category is S_FALSE with no enumerator: not a failure of the call, but no device.
  if (SUCCEEDED(hr) && !monikers) {
    prompt.Ask(L"ビデオキャプチャーデバイスが見つかりません", L"Vidtessa", MB_OK | MB_ICONERROR);
    return nullptr;
  }
  if (hr != S_OK) {
    prompt.Report(hr);
    return nullptr;
  }
  return monikers;
}

}  // namespace

bool DeviceChooser::Choose(CameraPrompt& prompt, ComPtr<IBaseFilter>& device) {
  ComPtr<IEnumMoniker> monikers = EnumerateDevices(prompt);
  if (!monikers) return false;
  monikers->Reset();
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ReadTexts(*moniker.Get());
    const int answer = AskAbout(prompt);
    if (answer == IDNO) continue;
    if (answer != IDYES) return false;
    ComPtr<IBaseFilter> bound;
    const HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             reinterpret_cast<void**>(bound.GetAddressOf()));
    if (hr != S_OK) return prompt.Report(hr);
    device = std::move(bound);
    return true;
  }
  return false;
}

void DeviceChooser::Clear() {
  m_friendlyName[0] = L'\0';
  m_description[0] = L'\0';
  m_devicePath[0] = L'\0';
}

const wchar_t* DeviceChooser::SectionName() const {
  return m_devicePath[0] != L'\0' ? m_devicePath : m_friendlyName;
}

void DeviceChooser::ReadTexts(IMoniker& moniker) {
  ComPtr<IPropertyBag> bag;
  std::wstring friendlyName, description, devicePath;
  if (SUCCEEDED(moniker.BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      reinterpret_cast<void**>(bag.GetAddressOf())))) {
    friendlyName = ReadBagText(*bag.Get(), L"FriendlyName");
    description = ReadBagText(*bag.Get(), L"Description");
    devicePath = ReadBagText(*bag.Get(), L"DevicePath");
  }
  CopyText(m_friendlyName, kTextUnits, friendlyName.c_str());
  CopyText(m_description, kTextUnits, description.c_str());
  CopyText(m_devicePath, kTextUnits, devicePath.c_str());
}

int DeviceChooser::AskAbout(const CameraPrompt& prompt) const {
  const std::wstring question = FitText(
      std::wstring(L"FriendlyName:") + m_friendlyName + L"\nDescription:" + m_description +
          L"\nDevicePath:" + m_devicePath + L"\nをビデオキャプチャーデバイスとして使用しますか？",
      kDeviceQuestionUnits);
  return prompt.Ask(question.c_str(), L"ビデオキャプチャデバイスの選択", MB_YESNOCANCEL | MB_ICONQUESTION);
}

}  // namespace tvq
