#pragma once

#include <windows.h>

#include "manager/composition/SCIInfo.h"

class CPreviewGeometry;

// One drag of a slot in the preview: where it started, which edges it moves (none: the whole
// rectangle) and the placement it started from, so that Esc can put it back. The placement for a
// pointer position is always computed from the start, so no rounding piles up over a long drag.
//
// Rules: the rectangle never becomes smaller than one canvas pixel and is never flipped (a
// rectangle the keys flipped stays flipped); it may leave the canvas. A corner dragged with
// keepProportions scales both sides by the same factor, the opposite corner staying put.
//
// Threads: the GUI thread only.
class CSlotDrag {
 public:
  void Begin(int slot, unsigned edges, POINT start, const SCIInfo& original);
  void End();

  bool IsActive() const { return m_slot >= 0; }
  int Slot() const { return m_slot; }
  const SCIInfo& Original() const { return m_original; }

  // The original placement with Pos_x, Pos_y, Width and Height changed for the pointer at point.
  SCIInfo Follow(POINT point, bool keepProportions, const CPreviewGeometry& geometry) const;

 private:
  // One side's extent as seen on screen: the near edge and a length >= 0, whatever the sign of
  // the size. The length is kept rather than the far edge: far - near would lose the last bits
  // of a one-pixel length, and the compositor truncates the length alone.
  struct Extent {
    double nearEdge;
    double length;
    bool flipped;
  };

  static Extent ExtentOf(double position, double size);
  static void StoreExtent(const Extent& extent, double& position, double& size);
  static Extent Resize(const Extent& extent, bool movesNear, bool movesFar, double delta,
                       double minimum);
  static Extent Scale(const Extent& extent, bool movesNear, double scale, double minimum);
  void ResizeProportionally(Extent& x, Extent& y, double dx, double dy,
                            const CPreviewGeometry& geometry) const;

  int m_slot = -1;
  unsigned m_edges = 0;
  POINT m_start{};
  SCIInfo m_original;
};
