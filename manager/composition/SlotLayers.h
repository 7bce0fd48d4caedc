#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "common/Lifetime.h"
#include "manager/capture/CImage.h"
#include "manager/composition/SlotLayout.h"

// Each drawn slot's scaled picture (its layer): the trimmed source picture stretched with HALFTONE
// to the slot's destination size, exactly as drawing straight onto the canvas stretches it (a
// picture with alpha: scaled and blended at every copy, see AlphaDrawing). A
// tick that draws then only copies layers, and stretches again just the slots whose picture or
// geometry changed. The cache also remembers where each slot was last put on the canvas, so that
// the place a slot leaves can be drawn again.
//
// A layer is only kept for geometry a plain copy reproduces byte for byte (see CanCopy); such
// slots are drawn straight onto the canvas as before. Layers of slots that show nothing are
// released and made again when needed.
//
// Threads: the GUI thread only, like the compositor that owns it.
class SlotLayers {
 public:
  // Whether copying a layer of size to gives exactly the pixels that stretching from straight
  // into to on the canvas gives: both rectangles of positive size, the source inside the picture
  // (outside it the stretch leaves canvas pixels as they were, which a layer cannot know) and the
  // destination inside the canvas (the scaler is not asked how it clips).
  static bool CanCopy(const tvq::PixelRect& to, const tvq::PixelRect& from, int pictureWidth,
                      int pictureHeight, int canvasWidth, int canvasHeight);

  void Resize(int slotCount);

  // True when slot holds a layer of to's size.
  bool HasLayer(int slot, const tvq::PixelRect& to) const;
  // Stretches the picture's from rectangle into the slot's layer, made at to's size. False when
  // the layer could not be made (the slot is then drawn directly).
  bool Stretch(int slot, CImage& picture, const tvq::PixelRect& from, const tvq::PixelRect& to);
  // Whether a stretch clipped to part of to gives there exactly what the whole stretch gives.
  // Only a stretch that scales nothing: the scaler works out which source pixels a clipped
  // stretch needs from the clipped rectangle and interpolates between those (under Wine its
  // steps then drift from the whole stretch's, by one level or more a few rows in), while a
  // stretch of equal sizes is a copy.
  static bool ClipIsExact(const tvq::PixelRect& to, const tvq::PixelRect& from);

  // Stretches again only inside the canvas areas (canvas pixels), with the whole geometry under a
  // clip; for geometry whose clip is exact (ClipIsExact). A slot without a layer of to's size, or
  // without a clipping region, is stretched whole.
  bool StretchInside(int slot, CImage& picture, const tvq::PixelRect& from,
                     const tvq::PixelRect& to, const std::vector<RECT>& canvasAreas);
  // Copies (or, with alpha, blends) the layer to its place on the canvas; the canvas context's
  // clipping applies.
  void Copy(int slot, HDC canvas, const tvq::PixelRect& to);
  void Release(int slot);
  void ReleaseAll();

  // Where the slot was drawn last (false when it was not drawn at the last drawing).
  bool LastPlace(int slot, tvq::PixelRect& place) const;
  void SetLastPlace(int slot, const tvq::PixelRect& place);
  void ClearLastPlace(int slot);

  // Pixel memory the layers hold.
  size_t Bytes() const;

  // One region of all the areas, moved by (dx, dy); empty on failure.
  static tvq::UniqueGdiObject Region(const std::vector<RECT>& areas, int dx, int dy);

 private:
  struct Layer {
    CImage image;
    tvq::PixelRect lastPlace;
    bool placed = false;
  };

  std::vector<Layer> m_layers;
};
