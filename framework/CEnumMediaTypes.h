#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/CSimpleUnknown.h"

class CBasePin;

// Enumerates a pin's preferred media types (its GetMediaType by position); holds a reference on
// the pin, and so on its filter. Not a counted framework object. Takes no lock of its own.
class CEnumMediaTypes : public CSimpleUnknown<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  // other, when given, is copied: position and version.
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other);
  ~CEnumMediaTypes() override;

  // Each record handed out belongs to the caller, who frees it with DeleteMediaType.
  STDMETHODIMP Next(ULONG cTypes, AM_MEDIA_TYPE** ppTypes, ULONG* pcFetched) override;
  STDMETHODIMP Skip(ULONG cTypes) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

 private:
  IPin* PinInterface() const;

  ULONG m_Position = 0;
  CBasePin* m_pPin;   // counted through its IPin
  LONG m_Version = 0;
};
