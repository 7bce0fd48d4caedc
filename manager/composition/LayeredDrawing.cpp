#include "manager/composition/LayeredDrawing.h"

#include <algorithm>
#include <climits>

#include "common/Lifetime.h"
#include "manager/capture/CImage.h"
#include "manager/composition/AlphaDrawing.h"
#include "manager/composition/CanvasChanges.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/PictureChanges.h"

namespace {

// The pixels a stretch into rect can touch: a negative width or height mirrors the picture into
// the rectangle on the other side of the edge, give or take the edge's own pixel.
tvq::PixelRect Covered(const tvq::PixelRect& rect) {
  tvq::PixelRect covered = rect;
  const bool flipped = rect.width < 0 || rect.height < 0;
  if (covered.width < 0) {
    covered.x = static_cast<int>(std::max<long long>(INT_MIN, 1LL * rect.x + rect.width));
    covered.width = static_cast<int>(std::min<long long>(INT_MAX, -1LL * rect.width));
  }
  if (covered.height < 0) {
    covered.y = static_cast<int>(std::max<long long>(INT_MIN, 1LL * rect.y + rect.height));
    covered.height = static_cast<int>(std::min<long long>(INT_MAX, -1LL * rect.height));
  }
  if (flipped) {
    covered.x = static_cast<int>(std::max<long long>(INT_MIN, 1LL * covered.x - 1));
    covered.y = static_cast<int>(std::max<long long>(INT_MIN, 1LL * covered.y - 1));
    covered.width = static_cast<int>(std::min<long long>(INT_MAX, 1LL * covered.width + 2));
    covered.height = static_cast<int>(std::min<long long>(INT_MAX, 1LL * covered.height + 2));
  }
  return covered;
}

bool Overlap(const tvq::PixelRect& first, const tvq::PixelRect& second) {
  const tvq::PixelRect a = Covered(first);
  const tvq::PixelRect b = Covered(second);
  // 64-bit ends: a placement may reach the ends of the int range.
  return static_cast<long long>(a.x) < static_cast<long long>(b.x) + b.width &&
         static_cast<long long>(b.x) < static_cast<long long>(a.x) + a.width &&
         static_cast<long long>(a.y) < static_cast<long long>(b.y) + b.height &&
         static_cast<long long>(b.y) < static_cast<long long>(a.y) + a.height;
}

}  // namespace

void LayeredDrawing::Draw(CImage& canvas, ISlotTable& slots, const CanvasChanges& changes,
                          std::vector<RECT>& changedAreas) {
  const int count = slots.SlotCount();
  const int width = canvas.Width();
  const int height = canvas.Height();
  // A canvas cleared or made anew, or a change nobody could name: every layer is made again.
  bool whole = changes.WholeCanvasMarked();
  m_layers.Resize(count);
  m_areas.clear();
  std::vector<SlotPlan> plans(count);
  for (int slot = 0; slot < count; ++slot) {
    const bool changed = whole || changes.SlotChanged(slots, slot);
    const std::vector<tvq::PixelRect>* parts =
        whole ? nullptr : changes.ChangedParts(slots, slot);
    plans[slot] = PlanSlot(slot, slots, changed, parts, width, height);
    whole = whole || (plans[slot].picture != nullptr && plans[slot].direct);
  }
  whole = !PrepareLayers(plans, whole, width, height) || whole;
  HDC dc = canvas.BorrowDC();
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  if (whole || !AssembleInsideAreas(dc, plans, width, height)) {
    m_areas.assign(1, RECT{0, 0, width, height});
    Assemble(dc, plans, width, height);
  }
  canvas.ReturnDC();
  changedAreas = m_areas;
}

