#pragma once

// How a window source copies its window, and what the user chose for it.
namespace tvq {

// The two ways of copying a window. Standard: its device context, as the source always did.
// FullContent: PrintWindow with PW_RENDERFULLCONTENT, which on Windows 8.1 and later asks the
// desktop compositor for what the window shows, surfaces drawn by the GPU included.
enum class CaptureMethod { kStandard, kFullContent };

// What the user chose for a window: the source picks by what it sees, or one method always.
enum class CaptureMode { kAutomatic, kStandard, kFullContent };

struct MethodChoice {
  CaptureMode mode = CaptureMode::kAutomatic;
  // The method that ran last; what an automatic choice starts with next time.
  CaptureMethod method = CaptureMethod::kStandard;

  bool operator==(const MethodChoice& other) const {
    return mode == other.mode && method == other.method;
  }
  bool operator!=(const MethodChoice& other) const { return !(*this == other); }
};

// The method each mode runs: a fixed mode its own, automatic the one that worked last.
inline CaptureMethod MethodFor(CaptureMode mode, CaptureMethod lastWorked) {
  switch (mode) {
    case CaptureMode::kStandard: return CaptureMethod::kStandard;
    case CaptureMode::kFullContent: return CaptureMethod::kFullContent;
    default: return lastWorked;
  }
}

}  // namespace tvq
