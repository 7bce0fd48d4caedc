#include "manager/capture/PropertyPages.h"

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "common/Lifetime.h"

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

bool OffersPages(IUnknown& object) {
  ComPtr<ISpecifyPropertyPages> pages;
  return object.QueryInterface(IID_ISpecifyPropertyPages,
                               reinterpret_cast<void**>(pages.GetAddressOf())) == S_OK;
}

}  // namespace

bool PropertyPages::Exist(IBaseFilter& device) {
  if (OffersPages(device)) return true;
  ComPtr<IEnumPins> pins;
  if (device.EnumPins(&pins) != S_OK) return false;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    if (OffersPages(*pin.Get())) return true;
  }
  return false;
}

bool PropertyPages::ShowDevice() {
  ComPtr<ISpecifyPropertyPages> pages;
  const HRESULT hr = m_device.QueryInterface(IID_ISpecifyPropertyPages,
                                             reinterpret_cast<void**>(pages.GetAddressOf()));
  if (hr != S_OK) return m_prompt.Report(hr);
  FILTER_INFO info = {};
  m_device.QueryFilterInfo(&info);
  ShowFrame(*pages.Get(), &m_device, info.achName);
  if (info.pGraph != nullptr) info.pGraph->Release();
  return true;
}

bool PropertyPages::ShowPins(PIN_DIRECTION direction) {
  ComPtr<IEnumPins> pins;
  if (m_device.EnumPins(&pins) != S_OK) return false;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION pinDirection;
    if (pin->QueryDirection(&pinDirection) != S_OK || pinDirection != direction) continue;
    ComPtr<ISpecifyPropertyPages> pages;
    const HRESULT hr = pin.As(&pages);
    if (hr != S_OK) return m_prompt.Report(hr);
    PIN_INFO info = {};
    pin->QueryPinInfo(&info);
    ShowFrame(*pages.Get(), pin.Get(), info.achName);
    if (info.pFilter != nullptr) info.pFilter->Release();
  }
  return true;
}

void PropertyPages::ShowFrame(ISpecifyPropertyPages& pages, IUnknown* object, const wchar_t* caption) {
  CAUUID pageList = {};
  if (pages.GetPages(&pageList) != S_OK) return;
  const UniqueCoTaskMem pageArray(pageList.pElems);
  OleCreatePropertyFrame(nullptr, 0, 0, caption, 1, &object, pageList.cElems, pageList.pElems, 0,
                         0, nullptr);
}

}  // namespace tvq
