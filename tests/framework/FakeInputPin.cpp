#include "tests/framework/FakeInputPin.h"

#include <vfwmsgs.h>

namespace tvqtest {

STDMETHODIMP FakeTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (m_succeedWithNothing) {
    if (fetched) *fetched = 0;
    return S_OK;
  }
  ULONG n = 0;
  for (; n < count && m_position < m_types.size(); ++n, ++m_position) {
    types[n] = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    CopyMediaType(types[n], &m_types[m_position]);
    if (m_repeatForEver && m_position + 1 == m_types.size()) m_position = static_cast<size_t>(-1);
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

FakeInputPin::~FakeInputPin() {
  ReleaseHeldSamples();
  if (m_connector) m_connector->Release();
}

STDMETHODIMP FakeInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) {
  m_offeredSubtypes.push_back(pmt->subtype);
  if (FAILED(m_receiveConnectionResult)) return m_receiveConnectionResult;
  m_connector = connector;
  m_connector->AddRef();
  return S_OK;
}

STDMETHODIMP FakeInputPin::Disconnect() {
  ++m_disconnects;
  if (m_connector) m_connector->Release();
  m_connector = nullptr;
  return S_OK;
}

STDMETHODIMP FakeInputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (m_preferred.m_types.empty() && !m_preferred.m_succeedWithNothing) return E_NOTIMPL;
  m_preferred.AddRef();
  *types = &m_preferred;
  return S_OK;
}

STDMETHODIMP FakeInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!m_offeredAllocator) return VFW_E_NO_ALLOCATOR;
  m_offeredAllocator->AddRef();
  *allocator = m_offeredAllocator;
  return S_OK;
}

STDMETHODIMP FakeInputPin::Receive(IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  {
    CAutoLock lock(&m_lock);
    m_lastData.assign(data, data + sample->GetActualDataLength());
    if (m_holdSamples) {
      sample->AddRef();
      m_held.push_back(sample);
    }
  }
  ++m_receives;
  return m_receiveResult;
}

void FakeInputPin::ReleaseHeldSamples() {
  CAutoLock lock(&m_lock);
  for (IMediaSample* sample : m_held) sample->Release();
  m_held.clear();
}

std::vector<BYTE> FakeInputPin::LastData() {
  CAutoLock lock(&m_lock);
  return m_lastData;
}

}  // namespace tvqtest
