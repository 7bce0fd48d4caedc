#pragma once

#include "manager/composition/SlotRecord.h"

// Which slots wait for their source, as the status text shows them.
//
// Threads: the GUI thread only.
class ISlotWaits {
 public:
  // What the slot waits for: a recorded source not there yet or not starting (the slot is
  // empty), or a captured source that went away, a closed window or an unplugged camera (the
  // slot keeps its last picture); null when it waits for nothing.
  virtual const tvq::SlotRecord* WaitingFor(int slot) const = 0;

 protected:
  ~ISlotWaits() = default;
};
