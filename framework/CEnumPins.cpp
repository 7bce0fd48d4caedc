#include "framework/CEnumPins.h"

#include <vfwmsgs.h>

#include <algorithm>
#include <new>

#include "framework/CBaseFilter.h"
#include "framework/CBasePin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* other)
    : CSimpleUnknown(1), m_pFilter(filter) {
  FilterInterface()->AddRef();
  if (other) {
    m_Position = other->m_Position;
    m_PinCount = other->m_PinCount;
    m_Version = other->m_Version;
    // A copy that cannot hold the whole cache would return pins twice; Clone checks the size.
    try {
      m_PinCache = other->m_PinCache;
    } catch (const std::bad_alloc&) {
    }
  } else {
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
  }
}

CEnumPins::~CEnumPins() { FilterInterface()->Release(); }

IBaseFilter* CEnumPins::FilterInterface() const { return static_cast<IBaseFilter*>(m_pFilter); }

bool CEnumPins::AlreadyReturned(CBasePin* pin) const {
  return std::find(m_PinCache.begin(), m_PinCache.end(), pin) != m_PinCache.end();
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
  if (!ppPins) return E_POINTER;
  if (pcFetched) {
    *pcFetched = 0;
  } else if (cPins > 1) {
    return E_INVALIDARG;
  }
  // The filter changed: start again, but the cache keeps us from returning a pin twice.
  if (m_pFilter->GetPinVersion() != m_Version) {
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
  }
  ULONG fetched = 0;
  HRESULT result = S_OK;
  while (fetched < cPins && m_Position < m_PinCount) {
    CBasePin* pin = m_pFilter->GetPin(m_Position++);
    if (!pin) {
      result = VFW_E_ENUM_OUT_OF_SYNC;
      break;
    }
    if (AlreadyReturned(pin)) continue;
    try {
      m_PinCache.push_back(pin);
    } catch (const std::bad_alloc&) {
      result = E_OUTOFMEMORY;
      break;
    }
    ppPins[fetched] = static_cast<IPin*>(pin);
    ppPins[fetched]->AddRef();
    ++fetched;
  }
  // Also on failure, so that the caller can release the pins it did get.
  if (pcFetched) *pcFetched = fetched;
  if (FAILED(result)) return result;
  return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins) {
  if (m_pFilter->GetPinVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
  if (cPins > static_cast<ULONG>(m_PinCount - m_Position)) return S_FALSE;
  m_Position += static_cast<int>(cPins);
  return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
  m_Version = m_pFilter->GetPinVersion();
  m_PinCount = m_pFilter->GetPinCount();
  m_Position = 0;
  m_PinCache.clear();
  return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  if (m_pFilter->GetPinVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
  CEnumPins* copy = new (std::nothrow) CEnumPins(m_pFilter, this);
  if (!copy) return E_OUTOFMEMORY;
  if (copy->m_PinCache.size() != m_PinCache.size()) {
    copy->Release();
    return E_OUTOFMEMORY;
  }
  *ppEnum = copy;
  return S_OK;
}
