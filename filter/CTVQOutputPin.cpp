#include "filter/CTVQOutputPin.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdlib>
#include <cstring>

#include "channel/ChannelNames.h"
#include "channel/ChannelWait.h"
#include "filter/CTVQSourceFilter.h"
#include "filter/FilterIdentity.h"
#include "filter/FilterSettings.h"
#include "filter/PinCategoryProperty.h"

namespace {

void FillWithNoise(BYTE* data, long size) {
  for (long i = 0; i < size; ++i) data[i] = static_cast<BYTE>(std::rand() % 255);
}

DWORD ChannelWaitFor(const tvq::VideoFormat& format) {
  return tvq::ChannelWaitMs(static_cast<double>(format.interval) / 10000.0);
}

bool SameFormat(const tvq::VideoFormat& a, const tvq::VideoFormat& b) {
  return a.interval == b.interval && std::memcmp(&a.header, &b.header, sizeof(a.header)) == 0;
}

}  // namespace

CTVQOutputPin::CTVQOutputPin(HRESULT* phr, CSource* filter)
    : CSourceStream(L"Tessavue output pin", phr, filter, tvq::kOutputPinName),
      m_formats(tvq::LoadDefaultFormat(tvq::ResolveSettingsPath())) {
  CreateChannelObjects();
}

// Same order as the Manager: format, interval, pixels.
CTVQOutputPin::~CTVQOutputPin() {
  m_format.Close();
  m_interval.Close();
  m_pixels.Close();
}

void CTVQOutputPin::CreateChannelObjects() {
  m_format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize);
  m_interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize);
  m_pixels.Create(tvq::kPixelObjectName, static_cast<int>(m_formats.Default().header.biSizeImage));
}

STDMETHODIMP CTVQOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
  if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
  return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTVQOutputPin::GetMediaType(CMediaType* pmt) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!pmt) return E_POINTER;
  BYTE* block = pmt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER));
  if (!block) return E_OUTOFMEMORY;
  const tvq::VideoFormat current = m_formats.Offered();
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = current.interval;
  vih.bmiHeader = current.header;
  std::memcpy(block, &vih, sizeof(vih));

  const GUID subtype = GetBitmapSubtype(&current.header);
  pmt->SetType(&MEDIATYPE_Video);
  pmt->SetSubtype(&subtype);
  pmt->SetFormatType(&FORMAT_VideoInfo);
  pmt->SetTemporalCompression(FALSE);
  pmt->SetSampleSize(current.header.biSizeImage);
  return S_OK;
}

HRESULT CTVQOutputPin::CheckMediaType(const CMediaType* pmt) {
  const HRESULT offered = CSourceStream::CheckMediaType(pmt);
  if (offered == S_OK || pmt == nullptr) return offered;
  tvq::VideoFormat proposed{};
  if (tvq::CheckRequestedFormat(pmt, m_formats.Default(), &proposed) != S_OK) return offered;
  return SameFormat(proposed, m_formats.Offered()) ? S_OK : offered;
}

// The picture of the agreed connection type, with its image size worked out from the picture:
// a client may have connected with the stale size it gave SetFormat.
bool CTVQOutputPin::ConnectionHeader(BITMAPINFOHEADER* header) const {
  if (m_mt.FormatType() == nullptr || *m_mt.FormatType() != FORMAT_VideoInfo ||
      m_mt.FormatLength() < sizeof(VIDEOINFOHEADER) || m_mt.Format() == nullptr) {
    return false;
  }
  *header = reinterpret_cast<const VIDEOINFOHEADER*>(m_mt.Format())->bmiHeader;
  header->biSizeImage = tvq::Rgb24ImageSize(header->biWidth, header->biHeight);
  return true;
}

HRESULT CTVQOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!pAlloc || !pProps) return E_POINTER;
  // The agreed connection type decides the buffer, not a format chosen since.
  BITMAPINFOHEADER connection{};
  if (!ConnectionHeader(&connection)) return VFW_E_INVALIDMEDIATYPE;

  ALLOCATOR_PROPERTIES request = *pProps;
  if (request.cBuffers == 0) request.cBuffers = 2;
  request.cbBuffer = static_cast<long>(connection.biSizeImage);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(&request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request.cbBuffer ? E_FAIL : S_OK;
}

// The format object's mutex is held across both writes, so that a format never meets another
// filter's interval, and so that looking for a streaming filter and writing are one step: the
// streaming filter takes the single-instance mutex before it publishes. False when the Manager
// held an object longer than an interval and nothing or only the format was written.
bool CTVQOutputPin::Publish(const tvq::VideoFormat& format, PublishWhen when) {
  const DWORD waitMs = ChannelWaitFor(format);
  SharedMemoryHold hold(m_format, waitMs);
  if (!hold.Held()) return false;
  if (when == PublishWhen::NoFilterStreams && CTVQSourceFilter::AnyFilterStreams()) return true;
  m_format.Write(&format.header, sizeof(format.header), waitMs);
  return m_interval.Write(&format.interval, sizeof(format.interval), waitMs);
}

