#pragma once

#include "framework/CBasePin.h"

// An output pin: negotiates an allocator when its connection completes, commits it when the
// filter leaves Stopped and decommits it on Stop, obtains empty samples and delivers filled
// ones and stream notifications downstream.
//
// Threads: the delivery operations take no lock; a worker thread calls them while a control
// thread may hold the filter's lock (a decommit then releases a worker waiting for a sample).
class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                 const wchar_t* pinName);

  // Picks the allocator with the input pin: the input pin's own first, else ours.
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** ppAlloc);
  // Sets the allocator's buffer count and size; the derived pin knows its format.
  virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                    REFERENCE_TIME* pEndTime, DWORD dwFlags);
  // The caller keeps its own reference on the sample.
  virtual HRESULT Deliver(IMediaSample* pSample);
  virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;

  // Meant for input pins: E_UNEXPECTED.
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;

 protected:
  Microsoft::WRL::ComPtr<IMemAllocator> m_pAllocator;
  Microsoft::WRL::ComPtr<IMemInputPin> m_pInputPin;
};
