#include "filter/PinCategoryProperty.h"

#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

namespace tvq {
namespace {

HRESULT CheckPinCategoryId(REFGUID propertySet, DWORD propertyId) {
  if (propertySet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (propertyId != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  return S_OK;
}

}  // namespace

HRESULT GetPinCategoryProperty(REFGUID propertySet, DWORD propertyId, void* data, DWORD dataLength,
                               DWORD* returnedLength) {
  const HRESULT hr = CheckPinCategoryId(propertySet, propertyId);
  if (FAILED(hr)) return hr;
  if (data == nullptr && returnedLength == nullptr) return E_POINTER;
  if (returnedLength != nullptr) *returnedLength = sizeof(GUID);
  // No buffer: the caller only asked how large the answer is.
  if (data == nullptr) return S_OK;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
  return S_OK;
}

HRESULT QueryPinCategorySupport(REFGUID propertySet, DWORD propertyId, DWORD* support) {
  const HRESULT hr = CheckPinCategoryId(propertySet, propertyId);
  if (FAILED(hr)) return hr;
  if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

}  // namespace tvq
