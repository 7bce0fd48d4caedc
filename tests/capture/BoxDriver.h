#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tvqtest {

// What a real message box showed.
struct SeenBox {
  std::wstring text;
  bool hasOk = false;
  bool hasYes = false;
  bool hasNo = false;
  bool hasCancel = false;
};

// Answers the real message boxes of one caption from another thread, the way a user would:
// finds each box, reads it, presses the button the rule names.
class BoxDriver {
 public:
  using Rule = std::function<int(const SeenBox& box)>;

  BoxDriver(std::wstring caption, Rule rule);
  ~BoxDriver();
  BoxDriver(const BoxDriver&) = delete;
  BoxDriver& operator=(const BoxDriver&) = delete;

  std::vector<SeenBox> Seen() const;

 private:
  void Run();
  void Answer(HWND box);

  std::wstring m_caption;
  Rule m_rule;
  mutable std::mutex m_lock;
  std::vector<SeenBox> m_seen;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace tvqtest
