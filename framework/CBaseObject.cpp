#include "framework/CBaseObject.h"

#include <algorithm>

namespace {

LONG g_cActiveObjects = 0;  // interlocked only

}  // namespace

CBaseObject::CBaseObject() { InterlockedIncrement(&g_cActiveObjects); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&g_cActiveObjects); }

LONG CBaseObject::ObjectsActive() { return InterlockedCompareExchange(&g_cActiveObjects, 0, 0); }

// INonDelegatingUnknown has IUnknown's layout, so its pointer serves as this object's IUnknown.
CUnknown::CUnknown(const wchar_t* /*name*/, IUnknown* outer)
    : m_pUnknown(outer ? outer
                       : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    return GetInterface(reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this)),
                        ppv);
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() {
  const LONG count = InterlockedIncrement(&m_cRef);
  return std::max(static_cast<ULONG>(count), 1ul);
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
  const LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) {
    // A count of 1 keeps an AddRef/Release pair made during destruction from deleting us again.
    InterlockedExchange(&m_cRef, 1);
    delete this;
    return 0;
  }
  return std::max(static_cast<ULONG>(count), 1ul);
}

HRESULT GetInterface(IUnknown* unk, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = unk;
  unk->AddRef();
  return S_OK;
}
