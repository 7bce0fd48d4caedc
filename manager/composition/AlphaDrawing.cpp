#include "manager/composition/AlphaDrawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "manager/capture/CImage.h"

namespace tvq {
namespace {

constexpr int kAlphaBitsPerPixel = 32;
constexpr int kWeightOne = 256;

// One destination column (or row) of a bilinear scale: the two source pixels it reads and the
// weight of the second in 1/256. A source pixel outside the picture is -1 (transparent).
struct Tap {
  int first;
  int second;
  int weight;
};

struct Span {
  long long start;
  long long length;
  bool turned;
};

// A side with a negative length runs the other way from its start.
Span Normalized(long long start, long long length) {
  if (length >= 0) return Span{start, length, false};
  return Span{start + length, -length, true};
}

int Inside(long long position, int length) {
  return position >= 0 && position < length ? static_cast<int>(position) : -1;
}

// Taps for destination pixels [partStart, partStart + partLength) of a span of destination
// pixels scaled from source; pixel centres meet, and reads stay inside the source span.
std::vector<Tap> Taps(const Span& source, long long destination, bool turned, int partStart,
                      int partLength, int pictureLength) {
  std::vector<Tap> taps(static_cast<size_t>(partLength));
  const long long last = (source.length - 1) * kWeightOne;
  for (int i = 0; i < partLength; ++i) {
    const long long j = turned ? destination - 1 - (partStart + i) : partStart + i;
    // In double precision: lengths from a hand-edited file would overflow 64-bit products. Equal
    // lengths still land exactly on the source pixels.
    const double exact = ((j + 0.5) * static_cast<double>(source.length) / destination - 0.5) *
                         kWeightOne;
    const long long at = static_cast<long long>(
        std::clamp(std::floor(exact), 0.0, static_cast<double>(last)));
    const long long first = source.start + at / kWeightOne;
    const int weight = static_cast<int>(at % kWeightOne);
    taps[i] = Tap{Inside(first, pictureLength),
                  Inside(weight != 0 ? first + 1 : first, pictureLength), weight};
  }
  return taps;
}

std::uint32_t PixelOf(const BYTE* row, int column) {
  if (row == nullptr || column < 0) return 0;
  std::uint32_t pixel;
  std::memcpy(&pixel, row + static_cast<size_t>(column) * 4, sizeof(pixel));
  return pixel;
}

const BYTE* RowOf(const CImage& picture, int row) {
  return row < 0 ? nullptr : picture.Bits() + static_cast<ptrdiff_t>(row) * picture.Pitch();
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, int wx,
                  int wy) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t top =
        ((a >> shift) & 0xFF) * (kWeightOne - wx) + ((b >> shift) & 0xFF) * wx;
    const std::uint32_t bottom =
        ((c >> shift) & 0xFF) * (kWeightOne - wx) + ((d >> shift) & 0xFF) * wx;
    const std::uint32_t value = (top * (kWeightOne - wy) + bottom * wy + 32768) >> 16;
    out |= value << shift;
  }
  return out;
}

bool EnsureScaled(CImage& scaled, int width, int height) {
  if (scaled.Bitmap() != nullptr && scaled.Width() == width && scaled.Height() == height &&
      scaled.BitsPerPixel() == kAlphaBitsPerPixel) {
    return true;
  }
  scaled.Destroy();
  // Top-down, so rows run the way they are computed.
  return scaled.Create(width, -height, kAlphaBitsPerPixel);
}

// The same pixels as the taps give for a scale of equal sizes inside the picture, row by row.
bool CopyOneToOne(const CImage& picture, const Span& x, const Span& y, const PixelRect& part,
                  CImage& scaled) {
  for (int row = 0; row < part.height; ++row) {
    const BYTE* from = RowOf(picture, static_cast<int>(y.start) + part.y + row) +
                       (x.start + part.x) * 4;
    std::memcpy(scaled.Bits() + static_cast<ptrdiff_t>(row) * scaled.Pitch(), from,
                static_cast<size_t>(part.width) * 4);
  }
  return true;
}

PixelRect Intersect(const PixelRect& a, long long x, long long y, long long width,
                    long long height) {
  const long long left = std::max<long long>(a.x, x);
  const long long top = std::max<long long>(a.y, y);
  const long long right = std::min<long long>(1LL * a.x + a.width, x + width);
  const long long bottom = std::min<long long>(1LL * a.y + a.height, y + height);
  if (left >= right || top >= bottom) return PixelRect{};
  return PixelRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                   static_cast<int>(bottom - top)};
}

}  // namespace

