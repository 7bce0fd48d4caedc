#pragma once

#include <windows.h>
#include <vfwmsgs.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/CBaseFilter.h"
#include "framework/CBasePin.h"
#include "tests/common/ComStub.h"

namespace tvqtest {

// A plain pin that writes its state calls into a shared log ("Active 0", "Run 1", ...) and
// answers them with configurable results. "Connected" is set by the test directly.
class RecordingPin : public CBasePin {
 public:
  RecordingPin(CBaseFilter* filter, CCritSec* lock, int index, std::vector<std::string>* log)
      : CBasePin(L"Recording pin", filter, lock, nullptr, L"Pin", PINDIR_OUTPUT),
        m_index(index),
        m_log(log) {}

  void SetConnected(IPin* other) { m_Connected = other; }

  HRESULT Active() override { return Record("Active", m_activeResult); }
  HRESULT Inactive() override { return Record("Inactive", m_inactiveResult); }
  HRESULT Run(REFERENCE_TIME) override { return Record("Run", m_runResult); }
  HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
  // m_typeCount types, differing in their sample size (position + 1).
  HRESULT GetMediaType(int position, CMediaType* pmt) override {
    if (position < 0) return E_INVALIDARG;
    if (position >= m_typeCount) return VFW_S_NO_MORE_ITEMS;
    pmt->SetSampleSize(position + 1);
    return S_OK;
  }
  LONG GetMediaTypeVersion() override { return m_typeVersion; }
  STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
  STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }

  HRESULT m_activeResult = S_OK;
  HRESULT m_inactiveResult = S_OK;
  HRESULT m_runResult = S_OK;
  int m_typeCount = 1;
  LONG m_typeVersion = 1;

 private:
  HRESULT Record(const char* call, HRESULT result) {
    m_log->push_back(std::string(call) + " " + std::to_string(m_index));
    return result;
  }

  int m_index;
  std::vector<std::string>* m_log;
};

// A filter with a fixed set of RecordingPins; its Pause is logged as "Filter Pause".
class RecordingFilter : public CBaseFilter {
 public:
  explicit RecordingFilter(int pins)
      : CBaseFilter(L"Recording filter", nullptr, &m_lock, GUID_NULL) {
    for (int n = 0; n < pins; ++n) {
      m_pins.push_back(std::make_unique<RecordingPin>(this, &m_lock, n, &m_log));
    }
  }

  int GetPinCount() override { return m_pinCount >= 0 ? m_pinCount : static_cast<int>(m_pins.size()); }
  CBasePin* GetPin(int n) override {
    if (n < 0 || n >= static_cast<int>(m_pins.size())) return nullptr;
    return m_pins[n].get();
  }
  LONG GetPinVersion() override { return m_pinVersion; }
  STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  STDMETHODIMP Pause() override {
    m_log.push_back("Filter Pause");
    return CBaseFilter::Pause();
  }

  RecordingPin* Pin(int n) { return m_pins[n].get(); }
  FILTER_STATE State() const { return m_State; }

  std::vector<std::string> m_log;
  int m_pinCount = -1;  // what GetPinCount claims; -1: the real number
  LONG m_pinVersion = 1;

 private:
  CCritSec m_lock;
  std::vector<std::unique_ptr<RecordingPin>> m_pins;
};

}  // namespace tvqtest
