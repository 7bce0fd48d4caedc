#include "framework/CSource.h"

#include <vfwmsgs.h>

#include <climits>
#include <cwctype>
#include <new>

#include "framework/CSourceStream.h"

CSource::CSource(const wchar_t* name, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_cStateLock, clsid) {}

CSource::~CSource() {
  // A worker still producing would call into a pin being destroyed: stop the pins first.
  if (m_State != State_Stopped) CBaseFilter::Stop();
  // Each pin's destructor removes it from the array, which goes with the last pin.
  while (m_iPins != 0) delete m_paStreams[m_iPins - 1];
}

int CSource::GetPinCount() {
  CAutoLock lock(&m_cStateLock);
  return m_iPins;
}

CBasePin* CSource::GetPin(int n) {
  CAutoLock lock(&m_cStateLock);
  if (n < 0 || n >= m_iPins) return nullptr;
  return m_paStreams[n];
}

HRESULT CSource::AddPin(CSourceStream* stream) {
  CAutoLock lock(&m_cStateLock);
  CSourceStream** streams = new (std::nothrow) CSourceStream*[m_iPins + 1];
  if (!streams) return E_OUTOFMEMORY;
  for (int i = 0; i < m_iPins; ++i) streams[i] = m_paStreams[i];
  streams[m_iPins] = stream;
  delete[] m_paStreams;
  m_paStreams = streams;
  ++m_iPins;
  return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* stream) {
  for (int i = 0; i < m_iPins; ++i) {
    if (m_paStreams[i] != stream) continue;
    if (m_iPins == 1) {
      delete[] m_paStreams;
      m_paStreams = nullptr;
    } else {
      for (int j = i; j + 1 < m_iPins; ++j) m_paStreams[j] = m_paStreams[j + 1];
    }
    --m_iPins;
    return S_OK;
  }
  return S_FALSE;
}

int CSource::FindPinNumber(IPin* pin) {
  for (int i = 0; i < m_iPins; ++i) {
    if (static_cast<IPin*>(m_paStreams[i]) == pin) return i;
  }
  return -1;
}

namespace {

// Reads a decimal integer as the C library's atoi does (leading blanks, a sign, digits up to the
// first non-digit, none giving 0), saturating instead of overflowing.
long long ParsePinId(const wchar_t* text) {
  while (iswspace(*text)) ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    if (value < INT_MAX) value = value * 10 + (*text - L'0');
  }
  return negative ? -value : value;
}

}  // namespace

STDMETHODIMP CSource::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!Id) return VFW_E_NOT_FOUND;
  const long long number = ParsePinId(Id);
  CBasePin* pin = (number >= 1 && number <= INT_MAX) ? GetPin(static_cast<int>(number - 1)) : nullptr;
  if (!pin) return VFW_E_NOT_FOUND;
  *ppPin = static_cast<IPin*>(pin);
  (*ppPin)->AddRef();
  return S_OK;
}
