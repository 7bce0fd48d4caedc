#include "manager/app/CSlotKeys.h"

#include <cstdint>

#include "manager/composition/ISlotTable.h"
#include "manager/composition/SlotKinds.h"

namespace {

constexpr double kFineBaseStep = 0.1;
constexpr double kCoarseBaseStep = 1.0;
// Positions and sizes move by this share of the base step (0.05, or 0.005 with Ctrl).
constexpr double kPlacementStepFactor = 0.05;

enum EditField { kNoField = 0, kMoveField, kSizeField, kTrimTopLeftField, kTrimBottomRightField,
                 kRateField };

// Trims move one pixel per key; a trim read from a hand-edited file may already sit at the end
// of the int range, where one more step must not overflow.
void StepTrim(std::int32_t& trim, int delta) {
  const std::int64_t moved = static_cast<std::int64_t>(trim) + delta;
  if (moved >= INT32_MIN && moved <= INT32_MAX) trim = static_cast<std::int32_t>(moved);
}

}  // namespace

CSlotKeys::CSlotKeys(ISlotTable& slots, ISlotKeyActions& actions)
    : m_slots(slots), m_actions(actions) {}

CSlotKeys::Mode CSlotKeys::CurrentMode() const {
  if (!m_menuOpen) return Mode::Browsing;
  return m_editField == kNoField ? Mode::Menu : Mode::Editing;
}

void CSlotKeys::OnKeyDown(UINT virtualKey, bool ctrlDown) {
  const double baseStep = ctrlDown ? kFineBaseStep : kCoarseBaseStep;
  switch (virtualKey) {
    case VK_UP: OnUp(baseStep); break;
    case VK_DOWN: OnDown(baseStep); break;
    case VK_LEFT: OnLeftRight(false, baseStep); break;
    case VK_RIGHT: OnLeftRight(true, baseStep); break;
    case VK_RETURN: OnEnter(); break;
    case VK_BACK: OnBackspace(); break;
    case VK_DELETE: OnDelete(); break;
    case VK_SPACE: OnSpace(); break;
    case 'R': m_actions.ClearCanvas(); break;
    default: OnFillKey(virtualKey); break;
  }
}

// Filling refuses an occupied slot, and a slot whose menu is open is always occupied.
void CSlotKeys::OnFillKey(UINT virtualKey) {
  const tvq::SlotKindRow* row = tvq::FindSlotKindByKey(virtualKey);
  if (row != nullptr) m_actions.FillSlot(m_selectedSlot, row->kind);
}

void CSlotKeys::OnUp(double baseStep) {
  switch (CurrentMode()) {
    case Mode::Browsing: {
      const int count = m_slots.SlotCount();
      if (count > 0) m_selectedSlot = (count + m_selectedSlot - 1) % count;
      break;
    }
    case Mode::Menu: m_menuCursor = (m_menuCursor + kMenuRowCount - 1) % kMenuRowCount; break;
    case Mode::Editing: OnVertical(true, baseStep); break;
  }
}

void CSlotKeys::OnDown(double baseStep) {
  switch (CurrentMode()) {
    case Mode::Browsing: {
      const int count = m_slots.SlotCount();
      if (count > 0) m_selectedSlot = (m_selectedSlot + 1) % count;
      break;
    }
    case Mode::Menu: m_menuCursor = (m_menuCursor + 1) % kMenuRowCount; break;
    case Mode::Editing: OnVertical(false, baseStep); break;
  }
}

// Up and Down while editing. With the screen's y axis pointing down, Up moves the rectangle up,
// makes it shorter, cuts one more row off the top or one row less off the bottom.
void CSlotKeys::OnVertical(bool up, double baseStep) {
  SCIInfo& info = m_slots.Placement(m_selectedSlot);
  const double step = baseStep * kPlacementStepFactor;
  const int sign = up ? -1 : 1;
  switch (m_editField) {
    case kMoveField: info.Pos_y += sign * step; break;
    case kSizeField: info.Height += sign * step; break;
    case kTrimTopLeftField: StepTrim(info.TrimTop, -sign); break;
    case kTrimBottomRightField: StepTrim(info.TrimBottom, sign); break;
    case kRateField:
      info.CapturePerSecond -= sign * baseStep;
      m_actions.RestartCaptureTimer(m_selectedSlot);
      break;
    default: break;
  }
}

// Left cuts one more column off the left or one column less off the right.
void CSlotKeys::OnLeftRight(bool right, double baseStep) {
  if (CurrentMode() != Mode::Editing) return;
  SCIInfo& info = m_slots.Placement(m_selectedSlot);
  const double step = baseStep * kPlacementStepFactor;
  const int sign = right ? 1 : -1;
  switch (m_editField) {
    case kMoveField: info.Pos_x += sign * step; break;
    case kSizeField: info.Width += sign * step; break;
    case kTrimTopLeftField: StepTrim(info.TrimLeft, -sign); break;
    case kTrimBottomRightField: StepTrim(info.TrimRight, sign); break;
    default: break;  // the capture rate has no horizontal keys
  }
}

void CSlotKeys::OnEnter() {
  if (!SelectedSlotIsOccupied()) return;
  if (m_menuOpen) {
    m_editField = m_menuCursor + 1;
  } else {
    m_menuOpen = true;
    m_menuCursor = 0;
  }
}

void CSlotKeys::OnBackspace() {
  if (m_editField != kNoField) {
    m_editField = kNoField;
  } else {
    m_menuOpen = false;
  }
}

// Refused while the menu is open, so the slot whose menu is shown stays occupied.
void CSlotKeys::OnDelete() {
  if (CurrentMode() == Mode::Browsing) m_actions.SaveAndClearSlot(m_selectedSlot);
}

// Pausing blanks the canvas so that the paused source's last picture disappears; the remaining
// active slots come back on the next compositing tick.
void CSlotKeys::OnSpace() {
  if (m_slots.IsActive(m_selectedSlot)) {
    m_slots.SetActive(m_selectedSlot, false);
    m_actions.ClearCanvas();
  } else {
    m_slots.SetActive(m_selectedSlot, true);
  }
}

bool CSlotKeys::Select(int slot) {
  if (m_menuOpen || slot < 0 || slot >= m_slots.SlotCount()) return false;
  m_selectedSlot = slot;
  return true;
}

bool CSlotKeys::PickMenuRow(int row) {
  if (!SelectedSlotIsOccupied() || row < 0 || row >= kMenuRowCount) return false;
  m_menuOpen = true;
  m_menuCursor = row;
  m_editField = row + 1;
  return true;
}

bool CSlotKeys::SelectedSlotIsOccupied() const {
  return !m_slots.IsEmpty(m_selectedSlot);
}
