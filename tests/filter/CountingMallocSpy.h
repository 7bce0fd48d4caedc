#pragma once

#include <windows.h>
#include <objidl.h>

#include <mutex>
#include <set>

#include "tests/common/ComStub.h"

namespace tvqtest {

// Watches the task allocator while registered: counts the blocks handed out and not yet freed,
// and can make one chosen allocation fail. Register with Install(), remove with Uninstall() (or
// at destruction).
class CountingMallocSpy : public ComStub<IMallocSpy> {
 public:
  CountingMallocSpy() = default;
  ~CountingMallocSpy() { Uninstall(); }
  CountingMallocSpy(const CountingMallocSpy&) = delete;
  CountingMallocSpy& operator=(const CountingMallocSpy&) = delete;

  bool Install() {
    m_installed = SUCCEEDED(CoRegisterMallocSpy(this));
    return m_installed;
  }
  void Uninstall() {
    if (m_installed) CoRevokeMallocSpy();
    m_installed = false;
  }

  // The n-th allocation from now on (1 = the next one) fails; 0 lets every allocation succeed.
  void FailAllocation(int n) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_failAt = n;
    m_allocations = 0;
  }
  size_t LiveBlocks() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_live.size();
  }
  int Allocations() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_allocations;
  }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_allocations;
    // Returning 0 for a non-zero request makes the allocation fail.
    return (m_failAt != 0 && m_allocations == m_failAt) ? 0 : request;
  }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    std::lock_guard<std::mutex> guard(m_lock);
    if (actual != nullptr) m_live.insert(actual);
    return actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
    std::lock_guard<std::mutex> guard(m_lock);
    m_live.erase(request);
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest,
                                      BOOL) override {
    std::lock_guard<std::mutex> guard(m_lock);
    m_live.erase(request);
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override {
    std::lock_guard<std::mutex> guard(m_lock);
    if (actual != nullptr) m_live.insert(actual);
    return actual;
  }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  std::mutex m_lock;
  std::set<void*> m_live;
  int m_failAt = 0;
  int m_allocations = 0;
  bool m_installed = false;
};

}  // namespace tvqtest
