#include "tests/reliability/GuardedSink.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

SIZE_T PageSize() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwPageSize;
}

SIZE_T RoundUp(SIZE_T value, SIZE_T step) { return (value + step - 1) / step * step; }

// A copy of a media type in task memory for a caller that frees it.
HRESULT CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
  *to = from;
  to->pUnk = nullptr;
  to->pbFormat = nullptr;
  if (from.cbFormat == 0) return S_OK;
  to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
  if (to->pbFormat == nullptr) return E_OUTOFMEMORY;
  std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
  return S_OK;
}

}  // namespace

// --- GuardedSample ------------------------------------------------------------------------------

GuardedSample::GuardedSample(GuardedAllocator* owner, long size) : m_owner(owner), m_size(size) {
  const SIZE_T page = PageSize();
  const SIZE_T body = RoundUp(static_cast<SIZE_T>(size > 0 ? size : 1), page);
  m_region = VirtualAlloc(nullptr, body + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (m_region == nullptr) return;
  DWORD old = 0;
  BYTE* guard = static_cast<BYTE*>(m_region) + body;
  if (!VirtualProtect(guard, page, PAGE_NOACCESS, &old)) return;
  m_data = guard - size;
  m_actual = size;
}

GuardedSample::~GuardedSample() {
  if (m_region != nullptr) VirtualFree(m_region, 0, MEM_RELEASE);
}

STDMETHODIMP GuardedSample::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMediaSample) {
    *ppv = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) GuardedSample::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) GuardedSample::Release() {
  const LONG refs = --m_refs;
  if (refs == 0) m_owner->ReleaseBuffer(this);
  return static_cast<ULONG>(refs);
}

STDMETHODIMP GuardedSample::GetPointer(BYTE** ppBuffer) {
  if (ppBuffer == nullptr) return E_POINTER;
  *ppBuffer = m_data;
  return S_OK;
}

STDMETHODIMP GuardedSample::GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
  if (!m_timeSet) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (pStart) *pStart = m_start;
  if (pEnd) *pEnd = m_stop;
  return S_OK;
}

STDMETHODIMP GuardedSample::SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) {
  m_timeSet = pStart != nullptr;
  m_start = pStart ? *pStart : 0;
  m_stop = pEnd ? *pEnd : m_start;
  return S_OK;
}

STDMETHODIMP GuardedSample::SetSyncPoint(BOOL value) {
  m_sync = value != FALSE;
  return S_OK;
}

STDMETHODIMP GuardedSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > m_size) return VFW_E_BUFFER_OVERFLOW;
  m_actual = length;
  return S_OK;
}

STDMETHODIMP GuardedSample::GetMediaType(AM_MEDIA_TYPE** ppType) {
  if (ppType == nullptr) return E_POINTER;
  *ppType = nullptr;
  return S_FALSE;
}

void GuardedSample::ClearProperties() {
  m_sync = false;
  m_timeSet = false;
  m_start = m_stop = 0;
  m_actual = m_size;
}

// --- GuardedAllocator ---------------------------------------------------------------------------

GuardedAllocator::GuardedAllocator() = default;

GuardedAllocator::~GuardedAllocator() {
  AcquireSRWLockExclusive(&m_lock);
  FreeSamplesLocked();
  ReleaseSRWLockExclusive(&m_lock);
}

void GuardedAllocator::FreeSamplesLocked() {
  for (GuardedSample* sample : m_samples) delete sample;
  m_samples.clear();
  m_free.clear();
}

