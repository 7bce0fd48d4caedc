#include "framework/CBaseFilter.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cwchar>
#include <new>

#include "framework/CBasePin.h"
#include "framework/CEnumPins.h"

CBaseFilter::CBaseFilter(const wchar_t* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(name, outer), m_clsid(clsid), m_pLock(lock) {}

// Neither stops the filter nor touches the pins: a derived filter owns them.
CBaseFilter::~CBaseFilter() = default;

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
    return GetInterface(static_cast<IBaseFilter*>(this), ppv);
  }
  if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* streamTime) {
  if (!streamTime) return E_POINTER;
  if (!m_pClock) return VFW_E_NO_CLOCK;
  const HRESULT hr = m_pClock->GetTime(streamTime);
  if (FAILED(hr)) return hr;
  *streamTime -= m_tStart;
  return S_OK;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = m_pSink;  // read once: the control thread may change it
  if (!sink) return E_NOTIMPL;
  if (code == EC_COMPLETE) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = m_clsid;
  return S_OK;
}

// Every connected pin becomes inactive even when one fails; the first failure is returned.
STDMETHODIMP CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT result = S_OK;
  if (m_State != State_Stopped) {
    const int count = GetPinCount();
    for (int n = 0; n < count; ++n) {
      CBasePin* pin = GetPin(n);
      if (!pin) break;
      if (!pin->IsConnected()) continue;
      const HRESULT hr = pin->Inactive();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  m_State = State_Stopped;
  return result;
}

STDMETHODIMP CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    const int count = GetPinCount();
    for (int n = 0; n < count; ++n) {
      CBasePin* pin = GetPin(n);
      if (!pin) break;
      if (!pin->IsConnected()) continue;
      const HRESULT hr = pin->Active();
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Paused;
  return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart) {
  CAutoLock lock(m_pLock);
  m_tStart = tStart;
  if (m_State == State_Stopped) {
    // Through the interface, so that a derived filter's Pause runs.
    const HRESULT hr = static_cast<IBaseFilter*>(this)->Pause();
    if (FAILED(hr)) return hr;
  }
  if (m_State != State_Running) {
    const int count = GetPinCount();
    for (int n = 0; n < count; ++n) {
      CBasePin* pin = GetPin(n);
      if (!pin) break;
      if (!pin->IsConnected()) continue;
      const HRESULT hr = pin->Run(tStart);
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Running;
  return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD /*timeoutMs*/, FILTER_STATE* pState) {
  if (!pState) return E_POINTER;
  *pState = m_State;
  return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
  CAutoLock lock(m_pLock);
  m_pClock = pClock;
  return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** ppClock) {
  if (!ppClock) return E_POINTER;
  CAutoLock lock(m_pLock);
  *ppClock = m_pClock.Get();
  if (*ppClock) (*ppClock)->AddRef();
  return S_OK;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

namespace {

// Copies name into a 128-character field, truncated to 127 characters and terminated.
void CopyName(wchar_t (&field)[128], const wchar_t* name) {
  field[0] = L'\0';
  if (name) wcsncat(field, name, 127);
}

}  // namespace

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  CopyName(pInfo->achName, m_pName.get());
  pInfo->pGraph = m_pGraph;
  if (m_pGraph) m_pGraph->AddRef();
  return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  CAutoLock lock(m_pLock);
  m_pGraph = pGraph;
  m_pSink = nullptr;
  if (pGraph) {
    // The sink is part of the graph, which owns us: keep it without a reference.
    IMediaEventSink* sink = nullptr;
    if (SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) &&
        sink) {
      sink->Release();
      m_pSink = sink;
    }
  }
  m_pName.reset();
  if (pName) {
    const size_t length = wcslen(pName) + 1;
    m_pName.reset(new (std::nothrow) wchar_t[length]);
    if (!m_pName) return E_OUTOFMEMORY;
    wmemcpy(m_pName.get(), pName, length);
  }
  return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR* /*pVendorInfo*/) { return E_NOTIMPL; }

namespace {

HRESULT CreateFilterMapper(Microsoft::WRL::ComPtr<IFilterMapper2>* mapper) {
  return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                          reinterpret_cast<void**>(mapper->ReleaseAndGetAddressOf()));
}

}  // namespace

STDMETHODIMP CBaseFilter::Register() {
  const REGFILTER2* setup = GetSetupData();
  if (!setup) return S_FALSE;
  Microsoft::WRL::ComPtr<IFilterMapper2> mapper;
  const HRESULT hr = CreateFilterMapper(&mapper);
  if (FAILED(hr)) return hr;
  return mapper->RegisterFilter(m_clsid, m_pName ? m_pName.get() : L"", nullptr,
                                &CLSID_LegacyAmFilterCategory, nullptr, setup);
}

STDMETHODIMP CBaseFilter::Unregister() {
  if (!GetSetupData()) return S_FALSE;
  Microsoft::WRL::ComPtr<IFilterMapper2> mapper;
  const HRESULT hr = CreateFilterMapper(&mapper);
  if (FAILED(hr)) return hr;
  return mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, m_clsid);
}
