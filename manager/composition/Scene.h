#pragma once

#include <string>
#include <vector>

#include "manager/composition/SCIInfo.h"
#include "manager/composition/SlotKinds.h"
#include "manager/composition/SlotRecord.h"

namespace tvq {

// Scenes are numbered 1 to kSceneCount, as the digit keys that switch them.
inline constexpr int kSceneCount = 9;

// One slot of a scene: its source as the restore records it (paused included), and where it is
// placed. A slot taken over from a record that had no placement keeps the one its source's
// per-kind file gives.
struct SceneSlot {
  SlotRecord record;
  bool hasPlacement = false;
  SCIInfo placement;

  // A record of no kind (or of one this program does not know) holds nothing.
  bool IsEmpty() const { return FindSlotKind(record.kind) == nullptr; }
};

// What every slot holds, by slot number; slots beyond the end are empty.
struct Scene {
  std::wstring name;
  std::vector<SceneSlot> slots;

  bool IsEmpty() const {
    for (const SceneSlot& slot : slots) {
      if (!slot.IsEmpty()) return false;
    }
    return true;
  }
  const SceneSlot* SlotAt(int slot) const {
    return slot >= 0 && slot < static_cast<int>(slots.size()) ? &slots[slot] : nullptr;
  }
  void SetSlot(int slot, const SceneSlot& value) {
    if (slot < 0) return;
    if (slot >= static_cast<int>(slots.size())) slots.resize(slot + 1);
    slots[slot] = value;
  }
};

}  // namespace tvq
