// Compiled into each test executable that says how its cases use the registry
// (tessavue_add_test's PRIVATE_REGISTRY and REAL_REGISTRY options).
#include <gtest/gtest.h>

#include "tests/common/PrivateRegistry.h"

namespace {

#if defined(TVQ_REAL_REGISTRY)
// Every case registers the camera machine-wide or starts a Manager that records its settings.
class RealRegistryOnly : public testing::Environment {
 public:
  void SetUp() override { TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED(); }
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new RealRegistryOnly);
#elif defined(TVQ_PRIVATE_REGISTRY_CURRENT_USER_AND_CLASSES)
[[maybe_unused]] const bool kInstalled = (tvqtest::UsePrivateRegistryForTheWholeProcess(
    tvqtest::PrivateRegistry::Scope::kCurrentUserAndClasses), true);
#else
[[maybe_unused]] const bool kInstalled = (tvqtest::UsePrivateRegistryForTheWholeProcess(
    tvqtest::PrivateRegistry::Scope::kCurrentUser), true);
#endif

}  // namespace
