#include "framework/CBaseOutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>

CBaseOutputPin::CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* phr, const wchar_t* pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_OUTPUT) {}

namespace {

void ReleaseAndClear(IMemAllocator** ppAlloc) {
  if (*ppAlloc) (*ppAlloc)->Release();
  *ppAlloc = nullptr;
}

}  // namespace

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** ppAlloc) {
  if (!pin || !ppAlloc) return E_POINTER;
  *ppAlloc = nullptr;
  ALLOCATOR_PROPERTIES props = {};
  pin->GetAllocatorRequirements(&props);  // only a wish; failure leaves the zeros
  if (props.cbAlign == 0) props.cbAlign = 1;

  HRESULT hr = pin->GetAllocator(ppAlloc);
  if (SUCCEEDED(hr) && *ppAlloc) {
    hr = DecideBufferSize(*ppAlloc, &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*ppAlloc, FALSE);
    if (SUCCEEDED(hr)) return S_OK;
  }
  ReleaseAndClear(ppAlloc);

  // Our own allocator, sized with the same record: the first DecideBufferSize may have changed it.
  hr = InitAllocator(ppAlloc);
  if (SUCCEEDED(hr) && *ppAlloc) {
    hr = DecideBufferSize(*ppAlloc, &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*ppAlloc, FALSE);
    if (SUCCEEDED(hr)) return S_OK;
  }
  ReleaseAndClear(ppAlloc);
  return FAILED(hr) ? hr : E_FAIL;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                          REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  if (!m_pAllocator) return E_NOINTERFACE;
  return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* pSample) {
  if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** ppAlloc) {
  return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(ppAlloc));
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                          double dRate) {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->NewSegment(tStart, tStop, dRate);
}

HRESULT CBaseOutputPin::Active() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  return pin->QueryInterface(IID_IMemInputPin,
                             reinterpret_cast<void**>(m_pInputPin.ReleaseAndGetAddressOf()));
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator) {
    const HRESULT hr = m_pAllocator->Decommit();
    if (FAILED(hr)) return hr;
    m_pAllocator.Reset();
  }
  m_pInputPin.Reset();
  return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*receivePin*/) {
  if (!m_pInputPin) return E_NOINTERFACE;
  return DecideAllocator(m_pInputPin.Get(), m_pAllocator.ReleaseAndGetAddressOf());
}

STDMETHODIMP CBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }

STDMETHODIMP CBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }

STDMETHODIMP CBaseOutputPin::EndFlush() { return E_UNEXPECTED; }
