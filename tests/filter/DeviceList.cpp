#include "tests/filter/DeviceList.h"

#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring ReadString(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) text = value.bstrVal;
  VariantClear(&value);
  return text;
}

std::vector<BYTE> ReadBytes(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::vector<BYTE> bytes;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == (VT_ARRAY | VT_UI1)) {
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(value.parray, &data))) {
      const BYTE* begin = static_cast<const BYTE*>(data);
      bytes.assign(begin, begin + value.parray->rgsabound[0].cElements);
      SafeArrayUnaccessData(value.parray);
    }
  }
  VariantClear(&value);
  return bytes;
}

DeviceEntry ReadEntry(IMoniker* moniker) {
  DeviceEntry entry;
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) return entry;
  entry.friendlyName = ReadString(bag.Get(), L"FriendlyName");
  const std::wstring clsid = ReadString(bag.Get(), L"CLSID");
  if (!clsid.empty()) CLSIDFromString(clsid.c_str(), &entry.clsid);
  entry.filterData = ReadBytes(bag.Get(), L"FilterData");
  return entry;
}

// The category's entries; none when it is empty or cannot be listed.
std::vector<ComPtr<IMoniker>> Monikers(REFGUID category) {
  std::vector<ComPtr<IMoniker>> found;
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&devices)))) {
    return found;
  }
  ComPtr<IEnumMoniker> monikers;
  // S_FALSE: the category is empty, and monikers stays null.
  if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK) return found;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    found.push_back(moniker);
  }
  return found;
}

}  // namespace

// {083863F1-70DE-11D0-BD40-00A0C911CE86}
const GUID kLegacyFilterCategory = {
    0x083863f1, 0x70de, 0x11d0, {0xbd, 0x40, 0x00, 0xa0, 0xc9, 0x11, 0xce, 0x86}};
// {65E8773D-8F56-11D0-A3B9-00A0C9223196}
const GUID kKsCaptureCategory = {
    0x65e8773d, 0x8f56, 0x11d0, {0xa3, 0xb9, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};

std::vector<DeviceEntry> ListCategory(REFGUID category) {
  std::vector<DeviceEntry> entries;
  for (const ComPtr<IMoniker>& moniker : Monikers(category)) {
    entries.push_back(ReadEntry(moniker.Get()));
  }
  return entries;
}

HRESULT BindByName(REFGUID category, const std::wstring& friendlyName, IBaseFilter** filter) {
  for (const ComPtr<IMoniker>& moniker : Monikers(category)) {
    if (ReadEntry(moniker.Get()).friendlyName == friendlyName) {
      return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   reinterpret_cast<void**>(filter));
    }
  }
  return VFW_E_NOT_FOUND;
}

std::vector<DeviceEntry> EntriesFor(REFGUID category, REFCLSID clsid) {
  std::vector<DeviceEntry> found;
  for (const DeviceEntry& entry : ListCategory(category)) {
    if (entry.clsid == clsid) found.push_back(entry);
  }
  return found;
}

DWORD MeritOf(const DeviceEntry& entry) {
  if (entry.filterData.size() < 8) return 0;
  DWORD merit = 0;
  memcpy(&merit, entry.filterData.data() + 4, sizeof(merit));
  return merit;
}

ServerDll::ServerDll() {
  const std::wstring exe = OwnExecutablePath();
  m_path = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"TVQDirectShowFilter.dll";
  m_module = LoadLibraryW(m_path.c_str());
}

ServerDll::~ServerDll() {
  if (m_module != nullptr) FreeLibrary(m_module);
}

HRESULT ServerDll::Register() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
  return function ? function() : E_NOTIMPL;
}

HRESULT ServerDll::Unregister() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
  return function ? function() : E_NOTIMPL;
}

HRESULT ServerDll::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
  return function ? function(clsid, riid, ppv) : E_NOTIMPL;
}

HRESULT ServerDll::CanUnloadNow() const {
  auto function = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  return function ? function() : E_NOTIMPL;
}

}  // namespace tvqtest
