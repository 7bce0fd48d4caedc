#pragma once

#include <windows.h>

#include "common/Lifetime.h"
#include "framework/CSource.h"

class CTVQOutputPin;

// "Tessavue Filter": the virtual camera's source filter with its one output pin. At most one
// filter object in the user's logon may be paused or running at a time; the named mutex
// "Mutex of TVQ Filter" exists exactly while one is.
//
// Threads: Pause, Stop and GetState run on the thread that drives the graph; the mutex is taken
// before the base behaviour of Pause and given back after that of Stop, outside the state lock,
// so that it covers every sample the filter delivers.
class CTVQSourceFilter : public CSource {
 public:
  // The class factory's creation function: S_OK in *phr when the filter and its pin were both
  // made, E_OUTOFMEMORY when either could not be allocated (a half-built filter is returned for
  // the factory to delete).
  static CUnknown* WINAPI CreateInstance(IUnknown* outer, HRESULT* phr);

  ~CTVQSourceFilter() override;

  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  // Never waits; VFW_S_CANT_CUE while paused, as a live source does.
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* pState) override;

  CTVQOutputPin* OutputPin() const { return m_pPin; }

  // True while any filter object in the user's logon is paused or running, this one included.
  static bool AnyFilterStreams();

 private:
  CTVQSourceFilter(IUnknown* outer, HRESULT* phr);

  CTVQOutputPin* m_pPin = nullptr;  // owned
  // Held while paused or running. Also closed when the filter is destroyed without a Stop, so
  // a client that never stopped its graph does not keep every other client from starting.
  tvq::UniqueKernelHandle m_singleInstance;
};
