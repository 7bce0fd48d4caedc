#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "manager/app/CHotkeys.h"
#include "manager/app/CSceneStore.h"
#include "manager/composition/CSceneSwitch.h"
#include "manager/composition/ISlotRecordStore.h"

class CSlotRestore;
class CSlots;

// What a switch of scenes asks of the program around it.
class ISceneHost {
 public:
  // The slots hold a new scene now: compose it whole, faded in over fadeMs when above 0.
  virtual void ShowNewScene(int fadeMs) = 0;

 protected:
  ~ISceneHost() = default;
};

// The scenes as the user meets them, beside the specified slots: nine saved sets of slots,
// switched with the digits in the window, with global hot keys from any program, or from the
// menus, and saved from the current slots. Everything is kept in the user's store (CSceneStore),
// which this class also gives the restore as the place for the current slots; a change marks the
// store and a window timer writes it a moment later, so keys repeated at any rate write a few
// times a second at most. A switch keeps drawing the old scene until the new one's freshly opened
// sources show their first pictures (briefly, see kFirstPictureWaitMs).
//
// Threads: the GUI thread only.
class CScenes : public ISlotRecordStore {
 public:
  CScenes(CSlots& slots, CSlotRestore& restore, ISceneHost& host, std::wstring storePath);

  CScenes(const CScenes&) = delete;
  CScenes& operator=(const CScenes&) = delete;

  // Start-up, before the restore: reads the store (on the first start that finds none, the slot
  // records of the settings file iniPath are taken over) and registers the hot keys on window.
  void Start(HWND window, const std::wstring& iniPath);
  // Shut-down, after the restore recorded the slots: the store is written, the hot keys go.
  void Stop();

  // False for an empty scene or a number out of range: the slots stay as they are.
  bool SwitchTo(int number);
  // The current slots become the scene's; it is the current scene from now on.
  void SaveAs(int number);
  void Rename(int number, const std::wstring& name);
  void SetTransition(const tvq::TransitionSettings& transition);
  // WM_HOTKEY; false for a key that is not ours.
  bool OnHotkey(WPARAM id);
  // The store's write timer.
  void OnWriteTimer();
  // Whether a new scene still waits for a source's first picture; the wait ends by itself.
  bool WaitsForFirstPictures();

  // The status text's block about the scenes, their keys and any key that could not be taken.
  std::wstring StatusBlock() const;
  const tvq::CSceneStore& Store() const { return m_store; }
  const CHotkeys& Hotkeys() const { return m_hotkeys; }

  // ISlotRecordStore: the current slots.
  tvq::SceneSlot ReadSlot(int slot) const override;
  void WriteSlot(int slot, const tvq::SceneSlot& value) override;

  static constexpr unsigned int kWriteDelayMs = 300;
  static constexpr unsigned int kRetryDelayMs = 5000;
  // A camera that has not delivered by then is drawn blank rather than hold the picture longer.
  static constexpr ULONGLONG kFirstPictureWaitMs = 1500;

 private:
  void TakeOverSettingsRecords(const std::wstring& iniPath);
  void ScheduleWrite();
  std::wstring TransitionText() const;
  std::wstring KeyLines() const;

  CSlots& m_slots;
  CSlotRestore& m_restore;
  ISceneHost& m_host;
  tvq::CSceneStore m_store;
  CSceneSwitch m_switch;
  CHotkeys m_hotkeys;
  HWND m_window = nullptr;
  bool m_writePending = false;
  // The slots a switch opened anew whose first pictures are awaited, and until when.
  std::vector<int> m_awaited;
  ULONGLONG m_awaitedUntil = 0;
};
