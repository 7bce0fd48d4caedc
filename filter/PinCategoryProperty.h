#pragma once

#include <windows.h>

// The one property the output pin answers through IKsPropertySet: its category, which tells
// capture graph builders that it is a capture pin. Free of any object state, so any thread.
namespace tvq {

HRESULT GetPinCategoryProperty(REFGUID propertySet, DWORD propertyId, void* data, DWORD dataLength,
                               DWORD* returnedLength);

HRESULT QueryPinCategorySupport(REFGUID propertySet, DWORD propertyId, DWORD* support);

}  // namespace tvq
