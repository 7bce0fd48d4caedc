#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Lifetime.h"
#include "manager/capture/CameraRequest.h"
#include "manager/capture/VideoDevices.h"
#include "manager/capture/WindowCandidates.h"

class CSlotKeys;
class CSlots;
class ISlotWaits;

// The fills a pick from a menu list asks for: without a question, as the keys do after the
// user's Yes.
class ISlotPicks {
 public:
  virtual bool FillSlotWithCamera(int slot, const tvq::CameraRequest& request) = 0;
  virtual bool FillSlotWithWindow(int slot, HWND window) = 0;

 protected:
  ~ISlotPicks() = default;
};

// Entries of the program's own that every slot's menu shows below the slot's (the scenes).
class ISlotMenuExtras {
 public:
  // Appends the entries to the end of menu.
  virtual void AppendExtras(HMENU menu) = 0;
  // Carries out a pick of those entries; false for a command that is not one of them.
  virtual bool CarryExtra(HWND window, UINT command) = 0;

 protected:
  ~ISlotMenuExtras() = default;
};

// A slot's menu in the Manager's window, opened by a right click or from the keyboard. An empty
// slot's menu offers the cameras and windows by name and the desktop; picking one fills the
// slot without any question, as the keys do after the user's Yes. An occupied slot's menu
// offers what the editing keys do (pause, the editing rows, refresh, empty), each exactly as its
// key does it, the source's own settings where its kind has them (a camera's property pages),
// and its copying methods where it has more than one (a window's). Which entries a kind adds is
// read from the table of kinds and the source.
//
// The menu's slot is always the selected one, so the keys' own code carries out what they have
// in common. Beside the keys, not instead of them: the questions of C and W stay as they were.
//
// Threads: the GUI thread only. TrackPopupMenu runs a modal loop of its own in which timers go
// on, so the lists the menu shows are kept until the pick is carried out.
class CSlotMenu {
 public:
  CSlotMenu(CSlots& slots, CSlotKeys& keys, const ISlotWaits& waits, ISlotPicks& picks);

  CSlotMenu(const CSlotMenu&) = delete;
  CSlotMenu& operator=(const CSlotMenu&) = delete;

  // Who adds entries below the slot's; null for nobody.
  void SetExtras(ISlotMenuExtras* extras) { m_extras = extras; }

  // Shows slot's menu at the screen point and carries out the pick. slot must be the selected
  // slot; anything else is ignored. True when something was picked: the window repaints.
  bool Open(HWND window, int slot, POINT screen);

  // What the last pick could not do, with its heading, to be shown below the status text; empty
  // when there is nothing to say. Cleared when a menu opens and by the window on any key.
  const std::wstring& Notice() const { return m_notice; }
  void ClearNotice() { m_notice.clear(); }

 private:
  enum Command : UINT {
    kNoCommand = 0,
    kPause = 1,
    kSourceSettings,
    kRefresh,
    kCloseEditing,
    kEmpty,
    kKindFirst = 0x80,  // + the row in the table of kinds whose entry fills with its key
    kMethodFirst = 0xC0,  // + the copying mode (tvq::CaptureMode)
    kEditFirst = 0x100,  // + the editing menu's row
    kCameraFirst = 0x1000,  // + the index in m_cameras
    kWindowFirst = 0x2000,  // + the index in m_windows
    kListEnd = 0x3000,
  };

  tvq::UniqueMenu BuildEmptySlotMenu(HWND window, int slot);
  tvq::UniqueMenu BuildOccupiedSlotMenu(int slot);
  void ListCameras();
  void Carry(int slot, UINT command);
  void CarryKeyCommand(int slot, UINT command);
  void PickCamera(int slot, size_t index);
  void PickWindow(int slot, size_t index);
  void ChooseMethod(int slot, int mode);
  void Press(UINT virtualKey);
  void Tell(const std::wstring& text);

  CSlots& m_slots;
  CSlotKeys& m_keys;
  const ISlotWaits& m_waits;
  ISlotPicks& m_picks;
  ISlotMenuExtras* m_extras = nullptr;
  // What the open menu lists, in its order.
  std::vector<tvq::VideoDevice> m_cameras;
  std::vector<tvq::WindowCandidate> m_windows;
  std::wstring m_notice;
};
