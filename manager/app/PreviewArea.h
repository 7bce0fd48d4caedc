#pragma once

#include <windows.h>

namespace tvq {

// Where the preview lies in the main window: the canvas stretched into the bottom-right quarter
// of the client area. Maps canvas areas a tick drew to the client rectangle that shows them, so
// only that part is repainted (GDI then stretches only the pixels inside the invalid region).
class PreviewArea {
 public:
  PreviewArea(const RECT& client, int canvasWidth, int canvasHeight);

  const RECT& Quarter() const { return m_quarter; }
  // The part of the quarter that shows canvasArea (canvas pixels, top row 0), widened by the
  // scaler's reach into neighbouring source pixels and kept inside the quarter.
  RECT Shows(const RECT& canvasArea) const;

 private:
  RECT m_quarter;
  int m_canvasWidth;
  int m_canvasHeight;
};

}  // namespace tvq
