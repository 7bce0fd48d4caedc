#include "filter/ServerModule.h"

#include <atomic>

namespace tvq {
namespace {

std::atomic<HINSTANCE> g_module{nullptr};
std::atomic<LONG> g_lockCount{0};

}  // namespace

void SetServerModule(HINSTANCE module) { g_module = module; }

HINSTANCE ServerModule() { return g_module; }

void LockServer(bool lock) {
  if (lock) {
    ++g_lockCount;
  } else {
    --g_lockCount;
  }
}

LONG ServerLockCount() { return g_lockCount; }

}  // namespace tvq
