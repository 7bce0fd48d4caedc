#pragma once

#include <windows.h>

#include "manager/capture/MessageBoxFn.h"

namespace tvq {

// How the camera source talks to the user: its questions, and the error box for a failing call
// together with the last result, which every step of the selection reports the same way.
//
// Threads: the GUI thread only.
class CameraPrompt {
 public:
  int Ask(const wchar_t* text, const wchar_t* caption, UINT type) const;
  // Stores code as the last result and checks it as CheckResult does.
  bool Report(HRESULT code);
  // True for a last result of 0; otherwise shows "ErrorCode: %x" and gives false. Success codes
  // other than S_OK count as failures too.
  bool CheckResult() const;

  HRESULT LastResult() const { return m_lastResult; }
  void ClearResult() { m_lastResult = 0; }

  // The Manager keeps the default (real boxes without owner); tests answer in its place.
  void SetMessageBox(MessageBoxFn messageBox);
  // A quiet prompt shows nothing: every question is answered Cancel and errors are only kept as
  // the last result (a camera opened without the user, at start-up or from a list).
  void SetQuiet(bool quiet) { m_quiet = quiet; }

 private:
  MessageBoxFn m_messageBox = &ShowOwnerlessMessageBox;
  HRESULT m_lastResult = 0;
  bool m_quiet = false;
};

}  // namespace tvq
