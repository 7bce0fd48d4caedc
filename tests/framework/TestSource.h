#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "framework/CSource.h"
#include "framework/CSourceStream.h"

namespace tvqtest {

// {5A3C5D0E-8C52-4B0B-9E0C-2B8F3F6A1D11}, a class identifier for the test source only.
extern const CLSID CLSID_TestSource;

// An output pin producing small RGB24 frames whose bytes follow PatternByte(frame, i), stamped
// frame × kFrameTime when timestamps are on; every worker thread starts again at frame 0. What FillBuffer returns for frame n and what
// OnThreadCreate returns are set by the test before the filter leaves Stopped.
class TestStream : public CSourceStream {
 public:
  static constexpr LONG kWidth = 8;
  static constexpr LONG kHeight = 4;
  static constexpr DWORD kFrameBytes = kWidth * 3 * kHeight;
  static constexpr REFERENCE_TIME kFrameTime = 20 * 10000;  // 20 ms
  static BYTE PatternByte(LONGLONG frame, size_t i) { return static_cast<BYTE>(frame * 7 + i); }

  TestStream(HRESULT* phr, CSource* source, const wchar_t* name);
  ~TestStream() override;
  using CSourceStream::GetMediaType;

  HRESULT GetMediaType(CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override;
  HRESULT FillBuffer(IMediaSample* pSample) override;
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadDestroy() override;
  HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                            REFERENCE_TIME* pEndTime, DWORD dwFlags) override;

  // Lets the test send raw commands to the worker.
  using CAMThread::CallWorker;

  std::function<HRESULT(int frame)> m_fillResult;  // null: S_OK for every frame
  HRESULT m_createResult = S_OK;
  bool m_timestamps = true;
  long m_buffers = 2;
  HRESULT m_decideBufferResult = S_OK;
  std::function<void()> m_onDestroy;

  std::atomic<int> m_fills{0};  // over every worker thread
  std::atomic<int> m_frame{0};  // since the worker thread started
  std::atomic<int> m_bufferRequests{0};
  std::atomic<int> m_threadsCreated{0};
  std::atomic<int> m_threadsDestroyed{0};
};

// A source with one TestStream pin ("Out") or more.
class TestSource : public CSource {
 public:
  explicit TestSource(int pins = 1);
  TestStream* Stream(int n) { return static_cast<TestStream*>(GetPin(n)); }
  HRESULT m_constructResult = S_OK;
};

}  // namespace tvqtest
