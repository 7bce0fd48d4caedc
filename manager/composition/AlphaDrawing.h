#pragma once

#include <windows.h>

#include "manager/composition/SlotLayout.h"

class CImage;

// Pictures with an alpha channel (32 bits a pixel, premultiplied blue, green, red, alpha: what
// image and text sources give) are blended over the slots beneath them instead of stretched over
// them. Both drawings, straight onto the canvas and through layers, go through these functions,
// so both give the same pixels:
//   1. the canvas under each alpha slot is blackened first (a slot beneath it then draws over
//      the black, and where none lies beneath, the picture is blended over black, never over what
//      an earlier tick left there, which would thicken it on every drawing);
//   2. the picture's source rectangle is scaled here (bilinear on premultiplied pixels, the same
//      arithmetic on every system), turned over where the placement mirrors it;
//   3. the scaled pixels are blended one to one with the system's alpha blend, which keeps the
//      context's clipping.
// 24-bit pictures never come here: they keep the HALFTONE stretch.
//
// Threads: the GUI thread only, like the compositor.
namespace tvq {

// 32 bits a pixel: a premultiplied picture with alpha.
bool HasAlpha(const CImage& picture);

// The canvas rectangle an alpha picture placed at to covers: a negative width or height turns it
// over to the other side of its edge.
PixelRect AlphaArea(const PixelRect& to);

// Scales the picture's from rectangle to the size of AlphaArea(to), mirrored where to or from has
// a negative side, into scaled (made anew at part's size) for the part of that area given
// (relative to the area's top-left corner). Pixels of from that lie outside the picture are
// transparent. False for empty rectangles or when scaled could not be made.
bool ScaleAlpha(const CImage& picture, const PixelRect& from, const PixelRect& to,
                const PixelRect& part, CImage& scaled);

// Blends a scaled picture one to one onto the context at (x, y).
bool BlendAlpha(HDC destination, CImage& scaled, int x, int y);

// Blackens what the alpha picture placed at to covers (step 1 above).
void ClearUnderAlpha(HDC canvas, int canvasWidth, int canvasHeight, const PixelRect& to);

// A slot's picture straight onto the canvas: the HALFTONE stretch for a 24-bit picture, scaling
// and blending (only the part inside the canvas) for one with alpha. False when nothing was drawn.
bool DrawSlotPicture(HDC canvas, int canvasWidth, int canvasHeight, CImage& picture,
                     const PixelRect& to, const PixelRect& from);

}  // namespace tvq
