#pragma once

#include <windows.h>

class CImage;

namespace tvq {

// Copies an area of a window, frame included (its window device context), into the whole of
// picture, stretching with HALFTONE if the sizes differ. Returns StretchBlt's result; FALSE when
// the picture holds no bitmap or a context could not be had.
BOOL CopyWindowArea(HWND source, int x, int y, int width, int height, CImage& picture);

}  // namespace tvq
