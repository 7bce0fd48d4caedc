#pragma once

#include <windows.h>
#include <control.h>
#include <strmif.h>

#include <vector>

#include "framework/CCritSec.h"
#include "tests/common/ComStub.h"

namespace tvqtest {

// A filter graph that only collects the events its filters send (from any thread).
class FakeGraph : public ComStub<IFilterGraph, IMediaEventSink> {
 public:
  struct Event {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
  };

  std::vector<Event> Events() {
    CAutoLock lock(&m_lock);
    return m_events;
  }

  STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
  STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP Reconnect(IPin*) override { return E_NOTIMPL; }
  STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
  STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
  STDMETHODIMP Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override {
    CAutoLock lock(&m_lock);
    m_events.push_back({code, param1, param2});
    return S_OK;
  }

 private:
  CCritSec m_lock;
  std::vector<Event> m_events;
};

}  // namespace tvqtest