STDMETHODIMP GuardedAllocator::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
    *ppv = static_cast<IMemAllocator*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP GuardedAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                             ALLOCATOR_PROPERTIES* pActual) {
  if (pRequest == nullptr || pActual == nullptr) return E_POINTER;
  AcquireSRWLockExclusive(&m_lock);
  HRESULT hr = S_OK;
  if (m_committed) {
    hr = VFW_E_ALREADY_COMMITTED;
  } else if (m_outstanding > 0) {
    hr = VFW_E_BUFFERS_OUTSTANDING;
  } else if (pRequest->cbBuffer <= 0 || pRequest->cbBuffer > kMaxBuffer ||
             pRequest->cBuffers < 0 || pRequest->cBuffers > 16) {
    hr = E_OUTOFMEMORY;
  } else {
    m_props = *pRequest;
    if (m_props.cBuffers == 0) m_props.cBuffers = 1;
    m_props.cbAlign = 1;
    m_props.cbPrefix = 0;
    *pActual = m_props;
  }
  ReleaseSRWLockExclusive(&m_lock);
  return hr;
}

STDMETHODIMP GuardedAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
  if (pProps == nullptr) return E_POINTER;
  AcquireSRWLockShared(&m_lock);
  *pProps = m_props;
  ReleaseSRWLockShared(&m_lock);
  return S_OK;
}

STDMETHODIMP GuardedAllocator::Commit() {
  AcquireSRWLockExclusive(&m_lock);
  HRESULT hr = S_OK;
  const bool sameShape = static_cast<long>(m_samples.size()) == m_props.cBuffers &&
                         !m_samples.empty() && m_samples.front()->GetSize() == m_props.cbBuffer;
  if (m_props.cbBuffer <= 0) {
    hr = VFW_E_SIZENOTSET;
  } else if (!sameShape && m_outstanding > 0) {
    hr = VFW_E_BUFFERS_OUTSTANDING;
  } else if (!sameShape) {
    FreeSamplesLocked();
    for (long i = 0; i < m_props.cBuffers && SUCCEEDED(hr); ++i) {
      auto* sample = new GuardedSample(this, m_props.cbBuffer);
      m_samples.push_back(sample);
      m_free.push_back(sample);
      if (!sample->IsValid()) hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) FreeSamplesLocked();
  }
  m_committed = SUCCEEDED(hr);
  ReleaseSRWLockExclusive(&m_lock);
  return hr;
}

STDMETHODIMP GuardedAllocator::Decommit() {
  AcquireSRWLockExclusive(&m_lock);
  m_committed = false;
  ReleaseSRWLockExclusive(&m_lock);
  WakeAllConditionVariable(&m_freed);
  return S_OK;
}

STDMETHODIMP GuardedAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME*, REFERENCE_TIME*,
                                         DWORD dwFlags) {
  if (ppBuffer == nullptr) return E_POINTER;
  *ppBuffer = nullptr;
  AcquireSRWLockExclusive(&m_lock);
  while (m_committed && m_free.empty() && !(dwFlags & AM_GBF_NOWAIT)) {
    SleepConditionVariableSRW(&m_freed, &m_lock, INFINITE, 0);
  }
  HRESULT hr = S_OK;
  if (!m_committed) {
    hr = VFW_E_NOT_COMMITTED;
  } else if (m_free.empty()) {
    hr = VFW_E_TIMEOUT;
  } else {
    GuardedSample* sample = m_free.back();
    m_free.pop_back();
    ++m_outstanding;
    sample->ClearProperties();
    sample->Hand();
    *ppBuffer = sample;
  }
  ReleaseSRWLockExclusive(&m_lock);
  return hr;
}

STDMETHODIMP GuardedAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
  AcquireSRWLockExclusive(&m_lock);
  m_free.push_back(static_cast<GuardedSample*>(pBuffer));
  --m_outstanding;
  ReleaseSRWLockExclusive(&m_lock);
  WakeAllConditionVariable(&m_freed);
  return S_OK;
}

// --- GuardedSink --------------------------------------------------------------------------------

GuardedSink::GuardedSink() = default;

GuardedSink::~GuardedSink() {
  if (m_connected != nullptr) m_connected->Release();
}

bool GuardedSink::WaitForSamples(LONG count, DWORD timeoutMs) const {
  return WaitUntil([&] { return m_received >= count; }, timeoutMs);
}

