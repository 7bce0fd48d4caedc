#include "manager/composition/CanvasChanges.h"

#include <algorithm>

#include "manager/capture/CImage.h"
#include "manager/composition/ISlotTable.h"

void CanvasChanges::MarkSlot(int slot) {
  if (slot < 0) return;
  if (slot >= static_cast<int>(m_slotMarks.size())) m_slotMarks.resize(slot + 1, false);
  m_slotMarks[slot] = true;
}

bool CanvasChanges::NeedsDrawing(ISlotTable& slots) const {
  if (m_marked) return true;
  const int count = slots.SlotCount();
  if (count != static_cast<int>(m_drawn.size())) return true;
  for (int slot = 0; slot < count; ++slot) {
    if (SlotChanged(slots, slot)) return true;
  }
  return false;
}

bool CanvasChanges::SlotChanged(ISlotTable& slots, int slot) const {
  if (slot < static_cast<int>(m_slotMarks.size()) && m_slotMarks[slot]) return true;
  if (slot >= static_cast<int>(m_drawn.size())) return true;
  return !(StateOf(slots, slot) == m_drawn[slot]);
}

void CanvasChanges::RecordDrawing(ISlotTable& slots) {
  const int count = slots.SlotCount();
  m_drawn.resize(count);
  for (int slot = 0; slot < count; ++slot) m_drawn[slot] = StateOf(slots, slot);
  m_marked = false;
  m_slotMarks.assign(m_slotMarks.size(), false);
}

CanvasChanges::SlotState CanvasChanges::StateOf(ISlotTable& slots, int slot) {
  SlotState state;
  state.kind = slots.Kind(slot);
  state.active = slots.IsActive(slot);
  const CImage* picture = slots.Picture(slot);
  if (picture != nullptr) {
    state.picture = picture;
    state.bitmap = picture->Bitmap();
    state.width = picture->Width();
    state.height = picture->Height();
  }
  const SCIInfo& info = slots.Placement(slot);
  state.posX = info.Pos_x;
  state.posY = info.Pos_y;
  state.placedWidth = info.Width;
  state.placedHeight = info.Height;
  state.trims[0] = info.TrimLeft;
  state.trims[1] = info.TrimTop;
  state.trims[2] = info.TrimRight;
  state.trims[3] = info.TrimBottom;
  return state;
}

// Plain comparisons: a placement that is not a number never equals itself, so such a slot is
// simply drawn on every tick, as before.
bool CanvasChanges::SlotState::operator==(const SlotState& other) const {
  return kind == other.kind && active == other.active && picture == other.picture &&
         bitmap == other.bitmap && width == other.width && height == other.height &&
         posX == other.posX && posY == other.posY && placedWidth == other.placedWidth &&
         placedHeight == other.placedHeight && std::equal(trims, trims + 4, other.trims);
}
