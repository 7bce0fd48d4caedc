#include "manager/app/CHotkeys.h"

#include "manager/app/SceneKeys.h"

namespace {

// Hot key ids of an application lie below 0xC000; ours are grouped by action.
constexpr int kSwitchIdBase = 0x5C00;
constexpr int kSaveIdBase = 0x5C10;

}  // namespace

void CHotkeys::Register(HWND window, const tvq::HotkeySettings& settings) {
  Unregister();
  m_window = window;
  if (!settings.enabled || window == nullptr) return;
  RegisterGroup(Action::kSwitch, settings.switchModifiers);
  RegisterGroup(Action::kSave, settings.saveModifiers);
}

void CHotkeys::RegisterGroup(Action action, unsigned int modifiers) {
  if (modifiers == 0) return;
  for (int number = 1; number <= tvq::kSceneCount; ++number) {
    const int id = IdOf(action, number);
    // MOD_NOREPEAT: a held key switches or saves once, not at the keyboard's repeat rate.
    if (RegisterHotKey(m_window, id, modifiers | MOD_NOREPEAT, '0' + number)) {
      m_registered.push_back(id);
    } else {
      m_refused.push_back(tvq::ModifiersText(modifiers) + L"+" + std::to_wstring(number));
    }
  }
}

void CHotkeys::Unregister() {
  for (int id : m_registered) UnregisterHotKey(m_window, id);
  m_registered.clear();
  m_refused.clear();
}

bool CHotkeys::Decode(WPARAM id, Action& action, int& number) {
  for (Action candidate : {Action::kSwitch, Action::kSave}) {
    const int first = IdOf(candidate, 1);
    if (id >= static_cast<WPARAM>(first) && id < static_cast<WPARAM>(first + tvq::kSceneCount)) {
      action = candidate;
      number = static_cast<int>(id) - first + 1;
      return true;
    }
  }
  return false;
}

int CHotkeys::IdOf(Action action, int number) {
  return (action == Action::kSwitch ? kSwitchIdBase : kSaveIdBase) + number;
}
