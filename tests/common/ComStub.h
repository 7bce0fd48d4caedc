#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace tvqtest {

// IUnknown for test fakes and callbacks that the test owns (on its stack or as a member):
// QueryInterface answers the listed interfaces, AddRef/Release only count and never delete, so a
// test can assert that every reference the code under test took was given back. COM's references
// never decide the object's lifetime: it must outlive every use the platform makes of it. Methods
// a test does not need return E_NOTIMPL in the fake itself.
template <typename... Interfaces>
class ComStub : public Interfaces... {
 public:
  ComStub() = default;
  virtual ~ComStub() = default;
  ComStub(const ComStub&) = delete;
  ComStub& operator=(const ComStub&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
    ((riid == __uuidof(Interfaces) ? (*ppv = static_cast<Interfaces*>(this), true) : false) || ...);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

  // References held by others: 0 while only the test holds the object.
  LONG References() const { return m_refs; }

 private:
  template <typename T, typename...>
  struct FirstOf {
    using Type = T;
  };
  using First = typename FirstOf<Interfaces...>::Type;

  std::atomic<LONG> m_refs{0};
};

}  // namespace tvqtest
