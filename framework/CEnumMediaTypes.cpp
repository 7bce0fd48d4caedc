#include "framework/CEnumMediaTypes.h"

#include <vfwmsgs.h>

#include <new>

#include "framework/CBasePin.h"
#include "framework/CMediaType.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other)
    : CSimpleUnknown(1), m_pPin(pin) {
  PinInterface()->AddRef();
  if (other) {
    m_Position = other->m_Position;
    m_Version = other->m_Version;
  } else {
    m_Version = m_pPin->GetMediaTypeVersion();
  }
}

CEnumMediaTypes::~CEnumMediaTypes() { PinInterface()->Release(); }

IPin* CEnumMediaTypes::PinInterface() const { return static_cast<IPin*>(m_pPin); }

namespace {

// Moves the type into a task-memory record; the format block and pUnk pass to the record.
AM_MEDIA_TYPE* HandOut(CMediaType& type) {
  auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!record) return nullptr;
  *record = type;
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  type.pUnk = nullptr;
  return record;
}

}  // namespace

STDMETHODIMP CEnumMediaTypes::Next(ULONG cTypes, AM_MEDIA_TYPE** ppTypes, ULONG* pcFetched) {
  if (!ppTypes) return E_POINTER;
  if (m_pPin->GetMediaTypeVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
  if (pcFetched) {
    *pcFetched = 0;
  } else if (cTypes > 1) {
    return E_INVALIDARG;
  }
  ULONG fetched = 0;
  while (cTypes > 0) {
    CMediaType type;
    const HRESULT hr = m_pPin->GetMediaType(static_cast<int>(m_Position++), &type);
    if (hr != S_OK) break;
    AM_MEDIA_TYPE* record = HandOut(type);
    if (!record) break;
    ppTypes[fetched++] = record;
    --cTypes;
  }
  if (pcFetched) *pcFetched = fetched;
  return cTypes == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cTypes) {
  if (cTypes == 0) return S_OK;
  if (m_pPin->GetMediaTypeVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
  m_Position += cTypes;
  CMediaType scratch;
  return m_pPin->GetMediaType(static_cast<int>(m_Position - 1), &scratch) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
  m_Position = 0;
  m_Version = m_pPin->GetMediaTypeVersion();
  return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  if (m_pPin->GetMediaTypeVersion() != m_Version) return VFW_E_ENUM_OUT_OF_SYNC;
  *ppEnum = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
