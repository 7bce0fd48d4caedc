#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "manager/app/StoreFile.h"
#include "manager/composition/Scene.h"

namespace tvq {

// The global keys of the scenes: a digit with switchModifiers switches to that scene, with
// saveModifiers it saves the current slots as that scene. A group of no modifiers is off.
struct HotkeySettings {
  bool enabled = true;
  unsigned int switchModifiers = MOD_CONTROL | MOD_ALT;
  unsigned int saveModifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
};

inline constexpr int kMinFadeMs = 100;
inline constexpr int kMaxFadeMs = 2000;
inline constexpr int kDefaultFadeMs = 500;

// How a client's picture goes from one scene to the next: at once, or blended over fadeMs.
struct TransitionSettings {
  bool fade = false;
  int fadeMs = kDefaultFadeMs;
};

// The user's own store (one file per user, see UserStorePath): the current slots (what the next
// start brings back), the current scene's number, the nine scenes, the hot keys and the
// transition. Everything is kept in memory; a change only marks the store, and Flush writes the
// whole file (see StoreFile), so that the owner decides how often the disk is touched. A file
// this program cannot read leaves the defaults in memory and stays as it is until something
// changes.
//
// Threads: the GUI thread only.
class CSceneStore {
 public:
  explicit CSceneStore(std::wstring path) : m_path(std::move(path)) { Reset(); }

  CSceneStore(const CSceneStore&) = delete;
  CSceneStore& operator=(const CSceneStore&) = delete;

  // Reads the file, or keeps the defaults when it is missing or unreadable.
  StoreFileRead Load();
  // Writes the file when something changed since it was read or written, and only when the text
  // differs from what the file holds. False when a write failed (the change stays marked).
  bool Flush();
  bool HasChanges() const { return m_changed; }
  // Files written since the store was made.
  int WriteCount() const { return m_writes; }
  const std::wstring& Path() const { return m_path; }

  const Scene& CurrentSlots() const { return m_current; }
  void SetCurrentSlot(int slot, const SceneSlot& value);
  int CurrentSceneNumber() const { return m_currentScene; }
  void SetCurrentSceneNumber(int number);
  // number from 1 to kSceneCount; any other number gives an empty scene of no name.
  const Scene& SceneAt(int number) const;
  // Keeps the scene's name.
  void SaveScene(int number, const Scene& slots);
  void RenameScene(int number, const std::wstring& name);
  const HotkeySettings& Hotkeys() const { return m_hotkeys; }
  const TransitionSettings& Transition() const { return m_transition; }
  void SetTransition(const TransitionSettings& transition);

  // The store as its file holds it, and back; unknown or unusable values take their defaults.
  std::wstring Format() const;
  void Parse(const std::wstring& text);

  static bool IsSceneNumber(int number) { return number >= 1 && number <= kSceneCount; }
  static std::wstring DefaultSceneName(int number);

 private:
  void Reset();
  void MarkChanged() { m_changed = true; }

  std::wstring m_path;
  Scene m_current;
  int m_currentScene = 1;
  std::array<Scene, kSceneCount> m_scenes;
  HotkeySettings m_hotkeys;
  TransitionSettings m_transition;
  // What the file holds as far as this store knows; a write of the same text is skipped.
  std::wstring m_fileText;
  bool m_fileTextKnown = false;
  bool m_changed = false;
  int m_writes = 0;
};

// %APPDATA%\Tessavue\Scenes.ini of the user running the program; empty when the folder is
// unknown.
std::wstring UserStorePath();

}  // namespace tvq
