#pragma once

#include <windows.h>

#include <cstddef>

// Pixels of 24-bit pictures (blue, green, red in memory) as the tests read and paint them. The
// picture type only needs Bits() and Pitch(), so CImage and the like work without a dependency.
namespace tvqtest {

template <typename Picture>
COLORREF PixelAt(const Picture& picture, int x, int y) {
  const BYTE* p = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch() + x * 3;
  return RGB(p[2], p[1], p[0]);
}

template <typename Picture>
void FillRect24(Picture& picture, int left, int top, int right, int bottom, COLORREF color) {
  for (int y = top; y < bottom; ++y) {
    BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    for (int x = left; x < right; ++x) {
      row[x * 3 + 0] = GetBValue(color);
      row[x * 3 + 1] = GetGValue(color);
      row[x * 3 + 2] = GetRValue(color);
    }
  }
}

// An uncompressed bitmap header with only the size and depth filled in.
inline BITMAPINFOHEADER BitmapHeader(LONG width, LONG height, WORD bitCount) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bitCount;
  return header;
}

}  // namespace tvqtest
