#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "tests/common/ComStub.h"

namespace tvqtest {

// A sample with a buffer of its own that records what FillBuffer sets on it.
class FakeMediaSample : public ComStub<IMediaSample> {
 public:
  explicit FakeMediaSample(size_t size, BYTE fill = 0xCD) : m_buffer(size, fill) {}

  std::vector<BYTE>& Buffer() { return m_buffer; }
  bool failPointer = false;
  bool timeSet = false;
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  BOOL syncPoint = FALSE;
  int otherCalls = 0;  // setters FillBuffer is not meant to use

  STDMETHODIMP GetPointer(BYTE** ppBuffer) override {
    if (failPointer) return E_FAIL;
    *ppBuffer = m_buffer.data();
    return S_OK;
  }
  STDMETHODIMP_(LONG) GetSize() override { return static_cast<LONG>(m_buffer.size()); }
  STDMETHODIMP GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
  STDMETHODIMP SetTime(REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd) override {
    timeSet = true;
    start = pStart ? *pStart : -1;
    stop = pEnd ? *pEnd : -1;
    return S_OK;
  }
  STDMETHODIMP IsSyncPoint() override { return syncPoint ? S_OK : S_FALSE; }
  STDMETHODIMP SetSyncPoint(BOOL value) override {
    syncPoint = value;
    return S_OK;
  }
  STDMETHODIMP IsPreroll() override { return S_FALSE; }
  STDMETHODIMP SetPreroll(BOOL) override { return Other(); }
  STDMETHODIMP_(LONG) GetActualDataLength() override { return GetSize(); }
  STDMETHODIMP SetActualDataLength(LONG) override { return Other(); }
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE**) override { return S_FALSE; }
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return Other(); }
  STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
  STDMETHODIMP SetDiscontinuity(BOOL) override { return Other(); }
  STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
  STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return Other(); }

 private:
  HRESULT Other() {
    ++otherCalls;
    return S_OK;
  }
  std::vector<BYTE> m_buffer;
};

// An allocator that records what it is asked for and grants a chosen buffer size.
class FakeAllocator : public ComStub<IMemAllocator> {
 public:
  ALLOCATOR_PROPERTIES requested{};
  long grantedSize = -1;  // -1: whatever was asked
  HRESULT setResult = S_OK;

  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                             ALLOCATOR_PROPERTIES* pActual) override {
    requested = *pRequest;
    if (FAILED(setResult)) return setResult;
    *pActual = *pRequest;
    if (grantedSize >= 0) pActual->cbBuffer = grantedSize;
    return setResult;
  }
  STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Commit() override { return E_NOTIMPL; }
  STDMETHODIMP Decommit() override { return E_NOTIMPL; }
  STDMETHODIMP GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }
};

}  // namespace tvqtest
