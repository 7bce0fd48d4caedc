#include "manager/composition/SlotLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tvq {
namespace {

int ClampToInt(std::int64_t value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// picture size - far trim - near trim; the trims come from a file and may be anything.
// floor(value / divisor) for a positive divisor.
std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// [begin, end) of source pixels, measured from the source's start, as destination pixels of the
// span of size destination that scales source pixels, widened and kept inside it.
void ReachSpan(std::int64_t begin, std::int64_t end, int source, int destination, int reach,
               int& outBegin, int& outEnd) {
  const std::int64_t first = FloorDivide((begin - reach) * destination, source) - 1;
  const std::int64_t last = FloorDivide((end + reach) * destination + source - 1, source) + 1;
  outBegin = static_cast<int>(std::max<std::int64_t>(0, first));
  outEnd = static_cast<int>(std::min<std::int64_t>(destination, last));
}

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

PixelRect ReachInDestination(const PixelRect& changed, const PixelRect& from, const PixelRect& to,
                             int reach) {
  int left = 0, right = 0, top = 0, bottom = 0;
  ReachSpan(1LL * changed.x - from.x, 1LL * changed.x + changed.width - from.x, from.width,
            to.width, reach, left, right);
  ReachSpan(1LL * changed.y - from.y, 1LL * changed.y + changed.height - from.y, from.height,
            to.height, reach, top, bottom);
  if (left >= right || top >= bottom) return PixelRect{to.x, to.y, 0, 0};
  return PixelRect{to.x + left, to.y + top, right - left, bottom - top};
}

PixelRect FittedPictureSize(const SCIInfo& info, int canvasWidth, int canvasHeight) {
  const PixelRect to = DestinationRect(info, canvasWidth, canvasHeight);
  const auto fit = [](int side, std::int32_t nearTrim, std::int32_t farTrim, int canvas) {
    const std::int64_t size = std::llabs(static_cast<long long>(side)) + nearTrim + farTrim;
    return static_cast<int>(std::clamp<std::int64_t>(size, 1, std::max(1, canvas)));
  };
  return PixelRect{0, 0, fit(to.width, info.TrimLeft, info.TrimRight, canvasWidth),
                   fit(to.height, info.TrimTop, info.TrimBottom, canvasHeight)};
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
