#include "tests/common/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace tvqtest {
namespace {

constexpr const wchar_t* kTestsKeyPath = L"Tessavue Tests";

const PrivateRegistry* g_current = nullptr;

HKEY OpenKey(HKEY parent, const wchar_t* path) {
  HKEY key = nullptr;
  return RegOpenKeyExW(parent, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key : nullptr;
}

HKEY CreateKey(HKEY parent, const std::wstring& path) {
  HKEY key = nullptr;
  return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS
             ? key
             : nullptr;
}

class PrivateRegistryEnvironment : public testing::Environment {
 public:
  explicit PrivateRegistryEnvironment(PrivateRegistry::Scope scope) : m_scope(scope) {}
  void SetUp() override {
    m_registry = std::make_unique<PrivateRegistry>(m_scope);
    ASSERT_TRUE(m_registry->IsActive()) << "no private registry key for the tests";
  }
  void TearDown() override { m_registry.reset(); }

 private:
  PrivateRegistry::Scope m_scope;
  std::unique_ptr<PrivateRegistry> m_registry;
};

}  // namespace

PrivateRegistry::PrivateRegistry(Scope scope)
    : m_path(std::wstring(kTestsKeyPath) + L"\\" + std::to_wstring(GetCurrentProcessId())),
      m_realUserSoftware(OpenKey(HKEY_CURRENT_USER, L"Software")),
      m_realClassIds(OpenKey(HKEY_CLASSES_ROOT, L"CLSID")) {
  if (!m_realUserSoftware || !m_realClassIds) return;
  // A key left by a crashed run of the same process id would leak its values into this one.
  RegDeleteTreeW(m_realUserSoftware.Get(), m_path.c_str());
  m_currentUser.Reset(CreateKey(m_realUserSoftware.Get(), m_path));
  if (!m_currentUser) return;
  if (scope == Scope::kCurrentUserAndClasses) {
    m_classes.Reset(CreateKey(m_currentUser.Get(), L"Software\\Classes"));
    if (!m_classes || RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes.Get()) != ERROR_SUCCESS) {
      return;
    }
  }
  m_active = RegOverridePredefKey(HKEY_CURRENT_USER, m_currentUser.Get()) == ERROR_SUCCESS;
  if (m_active) g_current = this;
}

PrivateRegistry::~PrivateRegistry() {
  if (g_current == this) g_current = nullptr;
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (m_classes) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  m_classes.Reset();
  m_currentUser.Reset();
  if (m_realUserSoftware) {
    RegDeleteTreeW(m_realUserSoftware.Get(), m_path.c_str());
    // Only when no other test process still has its key there.
    RegDeleteKeyW(m_realUserSoftware.Get(), kTestsKeyPath);
  }
}

const PrivateRegistry* PrivateRegistry::Current() { return g_current; }

void UsePrivateRegistryForTheWholeProcess(PrivateRegistry::Scope scope) {
  testing::AddGlobalTestEnvironment(new PrivateRegistryEnvironment(scope));
}

bool MayUseRealRegistry() {
  const char* optIn = std::getenv("TVQ_TEST_REAL_REGISTRY");
  if (optIn != nullptr && optIn[0] == '1') return true;
  // Wine's ntdll exports this; Windows' does not.
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tvqtest
