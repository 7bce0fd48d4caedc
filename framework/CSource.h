#pragma once

#include "framework/CBaseFilter.h"

class CSourceStream;

// A push source: a filter whose pins are CSourceStream pins producing data on their own worker
// threads. It owns the state lock, which is also the filter's lock and every pin's lock, and it
// owns its pins: a pin adds itself when constructed and removes itself when destroyed.
//
// Lock order: the state lock, then a worker's access lock. Code on a worker thread never waits
// for the state lock.
class CSource : public CBaseFilter {
 public:
  CSource(const wchar_t* name, IUnknown* outer, REFCLSID clsid);
  // Deletes the pins from the last to the first.
  ~CSource() override;

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  CCritSec* pStateLock() { return &m_cStateLock; }
  HRESULT AddPin(CSourceStream* stream);
  // No lock: it runs from a pin's destructor during this filter's destruction.
  HRESULT RemovePin(CSourceStream* stream);
  // The position of the pin with this IPin, or -1.
  int FindPinNumber(IPin* pin);

  // IBaseFilter: the identifier is the pin's position + 1 in decimal (see CSourceStream::QueryId).
  STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;

 protected:
  int m_iPins = 0;
  CSourceStream** m_paStreams = nullptr;  // owned array of m_iPins pins, which it owns too
  CCritSec m_cStateLock;
};
