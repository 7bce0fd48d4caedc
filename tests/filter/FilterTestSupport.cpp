#include "tests/filter/FilterTestSupport.h"

#include <amvideo.h>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "common/Lifetime.h"
#include "filter/CTVQOutputPin.h"
#include "filter/CTVQSourceFilter.h"
#include "filter/FilterIdentity.h"

namespace tvqtest {

void StoreIniFilePathData(const std::vector<wchar_t>& data) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  tvq::UniqueRegKey key(raw);
  // The registry quietly adds a terminator when the character after the data is NUL, so the
  // data is passed with a non-NUL character behind it.
  std::vector<wchar_t> buffer(data);
  buffer.push_back(L'?');
  RegSetValueExW(key.Get(), tvq::kIniFilePathValue, 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(buffer.data()),
                 static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void StoreIniFilePath(const std::wstring& path) {
  StoreIniFilePathData(std::vector<wchar_t>(path.begin(), path.end()));
}

void DeleteIniFilePath() {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, KEY_ALL_ACCESS, &raw) !=
      ERROR_SUCCESS) {
    return;
  }
  tvq::UniqueRegKey key(raw);
  RegDeleteValueW(key.Get(), tvq::kIniFilePathValue);
}

ScopedSettings::ScopedSettings(const std::string& contents)
    : m_path(m_dir.File(L"Tessavue.ini")) {
  if (!contents.empty()) WriteTextFile(m_path, contents);
  StoreIniFilePath(m_path);
}

ScopedSettings::~ScopedSettings() { DeleteIniFilePath(); }

std::string VideoSection(int width, int height, const std::string& framePerSecond) {
  return "[Video]\r\nWidth=" + std::to_string(width) + "\r\nHeight=" + std::to_string(height) +
         "\r\nFramePerSecond=" + framePerSecond + "\r\n";
}

HRESULT AskFor(IAMStreamConfig* config, LONG width, LONG height, REFERENCE_TIME interval) {
  AM_MEDIA_TYPE* mt = nullptr;
  HRESULT hr = config->GetFormat(&mt);
  if (FAILED(hr)) return hr;
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->AvgTimePerFrame = interval;
  hr = config->SetFormat(mt);
  CoTaskMemFree(mt->pbFormat);
  CoTaskMemFree(mt);
  return hr;
}

LocalFilter::LocalFilter() {
  HRESULT hr = E_FAIL;
  CUnknown* unknown = CTVQSourceFilter::CreateInstance(nullptr, &hr);
  if (unknown == nullptr || FAILED(hr)) {
    delete unknown;
    return;
  }
  if (FAILED(unknown->NonDelegatingQueryInterface(IID_IBaseFilter,
                                                  reinterpret_cast<void**>(filter.GetAddressOf())))) {
    delete unknown;
    return;
  }
  object = static_cast<CTVQSourceFilter*>(unknown);
  pin = object->OutputPin();
  if (pin == nullptr) return;
  pin->QueryInterface(IID_PPV_ARGS(&outputPin));
  pin->QueryInterface(IID_PPV_ARGS(&config));
}

Published ReadPublished() {
  Published published{};
  CSharedMemory format;
  CSharedMemory interval;
  format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize);
  interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize);
  format.Read(&published.header, sizeof(published.header), INFINITE);
  interval.Read(&published.interval, sizeof(published.interval), INFINITE);
  return published;
}

void ClearPublished() {
  const Published zero{};
  CSharedMemory format;
  CSharedMemory interval;
  format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize);
  interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize);
  format.Write(&zero.header, sizeof(zero.header), INFINITE);
  interval.Write(&zero.interval, sizeof(zero.interval), INFINITE);
}

}  // namespace tvqtest
