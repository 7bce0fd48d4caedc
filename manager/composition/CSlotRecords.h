#pragma once

#include <string>

#include "manager/composition/SlotRecord.h"

// The slots' records as earlier versions kept them in the settings file: one section per slot
// ("Slot1" for the first, as the status text numbers them), read through the profile-string
// calls. The user's store takes them over once (see CScenes); nothing writes them any more.
// Which keys a record has is its kind's business (the table of kinds).
//
// Threads: the GUI thread only.
class CSlotRecords {
 public:
  // No path: nothing is read.
  void SetPath(std::wstring iniPath) { m_iniPath = std::move(iniPath); }

  // The slot's record as the file holds it now: an empty record when there is none, or when its
  // kind is unknown. Texts longer than kTextUnits are cut there.
  tvq::SlotRecord Read(int slot) const;

  static std::wstring SectionOf(int slot);

  // Text units of the longest value read (the terminator included): a text slot's text, with
  // its line breaks written as two characters each.
  static constexpr int kTextUnits = 8192;

 private:
  std::wstring m_iniPath;
};
