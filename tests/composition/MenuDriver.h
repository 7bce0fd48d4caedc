#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tvqtest {

// Real input from another thread, for a user interface whose modal loop (a popup menu, a message
// box) runs on the test's own thread.
void PressKey(WORD virtualKey, bool up);
void ClickAt(POINT screen);

// Walks a popup menu with real keys as a hand on the keyboard would: once the menu shows, the
// arrows go to the entry whose text (before any tab) is the next label of the path, Right opens
// its submenu, Return picks the last one. An empty label presses Esc instead. beforePick runs on
// the driver's thread just before the last key. What each level offered is kept.
class MenuDriver {
 public:
  struct Entry {
    std::wstring text;
    bool greyed = false;
    bool checked = false;
  };

  explicit MenuDriver(std::vector<std::wstring> path, std::function<void()> beforePick = {});
  ~MenuDriver();
  MenuDriver(const MenuDriver&) = delete;
  MenuDriver& operator=(const MenuDriver&) = delete;

  // Waits for the walk to end; true when every label was found and the last key pressed.
  bool Finished();
  // The entries of each level reached, by the time Finished returned.
  const std::vector<std::vector<Entry>>& Seen() const { return m_seen; }

 private:
  void Run();
  bool Walk();
  bool Highlight(HMENU menu, int position);

  std::vector<std::wstring> m_path;
  std::function<void()> m_beforePick;
  std::vector<std::vector<Entry>> m_seen;
  std::atomic<bool> m_succeeded{false};
  std::thread m_thread;
};

}  // namespace tvqtest
