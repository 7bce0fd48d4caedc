#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Test frames whose every row holds the same ramp, byte c of a row being (seed + c) mod 251. A
// sample that mixes two frames (torn), or that holds a frame of another row length than the
// connection's (misshapen), fails the check; a black frame fails it too.
namespace tvqtest {

inline constexpr int kPatternModulus = 251;

inline std::vector<BYTE> PatternRow(size_t rowBytes, int seed) {
  std::vector<BYTE> row(rowBytes);
  for (size_t c = 0; c < rowBytes; ++c) {
    row[c] = static_cast<BYTE>((static_cast<size_t>(seed) + c) % kPatternModulus);
  }
  return row;
}

inline size_t PatternRowBytes(int width) { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }

// Fills a bottom-up 24-bit frame of width x height (rows padded to 4 bytes).
inline void WritePatternFrame(BYTE* frame, int width, int height, int seed) {
  const size_t rowBytes = PatternRowBytes(width);
  const std::vector<BYTE> row = PatternRow(rowBytes, seed);
  for (int r = 0; r < height; ++r) {
    std::copy(row.begin(), row.end(), frame + static_cast<size_t>(r) * rowBytes);
  }
}

// The seed of a whole frame of width x height laid out in data (size bytes; only whole rows
// within size are checked), or -1 when the bytes are not one such frame.
inline int PatternSeed(const BYTE* data, size_t size, int width, int height) {
  const size_t rowBytes = PatternRowBytes(width);
  if (data == nullptr || rowBytes == 0 || size < rowBytes || height <= 0) return -1;
  const int seed = data[0];
  if (seed >= kPatternModulus) return -1;
  const std::vector<BYTE> row = PatternRow(rowBytes, seed);
  const size_t rows = std::min(static_cast<size_t>(height), size / rowBytes);
  for (size_t r = 0; r < rows; ++r) {
    if (!std::equal(row.begin(), row.end(), data + r * rowBytes)) return -1;
  }
  return seed;
}

}  // namespace tvqtest
