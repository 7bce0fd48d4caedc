#include "manager/app/PreviewArea.h"

#include <algorithm>
#include <cmath>

namespace tvq {
namespace {

// HALFTONE blends neighbouring source pixels, so a changed pixel also shows in the preview pixel
// next to the one it maps to.
constexpr int kScalerReach = 2;

int MapDown(int canvasPixel, int canvasSize, int origin, int shownSize) {
  return origin +
         static_cast<int>(std::floor(static_cast<double>(canvasPixel) * shownSize / canvasSize));
}

int MapUp(int canvasPixel, int canvasSize, int origin, int shownSize) {
  return origin +
         static_cast<int>(std::ceil(static_cast<double>(canvasPixel) * shownSize / canvasSize));
}

}  // namespace

PreviewArea::PreviewArea(const RECT& client, int canvasWidth, int canvasHeight)
    : m_canvasWidth(canvasWidth), m_canvasHeight(canvasHeight) {
  const int halfWidth = (client.right - client.left) / 2;
  const int halfHeight = (client.bottom - client.top) / 2;
  m_quarter = RECT{halfWidth, halfHeight, 2 * halfWidth, 2 * halfHeight};
}

RECT PreviewArea::Shows(const RECT& canvasArea) const {
  if (m_canvasWidth <= 0 || m_canvasHeight <= 0) return m_quarter;
  const int width = m_quarter.right - m_quarter.left;
  const int height = m_quarter.bottom - m_quarter.top;
  RECT shown;
  shown.left = MapDown(canvasArea.left, m_canvasWidth, m_quarter.left, width) - kScalerReach;
  shown.top = MapDown(canvasArea.top, m_canvasHeight, m_quarter.top, height) - kScalerReach;
  shown.right = MapUp(canvasArea.right, m_canvasWidth, m_quarter.left, width) + kScalerReach;
  shown.bottom = MapUp(canvasArea.bottom, m_canvasHeight, m_quarter.top, height) + kScalerReach;
  shown.left = std::max(shown.left, m_quarter.left);
  shown.top = std::max(shown.top, m_quarter.top);
  shown.right = std::min(shown.right, m_quarter.right);
  shown.bottom = std::min(shown.bottom, m_quarter.bottom);
  return shown;
}

}  // namespace tvq
