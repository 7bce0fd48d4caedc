#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "manager/composition/SlotLayers.h"
#include "manager/composition/SlotLayout.h"

class CanvasChanges;
class CImage;
class ISlotTable;

// A drawing tick that goes through the slots' layers: it stretches again only the slots that
// changed, then copies every layer in slot order onto the canvas as it stands, but only inside
// the old and new rectangles of those slots. Outside them every slot still shows what it showed,
// so the canvas ends with the same pixels as drawing every slot straight onto it. A slot a copy
// cannot reproduce is stretched straight onto the canvas as before, and such a tick assembles
// the whole canvas.
//
// A changed slot that no other slot touches (neither where it is nor where it was) needs no
// layer: nothing is ever copied over or under it, so it is stretched straight onto the canvas,
// which costs what drawing without layers cost. Its layer is made only once another slot comes
// to overlap it.
//
// A slot whose picture changed only in parts (see CanvasChanges) names only the canvas areas
// those parts reach; its layer (or the canvas, for a slot drawn in place) is stretched again
// with its whole geometry under a clip to those areas, which gives the pixels a whole stretch
// gives. Where such a clip is not exact (see SlotLayers::ClipIsExact), a layer is stretched
// whole but copied only inside those areas, and a slot drawn in place changes whole. A slot drawn
// directly is always stretched whole.
//
// Threads: the GUI thread only, like the compositor that owns it.
class LayeredDrawing {
 public:
  // Draws what changed since the last drawing; changedAreas receives the canvas areas drawn.
  void Draw(CImage& canvas, ISlotTable& slots, const CanvasChanges& changes,
            std::vector<RECT>& changedAreas);
  void ReleaseAll() { m_layers.ReleaseAll(); }
  size_t LayerBytes() const { return m_layers.Bytes(); }

 private:
  struct SlotPlan {
    CImage* picture = nullptr;  // null: the slot shows nothing
    tvq::PixelRect to;
    tvq::PixelRect from;
    bool direct = false;
    bool changed = false;
    bool inPlace = false;  // stretched straight onto the canvas: nothing overlaps it
    bool wasPlaced = false;  // drawn at the last drawing, at old
    tvq::PixelRect old;
    bool inParts = false;  // changed only inside the areas its changed parts reach
  };

  SlotPlan PlanSlot(int slot, ISlotTable& slots, bool changed,
                    const std::vector<tvq::PixelRect>* parts, int canvasWidth, int canvasHeight);
  void AddChangedAreas(SlotPlan& plan, const std::vector<tvq::PixelRect>* parts, int canvasWidth,
                       int canvasHeight);
  void AddArea(const tvq::PixelRect& rect, int canvasWidth, int canvasHeight);
  bool TouchesAnotherSlot(int slot, const std::vector<SlotPlan>& plans) const;
  bool TouchesAreas(const tvq::PixelRect& rect) const;
  // Decides which changed slots are drawn in place and brings every layer the tick copies up to
  // date. False when a layer could not be made (that slot is then drawn directly).
  bool PrepareLayers(std::vector<SlotPlan>& plans, bool whole, int canvasWidth, int canvasHeight);
  // Blackens under the slots with alpha, then draws or copies every slot in slot order.
  void Assemble(HDC canvas, const std::vector<SlotPlan>& plans, int canvasWidth,
                int canvasHeight);
  bool AssembleInsideAreas(HDC canvas, const std::vector<SlotPlan>& plans, int canvasWidth,
                           int canvasHeight);

  SlotLayers m_layers;
  std::vector<RECT> m_areas;
};
