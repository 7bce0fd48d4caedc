#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>

#include "channel/CSharedMemory.h"
#include "filter/CFormatSelection.h"
#include "filter/FramePacing.h"
#include "filter/HeldPicture.h"
#include "framework/CCritSec.h"
#include "framework/CSourceStream.h"

// The virtual camera's one output pin, "Out". It offers one RGB24 format built from the
// settings file, lets the client shrink the picture or slow the rate through IAMStreamConfig,
// names itself a capture pin through IKsPropertySet, publishes the chosen format and interval to
// the Manager through the channel, and fills every sample with the Manager's latest frame.
//
// Threads: construction, SetFormat, GetFormat, GetStreamCaps and the property set run on client
// threads without the state lock; GetMediaType, DecideBufferSize, Active and Inactive under it.
// FillBuffer runs on the worker thread and takes only the fill lock (never the state lock). The
// current format is shared through CFormatSelection, whose own lock is held only for a copy.
//
// Only the filter that streams (the one holding the single-instance mutex) tells the Manager
// what to compose: the format and interval objects must always match its samples. Another
// filter keeps its choice to itself until it starts; a choice made while streaming waits for
// the next start.
class CTVQOutputPin : public CSourceStream, public IAMStreamConfig, public IKsPropertySet {
 public:
  // Resolves the settings path (registry, else the open-file dialog), builds the default format
  // and creates or opens the three channel objects. *phr as for CSourceStream.
  CTVQOutputPin(HRESULT* phr, CSource* filter);
  ~CTVQOutputPin() override;

  TVQ_DECLARE_IUNKNOWN
  // Adds IAMStreamConfig and IKsPropertySet to the pin's interfaces.
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* pmt) override;
  // The offered type, or exactly the type a client last gave SetFormat (whose image size may be
  // stale): clients connect with the type they chose.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT FillBuffer(IMediaSample* pSample) override;
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadDestroy() override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
  STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
  STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

  // IKsPropertySet
  STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                   DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData) override;
  STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                   DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                   DWORD* pcbReturned) override;
  STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

  const tvq::VideoFormat& DefaultFormat() const { return m_formats.Default(); }
  tvq::VideoFormat CurrentFormat() const { return m_formats.Current(); }

 private:
  void CreateChannelObjects();
  enum class PublishWhen { Always, NoFilterStreams };
  bool Publish(const tvq::VideoFormat& format, PublishWhen when);
  bool ConnectionHeader(BITMAPINFOHEADER* header) const;
  void CopyFrame(BYTE* data, long size);

  CSharedMemory m_format;    // TVQ_BIH_SharedMemory: written here, read by the Manager
  CSharedMemory m_interval;  // TVQ_TimePerFrame_SharedMemory: written here
  CSharedMemory m_pixels;    // TVQ_Data_SharedMemory: written by the Manager, read here
  CCritSec m_fillLock;       // held for each whole FillBuffer call
  CFormatSelection m_formats;
  HeldPicture m_lastPicture;  // the worker's last whole picture, for a stalled Manager
  // What Active published, or tried to: set before the worker starts, then read by it.
  tvq::VideoFormat m_streamingFormat{};
  std::atomic<bool> m_unpublished{false};  // Active's publication timed out; the worker retries
  // Samples filled since the pin last became inactive; the worker counts, Inactive resets.
  std::atomic<LONGLONG> m_frameCounter{0};
  // Worker thread only: when each sample leaves, and the timer resolution while streaming.
  tvq::PerformanceClock m_clock;
  tvq::FramePacer m_pacer{m_clock};
  tvq::StreamTimerResolution m_timerResolution;
};
