#include "manager/composition/SlotLayout.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace tvq {
namespace {

int ClampToInt(std::int64_t value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// picture size - far trim - near trim; the trims come from a file and may be anything.
int TrimmedLength(int size, std::int32_t nearTrim, std::int32_t farTrim) {
  return ClampToInt(static_cast<std::int64_t>(size) - farTrim - nearTrim);
}

}  // namespace

int FractionToPixels(double fraction, int size) {
  const double pixels = fraction * size;
  if (std::isnan(pixels)) return 0;
  if (pixels >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (pixels <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(pixels);  // truncates toward zero
}

PixelRect DestinationRect(const SCIInfo& info, int canvasWidth, int canvasHeight) {
  PixelRect rect;
  rect.x = FractionToPixels(info.Pos_x, canvasWidth);
  rect.y = FractionToPixels(info.Pos_y, canvasHeight);
  rect.width = FractionToPixels(info.Width, canvasWidth);
  rect.height = FractionToPixels(info.Height, canvasHeight);
  return rect;
}

PixelRect SourceRect(const SCIInfo& info, int pictureWidth, int pictureHeight) {
  PixelRect rect;
  rect.x = info.TrimLeft;
  rect.y = info.TrimTop;
  rect.width = TrimmedLength(pictureWidth, info.TrimLeft, info.TrimRight);
  rect.height = TrimmedLength(pictureHeight, info.TrimTop, info.TrimBottom);
  return rect;
}

}  // namespace tvq
