#include "framework/CSourceStream.h"

#include <evcode.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include <cwchar>

namespace {

DWORD AsReply(HRESULT hr) { return static_cast<DWORD>(hr); }

}  // namespace

CSourceStream::CSourceStream(const wchar_t* objectName, HRESULT* phr, CSource* source,
                             const wchar_t* pinName)
    : CAMThread(nullptr),
      CBaseOutputPin(objectName, source, source->pStateLock(), phr, pinName),
      m_pFilter(source) {
  HRESULT hr = m_pFilter->AddPin(this);
  if (SUCCEEDED(hr) && !EventsReady()) hr = E_OUTOFMEMORY;
  if (phr) *phr = hr;
}

// The pin part goes first, then the thread part, which waits for a thread still running.
CSourceStream::~CSourceStream() { m_pFilter->RemovePin(this); }

HRESULT CSourceStream::GetMediaType(CMediaType* /*pmt*/) { return E_UNEXPECTED; }

HRESULT CSourceStream::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  CMediaType mine;
  GetMediaType(&mine);
  return mine == *pmt ? S_OK : E_FAIL;
}

HRESULT CSourceStream::GetMediaType(int position, CMediaType* pmt) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return GetMediaType(pmt);
}

STDMETHODIMP CSourceStream::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = nullptr;
  const int number = m_pFilter->FindPinNumber(static_cast<IPin*>(this)) + 1;
  if (number < 1) return VFW_E_NOT_FOUND;
  constexpr size_t kIdLength = 12;
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(kIdLength * sizeof(wchar_t)));
  if (!text) return E_OUTOFMEMORY;
  swprintf(text, kIdLength, L"%d", number);
  *Id = text;
  return S_OK;
}

// Production starts at Pause: Run sends no command.
HRESULT CSourceStream::Active() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (m_pFilter->IsActive()) return S_FALSE;
  if (!IsConnected()) return S_OK;
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  hr = StartWorker();
  // The filter stays Stopped, so no Stop will come to give the buffers back.
  if (FAILED(hr)) CBaseOutputPin::Inactive();
  return hr;
}

HRESULT CSourceStream::StartWorker() {
  if (!Create()) return E_FAIL;
  const HRESULT hr = static_cast<HRESULT>(CallWorker(CMD_INIT));
  if (FAILED(hr)) {
    // The worker replied with OnThreadCreate's failure and is ending: forget it, so that no
    // later command waits for it and the next Active can start a new one.
    Close();
    return hr;
  }
  return static_cast<HRESULT>(CallWorker(CMD_PAUSE));
}

HRESULT CSourceStream::Inactive() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!IsConnected()) return S_OK;
  // The decommit comes first: it fails a GetBuffer that waits for a free sample, so a worker
  // blocked there gets to see the commands.
  HRESULT hr = CBaseOutputPin::Inactive();
  if (FAILED(hr)) return hr;
  if (!ThreadExists()) return S_OK;
  hr = static_cast<HRESULT>(CallWorker(CMD_STOP));
  if (SUCCEEDED(hr)) hr = static_cast<HRESULT>(CallWorker(CMD_EXIT));
  if (FAILED(hr)) {
    // A worker that ended without replying is forgotten; a live one is left alone.
    if (ThreadHasEnded()) Close();
    return hr;
  }
  Close();
  return S_OK;
}

DWORD CSourceStream::ThreadProc() {
  while (GetRequest() != CMD_INIT) Reply(AsReply(E_UNEXPECTED));
  const HRESULT hr = OnThreadCreate();
  if (FAILED(hr)) {
    OnThreadDestroy();
    Reply(AsReply(hr));
    return 1;
  }
  Reply(AsReply(S_OK));

  for (bool exit = false; !exit;) {
    switch (GetRequest()) {
      case CMD_PAUSE:
      case CMD_RUN:
        Reply(AsReply(S_OK));
        DoBufferProcessingLoop();
        break;
      case CMD_STOP:
        Reply(AsReply(S_OK));
        break;
      case CMD_EXIT:
        Reply(AsReply(S_OK));
        exit = true;
        break;
      default:
        Reply(AsReply(E_NOTIMPL));
        break;
    }
  }
  return FAILED(OnThreadDestroy()) ? 1 : 0;
}

// S_OK: the sample went downstream and production goes on. Otherwise production ends with
// what DoBufferProcessingLoop returns (S_OK when the stream ended or was refused downstream).
HRESULT CSourceStream::DeliverOneSample() {
  Microsoft::WRL::ComPtr<IMediaSample> sample;
  if (FAILED(GetDeliveryBuffer(sample.GetAddressOf(), nullptr, nullptr, 0))) {
    // No free sample (or the allocator is being decommitted): look for a command, then retry.
    Sleep(1);
    return S_OK;
  }
  HRESULT hr = FillBuffer(sample.Get());
  if (hr == S_OK) {
    hr = Deliver(sample.Get());
    sample.Reset();
    return hr == S_OK ? S_OK : S_FALSE;
  }
  sample.Reset();
  DeliverEndOfStream();
  if (hr == S_FALSE) return S_FALSE;
  m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
  return hr;
}

HRESULT CSourceStream::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  for (;;) {
    DWORD command = 0;
    while (!CheckRequest(&command)) {
      // A fill result other than S_OK or S_FALSE ended the stream as an error, success code or
      // not: production must not carry on after the end-of-stream went downstream.
      const HRESULT hr = DeliverOneSample();
      if (hr == S_FALSE) return S_OK;
      if (hr != S_OK) return hr;
    }
    switch (command) {
      case CMD_PAUSE:
      case CMD_RUN:
        Reply(AsReply(S_OK));
        break;
      case CMD_STOP:
        // Left pending: the command loop receives it again and replies.
        return S_FALSE;
      default:
        Reply(AsReply(E_UNEXPECTED));
        break;
    }
  }
}