bool HasAlpha(const CImage& picture) {
  return picture.Bitmap() != nullptr && picture.BitsPerPixel() == kAlphaBitsPerPixel;
}

PixelRect AlphaArea(const PixelRect& to) {
  const Span x = Normalized(to.x, to.width);
  const Span y = Normalized(to.y, to.height);
  // A turned side reaching below the int range stops there, as the stretch's would.
  const long long left = std::max<long long>(INT_MIN, x.start);
  const long long top = std::max<long long>(INT_MIN, y.start);
  return PixelRect{static_cast<int>(left), static_cast<int>(top),
                   static_cast<int>(std::min<long long>(INT_MAX, x.length)),
                   static_cast<int>(std::min<long long>(INT_MAX, y.length))};
}

bool ScaleAlpha(const CImage& picture, const PixelRect& from, const PixelRect& to,
                const PixelRect& part, CImage& scaled) {
  const Span x = Normalized(from.x, from.width);
  const Span y = Normalized(from.y, from.height);
  const PixelRect area = AlphaArea(to);
  if (!HasAlpha(picture) || picture.Bits() == nullptr || x.length == 0 || y.length == 0 ||
      part.width <= 0 || part.height <= 0 || area.width <= 0 || area.height <= 0) {
    return false;
  }
  if (!EnsureScaled(scaled, part.width, part.height)) return false;
  const bool turnX = x.turned != (to.width < 0);
  const bool turnY = y.turned != (to.height < 0);
  if (!turnX && !turnY && x.length == area.width && y.length == area.height && x.start >= 0 &&
      y.start >= 0 && x.start + x.length <= picture.Width() &&
      y.start + y.length <= picture.Height()) {
    return CopyOneToOne(picture, x, y, part, scaled);
  }
  const std::vector<Tap> columns =
      Taps(x, area.width, turnX, part.x, part.width, picture.Width());
  const std::vector<Tap> rows = Taps(y, area.height, turnY, part.y, part.height, picture.Height());
  for (int row = 0; row < part.height; ++row) {
    const BYTE* upper = RowOf(picture, rows[row].first);
    const BYTE* lower = RowOf(picture, rows[row].second);
    BYTE* out = scaled.Bits() + static_cast<ptrdiff_t>(row) * scaled.Pitch();
    for (int column = 0; column < part.width; ++column) {
      const Tap& tap = columns[column];
      const std::uint32_t pixel =
          Mix(PixelOf(upper, tap.first), PixelOf(upper, tap.second), PixelOf(lower, tap.first),
              PixelOf(lower, tap.second), tap.weight, rows[row].weight);
      std::memcpy(out + static_cast<size_t>(column) * 4, &pixel, sizeof(pixel));
    }
  }
  return true;
}

bool BlendAlpha(HDC destination, CImage& scaled, int x, int y) {
  BLENDFUNCTION blend{};
  blend.BlendOp = AC_SRC_OVER;
  blend.SourceConstantAlpha = 255;
  blend.AlphaFormat = AC_SRC_ALPHA;
  HDC source = scaled.BorrowDC();
  const BOOL blended = GdiAlphaBlend(destination, x, y, scaled.Width(), scaled.Height(), source,
                                     0, 0, scaled.Width(), scaled.Height(), blend);
  scaled.ReturnDC();
  return blended != FALSE;
}

void ClearUnderAlpha(HDC canvas, int canvasWidth, int canvasHeight, const PixelRect& to) {
  const PixelRect area = AlphaArea(to);
  const PixelRect shown = Intersect(area, 0, 0, canvasWidth, canvasHeight);
  if (shown.width > 0) PatBlt(canvas, shown.x, shown.y, shown.width, shown.height, BLACKNESS);
}

bool DrawSlotPicture(HDC canvas, int canvasWidth, int canvasHeight, CImage& picture,
                     const PixelRect& to, const PixelRect& from) {
  if (!HasAlpha(picture)) {
    return picture.Draw(canvas, to.x, to.y, to.width, to.height, from.x, from.y, from.width,
                        from.height) != FALSE;
  }
  const PixelRect area = AlphaArea(to);
  const PixelRect shown = Intersect(area, 0, 0, canvasWidth, canvasHeight);
  if (shown.width <= 0) return false;
  const PixelRect part{shown.x - area.x, shown.y - area.y, shown.width, shown.height};
  CImage scaled;
  return ScaleAlpha(picture, from, to, part, scaled) &&
         BlendAlpha(canvas, scaled, shown.x, shown.y);
}

}  // namespace tvq
