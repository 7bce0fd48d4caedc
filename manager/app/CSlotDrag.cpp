#include "manager/app/CSlotDrag.h"

#include <algorithm>
#include <cmath>

#include "manager/app/CPreviewGeometry.h"
#include "manager/app/CSlotHitTest.h"

void CSlotDrag::Begin(int slot, unsigned edges, POINT start, const SCIInfo& original) {
  m_slot = slot;
  m_edges = edges;
  m_start = start;
  m_original = original;
}

void CSlotDrag::End() { m_slot = -1; }

SCIInfo CSlotDrag::Follow(POINT point, bool keepProportions,
                          const CPreviewGeometry& geometry) const {
  const double dx = geometry.DeltaX(point.x - m_start.x);
  const double dy = geometry.DeltaY(point.y - m_start.y);
  SCIInfo info = m_original;
  if (m_edges == tvq::kNoEdge) {
    info.Pos_x += dx;
    info.Pos_y += dy;
    return info;
  }
  Extent x = ExtentOf(m_original.Pos_x, m_original.Width);
  Extent y = ExtentOf(m_original.Pos_y, m_original.Height);
  if (keepProportions && tvq::IsCorner(m_edges)) {
    ResizeProportionally(x, y, dx, dy, geometry);
  } else {
    x = Resize(x, (m_edges & tvq::kLeftEdge) != 0, (m_edges & tvq::kRightEdge) != 0, dx,
               geometry.MinimumWidth());
    y = Resize(y, (m_edges & tvq::kTopEdge) != 0, (m_edges & tvq::kBottomEdge) != 0, dy,
               geometry.MinimumHeight());
  }
  // A side the drag does not touch keeps its values exactly as they were.
  if (m_edges & (tvq::kLeftEdge | tvq::kRightEdge)) StoreExtent(x, info.Pos_x, info.Width);
  if (m_edges & (tvq::kTopEdge | tvq::kBottomEdge)) StoreExtent(y, info.Pos_y, info.Height);
  return info;
}

CSlotDrag::Extent CSlotDrag::ExtentOf(double position, double size) {
  if (size < 0) return Extent{position + size, -size, true};
  return Extent{position, size, false};
}

void CSlotDrag::StoreExtent(const Extent& extent, double& position, double& size) {
  position = extent.flipped ? extent.nearEdge + extent.length : extent.nearEdge;
  size = extent.flipped ? -extent.length : extent.length;
}

// The moved edge stops one canvas pixel before the edge that stays.
CSlotDrag::Extent CSlotDrag::Resize(const Extent& extent, bool movesNear, bool movesFar,
                                    double delta, double minimum) {
  Extent resized = extent;
  if (movesNear) {
    resized.length = std::max(extent.length - delta, minimum);
    resized.nearEdge = extent.nearEdge + extent.length - resized.length;
  } else if (movesFar) {
    resized.length = std::max(extent.length + delta, minimum);
  }
  return resized;
}

// The side that the pointer changed more, relative to its length, sets the common factor.
void CSlotDrag::ResizeProportionally(Extent& x, Extent& y, double dx, double dy,
                                     const CPreviewGeometry& geometry) const {
  const bool left = (m_edges & tvq::kLeftEdge) != 0;
  const bool top = (m_edges & tvq::kTopEdge) != 0;
  if (!(x.length > 0) || !(y.length > 0)) {
    // No proportions to keep: a side of length zero (or NaN) from a hand-edited file.
    x = Resize(x, left, !left, dx, geometry.MinimumWidth());
    y = Resize(y, top, !top, dy, geometry.MinimumHeight());
    return;
  }
  const double scaleX = (x.length + (left ? -dx : dx)) / x.length;
  const double scaleY = (y.length + (top ? -dy : dy)) / y.length;
  double scale = std::fabs(scaleX - 1) >= std::fabs(scaleY - 1) ? scaleX : scaleY;
  scale = std::max({scale, geometry.MinimumWidth() / x.length,
                    geometry.MinimumHeight() / y.length});
  x = Scale(x, left, scale, geometry.MinimumWidth());
  y = Scale(y, top, scale, geometry.MinimumHeight());
}

// Scaled about the edge that stays; the product can fall a hair short of the minimum.
CSlotDrag::Extent CSlotDrag::Scale(const Extent& extent, bool movesNear, double scale,
                                   double minimum) {
  Extent scaled = extent;
  scaled.length = std::max(extent.length * scale, minimum);
  if (movesNear) scaled.nearEdge = extent.nearEdge + extent.length - scaled.length;
  return scaled;
}