// The Manager must compose what the samples hold. A stop returns the offer to the default (or
// to a choice made while streaming), but the connection keeps the picture it was made with, so a
// run without reconnecting publishes the connection's picture (with the interval the worker paces
// by). The publication stands even when the activation fails; one that a stalled Manager kept
// out is tried again by the worker.
HRESULT CTVQOutputPin::Active() {
  tvq::VideoFormat published = m_formats.Current();
  if (IsConnected()) ConnectionHeader(&published.header);
  m_streamingFormat = published;
  m_unpublished = !Publish(published, PublishWhen::Always);
  return CSourceStream::Active();
}

HRESULT CTVQOutputPin::Inactive() {
  m_frameCounter = 0;
  m_formats.Reset();
  const HRESULT hr = CSourceStream::Inactive();
  // The worker may have stamped one more sample before it stopped; the next start counts from 0.
  m_frameCounter = 0;
  return hr;
}

// A Manager that holds the channel longer than a frame interval is stalled: the client gets the
// last whole picture again, on time, rather than a wait with it. Until the Manager has been told
// this filter's picture, the pixel object may hold a picture of another size.
void CTVQOutputPin::CopyFrame(BYTE* data, long size) {
  if (size <= 0) return;
  if (m_pixels.MappingHandle() == nullptr) {
    FillWithNoise(data, size);
    return;
  }
  if (m_unpublished && Publish(m_streamingFormat, PublishWhen::Always)) m_unpublished = false;
  if (!m_unpublished &&
      m_pixels.Read(data, static_cast<int>(size), ChannelWaitFor(m_formats.Current()))) {
    m_lastPicture.Keep(data, size);
  } else {
    m_lastPicture.CopyTo(data, size);
  }
}

HRESULT CTVQOutputPin::FillBuffer(IMediaSample* pSample) {
  CAutoLock fill(&m_fillLock);
  if (!pSample) return E_POINTER;
  BYTE* data = nullptr;
  if (pSample->GetPointer(&data) != S_OK || data == nullptr) return S_FALSE;
  CopyFrame(data, pSample->GetSize());
  pSample->SetSyncPoint(TRUE);

  // One read of the interval serves the time stamps and the pacing of this sample.
  const REFERENCE_TIME interval = m_formats.Current().interval;
  const LONGLONG frame = m_frameCounter++;
  REFERENCE_TIME start = frame * interval;
  REFERENCE_TIME stop = start + interval;
  pSample->SetTime(&start, &stop);
  // The sample leaves on its deadline, so the copy and the previous delivery count against the
  // interval and the stamps keep to real time.
  m_pacer.WaitForSample(frame, interval);
  return S_OK;
}

// The 1 ms timer resolution is held while the worker streams, not requested per sample.
HRESULT CTVQOutputPin::OnThreadCreate() {
  m_timerResolution.Begin();
  m_clock.InterruptWith(RequestEvent());
  return S_OK;
}

HRESULT CTVQOutputPin::OnThreadDestroy() {
  m_timerResolution.End();
  return S_OK;
}

STDMETHODIMP CTVQOutputPin::SetFormat(AM_MEDIA_TYPE* pmt) {
  tvq::VideoFormat accepted{};
  const HRESULT hr = tvq::CheckRequestedFormat(pmt, m_formats.Default(), &accepted);
  if (hr != S_OK) return hr;
  // While this filter streams its samples keep the connection's picture: the choice waits for the
  // next start.
  if (m_pFilter->IsActive()) {
    m_formats.Keep(accepted);
    return S_OK;
  }
  m_formats.Select(accepted);
  Publish(accepted, PublishWhen::NoFilterStreams);
  return S_OK;
}

STDMETHODIMP CTVQOutputPin::GetFormat(AM_MEDIA_TYPE** ppmt) {
  return tvq::CreateMediaType(m_formats.Offered(), ppmt);
}

STDMETHODIMP CTVQOutputPin::GetNumberOfCapabilities(int* piCount, int* piSize) {
  if (!piCount || !piSize) return E_POINTER;
  *piCount = 1;
  *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

// Negative indexes are served like index 0. The index and the record are looked at before the
// out pointer, which only the media type needs.
STDMETHODIMP CTVQOutputPin::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
  if (iIndex > 0) return S_FALSE;
  if (!pSCC) return E_NOTIMPL;
  const HRESULT hr = tvq::CreateMediaType(m_formats.Offered(), ppmt);
  if (FAILED(hr)) return hr;
  VIDEO_STREAM_CONFIG_CAPS caps;
  tvq::FillStreamCaps(m_formats.Default(), &caps);
  // The caller's record need not be aligned.
  std::memcpy(pSCC, &caps, sizeof(caps));
  return S_OK;
}

STDMETHODIMP CTVQOutputPin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP CTVQOutputPin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD,
                                LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) {
  return tvq::GetPinCategoryProperty(guidPropSet, dwPropID, pPropData, cbPropData, pcbReturned);
}

STDMETHODIMP CTVQOutputPin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID,
                                           DWORD* pTypeSupport) {
  return tvq::QueryPinCategorySupport(guidPropSet, dwPropID, pTypeSupport);
}
