#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "manager/app/CSceneStore.h"

// The scenes' global keys: a digit from 1 to 9 with the switching modifiers, and with the saving
// modifiers, registered on the main window so that they reach it while another program has the
// focus and the Manager is minimized (WM_HOTKEY). A key another program already holds is left
// to it and named; the others work all the same.
//
// Threads: the GUI thread only (hot keys belong to the thread that registers them).
class CHotkeys {
 public:
  enum class Action { kSwitch, kSave };

  CHotkeys() = default;
  ~CHotkeys() { Unregister(); }
  CHotkeys(const CHotkeys&) = delete;
  CHotkeys& operator=(const CHotkeys&) = delete;

  void Register(HWND window, const tvq::HotkeySettings& settings);
  void Unregister();

  // The action and scene number of a WM_HOTKEY id; false for an id that is not ours.
  static bool Decode(WPARAM id, Action& action, int& number);
  static int IdOf(Action action, int number);

  // The keys that could not be registered, as written in the store: "Ctrl+Alt+3".
  const std::vector<std::wstring>& Refused() const { return m_refused; }

 private:
  void RegisterGroup(Action action, unsigned int modifiers);

  HWND m_window = nullptr;
  std::vector<int> m_registered;
  std::vector<std::wstring> m_refused;
};
