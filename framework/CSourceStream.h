#pragma once

#include "framework/CAMThread.h"
#include "framework/CBaseOutputPin.h"
#include "framework/CSource.h"

// An output pin of a CSource with its own worker thread: when the filter leaves Stopped the
// thread starts and calls FillBuffer for one sample after another, delivering each downstream;
// Stop decommits the allocator (releasing a worker waiting for a sample), then tells the thread
// to stop and exit.
//
// Threads: Active, Inactive and the media type operations run on control threads under the
// source's state lock. FillBuffer, OnThreadCreate, OnThreadStartPlay and OnThreadDestroy run on
// the worker without any framework lock and must never wait for the state lock (directly or
// through GetPinCount, GetPin, CheckMediaType or GetMediaType(int, ...)): Stop holds it while
// it waits for the worker.
//
// A derived pin that supplies the single-type GetMediaType adds `using CSourceStream::GetMediaType;`.
class CSourceStream : public CAMThread, public CBaseOutputPin {
 public:
  enum Command : DWORD { CMD_INIT = 0, CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

  // *phr becomes the result of adding this pin to the source; E_OUTOFMEMORY when the worker's
  // command events could not be made (the pin then never starts a worker).
  CSourceStream(const wchar_t* objectName, HRESULT* phr, CSource* source, const wchar_t* pinName);
  ~CSourceStream() override;

  // Fills the sample (data, length, times, flags): S_OK delivers it, S_FALSE ends the stream,
  // a failure ends it and reports EC_ERRORABORT.
  virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;
  virtual HRESULT OnThreadCreate() { return S_OK; }
  virtual HRESULT OnThreadDestroy() { return S_OK; }
  virtual HRESULT OnThreadStartPlay() { return S_OK; }
  virtual HRESULT DoBufferProcessingLoop();
  // The pin's one media type; the base has none (E_UNEXPECTED).
  virtual HRESULT GetMediaType(CMediaType* pmt);

  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;

  // IPin: the pin's position in its source + 1, in decimal.
  STDMETHODIMP QueryId(LPWSTR* Id) override;

 protected:
  DWORD ThreadProc() override;

  CSource* m_pFilter;  // not counted: the source owns this pin

 private:
  HRESULT StartWorker();
  void StopWorker();
  HRESULT DeliverOneSample();
};
