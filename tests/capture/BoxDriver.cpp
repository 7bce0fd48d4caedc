#include "tests/capture/BoxDriver.h"

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  GetWindowTextW(window, text, 4096);
  return text;
}

}  // namespace

BoxDriver::BoxDriver(std::wstring caption, Rule rule)
    : m_caption(std::move(caption)), m_rule(std::move(rule)), m_thread([this] { Run(); }) {}

BoxDriver::~BoxDriver() {
  m_stop = true;
  m_thread.join();
}

std::vector<SeenBox> BoxDriver::Seen() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_seen;
}

void BoxDriver::Run() {
  while (!m_stop) {
    HWND box = FindWindowW(L"#32770", m_caption.c_str());
    if (box != nullptr && IsWindowVisible(box)) {
      Answer(box);
      // The next box may only be taken once this one is gone.
      WaitUntil([box] { return !IsWindow(box); }, 5000);
    }
    Sleep(5);
  }
}

void BoxDriver::Answer(HWND box) {
  SeenBox seen;
  seen.text = WindowText(GetDlgItem(box, kMessageTextId));
  seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
  seen.hasYes = GetDlgItem(box, IDYES) != nullptr;
  seen.hasNo = GetDlgItem(box, IDNO) != nullptr;
  seen.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
  const int answer = m_rule(seen);
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_seen.push_back(seen);
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
}

}  // namespace tvqtest
