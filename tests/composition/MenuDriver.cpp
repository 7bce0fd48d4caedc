#include "tests/composition/MenuDriver.h"

#include "tests/common/ChildProcess.h"

namespace tvqtest {
namespace {

constexpr DWORD kShowTimeoutMs = 5000;
constexpr DWORD kStepTimeoutMs = 2000;

// The visible popup menus, topmost first: a submenu lies above the menu it opened from.
std::vector<HWND> OpenMenus() {
  std::vector<HWND> menus;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"#32768", nullptr)) != nullptr) {
    if (IsWindowVisible(window)) menus.push_back(window);
  }
  return menus;
}

std::vector<MenuDriver::Entry> EntriesOf(HMENU menu) {
  std::vector<MenuDriver::Entry> entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = L"";
    GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    entries.push_back({text, (state & MF_GRAYED) != 0, (state & MF_CHECKED) != 0});
  }
  return entries;
}

std::wstring BeforeTab(const std::wstring& text) { return text.substr(0, text.find(L'\t')); }

}  // namespace

void PressKey(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

void ClickAt(POINT screen) {
  const LONG width = GetSystemMetrics(SM_CXSCREEN);
  const LONG height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = (screen.x * 65536 + width - 1) / width;
  inputs[0].mi.dy = (screen.y * 65536 + height - 1) / height;
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

MenuDriver::MenuDriver(std::vector<std::wstring> path, std::function<void()> beforePick)
    : m_path(std::move(path)), m_beforePick(std::move(beforePick)), m_thread([this] { Run(); }) {}

MenuDriver::~MenuDriver() { Finished(); }

bool MenuDriver::Finished() {
  if (m_thread.joinable()) m_thread.join();
  return m_succeeded;
}

void MenuDriver::Run() {
  m_succeeded = Walk();
  // A label not found must not leave the test's thread inside the menu for ever.
  for (int i = 0; !m_succeeded && i < 3 && !OpenMenus().empty(); ++i) {
    PressKey(VK_ESCAPE, false);
    PressKey(VK_ESCAPE, true);
    WaitUntil([] { return OpenMenus().empty(); }, kStepTimeoutMs / 4);
  }
}

bool MenuDriver::Walk() {
  for (size_t level = 0; level < m_path.size(); ++level) {
    if (!WaitUntil([&] { return OpenMenus().size() == level + 1; }, kShowTimeoutMs)) return false;
    const HMENU menu =
        reinterpret_cast<HMENU>(SendMessageW(OpenMenus().front(), MN_GETHMENU, 0, 0));
    m_seen.push_back(EntriesOf(menu));
    const bool last = level + 1 == m_path.size();
    WORD key = VK_ESCAPE;
    if (!m_path[level].empty()) {
      int position = -1;
      for (size_t i = 0; i < m_seen.back().size(); ++i) {
        if (BeforeTab(m_seen.back()[i].text) == m_path[level]) position = static_cast<int>(i);
      }
      if (position < 0 || !Highlight(menu, position)) return false;
      key = last ? VK_RETURN : VK_RIGHT;
    }
    if (last && m_beforePick) m_beforePick();
    PressKey(key, false);
    PressKey(key, true);
  }
  return WaitUntil([] { return OpenMenus().empty(); }, kShowTimeoutMs);
}

// Down until the entry is highlighted: where the walk starts depends on how the menu opened.
bool MenuDriver::Highlight(HMENU menu, int position) {
  auto litIndex = [&] {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE) return i;
    }
    return -1;
  };
  for (int step = 0; step <= GetMenuItemCount(menu) && litIndex() != position; ++step) {
    const int before = litIndex();
    PressKey(VK_DOWN, false);
    PressKey(VK_DOWN, true);
    // Until this Down has moved the highlight: a Down still queued when the entry is picked
    // would pick the one after it.
    WaitUntil([&] { return litIndex() != before; }, kStepTimeoutMs);
    Sleep(20);  // the highlight may still be moving from the entry before
  }
  return litIndex() == position;
}

}  // namespace tvqtest
