#include "manager/app/CSlotHitTest.h"

#include <algorithm>

#include "manager/app/CPreviewGeometry.h"
#include "manager/composition/ISlotTable.h"

namespace tvq {
namespace {

// A small rectangle keeps its middle third for moving, so it can always be grabbed as a whole.
int MarginFor(LONG length, int margin) { return std::min<LONG>(margin, length / 3); }

// The hand aims at the outline itself, so each edge reaches margin pixels out of the rectangle
// as well as in; the inner reach shrinks with a small rectangle, the outer one never does.
unsigned EdgesAt(const RECT& rect, POINT point, int marginPixels) {
  const int marginX = MarginFor(rect.right - rect.left, marginPixels);
  const int marginY = MarginFor(rect.bottom - rect.top, marginPixels);
  unsigned edges = kNoEdge;
  if (point.x < rect.left + marginX) edges |= kLeftEdge;
  else if (point.x >= rect.right - marginX) edges |= kRightEdge;
  if (point.y < rect.top + marginY) edges |= kTopEdge;
  else if (point.y >= rect.bottom - marginY) edges |= kBottomEdge;
  return edges;
}

// The rectangle with its outer handles: the last pixel inside plus margin pixels beyond.
bool WithinHandles(RECT rect, POINT point, int marginPixels) {
  InflateRect(&rect, marginPixels, marginPixels);
  return PtInRect(&rect, point) != FALSE;
}

bool CanBeGrabbed(const ISlotTable& slots, int slot) {
  return !slots.IsEmpty(slot) && slots.IsActive(slot);
}

}  // namespace

bool IsCorner(unsigned edges) {
  const bool horizontal = (edges & (kLeftEdge | kRightEdge)) != 0;
  const bool vertical = (edges & (kTopEdge | kBottomEdge)) != 0;
  return horizontal && vertical;
}

SlotHit HitTestSlots(const ISlotTable& slots, const CPreviewGeometry& geometry, POINT point,
                     int marginPixels, int onlySlot) {
  SlotHit hit;
  // A slot reaching off the canvas is grabbed only where the preview shows it.
  if (geometry.IsEmpty() || !WithinHandles(geometry.Preview(), point, marginPixels)) return hit;
  // The compositing tick draws in slot order, so the highest slot is the one seen, and its
  // handles come before anything of the slots below it. Outer handles reach a little beyond the
  // preview too, where an outline on the canvas's border can be aimed at.
  for (int slot = slots.SlotCount() - 1; slot >= 0; --slot) {
    if (onlySlot >= 0 && slot != onlySlot) continue;
    if (!CanBeGrabbed(slots, slot)) continue;
    const RECT rect = geometry.SlotRect(slots.Placement(slot));
    if (!WithinHandles(rect, point, marginPixels)) continue;
    hit.slot = slot;
    hit.edges = EdgesAt(rect, point, marginPixels);
    return hit;
  }
  return hit;
}

LPCWSTR CursorForEdges(unsigned edges) {
  const bool left = (edges & kLeftEdge) != 0;
  const bool right = (edges & kRightEdge) != 0;
  const bool top = (edges & kTopEdge) != 0;
  const bool bottom = (edges & kBottomEdge) != 0;
  if ((left && top) || (right && bottom)) return IDC_SIZENWSE;
  if ((right && top) || (left && bottom)) return IDC_SIZENESW;
  if (left || right) return IDC_SIZEWE;
  if (top || bottom) return IDC_SIZENS;
  return IDC_SIZEALL;
}

}  // namespace tvq
