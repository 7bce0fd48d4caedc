#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>
#include <vfwmsgs.h>

#include <atomic>
#include <functional>
#include <vector>

// A downstream input pin for the virtual camera's output pin that needs no graph: the output pin
// connects to it directly and takes its allocator, whose every buffer ends right at an
// inaccessible page, so that a write one byte past a sample's end faults at once instead of
// landing quietly in the next buffer.
//
// Threads: the test thread connects, disconnects and reads the counters; the filter's worker
// thread calls GetBuffer and Receive. The allocator's free list is guarded by an SRW lock (no
// kernel handles, so the process's handle count is not disturbed by the sink itself).
namespace tvqtest {

class GuardedAllocator;

class GuardedSample : public IMediaSample {
 public:
  GuardedSample(GuardedAllocator* owner, long size);
  virtual ~GuardedSample();
  GuardedSample(const GuardedSample&) = delete;
  GuardedSample& operator=(const GuardedSample&) = delete;

  bool IsValid() const { return m_data != nullptr; }
  void Hand() { m_refs = 1; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
  STDMETHODIMP_(LONG) GetSize() override { return m_size; }
  STDMETHODIMP GetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
  STDMETHODIMP SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override;
  STDMETHODIMP IsSyncPoint() override { return m_sync ? S_OK : S_FALSE; }
  STDMETHODIMP SetSyncPoint(BOOL value) override;
  STDMETHODIMP IsPreroll() override { return S_FALSE; }
  STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
  STDMETHODIMP_(LONG) GetActualDataLength() override { return m_actual; }
  STDMETHODIMP SetActualDataLength(LONG length) override;
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppType) override;
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
  STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
  STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
  STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

  bool HasTime() const { return m_timeSet; }
  REFERENCE_TIME Start() const { return m_start; }
  REFERENCE_TIME Stop() const { return m_stop; }
  void ClearProperties();

 private:
  GuardedAllocator* m_owner;  // not owned; outlives its samples
  std::atomic<LONG> m_refs{0};
  void* m_region = nullptr;  // the whole reservation, guard page included
  BYTE* m_data = nullptr;    // the sample's bytes, ending at the guard page
  long m_size = 0;
  long m_actual = 0;
  bool m_sync = false;
  bool m_timeSet = false;
  REFERENCE_TIME m_start = 0;
  REFERENCE_TIME m_stop = 0;
};

// Lives as long as the test keeps it; its reference count only guards against imbalance.
class GuardedAllocator : public IMemAllocator {
 public:
  GuardedAllocator();
  ~GuardedAllocator();
  GuardedAllocator(const GuardedAllocator&) = delete;
  GuardedAllocator& operator=(const GuardedAllocator&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                             ALLOCATOR_PROPERTIES* pActual) override;
  STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
  STDMETHODIMP Commit() override;
  STDMETHODIMP Decommit() override;
  STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                         REFERENCE_TIME* pEndTime, DWORD dwFlags) override;
  STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;

  // Largest buffer it grants: a settings file may ask for frames of gigabytes, which a real
  // allocator would refuse too.
  static constexpr long kMaxBuffer = 64 * 1024 * 1024;
  LONG References() const { return m_refs; }

 private:
  void FreeSamplesLocked();

  std::atomic<LONG> m_refs{1};
  SRWLOCK m_lock = SRWLOCK_INIT;
  CONDITION_VARIABLE m_freed = CONDITION_VARIABLE_INIT;
  ALLOCATOR_PROPERTIES m_props{};
  bool m_committed = false;
  std::vector<GuardedSample*> m_samples;  // owned
  std::vector<GuardedSample*> m_free;
  int m_outstanding = 0;
};

// What Receive saw of one sample.
struct ReceivedSample {
  const BYTE* data;
  long size;
  const VIDEOINFOHEADER* connection;  // the format the pin connected with
  REFERENCE_TIME start;
  REFERENCE_TIME stop;
};

class GuardedSink : public IPin, public IMemInputPin {
 public:
  using Inspector = std::function<void(const ReceivedSample&)>;

  GuardedSink();
  ~GuardedSink();
  GuardedSink(const GuardedSink&) = delete;
  GuardedSink& operator=(const GuardedSink&) = delete;

  // Called on the worker thread for every sample, before Receive returns.
  void SetInspector(Inspector inspector) { m_inspector = std::move(inspector); }
  // Samples received so far.
  LONG Received() const { return m_received; }
  // Samples whose buffer did not have the connection's image size, or that carried no time.
  LONG Malformed() const { return m_malformed; }
  LONG EndOfStreams() const { return m_endOfStreams; }
  // Waits until count samples in all have arrived; false on time-out.
  bool WaitForSamples(LONG count, DWORD timeoutMs) const;
  const VIDEOINFOHEADER& Connection() const { return m_vih; }
  bool IsConnected() const { return m_connected != nullptr; }
  GuardedAllocator& Allocator() { return m_allocator; }

  // IUnknown (not counted for lifetime: the test owns the sink)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

  // IPin
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pPin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
  STDMETHODIMP QueryId(LPWSTR* Id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Receive(IMediaSample* pSample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples,
                               long* nSamplesProcessed) override;
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

 private:
  std::atomic<LONG> m_refs{1};
  GuardedAllocator m_allocator;
  IPin* m_connected = nullptr;  // counted while connected
  VIDEOINFOHEADER m_vih{};
  Inspector m_inspector;
  std::atomic<LONG> m_received{0};
  std::atomic<LONG> m_malformed{0};
  std::atomic<LONG> m_endOfStreams{0};
};

}  // namespace tvqtest
