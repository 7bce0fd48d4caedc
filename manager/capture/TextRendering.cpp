#include "manager/capture/TextRendering.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "common/Lifetime.h"
#include "manager/capture/CImage.h"

namespace tvq {
namespace {

constexpr int kPictureBits = 32;
constexpr UINT kTextFlags = DT_CENTER | DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP;
// Tries at a smaller font before the text is drawn as it is (cut at the slot's edges).
constexpr int kFitTries = 4;

using Coverage = std::vector<BYTE>;

struct Layout {
  int fontPixels = 1;
  int outline = 0;
  SIZE size = {};
};

UniqueGdiObject MakeFont(const TextStyle& style, int pixels) {
  LOGFONTW font{};
  font.lfHeight = pixels;  // positive: the cell, so lines fill their share of the slot
  font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  // Grey anti-aliasing, not ClearType: the glyphs' coverage must be one value per pixel.
  font.lfQuality = ANTIALIASED_QUALITY;
  std::wcsncpy(font.lfFaceName, style.font.c_str(), LF_FACESIZE - 1);
  return UniqueGdiObject(CreateFontIndirectW(&font));
}

SIZE Measure(HDC dc, const std::wstring& text) {
  RECT rect{};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, kTextFlags | DT_CALCRECT);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

int OutlineOf(const TextStyle& style, int fontPixels) {
  return (fontPixels * style.outlinePercent + 50) / 100;
}

// The largest font up to the style's share of the height whose text fits inside the slot with
// its outline.
Layout Fit(HDC dc, const std::wstring& text, const TextStyle& style, int width, int height) {
  Layout layout;
  layout.fontPixels = std::max(1, height * style.sizePercent / 100);
  for (int attempt = 0; attempt < kFitTries; ++attempt) {
    layout.outline = OutlineOf(style, layout.fontPixels);
    const UniqueGdiObject font = MakeFont(style, layout.fontPixels);
    const SelectedObject selected(dc, font.Get());
    layout.size = Measure(dc, text);
    const int roomWidth = std::max(1, width - 2 * (layout.outline + 1));
    const int roomHeight = std::max(1, height - 2 * (layout.outline + 1));
    if (layout.size.cx <= roomWidth && layout.size.cy <= roomHeight) break;
    const double scale = std::min(static_cast<double>(roomWidth) / std::max(1L, layout.size.cx),
                                  static_cast<double>(roomHeight) / std::max(1L, layout.size.cy));
    const int smaller = std::min(layout.fontPixels - 1,
                                 static_cast<int>(layout.fontPixels * scale));
    if (smaller < 1) break;
    layout.fontPixels = smaller;
  }
  return layout;
}

// The glyphs drawn white on black; the brightest channel of each pixel is its coverage.
bool DrawCoverage(const std::wstring& text, const TextStyle& style, int width, int height,
                  Layout& layout, Coverage& coverage) {
  CImage canvas;
  if (!canvas.Create(width, -height, kPictureBits)) return false;
  HDC dc = canvas.BorrowDC();
  layout = Fit(dc, text, style, width, height);
  const UniqueGdiObject font = MakeFont(style, layout.fontPixels);
  bool drawn = false;
  {
    const SelectedObject selected(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT place{(width - layout.size.cx) / 2, (height - layout.size.cy) / 2, 0, 0};
    place.right = place.left + layout.size.cx;
    place.bottom = place.top + layout.size.cy;
    drawn = DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place, kTextFlags) != 0;
  }
  canvas.ReturnDC();
  GdiFlush();
  coverage.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    const BYTE* row = canvas.Bits() + static_cast<ptrdiff_t>(y) * canvas.Pitch();
    for (int x = 0; x < width; ++x) {
      const BYTE* p = row + x * 4;
      coverage[static_cast<size_t>(y) * width + x] = std::max({p[0], p[1], p[2]});
    }
  }
  return drawn;
}

// Grows the glyphs by radius pixels, alternating plus-shaped and square steps so that the grown
// outline has rounded (octagonal) corners.
Coverage Grow(const Coverage& glyphs, int width, int height, int radius) {
  Coverage from = glyphs;
  Coverage to(glyphs.size());
  for (int step = 0; step < radius; ++step) {
    const bool square = step % 2 == 1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        BYTE most = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if ((!square && dx != 0 && dy != 0) || nx < 0 || ny < 0 || nx >= width ||
                ny >= height) {
              continue;
            }
            most = std::max(most, from[static_cast<size_t>(ny) * width + nx]);
          }
        }
        to[static_cast<size_t>(y) * width + x] = most;
      }
    }
    from.swap(to);
  }
  return from;
}

std::uint32_t Div255(std::uint32_t value) { return (value + 127) / 255; }

// Premultiplied "over": a colour at coverage alpha over what lies beneath.
void Over(std::uint32_t (&pixel)[4], COLORREF color, std::uint32_t alpha) {
  const std::uint32_t channels[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
  for (int c = 0; c < 3; ++c) {
    pixel[c] = Div255(channels[c] * alpha) + Div255(pixel[c] * (255 - alpha));
  }
  pixel[3] = alpha + Div255(pixel[3] * (255 - alpha));
}

void Compose(const Coverage& glyphs, const Coverage* outline, const TextStyle& style,
             CImage& picture) {
  const std::uint32_t boxAlpha =
      style.box ? static_cast<std::uint32_t>(style.boxOpacityPercent * 255 + 50) / 100 : 0;
  for (int y = 0; y < picture.Height(); ++y) {
    BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    for (int x = 0; x < picture.Width(); ++x) {
      const size_t at = static_cast<size_t>(y) * picture.Width() + x;
      std::uint32_t pixel[4] = {0, 0, 0, 0};
      if (boxAlpha != 0) Over(pixel, style.boxColor, boxAlpha);
      if (outline != nullptr) Over(pixel, style.outlineColor, (*outline)[at]);
      Over(pixel, style.color, glyphs[at]);
      for (int c = 0; c < 4; ++c) row[x * 4 + c] = static_cast<BYTE>(pixel[c]);
    }
  }
}

}  // namespace

bool RenderText(const std::wstring& text, const TextStyle& style, int width, int height,
                CImage& picture) {
  if (text.empty() || width < 1 || height < 1) return false;
  Layout layout;
  Coverage glyphs;
  if (!DrawCoverage(text, style, width, height, layout, glyphs)) return false;
  CImage made;
  if (!made.Create(width, -height, kPictureBits)) return false;
  if (layout.outline > 0) {
    const Coverage outline = Grow(glyphs, width, height, layout.outline);
    Compose(glyphs, &outline, style, made);
  } else {
    Compose(glyphs, nullptr, style, made);
  }
  picture = std::move(made);
  return true;
}

}  // namespace tvq
