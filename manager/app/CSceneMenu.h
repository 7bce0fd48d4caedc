#pragma once

#include <windows.h>

#include "manager/app/CSlotMenu.h"

class CScenes;

// The scenes in a menu: the main menu's "シーン(&S)" and the same list in a slot's menu. The nine
// scenes (the current one checked, empty ones greyed), saving the current slots as a scene,
// renaming a scene in a small dialog, and the transition (cut, or a fade of a chosen length).
// Items are made each time the menu opens, from the store as it is then.
//
// Threads: the GUI thread only.
class CSceneMenu : public ISlotMenuExtras {
 public:
  CSceneMenu(CScenes& scenes, HINSTANCE instance) : m_scenes(scenes), m_instance(instance) {}

  CSceneMenu(const CSceneMenu&) = delete;
  CSceneMenu& operator=(const CSceneMenu&) = delete;

  // Replaces the popup's items with the scenes'.
  void Fill(HMENU popup) const;
  // A submenu of the same items at the end of menu, under text.
  void AppendTo(HMENU menu, const wchar_t* text) const;
  // Carries out a command of these items; false for any other command. Renaming asks for the
  // name in a dialog owned by window.
  bool Carry(HWND window, UINT command);
  static bool IsSceneCommand(UINT command);

  // ISlotMenuExtras: the scenes' submenu below a separator.
  void AppendExtras(HMENU menu) override;
  bool CarryExtra(HWND window, UINT command) override { return Carry(window, command); }

  // The commands, for tests that pick them.
  static constexpr UINT kSwitchFirst = 0x6000;  // + the scene's number
  static constexpr UINT kSaveFirst = 0x6010;
  static constexpr UINT kRenameFirst = 0x6020;
  static constexpr UINT kCut = 0x6030;
  static constexpr UINT kFadeFirst = 0x6040;  // + the index of the length in kFadeLengthsMs
  static constexpr UINT kFadeKept = 0x604F;  // a length from the store that the list lacks
  static constexpr UINT kLast = 0x604F;
  static constexpr int kFadeLengthsMs[] = {250, 500, 1000, 2000};

 private:
  HMENU SceneList(UINT firstCommand) const;
  HMENU TransitionMenu() const;
  bool Rename(HWND window, int number);
  static INT_PTR CALLBACK RenameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  CScenes& m_scenes;
  HINSTANCE m_instance;
};
