#pragma once

#include <cstdint>

// The facts about the frames that cross the channel which both deliverables rely on: the default
// picture size and rate, the unit of frame intervals, and the size arithmetic of 24-bit frames
// that decides whether a configured or negotiated picture size is usable at all.
namespace tvq {

inline constexpr int kDefaultFrameWidth = 1024;
inline constexpr int kDefaultFrameHeight = 768;
inline constexpr double kDefaultFramePerSecond = 15.0;

// Frame intervals travel as REFERENCE_TIME: 100 ns units.
inline constexpr std::int64_t kUnitsPerSecond = 10000000;
// The interval of the default rate, truncated as the filter offers it.
inline constexpr std::int64_t kDefaultFrameInterval = 666666;

// Bytes in one 24-bit row, padded to a multiple of 4; 0 when the width is not positive or the
// row would not fit a 32-bit size.
inline std::int64_t RowBytes24(std::int64_t width) {
  if (width <= 0 || width > 0x7FFFFFFF / 3) return 0;
  return ((width * 24 + 31) / 32) * 4;
}

// Bytes of a whole 24-bit frame, or 0 when the size is not positive or one frame would not fit
// the channel's signed 32-bit size.
inline std::int64_t FrameBytes24(std::int64_t width, std::int64_t height) {
  const std::int64_t row = RowBytes24(width);
  if (row == 0 || height <= 0) return 0;
  const std::int64_t bytes = row * height;
  return bytes > 0x7FFFFFFF ? 0 : bytes;
}

inline bool IsUsableFrameSize(std::int64_t width, std::int64_t height) {
  return FrameBytes24(width, height) != 0;
}

}  // namespace tvq
