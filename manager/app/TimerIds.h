#pragma once

#include <windows.h>

#include "manager/composition/SlotServices.h"

// Window timers of the Manager's main window. Capture timers are numbered after their slot, so
// the timer id alone says which slot's source is due.
namespace tvq {

inline constexpr UINT_PTR kCompositingTimerId = 1;
// Slots that wait for their recorded source look for it on this one timer, all together.
inline constexpr UINT_PTR kWaitingTimerId = 2;
// A change of the user's store is written when this one-shot timer fires.
inline constexpr UINT_PTR kStoreWriteTimerId = 3;
inline constexpr UINT_PTR kFirstCaptureTimerId = 10;

inline UINT_PTR CaptureTimerId(int slot) { return kFirstCaptureTimerId + slot; }

// The slot whose capture timer has this id, or -1 when the id is no capture timer of the slots.
inline int SlotOfCaptureTimer(UINT_PTR id, int slotCount) {
  if (slotCount <= 0 || id < kFirstCaptureTimerId) return -1;
  const UINT_PTR slot = id - kFirstCaptureTimerId;
  return slot < static_cast<UINT_PTR>(slotCount) ? static_cast<int>(slot) : -1;
}

// The slots' capture timers, on the main window once it exists.
class CCaptureTimers : public ICaptureTimers {
 public:
  void SetWindow(HWND window) { m_window = window; }

  bool CanRunTimers() const override { return m_window != nullptr && IsWindow(m_window); }
  void StartCaptureTimer(int slot, unsigned int intervalMs) override {
    SetTimer(m_window, CaptureTimerId(slot), intervalMs, nullptr);
  }
  void StopCaptureTimer(int slot) override { KillTimer(m_window, CaptureTimerId(slot)); }

 private:
  HWND m_window = nullptr;
};

}  // namespace tvq
