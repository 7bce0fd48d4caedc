#pragma once

#include <windows.h>

#include "manager/composition/SCIInfo.h"

// How the preview in the bottom-right quarter of the client area maps canvas fractions to window
// pixels and back, for the mouse and the selection outline. The paint procedure stretches the
// whole canvas into this quarter, so a fraction f of the canvas lies f x the quarter's size in.
class CPreviewGeometry {
 public:
  CPreviewGeometry(const RECT& client, int canvasWidth, int canvasHeight);

  // The quarter as the paint procedure draws it: halves truncated toward zero.
  const RECT& Preview() const { return m_preview; }
  bool IsEmpty() const;
  bool Contains(POINT point) const;

  // The slot's rectangle in window pixels, normalised so that left <= right and top <= bottom
  // (the keys may have made a width or height negative).
  RECT SlotRect(const SCIInfo& info) const;

  // A pointer movement in window pixels as a change of canvas fractions.
  double DeltaX(int pixels) const;
  double DeltaY(int pixels) const;

  // One canvas pixel in fractions: the smallest width and height the mouse leaves a slot.
  double MinimumWidth() const;
  double MinimumHeight() const;

 private:
  RECT m_preview;
  int m_canvasWidth;
  int m_canvasHeight;
};
