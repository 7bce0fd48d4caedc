#include "manager/app/CPreviewGeometry.h"

#include <algorithm>
#include <cmath>

#include "manager/composition/SlotLayout.h"

namespace {

// Far beyond any screen, yet safely inside int: a hand-edited placement may hold 1e300 or NaN.
constexpr double kFarPixels = 1e8;

// Preview positions are whole pixels; floor keeps a slot left of the preview left of it.
int ToPixel(double fraction, LONG origin, LONG size) {
  const double pixels = std::floor(origin + fraction * size);
  if (std::isnan(pixels)) return origin;
  return static_cast<int>(std::clamp(pixels, -kFarPixels, kFarPixels));
}

// HALFTONE blends neighbouring source pixels, so a changed pixel also shows in the preview pixel
// next to the one it maps to.
constexpr int kScalerReach = 2;

int MapDown(int canvasPixel, int canvasSize, LONG origin, LONG shownSize) {
  return origin +
         static_cast<int>(std::floor(static_cast<double>(canvasPixel) * shownSize / canvasSize));
}

int MapUp(int canvasPixel, int canvasSize, LONG origin, LONG shownSize) {
  return origin +
         static_cast<int>(std::ceil(static_cast<double>(canvasPixel) * shownSize / canvasSize));
}

// 1 / size can come out a hair short of one pixel once multiplied back and truncated.
double OnePixel(int size) {
  if (size <= 0) return 1.0;
  double fraction = 1.0 / size;
  while (tvq::FractionToPixels(fraction, size) < 1) fraction = std::nextafter(fraction, 2.0);
  return fraction;
}

}  // namespace

CPreviewGeometry::CPreviewGeometry(const RECT& client, int canvasWidth, int canvasHeight)
    : m_canvasWidth(canvasWidth), m_canvasHeight(canvasHeight) {
  const LONG halfWidth = (client.right - client.left) / 2;
  const LONG halfHeight = (client.bottom - client.top) / 2;
  m_preview = RECT{halfWidth, halfHeight, 2 * halfWidth, 2 * halfHeight};
}

bool CPreviewGeometry::IsEmpty() const {
  return m_preview.right <= m_preview.left || m_preview.bottom <= m_preview.top;
}

bool CPreviewGeometry::Contains(POINT point) const { return PtInRect(&m_preview, point) != FALSE; }

RECT CPreviewGeometry::Shows(const RECT& canvasArea) const {
  if (m_canvasWidth <= 0 || m_canvasHeight <= 0) return m_preview;
  const LONG width = m_preview.right - m_preview.left;
  const LONG height = m_preview.bottom - m_preview.top;
  RECT shown;
  shown.left = MapDown(canvasArea.left, m_canvasWidth, m_preview.left, width) - kScalerReach;
  shown.top = MapDown(canvasArea.top, m_canvasHeight, m_preview.top, height) - kScalerReach;
  shown.right = MapUp(canvasArea.right, m_canvasWidth, m_preview.left, width) + kScalerReach;
  shown.bottom = MapUp(canvasArea.bottom, m_canvasHeight, m_preview.top, height) + kScalerReach;
  shown.left = std::max(shown.left, m_preview.left);
  shown.top = std::max(shown.top, m_preview.top);
  shown.right = std::min(shown.right, m_preview.right);
  shown.bottom = std::min(shown.bottom, m_preview.bottom);
  return shown;
}

RECT CPreviewGeometry::SlotRect(const SCIInfo& info) const {
  const LONG width = m_preview.right - m_preview.left;
  const LONG height = m_preview.bottom - m_preview.top;
  const int x0 = ToPixel(info.Pos_x, m_preview.left, width);
  const int x1 = ToPixel(info.Pos_x + info.Width, m_preview.left, width);
  const int y0 = ToPixel(info.Pos_y, m_preview.top, height);
  const int y1 = ToPixel(info.Pos_y + info.Height, m_preview.top, height);
  return RECT{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

double CPreviewGeometry::DeltaX(int pixels) const {
  const LONG width = m_preview.right - m_preview.left;
  return width > 0 ? static_cast<double>(pixels) / width : 0.0;
}

double CPreviewGeometry::DeltaY(int pixels) const {
  const LONG height = m_preview.bottom - m_preview.top;
  return height > 0 ? static_cast<double>(pixels) / height : 0.0;
}

double CPreviewGeometry::MinimumWidth() const { return OnePixel(m_canvasWidth); }

double CPreviewGeometry::MinimumHeight() const { return OnePixel(m_canvasHeight); }