// Decides how the slot is drawn and notes the places it leaves and takes.
LayeredDrawing::SlotPlan LayeredDrawing::PlanSlot(int slot, ISlotTable& slots, bool changed,
                                                  const std::vector<tvq::PixelRect>* parts,
                                                  int canvasWidth, int canvasHeight) {
  SlotPlan plan;
  plan.changed = changed;
  plan.wasPlaced = m_layers.LastPlace(slot, plan.old);
  CImage* picture = slots.Picture(slot);
  if (picture == nullptr || picture->Bitmap() == nullptr) {
    if (changed && plan.wasPlaced) AddArea(plan.old, canvasWidth, canvasHeight);
    m_layers.Release(slot);
    m_layers.ClearLastPlace(slot);
    return plan;
  }
  plan.picture = picture;
  const SCIInfo& info = slots.Placement(slot);
  plan.to = tvq::DestinationRect(info, canvasWidth, canvasHeight);
  plan.from = tvq::SourceRect(info, picture->Width(), picture->Height());
  plan.direct = !SlotLayers::CanCopy(plan.to, plan.from, picture->Width(), picture->Height(),
                                     canvasWidth, canvasHeight);
  if (plan.direct) m_layers.Release(slot);
  if (changed) AddChangedAreas(plan, parts, canvasWidth, canvasHeight);
  m_layers.SetLastPlace(slot, plan.to);
  return plan;
}

// A slot that stays where it was and changed only in parts names what those parts reach; any
// other change names the places it leaves and takes.
void LayeredDrawing::AddChangedAreas(SlotPlan& plan, const std::vector<tvq::PixelRect>* parts,
                                     int canvasWidth, int canvasHeight) {
  const bool stayed = plan.wasPlaced && plan.old.x == plan.to.x && plan.old.y == plan.to.y &&
                      plan.old.width == plan.to.width && plan.old.height == plan.to.height;
  // A picture with alpha is scaled whole: its scaler has no clip.
  plan.inParts = parts != nullptr && stayed && !plan.direct && !tvq::HasAlpha(*plan.picture);
  if (!plan.inParts) {
    if (plan.wasPlaced) AddArea(plan.old, canvasWidth, canvasHeight);
    AddArea(plan.to, canvasWidth, canvasHeight);
    return;
  }
  for (const tvq::PixelRect& part : *parts) {
    AddArea(tvq::ReachInDestination(part, plan.from, plan.to, PictureChanges::kReach),
            canvasWidth, canvasHeight);
  }
}

bool LayeredDrawing::PrepareLayers(std::vector<SlotPlan>& plans, bool whole, int canvasWidth,
                                   int canvasHeight) {
  bool made = true;
  for (int slot = 0; slot < static_cast<int>(plans.size()); ++slot) {
    SlotPlan& plan = plans[slot];
    if (plan.picture == nullptr || plan.direct) continue;
    if (plan.changed && !TouchesAnotherSlot(slot, plans)) {
      // Its old layer is stale and nothing needs a new one yet.
      plan.inPlace = true;
      m_layers.Release(slot);
      // Drawn under the canvas's clip, which only an exact geometry allows for parts; its whole
      // rectangle touches no other slot, so no other decision depends on this area.
      if (plan.inParts && !SlotLayers::ClipIsExact(plan.to, plan.from)) {
        plan.inParts = false;
        AddArea(plan.to, canvasWidth, canvasHeight);
      }
      continue;
    }
    const bool copied = whole || TouchesAreas(plan.to);
    if (!copied || (!plan.changed && m_layers.HasLayer(slot, plan.to))) continue;
    // An unchanged slot without a layer was drawn in place: its picture is still the one it
    // shows, so the layer made now holds the same pixels.
    const bool stretched =
        plan.inParts && !whole && SlotLayers::ClipIsExact(plan.to, plan.from)
            ? m_layers.StretchInside(slot, *plan.picture, plan.from, plan.to, m_areas)
            : m_layers.Stretch(slot, *plan.picture, plan.from, plan.to);
    if (!stretched) {
      plan.direct = true;
      made = false;
    }
  }
  return made;
}

