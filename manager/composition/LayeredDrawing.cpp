#include "manager/composition/LayeredDrawing.h"

#include "common/Lifetime.h"
#include "manager/capture/CImage.h"
#include "manager/composition/CanvasChanges.h"
#include "manager/composition/ISlotTable.h"

void LayeredDrawing::Draw(CImage& canvas, ISlotTable& slots, const CanvasChanges& changes,
                          std::vector<RECT>& changedAreas) {
  const int count = slots.SlotCount();
  const int width = canvas.Width();
  const int height = canvas.Height();
  // A canvas cleared or made anew, or a change nobody could name: every layer is made again.
  const bool whole = changes.WholeCanvasMarked();
  m_layers.Resize(count);
  m_areas.clear();
  std::vector<SlotPlan> plans(count);
  bool anyDirect = false;
  for (int slot = 0; slot < count; ++slot) {
    plans[slot] = PlanSlot(slot, slots, whole || changes.SlotChanged(slots, slot), width, height);
    anyDirect = anyDirect || (plans[slot].picture != nullptr && plans[slot].direct);
  }
  HDC dc = canvas.BorrowDC();
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  if (whole || anyDirect || !AssembleInsideAreas(dc, plans)) {
    m_areas.assign(1, RECT{0, 0, width, height});
    Assemble(dc, plans);
  }
  canvas.ReturnDC();
  changedAreas = m_areas;
}

// Decides how the slot is drawn, stretches its layer when it changed, and notes the places it
// leaves and takes.
LayeredDrawing::SlotPlan LayeredDrawing::PlanSlot(int slot, ISlotTable& slots, bool changed,
                                                  int canvasWidth, int canvasHeight) {
  SlotPlan plan;
  tvq::PixelRect old;
  const bool wasPlaced = m_layers.LastPlace(slot, old);
  if (changed && wasPlaced) AddArea(old, canvasWidth, canvasHeight);
  CImage* picture = slots.Picture(slot);
  if (picture == nullptr || picture->Bitmap() == nullptr) {
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
  if (plan.direct) {
    m_layers.Release(slot);
  } else if (changed || !m_layers.HasLayer(slot, plan.to)) {
    // A layer that cannot be made leaves the slot to be drawn as before.
    plan.direct = !m_layers.Stretch(slot, *picture, plan.from, plan.to);
  }
  if (changed) AddArea(plan.to, canvasWidth, canvasHeight);
  m_layers.SetLastPlace(slot, plan.to);
  return plan;
}

void LayeredDrawing::AddArea(const tvq::PixelRect& rect, int canvasWidth, int canvasHeight) {
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

void LayeredDrawing::Assemble(HDC canvas, const std::vector<SlotPlan>& plans) {
  for (int slot = 0; slot < static_cast<int>(plans.size()); ++slot) {
    const SlotPlan& plan = plans[slot];
    if (plan.picture == nullptr) continue;
    if (plan.direct) {
      // A failed blit (an empty rectangle, a lost window) leaves the canvas as it was.
      plan.picture->Draw(canvas, plan.to.x, plan.to.y, plan.to.width, plan.to.height, plan.from.x,
                         plan.from.y, plan.from.width, plan.from.height);
    } else {
      m_layers.Copy(slot, canvas, plan.to);
    }
  }
}

// Every layer is copied in slot order, clipped to the changed areas: inside them this is the full
// assembly, outside them the canvas already shows it.
// False when no clipping region could be made: the caller then assembles the whole canvas.
bool LayeredDrawing::AssembleInsideAreas(HDC canvas, const std::vector<SlotPlan>& plans) {
  if (m_areas.empty()) return true;
  tvq::UniqueGdiObject clip(CreateRectRgn(0, 0, 0, 0));
  if (!clip) return false;
  HRGN region = static_cast<HRGN>(clip.Get());
  for (const RECT& area : m_areas) {
    tvq::UniqueGdiObject piece(CreateRectRgnIndirect(&area));
    if (!piece || CombineRgn(region, region, static_cast<HRGN>(piece.Get()), RGN_OR) == ERROR) {
      return false;
    }
  }
  // The context copies the region, so ours can go when the block ends; the canvas context goes
  // back to the cache unclipped.
  if (SelectClipRgn(canvas, region) == ERROR) return false;
  Assemble(canvas, plans);
  SelectClipRgn(canvas, nullptr);
  return true;
}
