#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "manager/composition/SlotLayout.h"

class CImage;
class ISlotTable;

// Decides whether a compositing tick has to draw. Every drawing writes each active slot's
// picture over its own rectangle, so drawing the same pictures into the same places over a
// canvas that already holds the last drawing gives the same pixels again: a tick draws only when
// something that decides the canvas changed since the last drawing.
//
// Two kinds of change reach it. What the slot table shows (kind, state, placement, trims, the
// picture's bitmap and size) is compared with its state at the last drawing. What the table cannot
// show is reported: a capture wrote one slot's picture (a mark for that slot), a slot was filled
// or emptied, the canvas was cleared or made anew (a mark for the whole canvas). A capture whose
// picture changed only in parts marks just those parts (picture pixels); the slot is then drawn
// again only there, as long as nothing else about it changed.
//
// Threads: the GUI thread only, like the compositor that owns it.
class CanvasChanges {
 public:
  // Something the slot table does not show changed; the next tick draws.
  void Mark() { m_marked = true; }
  // Only this slot's picture changed (a capture ran); the next tick draws.
  void MarkSlot(int slot);
  // Only these parts of the slot's picture changed (picture pixels); the next tick draws.
  void MarkSlotParts(int slot, const std::vector<tvq::PixelRect>& parts);
  // A capture made the slot's picture anew with the pixels it had (or with the parts marked
  // changed): its new bitmap is not a change by itself.
  void KeepPicture(ISlotTable& slots, int slot);

  bool NeedsDrawing(ISlotTable& slots) const;
  // Whether the last Mark() still stands: everything on the canvas has to be made again.
  bool WholeCanvasMarked() const { return m_marked; }
  // Whether this slot was marked or shows another state than at the last drawing.
  bool SlotChanged(ISlotTable& slots, int slot) const;
  // The changed parts of a slot whose only change since the last drawing is those parts; null
  // when the slot changed whole (or not at all).
  const std::vector<tvq::PixelRect>* ChangedParts(ISlotTable& slots, int slot) const;
  // Called right after the slots were drawn: this is now the state the canvas shows.
  void RecordDrawing(ISlotTable& slots);

 private:
  struct SlotState {
    int kind = 0;
    bool active = false;
    const CImage* picture = nullptr;
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    double posX = 0.0;
    double posY = 0.0;
    double placedWidth = 0.0;
    double placedHeight = 0.0;
    std::int32_t trims[4] = {};

    bool operator==(const SlotState& other) const;
  };

  static SlotState StateOf(ISlotTable& slots, int slot);

  // Nothing is drawn yet: the first tick with a canvas draws.
  bool m_marked = true;
  std::vector<bool> m_slotMarks;
  std::vector<std::vector<tvq::PixelRect>> m_slotParts;
  std::vector<SlotState> m_drawn;
};
