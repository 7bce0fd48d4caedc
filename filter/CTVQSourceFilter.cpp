#include "filter/CTVQSourceFilter.h"

#include <vfwmsgs.h>

#include <new>

#include "filter/CTVQOutputPin.h"
#include "filter/FilterIdentity.h"

CUnknown* WINAPI CTVQSourceFilter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  HRESULT ignored = S_OK;
  if (!phr) phr = &ignored;
  *phr = S_OK;
  auto* filter = new (std::nothrow) CTVQSourceFilter(outer, phr);
  if (!filter) *phr = E_OUTOFMEMORY;
  return filter;
}

CTVQSourceFilter::CTVQSourceFilter(IUnknown* outer, HRESULT* phr)
    : CSource(nullptr, outer, tvq::CLSID_TessavueFilter) {
  m_pPin = new (std::nothrow) CTVQOutputPin(phr, this);
  if (!m_pPin) *phr = E_OUTOFMEMORY;
}

// A client may release a running filter without stopping it; its worker must not outlive it.
CTVQSourceFilter::~CTVQSourceFilter() {
  if (m_State != State_Stopped) Stop();
  delete m_pPin;
}

STDMETHODIMP CTVQSourceFilter::Pause() {
  if (!m_singleInstance) {
    tvq::UniqueKernelHandle mutex(CreateMutexW(nullptr, TRUE, tvq::kSingleInstanceMutexName));
    const DWORD error = GetLastError();
    // Another filter object is paused or running somewhere in this logon.
    if (!mutex || error == ERROR_ALREADY_EXISTS) {
      return HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
    }
    m_singleInstance = std::move(mutex);
  }
  const HRESULT hr = CSource::Pause();
  // A start that failed leaves this filter stopped, and a stopped filter must not keep every other
  // one in the logon from starting.
  if (FAILED(hr) && m_State == State_Stopped) m_singleInstance.Reset();
  return hr;
}

// The mutex goes only once the worker has ended: another filter may publish its own format as
// soon as it can take it, and this filter's last samples must not meet that format's frames.
STDMETHODIMP CTVQSourceFilter::Stop() {
  const HRESULT hr = CSource::Stop();
  m_singleInstance.Reset();
  return hr;
}

bool CTVQSourceFilter::AnyFilterStreams() {
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, tvq::kSingleInstanceMutexName));
  return mutex.IsValid();
}

STDMETHODIMP CTVQSourceFilter::GetState(DWORD, FILTER_STATE* pState) {
  if (!pState) return E_POINTER;
  *pState = m_State;
  return m_State == State_Paused ? VFW_S_CANT_CUE : S_OK;
}
