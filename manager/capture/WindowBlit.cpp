#include "manager/capture/WindowBlit.h"

#include "manager/composition/CImage.h"

namespace tvq {
namespace {

// Only for contexts from GetWindowDC: they go back with ReleaseDC on the same window.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND window) : m_window(window), m_dc(GetWindowDC(window)) {}
  ~ScopedWindowDC() {
    if (m_dc != nullptr) ReleaseDC(m_window, m_dc);
  }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

class ScopedMemoryDC {
 public:
  explicit ScopedMemoryDC(HDC compatibleWith) : m_dc(CreateCompatibleDC(compatibleWith)) {}
  ~ScopedMemoryDC() {
    if (m_dc != nullptr) DeleteDC(m_dc);
  }
  ScopedMemoryDC(const ScopedMemoryDC&) = delete;
  ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HDC m_dc;
};

// Puts the previously selected object back before the context or the bitmap goes away.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (m_previous != nullptr && m_previous != HGDI_ERROR) SelectObject(m_dc, m_previous);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

}  // namespace

BOOL CopyWindowArea(HWND source, int x, int y, int width, int height, CImage& picture) {
  if (picture.Bitmap() == nullptr) return FALSE;
  ScopedWindowDC sourceDC(source);
  if (sourceDC.Get() == nullptr) return FALSE;
  ScopedMemoryDC memoryDC(sourceDC.Get());
  if (memoryDC.Get() == nullptr) return FALSE;
  ScopedSelectObject selected(memoryDC.Get(), picture.Bitmap());
  SetStretchBltMode(memoryDC.Get(), HALFTONE);
  return StretchBlt(memoryDC.Get(), 0, 0, picture.Width(), picture.Height(), sourceDC.Get(), x, y,
                    width, height, SRCCOPY);
}

}  // namespace tvq
