#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

#include "framework/CBaseObject.h"
#include "framework/CCritSec.h"

class CBasePin;

// The filter half of the framework: state changes passed on to the pins, the reference clock,
// graph membership, filter information and events to the graph. Which pins exist is asked of
// the derived class.
//
// Threads: called on the graph's control threads; *m_pLock (supplied by the derived class)
// serialises state changes, SetSyncSource/GetSyncSource and JoinFilterGraph. GetState,
// StreamTime and NotifyEvent take no lock: a pin's worker thread calls NotifyEvent while a
// control thread may hold the lock.
class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  CBaseFilter(const wchar_t* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
  ~CBaseFilter() override;

  TVQ_DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Stream time = the clock's time minus the start time of the last Run; VFW_E_NO_CLOCK
  // without a clock.
  virtual HRESULT StreamTime(REFERENCE_TIME* streamTime);
  virtual LONG GetPinVersion() { return m_PinVersion; }
  virtual int GetPinCount() = 0;
  // The pin at position n, or null; not AddRef'd.
  virtual CBasePin* GetPin(int n) = 0;
  // What IAMovieSetup registers with the filter mapper; null (the default) makes Register and
  // Unregister do nothing.
  virtual const REGFILTER2* GetSetupData() { return nullptr; }

  // Passes an event to the graph; EC_COMPLETE gets this filter as its second parameter.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

  bool IsStopped() const { return m_State == State_Stopped; }
  bool IsActive() const { return m_State != State_Stopped; }

  // IPersist
  STDMETHODIMP GetClassID(CLSID* pClsid) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME tStart) override;
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* pState) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** ppClock) override;
  // IBaseFilter; FindPin is left to the derived filter.
  STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;
  // IAMovieSetup
  STDMETHODIMP Register() override;
  STDMETHODIMP Unregister() override;

 protected:
  FILTER_STATE m_State = State_Stopped;
  Microsoft::WRL::ComPtr<IReferenceClock> m_pClock;
  REFERENCE_TIME m_tStart = 0;
  CLSID m_clsid;
  CCritSec* m_pLock;                    // not owned
  std::unique_ptr<wchar_t[]> m_pName;   // copied at JoinFilterGraph
  IFilterGraph* m_pGraph = nullptr;     // not counted: the graph owns us
  // Not counted: part of the graph. Atomic: a worker's NotifyEvent reads it without the lock.
  std::atomic<IMediaEventSink*> m_pSink{nullptr};
  LONG m_PinVersion = 1;
};
