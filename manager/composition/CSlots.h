#pragma once

#include <windows.h>

#include <string>

#include "manager/capture/CCaptureDesktop.h"
#include "manager/capture/CCaptureImage.h"
#include "manager/capture/CCaptureText.h"
#include "manager/capture/CCaptureVideo.h"
#include "manager/capture/CCaptureWindow.h"
#include "manager/composition/CExArray.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/SCIInfo.h"
#include "manager/composition/SlotKinds.h"
#include "manager/composition/SlotServices.h"

// The numbered slots: what each holds, whether it runs, where it is placed, and one source object
// of every kind per slot (only the one matching the slot's kind is in use). A filled slot has
// its capture timer running, whether it is active or paused. Placements are read and saved, and
// timers run, through the services the app gives.
//
// Threads: the GUI thread only. The arrays exist before the main window (camera objects
// initialise COM for this thread) and are sized once, at start-up, before any source is chosen.
class CSlots : public ISlotTable {
 public:
  CSlots(IPlacementStore& placements, ICaptureTimers& timers);
  virtual ~CSlots() = default;

  CSlots(const CSlots&) = delete;
  CSlots& operator=(const CSlots&) = delete;

  // Sizes every array to count and marks every slot empty and inactive.
  bool Reset(int count);
  // Lets the user choose a source of the given kind for an empty slot, reads its saved placement
  // and starts its capture timer. False when the slot is occupied (or being filled), the kind is
  // unknown, the user chose nothing, or the timers can no longer run (FillProblem() then says
  // what the source could not open, when it has anything to say).
  bool Fill(int slot, int kind);
  // Fill without asking: the given window, or the requested camera, takes the place of the
  // user's answers; everything after the choice is as for Fill. A window that is gone, or a
  // camera that is not there or does not start, fills nothing.
  bool FillWithWindow(int slot, HWND window);
  bool FillWithCamera(int slot, const tvq::CameraRequest& request);
  // Fill without asking, for any kind: open opens the slot's source object of that kind.
  bool FillQuietly(int slot, int kind, const tvq::SourceOpener& open);
  // Stops the capture timer, saves the placement under the source's section, releases a camera's
  // graph and empties the slot. False for an empty slot.
  bool SaveAndClear(int slot);
  // Two slots trade everything they hold (source, state, placement, capture timer) without
  // closing or reopening anything: a running camera goes on in its new slot. False for a slot
  // out of range or being filled.
  bool Swap(int first, int second);
  // One capture of an active slot's source; false when the slot is paused or empty, or the
  // capture changed nothing (a still image, a text as it was).
  bool CaptureTick(int slot);
  // The slot's source changed by itself (its text edited): whoever observes the slots hears of it.
  void SourceChanged(int slot);
  // Why the last fill's source could not open; empty when it did or there is nothing to say.
  const std::wstring& FillProblem() const { return m_fillProblem; }
  // Starts the slot's capture timer again at its current capture rate.
  void RestartCaptureTimer(int slot);

  // Where window sources keep the copying method per application, from the next Reset on; null
  // keeps nothing. Not owned.
  void SetMethodMemory(tvq::IMethodMemory* memory) { m_methodMemory = memory; }

  // Who hears of every fill, clear, pause and resume from now on; null for nobody.
  void SetObserver(ISlotObserver* observer) { m_observer = observer; }

  // The timer interval for the slot's capture rate. A rate the keys have taken to 0 or below
  // (or a file's nonsense) gives the kind's default rate instead, never an unusable interval.
  unsigned int CaptureIntervalMs(int slot) const;

  // The section name a source is saved under: at most 255 characters (a surrogate pair is never
  // cut in half) and no line breaks, which would break the file.
  static std::wstring SafeSectionName(const wchar_t* name);

  // ISlotTable
  int SlotCount() const override { return m_kinds.Size(); }
  int Kind(int slot) const override { return m_kinds[slot]; }
  bool IsActive(int slot) const override { return m_active[slot]; }
  void SetActive(int slot, bool active) override;
  SCIInfo& Placement(int slot) override { return m_placements[slot]; }
  const SCIInfo& Placement(int slot) const override { return m_placements[slot]; }
  CImage* Picture(int slot) override;
  std::wstring SourceName(int slot) const override;
  const tvq::ICaptureMethodChoice* MethodChoice(int slot) const override;

  // What the slot holds; null for an empty slot. The one place that maps a kind to its array.
  ICaptureSource* Source(int slot);
  const ICaptureSource* Source(int slot) const;

  CCaptureVideo& Camera(int slot) { return m_cameras[m_objects[slot]]; }
  CCaptureWindow& WindowSource(int slot) { return m_windows[m_objects[slot]]; }
  CCaptureDesktop& Desktop(int slot) { return m_desktops[m_objects[slot]]; }
  CCaptureImage& Image(int slot) { return m_images[m_objects[slot]]; }
  CCaptureText& TextSource(int slot) { return m_texts[m_objects[slot]]; }

  static constexpr int kSectionNameLength = 255;

 private:
  bool IsSlot(int slot) const { return slot >= 0 && slot < SlotCount(); }
  // The slot's source object of the given kind, whatever the slot holds now; null for no kind.
  ICaptureSource* SourceOf(int slot, int kind);
  // The section the slot's current source is saved under.
  std::wstring SectionOf(int slot) const;
  void Notify(int slot);

  CExArray<CCaptureVideo> m_cameras;
  CExArray<CCaptureWindow> m_windows;
  CExArray<CCaptureDesktop> m_desktops;
  CExArray<CCaptureImage> m_images;
  CExArray<CCaptureText> m_texts;
  CExArray<int> m_kinds;
  CExArray<bool> m_active;
  CExArray<SCIInfo> m_placements;
  // Which source objects (the same index in every kind's array) each slot works with: slots that
  // swap their sources swap these, so a source object never moves in memory while it runs.
  CExArray<int> m_objects;
  // Choosing a source waits in message boxes while the window keeps taking keys; a second fill
  // of the same slot meanwhile is refused.
  CExArray<bool> m_filling;
  IPlacementStore& m_store;
  ICaptureTimers& m_timers;
  ISlotObserver* m_observer = nullptr;
  tvq::IMethodMemory* m_methodMemory = nullptr;
  std::wstring m_fillProblem;
};
