#include "manager/capture/VideoDevices.h"

#include "manager/capture/DirectShow.h"

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

std::wstring ReadBagText(IPropertyBag& bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag.Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return text;
}

VideoDevice Describe(ComPtr<IMoniker> moniker) {
  VideoDevice device;
  ComPtr<IPropertyBag> bag;
  if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                       reinterpret_cast<void**>(bag.GetAddressOf())))) {
    device.friendlyName = ReadBagText(*bag.Get(), L"FriendlyName");
    device.description = ReadBagText(*bag.Get(), L"Description");
    device.devicePath = ReadBagText(*bag.Get(), L"DevicePath");
  }
  device.moniker = std::move(moniker);
  return device;
}

}  // namespace

HRESULT ListVideoDevices(std::vector<VideoDevice>& devices) {
  devices.clear();
  ComPtr<ICreateDevEnum> deviceEnum;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, reinterpret_cast<void**>(deviceEnum.GetAddressOf()));
  if (hr != S_OK) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = deviceEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  // An empty category is S_FALSE with no enumerator: not a failure of the call, but no device.
  if (SUCCEEDED(hr) && !monikers) return S_FALSE;
  if (hr != S_OK) return hr;
  monikers->Reset();
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    devices.push_back(Describe(moniker));
  }
  return devices.empty() ? S_FALSE : S_OK;
}

const VideoDevice* FindVideoDevice(const std::vector<VideoDevice>& devices,
                                   const std::wstring& devicePath,
                                   const std::wstring& friendlyName) {
  if (!devicePath.empty()) {
    for (const VideoDevice& device : devices) {
      if (device.devicePath == devicePath) return &device;
    }
  }
  if (friendlyName.empty()) return nullptr;
  for (const VideoDevice& device : devices) {
    if (device.friendlyName == friendlyName) return &device;
  }
  return nullptr;
}

HRESULT BindVideoDevice(const VideoDevice& device, ComPtr<IBaseFilter>& filter) {
  return device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter.ReleaseAndGetAddressOf()));
}

}  // namespace tvq
