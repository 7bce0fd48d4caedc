#pragma once

#include <windows.h>

#include "manager/composition/TickClock.h"

namespace tvq {

// Spaces out the attempts at something that keeps failing, such as opening a camera that is
// there but does not start: each attempt costs a graph built on the window's thread, so after a
// failure the next one is due 1 s later, then 2, 4, 8, 16 s and 30 s from then on. A success
// (or Reset) starts the series again; a new series may try at once.
//
// Threads: the GUI thread only. The clock must outlive the object.
class RetryBackoff {
 public:
  explicit RetryBackoff(const ITickClock& clock) : m_clock(&clock) {}

  // Whether an attempt may be made now.
  bool IsDue() const;
  // An attempt failed now: the next one waits the next spacing.
  void Failed();
  // The thing succeeded or is no longer tried: the next attempt may come at once.
  void Reset();

  // The wait after the failure count failures in a row (1 s after the first).
  static ULONGLONG SpacingMs(int failures);

  static constexpr ULONGLONG kFirstSpacingMs = 1000;
  static constexpr ULONGLONG kLongestSpacingMs = 30000;

 private:
  const ITickClock* m_clock;
  int m_failures = 0;
  ULONGLONG m_dueMs = 0;
};

}  // namespace tvq
