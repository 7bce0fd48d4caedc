#include "manager/capture/WindowBlit.h"

#include "common/Lifetime.h"
#include "manager/capture/CImage.h"

namespace tvq {
namespace {

// PW_RENDERFULLCONTENT; the headers declare it only for Windows 8.1 and later, and older systems
// take it as no flag at all.
constexpr UINT kRenderFullContent = 0x00000002;

}  // namespace

BOOL CopyWindowArea(HWND source, int x, int y, int width, int height, CImage& picture) {
  if (picture.Bitmap() == nullptr) return FALSE;
  // Declared in this order so that the bitmap leaves the memory context before it is deleted,
  // and the memory context goes before the window's context is given back.
  const UniqueWindowDC sourceDC = UniqueWindowDC::ForWholeWindow(source);
  if (!sourceDC) return FALSE;
  const UniqueMemoryDC memoryDC(CreateCompatibleDC(sourceDC.Get()));
  if (!memoryDC) return FALSE;
  const SelectedObject selected(memoryDC.Get(), picture.Bitmap());
  SetStretchBltMode(memoryDC.Get(), HALFTONE);
  return StretchBlt(memoryDC.Get(), 0, 0, picture.Width(), picture.Height(), sourceDC.Get(), x, y,
                    width, height, SRCCOPY);
}

BOOL PrintWholeWindow(HWND source, CImage& picture) {
  if (picture.Bitmap() == nullptr) return FALSE;
  const UniqueMemoryDC memoryDC(CreateCompatibleDC(nullptr));
  if (!memoryDC) return FALSE;
  const SelectedObject selected(memoryDC.Get(), picture.Bitmap());
  if (!selected.Succeeded()) return FALSE;
  return PrintWindow(source, memoryDC.Get(), kRenderFullContent);
}

}  // namespace tvq
