#include "framework/CBasePin.h"

#include <vfwmsgs.h>

#include <cwchar>
#include <new>

#include "framework/CBaseFilter.h"
#include "framework/CEnumMediaTypes.h"

namespace {

// No real pin offers anywhere near this many types; an enumerator that keeps answering beyond it
// is broken and would otherwise hold the connection search for ever.
constexpr int kMaxTypesTried = 1000;

const CMediaType* AsMediaType(const AM_MEDIA_TYPE* pmt) { return static_cast<const CMediaType*>(pmt); }

// The general refusals, which say nothing more than "not this type".
bool IsGeneralRefusal(HRESULT hr) {
  return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

// A CheckMediaType answer other than S_OK, as a connection failure.
HRESULT RefusalOf(HRESULT hr) {
  return (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
}

std::unique_ptr<wchar_t[]> CopyString(const wchar_t* text) {
  if (!text) return nullptr;
  const size_t length = wcslen(text) + 1;
  std::unique_ptr<wchar_t[]> copy(new (std::nothrow) wchar_t[length]);
  if (copy) wmemcpy(copy.get(), text, length);
  return copy;
}

}  // namespace

CBasePin::CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* /*phr*/,
                   const wchar_t* pinName, PIN_DIRECTION dir)
    : CUnknown(objectName, nullptr),
      m_pName(CopyString(pinName)),
      m_dir(dir),
      m_pLock(lock),
      m_pFilter(filter) {}

// Does not disconnect: the filter's owner disconnects before the last reference goes.
CBasePin::~CBasePin() = default;

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
  if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef() {
  return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease() {
  return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

HRESULT CBasePin::SetMediaType(const CMediaType* pmt) { return m_mt.Set(*pmt); }

HRESULT CBasePin::CheckConnect(IPin* pin) {
  // A pin that cannot say its direction is taken to share ours, and is refused.
  PIN_DIRECTION other = m_dir;
  pin->QueryDirection(&other);
  return other == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*pmt*/) { return E_UNEXPECTED; }

STDMETHODIMP CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
  if (!pReceivePin) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
  const HRESULT hr = AgreeMediaType(pReceivePin, AsMediaType(pmt));
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* pmt) {
  if (pmt && !pmt->IsPartiallySpecified()) return AttemptConnection(receivePin, pmt);

  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  // The downstream pin's preferences first, then our own.
  for (int pass = 0; pass < 2; ++pass) {
    Microsoft::WRL::ComPtr<IEnumMediaTypes> types;
    const HRESULT got = pass == 0 ? receivePin->EnumMediaTypes(types.GetAddressOf())
                                  : EnumMediaTypes(types.GetAddressOf());
    if (FAILED(got) || !types) continue;
    const HRESULT hr = TryMediaTypes(receivePin, pmt, types.Get());
    if (SUCCEEDED(hr)) return S_OK;
    if (!IsGeneralRefusal(hr)) failure = hr;
  }
  return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* pmt, IEnumMediaTypes* types) {
  HRESULT hr = types->Reset();
  if (FAILED(hr)) return hr;
  HRESULT failure = S_OK;
  for (int tried = 0;; ++tried) {
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    // An enumerator that claims success without a type has nothing more to give either.
    if (tried == kMaxTypesTried || types->Next(1, &type, &fetched) != S_OK || !type) {
      DeleteMediaType(type);
      return failure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
    }
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    if (!pmt || AsMediaType(type)->MatchesPartial(pmt)) {
      result = AttemptConnection(receivePin, AsMediaType(type));
      if (FAILED(result) && failure == S_OK && !IsGeneralRefusal(result)) failure = result;
    }
    DeleteMediaType(type);
    if (SUCCEEDED(result)) return S_OK;
  }
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* pmt) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(pmt);
  if (hr != S_OK) {
    BreakConnect();
    return RefusalOf(hr);
  }
  m_Connected = receivePin;
  hr = SetMediaType(pmt);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
    if (SUCCEEDED(hr)) {
      hr = CompleteConnect(receivePin);
      if (SUCCEEDED(hr)) return hr;
      receivePin->Disconnect();
    }
  }
  BreakConnect();
  m_Connected.Reset();
  return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (!pConnector || !pmt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(pConnector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(AsMediaType(pmt));
  if (hr != S_OK) {
    BreakConnect();
    return RefusalOf(hr);
  }
  m_Connected = pConnector;
  hr = SetMediaType(AsMediaType(pmt));
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(pConnector);
    if (SUCCEEDED(hr)) return S_OK;
  }
  m_Connected.Reset();
  BreakConnect();
  return hr;
}

STDMETHODIMP CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!m_pFilter->IsStopped()) return VFW_E_NOT_STOPPED;
  if (!IsConnected()) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected.Reset();
  return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = m_Connected.Get();
  if (!*ppPin) return VFW_E_NOT_CONNECTED;
  (*ppPin)->AddRef();
  return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!IsConnected()) {
    InitMediaType(pmt);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(pmt, &m_mt);
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  pInfo->pFilter = static_cast<IBaseFilter*>(m_pFilter);
  pInfo->pFilter->AddRef();
  pInfo->achName[0] = L'\0';
  if (m_pName) wcsncat(pInfo->achName, m_pName.get(), 127);
  pInfo->dir = m_dir;
  return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* pDir) {
  if (!pDir) return E_POINTER;
  *pDir = m_dir;
  return S_OK;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  const HRESULT hr = CheckMediaType(AsMediaType(pmt));
  return FAILED(hr) ? S_FALSE : hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin** /*apPin*/, ULONG* /*nPin*/) {
  return E_NOTIMPL;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
  m_tStart = tStart;
  m_tStop = tStop;
  m_dRate = dRate;
  return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter* /*pSelf*/, Quality /*q*/) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::SetSink(IQualityControl* piqc) {
  CAutoLock lock(m_pLock);
  m_pQSink = piqc;
  return S_OK;
}
