#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

class CBaseFilter;
class CBasePin;

// Enumerates a filter's pins; holds a reference on the filter. Not a counted framework object.
// Takes no lock (the filter's GetPinCount/GetPin take theirs); meant for one caller at a time.
class CEnumPins : public IEnumPins {
 public:
  // other, when given, is copied: position, pin count, version and the pins already returned.
  CEnumPins(CBaseFilter* filter, const CEnumPins* other);
  virtual ~CEnumPins();
  CEnumPins(const CEnumPins&) = delete;
  CEnumPins& operator=(const CEnumPins&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
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
  LONG m_cRef = 1;                  // interlocked only
  std::vector<CBasePin*> m_PinCache;  // returned since the last Reset; not counted
};
