#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace tvqtest {

// Watches, on a thread of its own, for a dialog box with the given caption and cancels it. Used
// around code that may ask the user for the settings file, so that no test can hang on it.
class DialogCanceller {
 public:
  DialogCanceller(std::wstring caption, DWORD timeoutMs)
      : m_caption(std::move(caption)), m_thread([this, timeoutMs] { Watch(timeoutMs); }) {}
  ~DialogCanceller() { Stop(); }
  DialogCanceller(const DialogCanceller&) = delete;
  DialogCanceller& operator=(const DialogCanceller&) = delete;

  // Ends the watch; true when a dialog was found and cancelled.
  bool Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_cancelled;
  }

 private:
  void Watch(DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!m_stop && GetTickCount64() < end) {
      HWND dialog = FindWindowW(L"#32770", m_caption.c_str());
      if (dialog != nullptr) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        m_cancelled = true;
        // Keep watching: the same caller may ask again.
      }
      Sleep(10);
    }
  }

  std::wstring m_caption;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_cancelled{false};
  std::thread m_thread;
};

// The caption of the pin's open-file dialog.
inline const wchar_t* SettingsDialogCaption() { return L"INIファイルを開く - Tessavue Filter"; }

}  // namespace tvqtest
