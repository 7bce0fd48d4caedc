#pragma once

#include <windows.h>
#include <unknwn.h>

namespace tvqtest {

// IUnknown for a fake that lives on the test's stack: counts references so a test can check that
// the code under test gave back every one it took, and never deletes itself.
template <typename Interface>
class FakeCom : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_references; }

  // 1 while only the test holds it.
  ULONG References() const { return m_references; }

 private:
  ULONG m_references = 1;
};

}  // namespace tvqtest
