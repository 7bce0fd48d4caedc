#pragma once

#include <windows.h>

#include "manager/composition/SCIInfo.h"

// How the preview in the bottom-right quarter of the client area maps canvas fractions to window
// pixels and back, for the mouse and the selection outline, and which part of it shows an area a
// tick drew, so that only that part is repainted (GDI then stretches only the pixels inside the
// invalid region). The paint procedure stretches the whole canvas into this quarter, so a
// fraction f of the canvas lies f x the quarter's size in.
class CPreviewGeometry {
 public:
  CPreviewGeometry(const RECT& client, int canvasWidth, int canvasHeight);

  // The quarter as the paint procedure draws it: halves truncated toward zero.
  const RECT& Preview() const { return m_preview; }
  bool IsEmpty() const;
  bool Contains(POINT point) const;

  // The part of the preview that shows canvasArea (canvas pixels, top row 0), widened by the
  // scaler's reach into neighbouring source pixels and kept inside the preview.
  RECT Shows(const RECT& canvasArea) const;

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
