#include "framework/CAMThread.h"

#include <objbase.h>

CAMThread::CAMThread(HRESULT* phr)
    : CAMThread(CreateEventW(nullptr, TRUE, FALSE, nullptr),
                CreateEventW(nullptr, FALSE, FALSE, nullptr), phr) {}

CAMThread::CAMThread(HANDLE sendEvent, HANDLE completionEvent, HRESULT* phr)
    : m_EventSend(sendEvent), m_EventComplete(completionEvent) {
  if (!EventsReady() && phr && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

CAMThread::~CAMThread() { Close(); }

BOOL CAMThread::Create() {
  CAutoLock lock(&m_AccessLock);
  if (ThreadExists()) return FALSE;
  if (!EventsReady()) return FALSE;
  m_hThread = CreateThread(nullptr, 0, &CAMThread::InitialThreadProc, this, 0, nullptr);
  return m_hThread != nullptr;
}

DWORD WINAPI CAMThread::InitialThreadProc(LPVOID param) {
  // ole32 is only looked for among the modules already loaded, never loaded here.
  using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
  HRESULT comResult = E_FAIL;
  if (HMODULE ole32 = GetModuleHandleW(L"ole32.dll")) {
    // Through void(*)(): the compiler's sanctioned way to change a function pointer's type.
    auto coInitializeEx = reinterpret_cast<CoInitializeExFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ole32, "CoInitializeEx")));
    if (coInitializeEx) comResult = coInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
  }
  const DWORD exitCode = static_cast<CAMThread*>(param)->ThreadProc();
  if (SUCCEEDED(comResult)) CoUninitialize();
  return exitCode;
}

DWORD CAMThread::CallWorker(DWORD param) {
  CAutoLock lock(&m_AccessLock);
  if (!ThreadExists()) return static_cast<DWORD>(E_FAIL);
  m_dwParam = param;
  SetEvent(m_EventSend.Get());
  // The reply wins over the thread's end: a worker replies to its last command, then ends.
  const HANDLE waits[] = {m_EventComplete.Get(), m_hThread.load()};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
    ResetEvent(m_EventSend.Get());
    return static_cast<DWORD>(E_FAIL);
  }
  return m_dwReturnVal;
}

DWORD CAMThread::GetRequest() {
  WaitForSingleObject(m_EventSend.Get(), INFINITE);
  return m_dwParam;
}

BOOL CAMThread::CheckRequest(DWORD* param) {
  if (WaitForSingleObject(m_EventSend.Get(), 0) != WAIT_OBJECT_0) return FALSE;
  if (param) *param = m_dwParam;
  return TRUE;
}

void CAMThread::Reply(DWORD value) {
  m_dwReturnVal = value;
  ResetEvent(m_EventSend.Get());
  SetEvent(m_EventComplete.Get());
}

BOOL CAMThread::ThreadHasEnded() const {
  const HANDLE thread = m_hThread;
  return thread && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

void CAMThread::Close() {
  const HANDLE thread = m_hThread.exchange(nullptr);
  if (!thread) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