STDMETHODIMP GuardedSink::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) {
    *ppv = static_cast<IPin*>(this);
  } else if (riid == IID_IMemInputPin) {
    *ppv = static_cast<IMemInputPin*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP GuardedSink::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (pConnector == nullptr || pmt == nullptr) return E_POINTER;
  if (m_connected != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (pmt->formattype != FORMAT_VideoInfo || pmt->cbFormat < sizeof(VIDEOINFOHEADER) ||
      pmt->pbFormat == nullptr) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  std::memcpy(&m_vih, pmt->pbFormat, sizeof(m_vih));
  m_connected = pConnector;
  m_connected->AddRef();
  return S_OK;
}

STDMETHODIMP GuardedSink::Disconnect() {
  if (m_connected == nullptr) return S_FALSE;
  m_connected->Release();
  m_connected = nullptr;
  return S_OK;
}

STDMETHODIMP GuardedSink::ConnectedTo(IPin** pPin) {
  if (pPin == nullptr) return E_POINTER;
  *pPin = m_connected;
  if (m_connected == nullptr) return VFW_E_NOT_CONNECTED;
  m_connected->AddRef();
  return S_OK;
}

STDMETHODIMP GuardedSink::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (pmt == nullptr) return E_POINTER;
  if (m_connected == nullptr) return VFW_E_NOT_CONNECTED;
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = m_vih.bmiHeader.biSizeImage;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(m_vih);
  type.pbFormat = reinterpret_cast<BYTE*>(&m_vih);
  return CopyMediaType(type, pmt);
}

STDMETHODIMP GuardedSink::QueryPinInfo(PIN_INFO* pInfo) {
  if (pInfo == nullptr) return E_POINTER;
  pInfo->pFilter = nullptr;
  pInfo->dir = PINDIR_INPUT;
  wcscpy_s(pInfo->achName, L"Guarded input");
  return S_OK;
}

STDMETHODIMP GuardedSink::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (pPinDir == nullptr) return E_POINTER;
  *pPinDir = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP GuardedSink::QueryId(LPWSTR* Id) {
  if (Id == nullptr) return E_POINTER;
  *Id = static_cast<LPWSTR>(CoTaskMemAlloc(3 * sizeof(wchar_t)));
  if (*Id == nullptr) return E_OUTOFMEMORY;
  wcscpy_s(*Id, 3, L"In");
  return S_OK;
}

// No preferences: the output pin proposes its own type.
STDMETHODIMP GuardedSink::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  *ppEnum = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP GuardedSink::EndOfStream() {
  ++m_endOfStreams;
  return S_OK;
}

STDMETHODIMP GuardedSink::GetAllocator(IMemAllocator** ppAllocator) {
  if (ppAllocator == nullptr) return E_POINTER;
  *ppAllocator = &m_allocator;
  m_allocator.AddRef();
  return S_OK;
}

STDMETHODIMP GuardedSink::NotifyAllocator(IMemAllocator* pAllocator, BOOL) {
  return pAllocator == &m_allocator ? S_OK : E_FAIL;
}

STDMETHODIMP GuardedSink::Receive(IMediaSample* pSample) {
  if (pSample == nullptr) return E_POINTER;
  BYTE* data = nullptr;
  pSample->GetPointer(&data);
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  const bool timed = pSample->GetTime(&start, &stop) == S_OK;
  const long size = pSample->GetSize();
  if (!timed || size != static_cast<long>(m_vih.bmiHeader.biSizeImage)) ++m_malformed;
  if (m_inspector) m_inspector(ReceivedSample{data, size, &m_vih, start, stop});
  ++m_received;
  return S_OK;
}

STDMETHODIMP GuardedSink::ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                                          long* nSamplesProcessed) {
  if (pSamples == nullptr || nSamplesProcessed == nullptr) return E_POINTER;
  *nSamplesProcessed = 0;
  for (long i = 0; i < nSamples; ++i) {
    const HRESULT hr = Receive(pSamples[i]);
    if (hr != S_OK) return hr;
    ++*nSamplesProcessed;
  }
  return S_OK;
}

}  // namespace tvqtest
