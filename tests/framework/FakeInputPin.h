#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <vector>

#include "framework/CCritSec.h"
#include "framework/CMediaType.h"
#include "tests/common/ComStub.h"

namespace tvqtest {

// Media types handed out by a fake pin's EnumMediaTypes, as DeleteMediaType-able records.
class FakeTypeEnumerator : public ComStub<IEnumMediaTypes> {
 public:
  std::vector<CMediaType> m_types;
  size_t m_position = 0;
  bool m_succeedWithNothing = false;  // a broken enumerator: S_OK without a type, for ever
  bool m_repeatForEver = false;  // a broken enumerator: m_types over and over, never the end

  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP Reset() override {
    m_position = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }
};

// A downstream input pin that records what reaches it. Receive runs on the worker thread; the
// counters are atomic and the stored samples are guarded by m_lock.
class FakeInputPin : public ComStub<IPin, IMemInputPin> {
 public:
  ~FakeInputPin() override;

  // Configuration, set before connecting.
  PIN_DIRECTION m_dir = PINDIR_INPUT;
  bool m_knowsDirection = true;
  HRESULT m_receiveConnectionResult = S_OK;
  HRESULT m_receiveResult = S_OK;
  bool m_holdSamples = false;       // keep every sample (the allocator runs dry)
  IMemAllocator* m_offeredAllocator = nullptr;  // GetAllocator's answer; null: VFW_E_NO_ALLOCATOR
  FakeTypeEnumerator m_preferred;

  // What happened.
  std::vector<GUID> m_offeredSubtypes;  // ReceiveConnection's types, in order
  IPin* m_connector = nullptr;          // counted
  IMemAllocator* m_notifiedAllocator = nullptr;  // not counted
  std::atomic<int> m_receives{0};
  std::atomic<int> m_endOfStreams{0};
  std::atomic<int> m_disconnects{0};
  std::vector<BYTE> m_lastData;          // bytes of the last sample received

  void ReleaseHeldSamples();
  std::vector<BYTE> LastData();

  // IPin
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin**) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
    if (!m_knowsDirection) return E_NOTIMPL;
    *dir = m_dir;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override {
    ++m_endOfStreams;
    return S_OK;
  }
  STDMETHODIMP BeginFlush() override { return E_NOTIMPL; }
  STDMETHODIMP EndFlush() override { return E_NOTIMPL; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL) override {
    m_notifiedAllocator = allocator;
    return S_OK;
  }
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample**, LONG, LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

 private:
  CCritSec m_lock;
  std::vector<IMediaSample*> m_held;  // counted
};

}  // namespace tvqtest
