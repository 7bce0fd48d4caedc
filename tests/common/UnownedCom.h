#pragma once

#include <windows.h>
#include <unknwn.h>

namespace tvqtest {

// IUnknown for a test's callback object that the test owns (on its stack or as a member): COM's
// references never decide its lifetime, so it must outlive every use the platform makes of it.
template <typename Interface>
class UnownedCom : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
      *ppv = static_cast<Interface*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
};

}  // namespace tvqtest
