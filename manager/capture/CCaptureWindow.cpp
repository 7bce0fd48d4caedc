#include "manager/capture/CCaptureWindow.h"

#include <cwchar>

#include "manager/capture/SelectGuard.h"
#include "manager/capture/WindowBlit.h"
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
  for (HWND window = tvq::NextWindowCandidate(first); window != nullptr;
       window = tvq::NextWindowCandidate(window)) {
    const int answer = Ask(window);
    if (answer == IDYES) return Choose(window);
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
  RECT rect = {};
  GetWindowRect(m_window, &rect);
  picture.Destroy();
  picture.Create(rect.right - rect.left, rect.bottom - rect.top, 24);
  return true;
}

bool CCaptureWindow::Capture() {
  if (!IsWindow(m_window)) return false;
  RECT rect = {};
  GetWindowRect(m_window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // Made anew every time, so a resize shows at the next capture without a separate check.
  picture.Destroy();
  picture.Create(width, height, 24);
  tvq::CopyWindowArea(m_window, 0, 0, width, height, picture);
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
