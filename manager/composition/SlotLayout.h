#pragma once

#include "manager/composition/SCIInfo.h"

// Where a slot lands on the canvas and which part of its picture it shows. The compositing tick
// draws with these rectangles and the status text prints the same destination values.
namespace tvq {

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// fraction x size in double precision, truncated toward zero (-0.01 x 1024 gives -10). Values
// beyond the int range stop at its ends and NaN gives 0, so a placement read from a hand-edited
// file cannot make the conversion undefined.
int FractionToPixels(double fraction, int size);

// The slot's rectangle on a canvas of the given size.
PixelRect DestinationRect(const SCIInfo& info, int canvasWidth, int canvasHeight);

// The part of a picture left after the trims, measured from its top-left corner. Trims are not
// bounded: negative trims or trims larger than the picture give the rectangle as computed.
PixelRect SourceRect(const SCIInfo& info, int pictureWidth, int pictureHeight);

// The size at which the slot's picture is drawn one to one: its rectangle's size (whichever way
// it faces) plus its trims, from 1 up to the canvas size on each side. A source that draws its
// picture at the slot's size (an image, a text) draws at this size; x and y are 0.
PixelRect FittedPictureSize(const SCIInfo& info, int canvasWidth, int canvasHeight);

// The part of to that a stretch from from into to changes when the source pixels in changed
// change: their own place, widened by reach source pixels on every side (the scaler reads
// neighbours) and one destination pixel for rounding, inside to. For rectangles of positive size.
PixelRect ReachInDestination(const PixelRect& changed, const PixelRect& from, const PixelRect& to,
                             int reach);

}  // namespace tvq
