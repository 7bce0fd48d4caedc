#include "tests/framework/TestSource.h"

#include <amvideo.h>
#include <uuids.h>

#include <cstring>

namespace tvqtest {

const CLSID CLSID_TestSource = {0x5a3c5d0e, 0x8c52, 0x4b0b, {0x9e, 0x0c, 0x2b, 0x8f, 0x3f, 0x6a, 0x1d, 0x11}};

TestStream::TestStream(HRESULT* phr, CSource* source, const wchar_t* name)
    : CSourceStream(L"Test stream", phr, source, name) {}

TestStream::~TestStream() {
  if (m_onDestroy) m_onDestroy();
}

HRESULT TestStream::GetMediaType(CMediaType* pmt) {
  pmt->SetType(&MEDIATYPE_Video);
  pmt->SetSubtype(&MEDIASUBTYPE_RGB24);
  pmt->SetFormatType(&FORMAT_VideoInfo);
  pmt->SetTemporalCompression(FALSE);
  pmt->SetSampleSize(kFrameBytes);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  std::memset(vih, 0, sizeof(*vih));
  vih->AvgTimePerFrame = kFrameTime;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = kWidth;
  vih->bmiHeader.biHeight = kHeight;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = 24;
  vih->bmiHeader.biCompression = BI_RGB;
  vih->bmiHeader.biSizeImage = kFrameBytes;
  return S_OK;
}

HRESULT TestStream::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) {
  if (FAILED(m_decideBufferResult)) return m_decideBufferResult;
  pProps->cBuffers = m_buffers;
  pProps->cbBuffer = kFrameBytes;
  ALLOCATOR_PROPERTIES actual = {};
  const HRESULT hr = pAlloc->SetProperties(pProps, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < static_cast<long>(kFrameBytes) ? E_FAIL : S_OK;
}

HRESULT TestStream::FillBuffer(IMediaSample* pSample) {
  ++m_fills;
  const int frame = m_frame++;
  const HRESULT result = m_fillResult ? m_fillResult(frame) : S_OK;
  if (result != S_OK) return result;
  BYTE* data = nullptr;
  if (FAILED(pSample->GetPointer(&data)) || pSample->GetSize() < static_cast<long>(kFrameBytes)) {
    return E_FAIL;
  }
  for (size_t i = 0; i < kFrameBytes; ++i) data[i] = PatternByte(frame, i);
  pSample->SetActualDataLength(kFrameBytes);
  if (m_timestamps) {
    REFERENCE_TIME start = frame * kFrameTime;
    REFERENCE_TIME end = start + kFrameTime;
    pSample->SetTime(&start, &end);
  }
  pSample->SetSyncPoint(TRUE);
  return S_OK;
}

HRESULT TestStream::OnThreadCreate() {
  ++m_threadsCreated;
  m_frame = 0;
  return m_createResult;
}

HRESULT TestStream::OnThreadDestroy() {
  ++m_threadsDestroyed;
  return S_OK;
}

HRESULT TestStream::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  ++m_bufferRequests;
  return CSourceStream::GetDeliveryBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

TestSource::TestSource(int pins) : CSource(L"Test source", nullptr, CLSID_TestSource) {
  for (int n = 0; n < pins; ++n) {
    wchar_t name[16] = L"Out";
    if (n > 0) swprintf(name, 16, L"Out%d", n + 1);
    HRESULT hr = S_OK;
    new TestStream(&hr, this, name);
    if (FAILED(hr)) m_constructResult = hr;
  }
}

}  // namespace tvqtest
