#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "manager/capture/VideoDevices.h"
#include "manager/composition/CSlots.h"
#include "manager/composition/ISlotRecordStore.h"
#include "manager/composition/ISlotWaits.h"
#include "manager/composition/RetryBackoff.h"
#include "manager/composition/Scene.h"
#include "manager/composition/SlotKinds.h"
#include "manager/composition/SlotServices.h"

// The fills a restore starts: no question, no property page, and everything after the choice as
// after the keys' Yes (placement, capture timer, status text).
class ISlotFiller {
 public:
  // Fills the empty slot with a source of kind that open opens on the slot's object.
  virtual bool FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) = 0;
  // An occupied slot whose source went away takes the one open opens in its place. Its picture
  // is made anew, so the slot has to be drawn again as after a fill.
  virtual bool ReopenSlotSource(int slot, const tvq::SourceOpener& open) = 0;

 protected:
  ~ISlotFiller() = default;
};

// Bringing the slots back at start-up, beside the specified start that leaves them empty: every
// change of a slot is recorded (with its placement, in the user's store), the next start fills
// each recorded slot again without asking, and a slot whose source is not there yet waits for it.
// A source that is there but does not open (a camera in use elsewhere) waits too, its tries spaced
// out by a back-off. The settings file decides whether a start brings the slots back; the
// recording, the waiting and the quiet fills serve the scenes as well, which bring whole sets of
// slots back at any time.
//
// Threads: the GUI thread only: start-up, the waiting timer, slot changes and shut-down arrive
// as messages of the main window, one at a time.
class CSlotRestore : public ISlotObserver,
                     public ISlotWaits,
                     private tvq::ISlotReopening {
 public:
  // The clock spaces the retries; it must outlive the restore.
  CSlotRestore(CSlots& slots, ISlotFiller& filler, const tvq::ITickClock& clock)
      : m_slots(slots), m_filler(filler), m_clock(clock) {}

  CSlotRestore(const CSlotRestore&) = delete;
  CSlotRestore& operator=(const CSlotRestore&) = delete;

  // Start-up's last step: from now on every change is recorded in records. With bringBack, fills
  // every recorded slot or makes it wait; ownWindow (the Manager's) is never taken for a recorded
  // window.
  void Start(ISlotRecordStore& records, bool bringBack, HWND ownWindow);
  // Once a second: fills the waiting slots whose source has come, and makes a window slot whose
  // window closed wait for another of the same title. True when a slot began or ended waiting.
  bool Poll();
  // Delete on an empty slot that waits: its record goes. False when it waits for nothing.
  bool Forget(int slot);

  // What the slot holds (described anew, with its placement), or the record it waits for, or
  // nothing.
  tvq::SceneSlot Held(int slot) const;
  // Fills the empty slot with the recorded source quietly, as at start-up, and puts it where the
  // record says; a source not there yet is waited for. True when the slot was filled now.
  bool Bring(int slot, const tvq::SceneSlot& wanted);
  // The occupied slot (or the one waiting for value's source) takes value's state and placement.
  void Adjust(int slot, const tvq::SceneSlot& value);
  // Empties the slot as Delete does (its placement saved in its kind's file) and ends any wait.
  void Release(int slot);
  // Two slots trade what they hold and what they wait for.
  bool Swap(int first, int second);
  // Records what every slot holds now (after a change of many slots at once).
  void RecordAll();
  // Shut-down, before the slots are cleared: records what every occupied slot holds; nothing is
  // recorded afterwards.
  void Stop();

  // ISlotObserver: a change by the keys (or any fill but the restore's own) is recorded.
  void OnSlotChanged(int slot) override;
  // ISlotWaits
  const tvq::SlotRecord* WaitingFor(int slot) const override;

  // How often waiting slots look for their source.
  static constexpr unsigned int kPollIntervalMs = 1000;

 private:
  bool TryFill(int slot, const tvq::SceneSlot& wanted);
  void Place(int slot, const tvq::SceneSlot& value);
  bool MayStillCome(const tvq::SlotRecord& record);
  bool Reattach(int slot, const tvq::SlotRecord& record);
  bool WatchGoneSources();
  tvq::SlotRecord Describe(int slot) const;
  bool IsSlot(int slot) const { return slot >= 0 && slot < static_cast<int>(m_waiting.size()); }
  bool Spaced(int slot, const std::function<bool()>& open);

  // tvq::ISlotReopening, for the rows of the table of kinds.
  bool FillSlotQuietly(int slot, int kind, const tvq::SourceOpener& open) override;
  bool ReopenSlotSource(int slot, const tvq::SourceOpener& open) override;
  std::vector<HWND> TakenWindows() const override;
  const std::vector<tvq::VideoDevice>& Devices() override;

  CSlots& m_slots;
  ISlotFiller& m_filler;
  const tvq::ITickClock& m_clock;
  ISlotRecordStore* m_records = nullptr;
  HWND m_ownWindow = nullptr;
  bool m_enabled = false;
  // Fills made here bring back what the records already say, and swaps move what is recorded:
  // neither is written slot by slot.
  bool m_restoring = false;
  std::vector<std::optional<tvq::SceneSlot>> m_waiting;
  // Per slot: when a source that was found but did not open may be tried again.
  std::vector<tvq::RetryBackoff> m_retries;
  // Listed at most once per start-up or poll, and only when a camera is looked for.
  std::optional<std::vector<tvq::VideoDevice>> m_devices;
};
