#pragma once

namespace tvq {

// Marks a Select in progress. Select waits in message boxes whose modal loops still deliver the
// main window's keys, so the same source can be asked to Select again from inside its own Select;
// the flag lets the nested call refuse instead of rebuilding the object under the waiting one.
class SelectGuard {
 public:
  explicit SelectGuard(bool& selecting) : m_selecting(selecting) { m_selecting = true; }
  ~SelectGuard() { m_selecting = false; }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  bool& m_selecting;
};

}  // namespace tvq
