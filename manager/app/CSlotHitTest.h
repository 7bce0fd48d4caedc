#pragma once

#include <windows.h>

class CPreviewGeometry;
class ISlotTable;

// Which slot of the preview lies under the pointer, and which part of it: its inside (to move
// it) or one of its edges or corners (to resize it from there).
namespace tvq {

// The edges a drag moves; none of them means the whole rectangle moves.
enum SlotEdge : unsigned {
  kNoEdge = 0,
  kLeftEdge = 1,
  kTopEdge = 2,
  kRightEdge = 4,
  kBottomEdge = 8,
};

// True when edges names one vertical and one horizontal edge.
bool IsCorner(unsigned edges);

struct SlotHit {
  int slot = -1;  // -1: no slot under the pointer
  unsigned edges = kNoEdge;
};

// The slot drawn last at point: the highest active slot whose rectangle, widened by marginPixels
// on every side, holds it. Within marginPixels of an edge, on either side of it, the hit names
// that edge, near a corner both. Points more than marginPixels outside the preview hit nothing.
// onlySlot >= 0 limits the search to that slot (the one whose menu is open).
SlotHit HitTestSlots(const ISlotTable& slots, const CPreviewGeometry& geometry, POINT point,
                     int marginPixels, int onlySlot);

// IDC_SIZEALL inside, the matching sizing cursor on an edge or corner.
LPCWSTR CursorForEdges(unsigned edges);

}  // namespace tvq
