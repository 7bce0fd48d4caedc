#pragma once

#include <string>

#include "manager/composition/SlotRecord.h"

// The slots' records in the settings file: one section per slot ("Slot1" for the first, as the
// status text numbers them) with readable keys, so that a user can see and edit what comes back
// at the next start. Written through the profile-string calls like every other setting; a slot
// that holds nothing has no section at all.
//
// Threads: the GUI thread only.
class CSlotRecords {
 public:
  // No path: nothing is read and nothing written.
  void SetPath(std::wstring iniPath) { m_iniPath = std::move(iniPath); }

  // The slot's record as the file holds it now: an empty record when there is none, or when its
  // kind is unknown. Texts longer than a window title can be are cut there.
  tvq::SlotRecord Read(int slot) const;
  // Replaces the slot's section with the record; an empty record removes it.
  void Write(int slot, const tvq::SlotRecord& record) const;

  static std::wstring SectionOf(int slot);

  // Text units of the longest value read, as for a window title (the terminator included).
  static constexpr int kTextUnits = 1024;

 private:
  std::wstring ReadText(const wchar_t* section, const wchar_t* key) const;
  long ReadNumber(const wchar_t* section, const wchar_t* key, long defaultValue) const;
  void WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;
  void ReadCamera(const wchar_t* section, tvq::CameraRequest& camera) const;
  void WriteCamera(const wchar_t* section, const tvq::CameraRequest& camera) const;

  std::wstring m_iniPath;
};
