#include "manager/composition/CanvasChanges.h"

#include <algorithm>

#include "manager/capture/CImage.h"
#include "manager/composition/ISlotTable.h"

namespace {

// More changed parts than this in one slot between two drawings become one rectangle around them.
constexpr size_t kMaxParts = 8;

tvq::PixelRect Around(const std::vector<tvq::PixelRect>& parts) {
  tvq::PixelRect around = parts.front();
  for (const tvq::PixelRect& part : parts) {
    const int right = std::max(around.x + around.width, part.x + part.width);
    const int bottom = std::max(around.y + around.height, part.y + part.height);
    around.x = std::min(around.x, part.x);
    around.y = std::min(around.y, part.y);
    around.width = right - around.x;
    around.height = bottom - around.y;
  }
  return around;
}

}  // namespace

void CanvasChanges::MarkSlot(int slot) {
  if (slot < 0) return;
  if (slot >= static_cast<int>(m_slotMarks.size())) m_slotMarks.resize(slot + 1, false);
  m_slotMarks[slot] = true;
  if (slot < static_cast<int>(m_slotParts.size())) m_slotParts[slot].clear();
}

void CanvasChanges::MarkSlotParts(int slot, const std::vector<tvq::PixelRect>& parts) {
  if (slot < 0 || parts.empty()) return;
  if (slot < static_cast<int>(m_slotMarks.size()) && m_slotMarks[slot]) return;
  if (slot >= static_cast<int>(m_slotParts.size())) m_slotParts.resize(slot + 1);
  std::vector<tvq::PixelRect>& kept = m_slotParts[slot];
  kept.insert(kept.end(), parts.begin(), parts.end());
  if (kept.size() > kMaxParts) kept.assign(1, Around(kept));
}

void CanvasChanges::KeepPicture(ISlotTable& slots, int slot) {
  if (slot < 0 || slot >= static_cast<int>(m_drawn.size())) return;
  const CImage* picture = slots.Picture(slot);
  if (picture != nullptr && picture == m_drawn[slot].picture) {
    m_drawn[slot].bitmap = picture->Bitmap();
  }
}

const std::vector<tvq::PixelRect>* CanvasChanges::ChangedParts(ISlotTable& slots, int slot) const {
  if (m_marked || slot >= static_cast<int>(m_slotParts.size()) || m_slotParts[slot].empty()) {
    return nullptr;
  }
  if (slot < static_cast<int>(m_slotMarks.size()) && m_slotMarks[slot]) return nullptr;
  if (slot >= static_cast<int>(m_drawn.size()) || !(StateOf(slots, slot) == m_drawn[slot])) {
    return nullptr;
  }
  return &m_slotParts[slot];
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
  if (slot < static_cast<int>(m_slotParts.size()) && !m_slotParts[slot].empty()) return true;
  if (slot >= static_cast<int>(m_drawn.size())) return true;
  return !(StateOf(slots, slot) == m_drawn[slot]);
}

void CanvasChanges::RecordDrawing(ISlotTable& slots) {
  const int count = slots.SlotCount();
  m_drawn.resize(count);
  for (int slot = 0; slot < count; ++slot) m_drawn[slot] = StateOf(slots, slot);
  m_marked = false;
  m_slotMarks.assign(m_slotMarks.size(), false);
  for (std::vector<tvq::PixelRect>& parts : m_slotParts) parts.clear();
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
