#pragma once

#include <string>

#include "manager/composition/SlotRecord.h"

// The slots' records in the settings file: one section per slot ("Slot1" for the first, as the
// status text numbers them) with readable keys, so that a user can see and edit what comes back
// at the next start. Written through the profile-string calls like every other setting; a slot
// that holds nothing has no section at all. Which keys a record has is its kind's business (the
// table of kinds); this class only keeps them in the file.
//
// Threads: the GUI thread only.
class CSlotRecords {
 public:
  // No path: nothing is read and nothing written.
  void SetPath(std::wstring iniPath) { m_iniPath = std::move(iniPath); }

  // The slot's record as the file holds it now: an empty record when there is none, or when its
  // kind is unknown. Texts longer than kTextUnits are cut there.
  tvq::SlotRecord Read(int slot) const;
  // Replaces the slot's section with the record; an empty record removes it.
  void Write(int slot, const tvq::SlotRecord& record) const;

  static std::wstring SectionOf(int slot);

  // Text units of the longest value read (the terminator included): a text slot's text, with
  // its line breaks written as two characters each.
  static constexpr int kTextUnits = 8192;

 private:
  std::wstring m_iniPath;
};
