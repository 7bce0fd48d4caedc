#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "manager/composition/CCompositor.h"
#include "tests/common/ChildProcess.h"

// The real TessavueManager.exe, run from a copy in a folder of the test's own with the settings
// file the test writes, driven from outside the process as a user would: keys posted to its
// window, its message boxes answered, its window closed, or the process killed.
namespace tvqtest {

class RealManager {
 public:
  // settings: the text of "Tessavue.ini" next to the copy; empty for none.
  RealManager(const std::wstring& folder, const std::string& settings);
  ~RealManager();
  RealManager(const RealManager&) = delete;
  RealManager& operator=(const RealManager&) = delete;

  // Starts the copy, with every published frame stamped (the bench mode) when stampFrames, and
  // waits for its main window, that is for the end of its start-up sequence.
  bool Start(bool stampFrames = true);

  HWND Window() const { return m_window; }
  DWORD ThreadId() const { return GetWindowThreadProcessId(m_window, nullptr); }
  ChildProcess& Process() { return m_process; }
  std::wstring File(const wchar_t* name) const { return m_folder + L"\\" + name; }

  // A key pressed and let go, as the keyboard's messages reach the window.
  void PressKey(UINT virtualKey);
  // A key held down: the first press, repeats - 1 auto-repeats periodMs apart, and the release.
  void HoldKey(UINT virtualKey, int repeats, DWORD periodMs);

  // The next visible message box of the Manager's process, or null after timeoutMs.
  HWND WaitForBox(DWORD timeoutMs) const;
  // Presses the box's button with the given id (IDYES, IDOK, ...) and waits until the box is
  // gone; false when it has no such button or stays.
  bool Answer(HWND box, int buttonId) const;
  // Answers a chooser's questions No until one names wanted, then Yes; false when none did.
  bool Choose(const wchar_t* wanted) const;

  // True when the GUI thread handles a sent message within timeoutMs (it is not stuck).
  bool Responds(DWORD timeoutMs = 5000) const;
  // Closes the window as its close box does; false when the process does not end in time.
  bool Close(DWORD* exitCode);

 private:
  HWND FindOwnWindow() const;

  std::wstring m_folder;
  std::wstring m_exePath;
  ChildProcess m_process;
  HWND m_window = nullptr;
};

// Points the application-data folder of the prefix's user at folder (made if missing) while it
// lives, so that a real Manager keeps its store of scenes there and not where another test or an
// earlier run left one. Set before the Manager starts.
class UserFolderRedirect {
 public:
  explicit UserFolderRedirect(const std::wstring& folder);
  ~UserFolderRedirect();
  UserFolderRedirect(const UserFolderRedirect&) = delete;
  UserFolderRedirect& operator=(const UserFolderRedirect&) = delete;

  // The store a Manager started now keeps there.
  std::wstring StorePath() const { return m_folder + L"\\Tessavue\\Scenes.ini"; }

 private:
  std::wstring m_folder;
  std::wstring m_previous;
  bool m_hadPrevious = false;
};

// The bench stamp of the frame in the pixel object now (counter 0: none yet, or no channel).
tvq::BenchStamp PublishedStamp();
// Waits until the Manager has published count more frames than when called.
bool WaitForPublishedFrames(std::int64_t count, DWORD timeoutMs);

}  // namespace tvqtest
