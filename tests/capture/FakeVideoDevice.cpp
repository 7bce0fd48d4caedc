#include "tests/capture/FakeVideoDevice.h"

#define NO_DSHOW_STRSAFE
#include <dshow.h>

#include <wrl/client.h>

#include "filter/FilterIdentity.h"

namespace tvqtest {

const CLSID kFakeDeviceA = {0x7d2b5a10, 0x3c41, 0x4e8a,
                            {0x9b, 0x10, 0x55, 0x2e, 0x61, 0x0a, 0x7c, 0x01}};
const CLSID kFakeDeviceB = {0x7d2b5a10, 0x3c41, 0x4e8a,
                            {0x9b, 0x10, 0x55, 0x2e, 0x61, 0x0a, 0x7c, 0x02}};

namespace {

Microsoft::WRL::ComPtr<IFilterMapper2> Mapper() {
  Microsoft::WRL::ComPtr<IFilterMapper2> mapper;
  CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                   reinterpret_cast<void**>(mapper.GetAddressOf()));
  return mapper;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64] = {};
  StringFromGUID2(guid, text, 64);
  return text;
}

void SetEntryValue(const CLSID& clsid, const wchar_t* name, const wchar_t* value) {
  const std::wstring key = L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" +
                           GuidText(clsid);
  RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value,
                  static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

}  // namespace

FakeVideoDevice::FakeVideoDevice(const CLSID& clsid, const std::wstring& friendlyName,
                                 const wchar_t* description, const wchar_t* devicePath)
    : m_clsid(clsid), m_comInitialized(SUCCEEDED(CoInitialize(nullptr))) {
  auto mapper = Mapper();
  if (!mapper) return;
  REGFILTER2 filter = {};
  filter.dwVersion = 1;
  filter.dwMerit = MERIT_DO_NOT_USE;
  filter.cPins = 0;
  filter.rgPins = nullptr;
  m_registered = SUCCEEDED(mapper->RegisterFilter(
      clsid, friendlyName.c_str(), nullptr, &CLSID_VideoInputDeviceCategory, nullptr, &filter));
  if (description != nullptr) SetEntryValue(clsid, L"Description", description);
  if (devicePath != nullptr) SetEntryValue(clsid, L"DevicePath", devicePath);
}

FakeVideoDevice::~FakeVideoDevice() {
  Unregister(m_clsid);
  if (m_comInitialized) CoUninitialize();
}

void FakeVideoDevice::Unregister(const CLSID& clsid) {
  const bool comInitialized = SUCCEEDED(CoInitialize(nullptr));
  {
    auto mapper = Mapper();
    if (mapper) mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, clsid);
  }
  if (comInitialized) CoUninitialize();
}

// Listed under an instance of its own name, so that the filter's own entry stays.
void PluggableCamera::Plug() {
  REGFILTER2 filter = {};
  filter.dwVersion = 1;
  filter.dwMerit = MERIT_DO_NOT_USE;
  Mapper()->RegisterFilter(tvq::CLSID_TessavueFilter, m_name.c_str(), nullptr,
                           &CLSID_VideoInputDeviceCategory, m_name.c_str(), &filter);
}

void PluggableCamera::Unplug() {
  Mapper()->UnregisterFilter(&CLSID_VideoInputDeviceCategory, m_name.c_str(),
                             tvq::CLSID_TessavueFilter);
}

CameraInUse::CameraInUse()
    : m_mutex(CreateMutexW(nullptr, FALSE, tvq::kSingleInstanceMutexName)) {}

HRESULT ReportDeviceLost(IBaseFilter& device) {
  FILTER_INFO info{};
  HRESULT hr = device.QueryFilterInfo(&info);
  if (hr != S_OK || info.pGraph == nullptr) return E_UNEXPECTED;
  Microsoft::WRL::ComPtr<IMediaEventSink> sink;
  hr = info.pGraph->QueryInterface(IID_IMediaEventSink,
                                   reinterpret_cast<void**>(sink.GetAddressOf()));
  info.pGraph->Release();
  return hr == S_OK ? sink->Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(&device), 0) : hr;
}

}  // namespace tvqtest
