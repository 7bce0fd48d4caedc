#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "manager/capture/ICaptureSource.h"
#include "manager/capture/VideoDevices.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/SlotRecord.h"

// The table of kinds: for every kind of source a slot can hold, what the rest of the Manager
// needs to know about it without naming it. The records, the restore, the status text, the keys,
// the slot menu and the placement files read this table; a new kind is one source class, one
// array in CSlots and one row here.
namespace tvq {

// The per-kind placement files, beside the Manager.
inline constexpr const wchar_t* kCameraFileName = L"TVQ_CaptureVideo.ini";
inline constexpr const wchar_t* kWindowFileName = L"TVQ_CaptureWindow.ini";
inline constexpr const wchar_t* kDesktopFileName = L"TVQ_CaptureDesktop.ini";
inline constexpr const wchar_t* kImageFileName = L"TVQ_CaptureImage.ini";
inline constexpr const wchar_t* kTextFileName = L"TVQ_CaptureText.ini";

// The keys of one slot record, wherever it is kept. Values are whole texts; how they are
// quoted or escaped is the store's business.
class IRecordKeys {
 public:
  // Empty when the key is missing.
  virtual std::wstring ReadText(const wchar_t* key) const = 0;
  virtual void WriteText(const wchar_t* key, const std::wstring& value) = 0;

 protected:
  ~IRecordKeys() = default;
};

// Opens a source quietly: the slot's object of the row's kind, as a pick from a list would.
using SourceOpener = std::function<bool(ICaptureSource&)>;

// What bringing a recorded source back needs from the program around it.
class ISlotReopening {
 public:
  // Fills the empty slot with a source of kind opened by open, as after the keys' Yes.
  virtual bool FillSlotQuietly(int slot, int kind, const SourceOpener& open) = 0;
  // The occupied slot's source, gone, is opened again on a new source; drawn anew.
  virtual bool ReopenSlotSource(int slot, const SourceOpener& open) = 0;
  // Windows that no recorded window may take: those of other slots, and the Manager's own.
  virtual std::vector<HWND> TakenWindows() const = 0;
  // The video devices present, listed at most once per search.
  virtual const std::vector<VideoDevice>& Devices() = 0;

 protected:
  ~ISlotReopening() = default;
};

struct SlotKindRow {
  int kind;
  // The value of a record's "Kind" key, and the kind's name in the status text's detail line.
  const wchar_t* recordName;
  const wchar_t* placementFile;
  double defaultCaptureRate;
  // The key that fills the selected slot in browsing mode.
  UINT fillKey;
  // The name the status text shows for every source of the kind; null for the source's own.
  const wchar_t* fixedName;
  // An entry of an empty slot's menu that presses fillKey; null when the menu lists sources.
  const wchar_t* menuItem;
  // An occupied slot's menu entry for the source's own settings; null when it has none.
  const wchar_t* settingsItem;

  // Lets the user choose a source for the slot's object of the kind (the fill key's questions).
  bool (*choose)(ICaptureSource& source);
  // The record's own keys, beside "Kind" and "Paused".
  void (*readKeys)(const IRecordKeys& keys, SlotRecord& record);
  void (*writeKeys)(IRecordKeys& keys, const SlotRecord& record);
  // What the source holds now, into record.
  void (*describe)(const ICaptureSource& source, SlotRecord& record);
  // The name a waiting slot shows for its record; null for a kind with a fixed name.
  const std::wstring& (*recordedName)(const SlotRecord& record);
  // Brings the record back into the empty slot without a question; false when not there now.
  bool (*reopen)(ISlotReopening& context, int slot, const SlotRecord& record);
  // Whether a record not brought back now is worth waiting for.
  bool (*mayStillCome)(ISlotReopening& context, const SlotRecord& record);
  // Opens a gone source's record again in its occupied slot; null when a source never goes.
  bool (*reattach)(ISlotReopening& context, int slot, const SlotRecord& record);
};

// Every kind, in the order of their numbers.
const std::vector<SlotKindRow>& SlotKinds();
// Null for the empty slot and for numbers, names or keys of no kind.
const SlotKindRow* FindSlotKind(int kind);
const SlotKindRow* FindSlotKindByRecordName(const std::wstring& name);
const SlotKindRow* FindSlotKindByKey(UINT virtualKey);

// The record's Kind, Paused and its kind's keys; an unknown kind reads as an empty record.
SlotRecord ReadSlotRecord(const IRecordKeys& keys);
// Nothing for an empty record or an unknown kind.
void WriteSlotRecord(IRecordKeys& keys, const SlotRecord& record);
// The name a waiting slot shows: empty for a record of no kind.
std::wstring RecordedName(const SlotRecord& record);

}  // namespace tvq