// Another slot shown now overlaps where this one is or was, so some tick will copy over or
// under it.
bool LayeredDrawing::TouchesAnotherSlot(int slot, const std::vector<SlotPlan>& plans) const {
  for (int other = 0; other < static_cast<int>(plans.size()); ++other) {
    if (other == slot || plans[other].picture == nullptr) continue;
    if (Overlap(plans[other].to, plans[slot].to)) return true;
    if (plans[slot].wasPlaced && Overlap(plans[other].to, plans[slot].old)) return true;
  }
  return false;
}

bool LayeredDrawing::TouchesAreas(const tvq::PixelRect& rect) const {
  for (const RECT& area : m_areas) {
    const tvq::PixelRect piece{area.left, area.top, area.right - area.left,
                               area.bottom - area.top};
    if (Overlap(piece, rect)) return true;
  }
  return false;
}

void LayeredDrawing::AddArea(const tvq::PixelRect& placed, int canvasWidth, int canvasHeight) {
  const tvq::PixelRect rect = Covered(placed);
  // 64-bit ends: a placement may reach the ends of the int range.
  const long long right = static_cast<long long>(rect.x) + rect.width;
  const long long bottom = static_cast<long long>(rect.y) + rect.height;
  RECT area;
  area.left = rect.x < 0 ? 0 : rect.x;
  area.top = rect.y < 0 ? 0 : rect.y;
  area.right = static_cast<LONG>(right > canvasWidth ? canvasWidth : right);
  area.bottom = static_cast<LONG>(bottom > canvasHeight ? canvasHeight : bottom);
  if (area.left >= area.right || area.top >= area.bottom) return;
  // A slot that stays where it was names the same rectangle twice.
  for (const RECT& known : m_areas) {
    if (EqualRect(&known, &area)) return;
  }
  m_areas.push_back(area);
}

void LayeredDrawing::Assemble(HDC canvas, const std::vector<SlotPlan>& plans, int canvasWidth,
                              int canvasHeight) {
  for (const SlotPlan& plan : plans) {
    if (plan.picture != nullptr && tvq::HasAlpha(*plan.picture)) {
      tvq::ClearUnderAlpha(canvas, canvasWidth, canvasHeight, plan.to);
    }
  }
  for (int slot = 0; slot < static_cast<int>(plans.size()); ++slot) {
    const SlotPlan& plan = plans[slot];
    if (plan.picture == nullptr) continue;
    // Clipped to the changed areas, a slot outside them would only be stretched for nothing.
    if (!plan.direct && !plan.inPlace && !TouchesAreas(plan.to)) continue;
    if (plan.direct || plan.inPlace || !m_layers.HasLayer(slot, plan.to)) {
      // A failed blit (an empty rectangle, a lost window) leaves the canvas as it was.
      tvq::DrawSlotPicture(canvas, canvasWidth, canvasHeight, *plan.picture, plan.to, plan.from);
    } else {
      m_layers.Copy(slot, canvas, plan.to);
    }
  }
}

// Every layer is copied in slot order, clipped to the changed areas: inside them this is the full
// assembly, outside them the canvas already shows it.
// False when no clipping region could be made: the caller then assembles the whole canvas.
bool LayeredDrawing::AssembleInsideAreas(HDC canvas, const std::vector<SlotPlan>& plans,
                                         int canvasWidth, int canvasHeight) {
  if (m_areas.empty()) return true;
  const tvq::UniqueGdiObject clip = SlotLayers::Region(m_areas, 0, 0);
  if (!clip) return false;
  // The context copies the region, so ours can go when the block ends; the canvas context goes
  // back to the cache unclipped.
  if (SelectClipRgn(canvas, static_cast<HRGN>(clip.Get())) == ERROR) return false;
  Assemble(canvas, plans, canvasWidth, canvasHeight);
  SelectClipRgn(canvas, nullptr);
  return true;
}
