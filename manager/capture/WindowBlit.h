#pragma once

#include <windows.h>

class CImage;

namespace tvq {

// Copies an area of a window, frame included (its window device context), into the whole of
// picture, stretching with HALFTONE if the sizes differ. Returns StretchBlt's result; FALSE when
// the picture holds no bitmap or a context could not be had.
BOOL CopyWindowArea(HWND source, int x, int y, int width, int height, CImage& picture);

// Has the window draw itself, frame included, at the picture's top left through PrintWindow with
// PW_RENDERFULLCONTENT (the desktop compositor's copy on Windows 8.1 and later; older systems and
// Wine ignore the flag and send WM_PRINT). The picture should have the window's outer size.
// FALSE when the picture holds no bitmap, a context could not be had, or PrintWindow failed.
BOOL PrintWholeWindow(HWND source, CImage& picture);

}  // namespace tvq
