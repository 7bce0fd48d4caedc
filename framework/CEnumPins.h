#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "framework/CSimpleUnknown.h"

class CBaseFilter;
class CBasePin;

// Enumerates a filter's pins; holds a reference on the filter. Not a counted framework object.
// Takes no lock (the filter's GetPinCount/GetPin take theirs); meant for one caller at a time.
class CEnumPins : public CSimpleUnknown<IEnumPins, IID_IEnumPins> {
 public:
  // other, when given, is copied: position, pin count, version and the pins already returned.
  CEnumPins(CBaseFilter* filter, const CEnumPins* other);
  ~CEnumPins() override;

  STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
  STDMETHODIMP Skip(ULONG cPins) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** ppEnum) override;

 private:
  bool AlreadyReturned(CBasePin* pin) const;
  IBaseFilter* FilterInterface() const;

  int m_Position = 0;
  int m_PinCount = 0;
  CBaseFilter* m_pFilter;           // counted through its IBaseFilter
  LONG m_Version = 0;
  std::vector<CBasePin*> m_PinCache;  // returned since the last Reset; not counted
};
