#pragma once

#include "manager/composition/Scene.h"

// Where the restore keeps what each slot holds (its record and placement) between one run and the
// next: the user's store. Reads and writes are of memory; the store decides when the disk follows.
//
// Threads: the GUI thread only.
class ISlotRecordStore {
 public:
  // An empty slot when nothing is kept for it.
  virtual tvq::SceneSlot ReadSlot(int slot) const = 0;
  virtual void WriteSlot(int slot, const tvq::SceneSlot& value) = 0;

 protected:
  ~ISlotRecordStore() = default;
};
