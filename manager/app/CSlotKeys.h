#pragma once

#include <windows.h>

class ISlotTable;

// The slot operations the editing keys start; the Manager's window implements them (they need
// the window for the capture timers and the canvas for clearing).
class ISlotKeyActions {
 public:
  // Fills an empty slot with a source of the given tvq::SlotKind; an occupied slot is refused.
  virtual bool FillSlot(int slot, int kind) = 0;
  // Saves the slot's placement and empties it; an empty slot is refused.
  virtual bool SaveAndClearSlot(int slot) = 0;
  // Starts the slot's capture timer again at its (changed) capture rate.
  virtual void RestartCaptureTimer(int slot) = 0;
  virtual void ClearCanvas() = 0;

 protected:
  ~ISlotKeyActions() = default;
};

// The keyboard editing of slots: the selected slot, its menu and the picked menu row, and what
// every key does in each of the three modes (browsing, menu, editing).
//
// Threads: the GUI thread only; keys arrive between timer messages, so a placement never changes
// in the middle of a compositing tick.
class CSlotKeys {
 public:
  enum class Mode { Browsing, Menu, Editing };

  static constexpr int kMenuRowCount = 5;

  CSlotKeys(ISlotTable& slots, ISlotKeyActions& actions);

  CSlotKeys(const CSlotKeys&) = delete;
  CSlotKeys& operator=(const CSlotKeys&) = delete;

  // One WM_KEYDOWN (auto-repeat included). ctrlDown selects the fine steps.
  void OnKeyDown(UINT virtualKey, bool ctrlDown);

  // Selects a slot as moving the selection with Up and Down would. Refused (false) while the
  // menu is open, whose slot must stay selected, and for a slot number out of range.
  bool Select(int slot);

  // Opens the selected slot's menu with row (0 to 4) picked for editing, as Enter, the arrows
  // and Enter again would. Refused (false) for an empty slot, as Enter is, and for other rows.
  bool PickMenuRow(int row);

  int SelectedSlot() const { return m_selectedSlot; }
  bool IsMenuOpen() const { return m_menuOpen; }
  // The highlighted menu row, 0 to 4.
  int MenuCursor() const { return m_menuCursor; }
  // 0 when no row is picked, else the picked row + 1.
  int EditField() const { return m_editField; }
  Mode CurrentMode() const;

 private:
  void OnUp(double baseStep);
  void OnDown(double baseStep);
  void OnLeftRight(bool right, double baseStep);
  void OnEnter();
  void OnBackspace();
  void OnDelete();
  void OnSpace();
  void OnFillKey(UINT virtualKey);
  void OnVertical(bool up, double baseStep);
  bool SelectedSlotIsOccupied() const;

  ISlotTable& m_slots;
  ISlotKeyActions& m_actions;
  int m_selectedSlot = 0;
  bool m_menuOpen = false;
  int m_menuCursor = 0;
  int m_editField = 0;
};
