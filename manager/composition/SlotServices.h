#pragma once

#include <string>

#include "manager/composition/SCIInfo.h"

// What the slots need from the program around them, without knowing its window or its files.
// The app implements both over its main window and its per-kind placement files; the slots only
// say which slot, which kind and which section.
//
// Threads: called on the GUI thread only, from inside the slots' own calls.

// Where a source's placement is kept between one fill and the next.
class IPlacementStore {
 public:
  // The saved placement of a source of this kind (a tvq::SlotKind value); missing values take the
  // defaults (defaultRate for the capture rate).
  virtual SCIInfo ReadPlacement(int kind, const std::wstring& section, double defaultRate) = 0;
  // friendlyName, when given, is saved with the placement (cameras only).
  virtual void WritePlacement(int kind, const std::wstring& section, const SCIInfo& placement,
                              const wchar_t* friendlyName) = 0;

 protected:
  ~IPlacementStore() = default;
};

// The timers that pace each slot's captures; a due timer ends in CSlots::CaptureTick.
class ICaptureTimers {
 public:
  // False once the window the timers run on is gone (closed while the user was choosing).
  virtual bool CanRunTimers() const = 0;
  // Starts the slot's timer, or restarts it at the new interval.
  virtual void StartCaptureTimer(int slot, unsigned int intervalMs) = 0;
  virtual void StopCaptureTimer(int slot) = 0;

 protected:
  ~ICaptureTimers() = default;
};

// Told after a slot's source changed: filled, emptied, paused or resumed.
class ISlotObserver {
 public:
  virtual void OnSlotChanged(int slot) = 0;

 protected:
  ~ISlotObserver() = default;
};
