// The server as clients and installers see it: the DLL's exported entry points.

#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/filter/DeviceList.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::EntriesFor;

std::wstring ClassKey() {
  wchar_t text[40] = L"";
  StringFromGUID2(tvq::CLSID_TessavueFilter, text, 40);
  return std::wstring(L"CLSID\\") + text;
}

bool ReadRegistryString(const std::wstring& key, const wchar_t* name, std::wstring* value) {
  wchar_t buffer[MAX_PATH * 2] = L"";
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return false;
  }
  *value = buffer;
  return true;
}

bool ClassKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Registration is machine-wide, as installers do it: the device enumerator sees nothing else.
class Server : public testing::Test {
 protected:
  void SetUp() override {
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ASSERT_TRUE(m_dll.IsLoaded()) << "cannot load " << Narrow(m_dll.Path());
  }

  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  void ExpectRegistered() {
    std::wstring value;
    ASSERT_TRUE(ReadRegistryString(ClassKey(), nullptr, &value));
    EXPECT_EQ(L"Tessavue Filter", value);
    ASSERT_TRUE(ReadRegistryString(ClassKey() + L"\\InprocServer32", nullptr, &value));
    EXPECT_EQ(0, _wcsicmp(m_dll.Path().c_str(), value.c_str())) << Narrow(value);
    ASSERT_TRUE(ReadRegistryString(ClassKey() + L"\\InprocServer32", L"ThreadingModel", &value));
    EXPECT_EQ(L"Both", value);

    for (const GUID* category : {&tvqtest::kLegacyFilterCategory, &CLSID_VideoInputDeviceCategory,
                                 &tvqtest::kKsCaptureCategory}) {
      const auto entries = EntriesFor(*category, tvq::CLSID_TessavueFilter);
      ASSERT_EQ(1u, entries.size()) << "listed once in each category";
      EXPECT_EQ(L"Tessavue Filter", entries[0].friendlyName);
      EXPECT_EQ(static_cast<DWORD>(MERIT_DO_NOT_USE), tvqtest::MeritOf(entries[0]));
    }
  }

  void ExpectUnregistered() {
    EXPECT_FALSE(ClassKeyExists());
    for (const GUID* category : {&tvqtest::kLegacyFilterCategory, &CLSID_VideoInputDeviceCategory,
                                 &tvqtest::kKsCaptureCategory}) {
      EXPECT_TRUE(EntriesFor(*category, tvq::CLSID_TessavueFilter).empty());
    }
  }

  tvqtest::ComApartment m_com;
  tvqtest::ServerDll m_dll;
};

TEST_F(Server, RegistersAsAFilterAndAVideoCaptureDeviceAndUnregistersAll) {
  ASSERT_EQ(S_OK, m_dll.Register());
  ExpectRegistered();
  // Registering again replaces the entries instead of adding to them.
  ASSERT_EQ(S_OK, m_dll.Register());
  ExpectRegistered();
  ASSERT_EQ(S_OK, m_dll.Unregister());
  ExpectUnregistered();
}

TEST_F(Server, RegisteredClassIsCreatableThroughCom) {
  tvqtest::ScopedSettings settings("");
  ASSERT_EQ(S_OK, m_dll.Register());
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(S_OK, CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&filter)));
  filter.Reset();
  EXPECT_EQ(S_OK, m_dll.Unregister());
}

DWORD RunRegsvr32(const std::wstring& options, const std::wstring& dll) {
  tvqtest::ChildProcess process =
      tvqtest::ChildProcess::Start(L"regsvr32.exe " + options + L" " + tvqtest::QuoteArgument(dll),
                                   std::wstring());
  DWORD exitCode = 0xFFFFFFFF;
  if (!process.IsValid() || !process.Wait(60000, &exitCode)) return 0xFFFFFFFF;
  return exitCode;
}

TEST_F(Server, Regsvr32RegistersAndUnregisters) {
  ASSERT_EQ(0u, RunRegsvr32(L"/s", m_dll.Path()));
  ExpectRegistered();
  ASSERT_EQ(0u, RunRegsvr32(L"/s /u", m_dll.Path()));
  ExpectUnregistered();
}

TEST_F(Server, ClassObjectOnlyForTheFilterAndTheFactoryInterfaces) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
            m_dll.GetClassObject(CLSID_FilterGraph, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_dll.GetClassObject(tvq::CLSID_TessavueFilter, IID_IBaseFilter,
                                                &object));
  EXPECT_EQ(nullptr, object);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, m_dll.GetClassObject(tvq::CLSID_TessavueFilter, IID_PPV_ARGS(&unknown)));
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, unknown.As(&factory));
}

TEST_F(Server, CanUnloadOnlyWithoutFactoriesFiltersOrLocks) {
  tvqtest::ScopedSettings settings("");
  EXPECT_EQ(S_OK, m_dll.CanUnloadNow());
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, m_dll.GetClassObject(tvq::CLSID_TessavueFilter, IID_PPV_ARGS(&factory)));
  EXPECT_EQ(S_FALSE, m_dll.CanUnloadNow());

  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)));
  ASSERT_EQ(S_OK, factory->LockServer(TRUE));
  factory.Reset();
  EXPECT_EQ(S_FALSE, m_dll.CanUnloadNow()) << "filter alive and server locked";
  filter.Reset();
  EXPECT_EQ(S_FALSE, m_dll.CanUnloadNow()) << "server locked";

  ASSERT_EQ(S_OK, m_dll.GetClassObject(tvq::CLSID_TessavueFilter, IID_PPV_ARGS(&factory)));
  ASSERT_EQ(S_OK, factory->LockServer(FALSE));
  factory.Reset();
  EXPECT_EQ(S_OK, m_dll.CanUnloadNow());
}

}  // namespace
