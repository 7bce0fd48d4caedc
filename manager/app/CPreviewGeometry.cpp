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
