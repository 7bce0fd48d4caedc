#pragma once

#include <windows.h>

#include <atomic>

#include "common/Lifetime.h"
#include "framework/CCritSec.h"

// A worker thread with a one-slot, synchronous command channel: a control thread sends one
// command with CallWorker and waits for the worker's Reply.
//
// The send event is manual-reset so that a command stays visible (to CheckRequest, then to
// GetRequest) until Reply resets it; the completion event is auto-reset and wakes exactly one
// CallWorker. The access lock makes CallWorker calls from several control threads take turns;
// it nests inside any lock of the caller.
class CAMThread {
 public:
  // Writes E_OUTOFMEMORY to *phr (when given and still a success) if an event cannot be made.
  explicit CAMThread(HRESULT* phr = nullptr);
  virtual ~CAMThread();
  CAMThread(const CAMThread&) = delete;
  CAMThread& operator=(const CAMThread&) = delete;

  // Starts the thread; FALSE when one exists already or it cannot be started (also when the
  // command events are missing: such a thread could never be told anything).
  BOOL Create();
  // Sends a command and waits for the reply; E_FAIL without a thread, or when the thread ends
  // without replying.
  DWORD CallWorker(DWORD param);
  // Worker side: waits for a command; the command stays pending until Reply.
  DWORD GetRequest();
  // Worker side: TRUE (and the command, when param is given) if one is pending; no waiting.
  BOOL CheckRequest(DWORD* param);
  void Reply(DWORD value);

  BOOL ThreadExists() const { return m_hThread != nullptr; }
  // TRUE when a thread was started and has ended (its handle not yet closed).
  BOOL ThreadHasEnded() const;
  // Waits for the thread to end and forgets it. The thread must have been told to exit.
  void Close();

 protected:
  // Takes ownership of the two events; either may be null (creation failed).
  CAMThread(HANDLE sendEvent, HANDLE completionEvent, HRESULT* phr);

  virtual DWORD ThreadProc() = 0;
  // Signalled while a command is pending: a worker that waits for something else may wait on it
  // too, so that a command (a stop) never waits for the end of that wait.
  HANDLE RequestEvent() const { return m_EventSend.Get(); }
  // FALSE when an event could not be made: no thread can then be started.
  BOOL EventsReady() const { return m_EventSend && m_EventComplete; }

 private:
  static DWORD WINAPI InitialThreadProc(LPVOID param);

  tvq::UniqueKernelHandle m_EventSend;      // manual reset
  tvq::UniqueKernelHandle m_EventComplete;  // auto reset
  DWORD m_dwParam = 0;
  DWORD m_dwReturnVal = 0;
  std::atomic<HANDLE> m_hThread{nullptr};  // exchanged atomically by Close
  CCritSec m_AccessLock;
};
