#include "manager/composition/SlotLayers.h"

#include "manager/composition/AlphaDrawing.h"

namespace {

constexpr int kLayerBitsPerPixel = 24;

bool Inside(const tvq::PixelRect& rect, int width, int height) {
  // 64-bit sums: placements from a hand-edited file may lie near the ends of the int range.
  return rect.x >= 0 && rect.y >= 0 && static_cast<long long>(rect.x) + rect.width <= width &&
         static_cast<long long>(rect.y) + rect.height <= height;
}

}  // namespace

bool SlotLayers::CanCopy(const tvq::PixelRect& to, const tvq::PixelRect& from, int pictureWidth,
                         int pictureHeight, int canvasWidth, int canvasHeight) {
  if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0) return false;
  return Inside(from, pictureWidth, pictureHeight) && Inside(to, canvasWidth, canvasHeight);
}

bool SlotLayers::ClipIsExact(const tvq::PixelRect& to, const tvq::PixelRect& from) {
  return to.width == from.width && to.height == from.height;
}

void SlotLayers::Resize(int slotCount) {
  if (slotCount < 0) slotCount = 0;
  m_layers.resize(static_cast<size_t>(slotCount));
}

bool SlotLayers::HasLayer(int slot, const tvq::PixelRect& to) const {
  const CImage& image = m_layers[slot].image;
  return image.Bitmap() != nullptr && image.Width() == to.width && image.Height() == to.height;
}

bool SlotLayers::Stretch(int slot, CImage& picture, const tvq::PixelRect& from,
                         const tvq::PixelRect& to) {
  CImage& image = m_layers[slot].image;
  // A layer with alpha holds the scaled picture, to be blended at every copy.
  if (tvq::HasAlpha(picture)) {
    const bool scaled = tvq::ScaleAlpha(picture, from, to, {0, 0, to.width, to.height}, image);
    if (!scaled) image.Destroy();
    return scaled;
  }
  if (!HasLayer(slot, to) || image.BitsPerPixel() != kLayerBitsPerPixel) {
    image.Destroy();
    if (!image.Create(to.width, to.height, kLayerBitsPerPixel)) return false;
  }
  HDC dc = image.BorrowDC();
  // The same scaling set-up as the canvas's, so the layer holds what the canvas would.
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  const BOOL drawn =
      picture.Draw(dc, 0, 0, to.width, to.height, from.x, from.y, from.width, from.height);
  image.ReturnDC();
  if (!drawn) image.Destroy();
  return drawn != FALSE;
}

bool SlotLayers::StretchInside(int slot, CImage& picture, const tvq::PixelRect& from,
                               const tvq::PixelRect& to, const std::vector<RECT>& canvasAreas) {
  if (!HasLayer(slot, to)) return Stretch(slot, picture, from, to);
  const tvq::UniqueGdiObject clip = Region(canvasAreas, -to.x, -to.y);
  if (!clip) return Stretch(slot, picture, from, to);
  CImage& image = m_layers[slot].image;
  HDC dc = image.BorrowDC();
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  // The context keeps a copy of the region; the layer's context goes back to the cache unclipped.
  const bool clipped = SelectClipRgn(dc, static_cast<HRGN>(clip.Get())) != ERROR;
  const BOOL drawn = clipped && picture.Draw(dc, 0, 0, to.width, to.height, from.x, from.y,
                                             from.width, from.height);
  SelectClipRgn(dc, nullptr);
  image.ReturnDC();
  if (!drawn) return Stretch(slot, picture, from, to);
  return true;
}

tvq::UniqueGdiObject SlotLayers::Region(const std::vector<RECT>& areas, int dx, int dy) {
  tvq::UniqueGdiObject region(CreateRectRgn(0, 0, 0, 0));
  if (!region) return region;
  for (const RECT& area : areas) {
    tvq::UniqueGdiObject piece(
        CreateRectRgn(area.left + dx, area.top + dy, area.right + dx, area.bottom + dy));
    if (!piece || CombineRgn(static_cast<HRGN>(region.Get()), static_cast<HRGN>(region.Get()),
                             static_cast<HRGN>(piece.Get()), RGN_OR) == ERROR) {
      return tvq::UniqueGdiObject();
    }
  }
  return region;
}

void SlotLayers::Copy(int slot, HDC canvas, const tvq::PixelRect& to) {
  CImage& image = m_layers[slot].image;
  if (tvq::HasAlpha(image)) {
    tvq::BlendAlpha(canvas, image, to.x, to.y);
    return;
  }
  HDC dc = image.BorrowDC();
  BitBlt(canvas, to.x, to.y, to.width, to.height, dc, 0, 0, SRCCOPY);
  image.ReturnDC();
}

void SlotLayers::Release(int slot) { m_layers[slot].image.Destroy(); }

void SlotLayers::ReleaseAll() {
  for (Layer& layer : m_layers) layer.image.Destroy();
}

bool SlotLayers::LastPlace(int slot, tvq::PixelRect& place) const {
  if (!m_layers[slot].placed) return false;
  place = m_layers[slot].lastPlace;
  return true;
}

void SlotLayers::SetLastPlace(int slot, const tvq::PixelRect& place) {
  m_layers[slot].lastPlace = place;
  m_layers[slot].placed = true;
}

void SlotLayers::ClearLastPlace(int slot) { m_layers[slot].placed = false; }

size_t SlotLayers::Bytes() const {
  size_t bytes = 0;
  for (const Layer& layer : m_layers) bytes += layer.image.BufferBytes();
  return bytes;
}
