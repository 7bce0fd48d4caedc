#include "filter/CClassFactory.h"

#include "filter/ServerModule.h"

CClassFactory::CClassFactory(const tvq::CFactoryTemplate* factoryTemplate)
    : CSimpleUnknown(0), m_template(factoryTemplate) {}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // An aggregated object can only hand its inner IUnknown to the outer object.
  if (outer && riid != IID_IUnknown) return E_NOINTERFACE;

  HRESULT hr = S_OK;
  CUnknown* object = m_template->m_lpfnNew(outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // The extra reference keeps the object alive through a failing query, which then frees it.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  tvq::LockServer(lock != FALSE);
  return S_OK;
}
