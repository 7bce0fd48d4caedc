#pragma once

#include <windows.h>
#include <cguid.h>
#include <objbase.h>
#include <strmif.h>

#include <string>
#include <vector>

#include "tests/common/ComApartment.h"

namespace tvqtest {

// One entry of a filter category as the system device enumerator lists it.
struct DeviceEntry {
  std::wstring friendlyName;
  CLSID clsid = GUID_NULL;
  std::vector<BYTE> filterData;  // the mapper's serialised REGFILTER2, if present
};

// Every entry of the category (COM must be initialised on the calling thread).
std::vector<DeviceEntry> ListCategory(REFGUID category);

// The entries of the category with this class identifier.
std::vector<DeviceEntry> EntriesFor(REFGUID category, REFCLSID clsid);

// Binds the category's entry with this friendly name; VFW_E_NOT_FOUND when there is none.
HRESULT BindByName(REFGUID category, const std::wstring& friendlyName, IBaseFilter** filter);

// The merit recorded in the mapper's data (the second 32-bit word), or 0 when there is none.
DWORD MeritOf(const DeviceEntry& entry);

// The DirectShow filters category, KSCATEGORY_CAPTURE, video input devices.
extern const GUID kLegacyFilterCategory;
extern const GUID kKsCaptureCategory;

// The DLL built next to the test executable, loaded for the life of the object.
class ServerDll {
 public:
  ServerDll();
  ~ServerDll();
  ServerDll(const ServerDll&) = delete;
  ServerDll& operator=(const ServerDll&) = delete;

  bool IsLoaded() const { return m_module != nullptr; }
  const std::wstring& Path() const { return m_path; }
  HRESULT Register() const;
  HRESULT Unregister() const;
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
  HRESULT CanUnloadNow() const;

 private:
  template <typename Function>
  Function Export(const char* name) const {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(m_module, name)));
  }
  std::wstring m_path;
  HMODULE m_module = nullptr;
};

}  // namespace tvqtest
