#include "manager/capture/CCaptureWindow.h"

#include <cwchar>

#include "manager/capture/SelectGuard.h"
#include "manager/capture/WindowCandidates.h"

namespace {

constexpr const wchar_t* kChooseWindowCaption = L"キャプチャするウインドウの選択";

}  // namespace

bool CCaptureWindow::Select() {
  if (m_selecting) return false;
  tvq::SelectGuard guard(m_selecting);

  // The first window in Z order is the one the user just pressed the key in; it is never offered.
  HWND first = GetTopWindow(GetDesktopWindow());
  if (first == nullptr) return false;
  // The list is taken once, at the key press: a box that closes hands the activation on and
  // reorders the windows, so a walk along the live order would pass some of them over.
  for (const tvq::WindowCandidate& candidate : tvq::ListWindowCandidates(first, nullptr)) {
    if (!IsWindow(candidate.window)) continue;  // closed while an earlier box was open
    const int answer = Ask(candidate.window);
    if (answer == IDYES) return Choose(candidate.window);
    if (answer != IDNO) return false;
  }
  return false;
}

int CCaptureWindow::Ask(HWND window) {
  wchar_t title[kTitleUnits] = {};
  GetWindowTextW(window, title, kTitleUnits);
  return tvq::AskUser(m_messageBox, title, kChooseWindowCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
}

bool CCaptureWindow::Attach(HWND window) {
  if (m_selecting || !IsWindow(window)) return false;
  return Choose(window);
}

bool CCaptureWindow::Choose(HWND window) {
  m_window = window;
  ReadTitle();
  const tvq::WindowCandidate described = tvq::DescribeWindow(window);
  m_className = described.className;
  m_executable = described.executable;
  m_method.Start(m_className, m_executable);
  RECT rect = {};
  GetWindowRect(m_window, &rect);
  picture.Destroy();
  picture.Create(rect.right - rect.left, rect.bottom - rect.top, 24);
  return true;
}

bool CCaptureWindow::Capture() {
  if (!IsWindow(m_window)) return false;
  // A minimized window copies as its caption's remnant (or black): the slot keeps the last
  // picture, at its size, until the window is restored.
  if (IsIconic(m_window)) return false;
  RECT rect = {};
  GetWindowRect(m_window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // Made anew every time, so a resize shows at the next capture without a separate check.
  picture.Destroy();
  picture.Create(width, height, 24);
  m_method.Copy(m_window, width, height, picture);
  ReadTitle();
  return true;
}

void CCaptureWindow::ReadTitle() {
  // The title names the saved placement: a window that vanished during the read keeps its last
  // title rather than an empty one.
  wchar_t title[kTitleUnits] = {};
  if (GetWindowTextW(m_window, title, kTitleUnits) == 0 && !IsWindow(m_window)) return;
  wcscpy_s(m_title, kTitleUnits, title);
}
