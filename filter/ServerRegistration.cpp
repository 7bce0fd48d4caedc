#include "filter/ServerRegistration.h"

#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <string>

#include "common/Lifetime.h"
#include "filter/FactoryTemplate.h"
#include "filter/FilterIdentity.h"
#include "filter/ServerModule.h"

namespace tvq {
namespace {

using Microsoft::WRL::ComPtr;

// The mapper answers this when the entry it is asked to remove or replace is not there.
constexpr HRESULT kNotRegistered = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT IgnoreNotRegistered(HRESULT hr) { return hr == kNotRegistered ? S_OK : hr; }

// COM for the length of one registration step, released only if this call initialised it.
class ComScope {
 public:
  ComScope() : m_hr(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT m_hr;
};

HRESULT ModulePath(std::wstring* path) {
  wchar_t buffer[MAX_PATH] = L"";
  const DWORD length = GetModuleFileNameW(ServerModule(), buffer, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  // A cut path would register a DLL that does not exist.
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path->assign(buffer, length);
  return S_OK;
}

std::wstring ClassKeyName(const CLSID& clsid) {
  wchar_t text[40] = L"";
  StringFromGUID2(clsid, text, 40);
  return std::wstring(L"CLSID\\") + text;
}

LONG SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG CreateKeyWithDefault(HKEY parent, const std::wstring& name, const std::wstring& value,
                          UniqueRegKey* key) {
  HKEY raw = nullptr;
  LONG error = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &raw, nullptr);
  if (error != ERROR_SUCCESS) return error;
  key->Reset(raw);
  return SetStringValue(raw, nullptr, value);
}

HRESULT WriteClassKey(const CFactoryTemplate& t, const std::wstring& dllPath) {
  UniqueRegKey classKey;
  LONG error = CreateKeyWithDefault(HKEY_CLASSES_ROOT, ClassKeyName(*t.m_ClsID), t.m_Name,
                                    &classKey);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  UniqueRegKey serverKey;
  error = CreateKeyWithDefault(classKey.Get(), L"InprocServer32", dllPath, &serverKey);
  if (error == ERROR_SUCCESS) error = SetStringValue(serverKey.Get(), L"ThreadingModel", L"Both");
  return HRESULT_FROM_WIN32(error);
}

// Deletes the class key with everything below it. A key that cannot be opened is gone already.
HRESULT DeleteClassKey(const CFactoryTemplate& t) {
  const std::wstring name = ClassKeyName(*t.m_ClsID);
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, MAXIMUM_ALLOWED, &raw) != ERROR_SUCCESS) {
    return S_OK;
  }
  {
    UniqueRegKey key(raw);
    wchar_t subkey[256];
    for (;;) {
      DWORD length = 256;
      if (RegEnumKeyExW(key.Get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (RegDeleteTreeW(key.Get(), subkey) != ERROR_SUCCESS) break;
    }
  }
  return HRESULT_FROM_WIN32(RegDeleteKeyW(HKEY_CLASSES_ROOT, name.c_str()));
}

REGFILTER2 DefaultCategoryRecord(const AMOVIESETUP_FILTER& setup) {
  REGFILTER2 rf2{};
  rf2.dwVersion = 1;
  rf2.dwMerit = setup.dwMerit;
  rf2.cPins = setup.nPins;
  rf2.rgPins = setup.lpPin;
  return rf2;
}

HRESULT RegisterWithMapper2(IFilterMapper2* mapper, const AMOVIESETUP_FILTER& setup,
                            bool doRegister) {
  HRESULT hr = IgnoreNotRegistered(mapper->UnregisterFilter(nullptr, nullptr, *setup.clsID));
  if (FAILED(hr) || !doRegister) return hr;
  const REGFILTER2 rf2 = DefaultCategoryRecord(setup);
  return IgnoreNotRegistered(
      mapper->RegisterFilter(*setup.clsID, setup.strName, nullptr, nullptr, nullptr, &rf2));
}

HRESULT RegisterPinsWithMapper(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup) {
  for (UINT p = 0; p < setup.nPins; ++p) {
    const AMOVIESETUP_PIN& pin = setup.lpPin[p];
    HRESULT hr = IgnoreNotRegistered(mapper->RegisterPin(
        *setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
        *pin.clsConnectsToFilter, pin.strConnectsToPin));
    if (FAILED(hr)) return hr;
    for (UINT m = 0; m < pin.nMediaTypes; ++m) {
      hr = IgnoreNotRegistered(mapper->RegisterPinType(*setup.clsID, pin.strName,
                                                       *pin.lpMediaType[m].clsMajorType,
                                                       *pin.lpMediaType[m].clsMinorType));
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT RegisterWithMapper(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup,
                           bool doRegister) {
  HRESULT hr = IgnoreNotRegistered(mapper->UnregisterFilter(*setup.clsID));
  if (FAILED(hr) || !doRegister) return hr;
  hr = IgnoreNotRegistered(mapper->RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit));
  if (FAILED(hr)) return hr;
  return RegisterPinsWithMapper(mapper, setup);
}

// Every template's entry in the mapper's default category; the older mapper when the newer one
// is not there.
HRESULT RegisterTemplatesWithMapper(bool doRegister) {
  ComScope com;
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&mapper2));
  if (FAILED(hr)) {
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
  }
  if (FAILED(hr)) return hr;
  for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
    const AMOVIESETUP_FILTER* setup = g_Templates[i].m_pAMovieSetup_Filter;
    if (setup == nullptr) continue;
    hr = mapper2 ? RegisterWithMapper2(mapper2.Get(), *setup, doRegister)
                 : RegisterWithMapper(mapper.Get(), *setup, doRegister);
  }
  mapper2.Reset();
  mapper.Reset();
  CoFreeUnusedLibraries();
  return hr;
}

HRESULT CreateMapper2(ComPtr<IFilterMapper2>* mapper) {
  return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(mapper->ReleaseAndGetAddressOf()));
}

}  // namespace

HRESULT RegisterAllServers(bool doRegister) {
  if (doRegister) {
    std::wstring dllPath;
    HRESULT hr = ModulePath(&dllPath);
    if (FAILED(hr)) return hr;
    for (int i = 0; i < g_cTemplates; ++i) {
      hr = WriteClassKey(g_Templates[i], dllPath);
      if (FAILED(hr)) return hr;
    }
    return RegisterTemplatesWithMapper(true);
  }
  HRESULT hr = RegisterTemplatesWithMapper(false);
  for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) hr = DeleteClassKey(g_Templates[i]);
  return hr;
}

HRESULT RegisterCaptureDevice() {
  ComScope com;
  ComPtr<IFilterMapper2> mapper;
  const HRESULT hr = CreateMapper2(&mapper);
  if (FAILED(hr)) return hr;
  mapper->RegisterFilter(CLSID_TessavueFilter, kFilterName, nullptr,
                         &CLSID_VideoInputDeviceCategory, kFilterName, &g_CaptureRegistration);
  return mapper->RegisterFilter(CLSID_TessavueFilter, kFilterName, nullptr, &kKsCategoryCapture,
                                kFilterName, &g_CaptureRegistration);
}

HRESULT UnregisterCaptureDevice() {
  ComScope com;
  ComPtr<IFilterMapper2> mapper;
  const HRESULT hr = CreateMapper2(&mapper);
  if (FAILED(hr)) return hr;
  mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kFilterName, CLSID_TessavueFilter);
  return mapper->UnregisterFilter(&kKsCategoryCapture, kFilterName, CLSID_TessavueFilter);
}

}  // namespace tvq
