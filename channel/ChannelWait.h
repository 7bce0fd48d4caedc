#pragma once

#include <windows.h>

#include <cmath>

namespace tvq {

// The longest either side waits for a channel object's mutex. The other process may be stalled
// (stopped in a debugger, suspended, frozen) while it holds one: neither side waits for it longer
// than about one frame interval of its own, and never longer than half a second, so that a
// client's Stop still ends within a second.
inline constexpr DWORD kLongestChannelWaitMs = 500;

// frameIntervalMs: this side's own frame interval; one that is not a positive number waits the
// longest.
inline DWORD ChannelWaitMs(double frameIntervalMs) {
  if (!(frameIntervalMs > 0.0) || frameIntervalMs >= kLongestChannelWaitMs) {
    return kLongestChannelWaitMs;
  }
  // Rounded up: a wait cut below the interval would give up on a peer that is merely busy.
  return static_cast<DWORD>(std::ceil(frameIntervalMs));
}

}  // namespace tvq
