#pragma once

#include <windows.h>

#include <string>

#include "common/Lifetime.h"

// Keeps what tests write to the registry away from the developer's own settings and
// registrations, so that ctest is safe to run on a Windows desk.
namespace tvqtest {

// Points this process's HKEY_CURRENT_USER (and, when asked, HKEY_CLASSES_ROOT) at a fresh key of
// the tests' own under the real HKCU, and deletes that key again at the end. Other processes
// (a started Manager, regsvr32, ffmpeg) still see the real keys.
class PrivateRegistry {
 public:
  enum class Scope { kCurrentUser, kCurrentUserAndClasses };

  explicit PrivateRegistry(Scope scope);
  ~PrivateRegistry();
  PrivateRegistry(const PrivateRegistry&) = delete;
  PrivateRegistry& operator=(const PrivateRegistry&) = delete;

  bool IsActive() const { return m_active; }
  bool CoversClasses() const { return m_classes.IsValid(); }
  // Real keys, opened before the redirection, for checks that they stay untouched: HKCU\Software
  // and HKCR\CLSID. (A new handle to a root key itself may follow the redirection.)
  HKEY RealUserSoftware() const { return m_realUserSoftware.Get(); }
  HKEY RealClassIds() const { return m_realClassIds.Get(); }

  // The one installed for the whole test process by the executable's build option, or null.
  static const PrivateRegistry* Current();

 private:
  std::wstring m_path;  // under the real HKCU\Software
  tvq::UniqueRegKey m_realUserSoftware;
  tvq::UniqueRegKey m_realClassIds;
  tvq::UniqueRegKey m_currentUser;
  tvq::UniqueRegKey m_classes;
  bool m_active = false;
};

// Installs a PrivateRegistry of the given scope for every case of this test executable.
void UsePrivateRegistryForTheWholeProcess(PrivateRegistry::Scope scope);

// Only a machine-wide registration is visible to Wine's device enumerator, so the tests that need
// our camera listed by the platform or by ffmpeg register it (and start Managers that record
// their settings) for real. They run only in a throwaway Wine prefix, or where the developer
// opts in with TVQ_TEST_REAL_REGISTRY=1; on a plain Windows desk they are skipped.
bool MayUseRealRegistry();

}  // namespace tvqtest

#define TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED()                                        \
  do {                                                                                 \
    if (!tvqtest::MayUseRealRegistry()) {                                              \
      GTEST_SKIP() << "writes the real registry: set TVQ_TEST_REAL_REGISTRY=1 to run"; \
    }                                                                                  \
  } while (false)
