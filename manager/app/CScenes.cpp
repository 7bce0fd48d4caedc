#include "manager/app/CScenes.h"

#include <vector>

#include "manager/app/SceneKeys.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "manager/composition/CSlotRecords.h"
#include "manager/composition/CSlotRestore.h"
#include "manager/composition/CSlots.h"

namespace {

constexpr wchar_t kHeading[] = L"----\n【シーン】\n";
constexpr wchar_t kWindowKeysLine[] = L"［1～9］：シーン切り替え\n";
constexpr wchar_t kHotkeysOff[] = L"ホットキー：オフ\n";

// A name is shown on one line, whatever a hand edit put into it.
std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
  }
  return text;
}

}  // namespace

CScenes::CScenes(CSlots& slots, CSlotRestore& restore, ISceneHost& host, std::wstring storePath)
    : m_slots(slots),
      m_restore(restore),
      m_host(host),
      m_store(std::move(storePath)),
      m_switch(restore) {}

void CScenes::Start(HWND window, const std::wstring& iniPath) {
  m_window = window;
  if (m_store.Load() == tvq::StoreFileRead::kMissing) TakeOverSettingsRecords(iniPath);
  m_hotkeys.Register(window, m_store.Hotkeys());
}

// The slots an earlier version recorded in the settings file come back once from the store;
// the settings file is left as it is.
void CScenes::TakeOverSettingsRecords(const std::wstring& iniPath) {
  if (iniPath.empty()) return;
  CSlotRecords records;
  records.SetPath(iniPath);
  bool found = false;
  for (int slot = 0; slot < tvq::kMaxSlotCount; ++slot) {
    tvq::SceneSlot taken;
    taken.record = records.Read(slot);
    if (taken.IsEmpty()) continue;
    m_store.SetCurrentSlot(slot, taken);
    found = true;
  }
  if (found) m_store.Flush();
}

void CScenes::Stop() {
  if (m_window != nullptr) KillTimer(m_window, tvq::kStoreWriteTimerId);
  m_writePending = false;
  m_store.Flush();
  m_hotkeys.Unregister();
}

bool CScenes::SwitchTo(int number) {
  const tvq::Scene& scene = m_store.SceneAt(number);
  if (scene.IsEmpty()) return false;
  m_awaited = m_switch.Apply(scene, m_slots.SlotCount());
  // A window or the desktop shows at once; a camera's first frame is on its way.
  for (int slot : m_awaited) m_slots.CaptureTick(slot);
  m_awaitedUntil = GetTickCount64() + kFirstPictureWaitMs;
  m_store.SetCurrentSceneNumber(number);
  ScheduleWrite();
  const tvq::TransitionSettings& transition = m_store.Transition();
  m_host.ShowNewScene(transition.fade ? transition.fadeMs : 0);
  return true;
}

void CScenes::SaveAs(int number) {
  if (!tvq::CSceneStore::IsSceneNumber(number)) return;
  tvq::Scene scene;
  for (int slot = 0; slot < m_slots.SlotCount(); ++slot) scene.SetSlot(slot, m_restore.Held(slot));
  m_store.SaveScene(number, scene);
  m_store.SetCurrentSceneNumber(number);
  ScheduleWrite();
}

void CScenes::Rename(int number, const std::wstring& name) {
  m_store.RenameScene(number, name);
  ScheduleWrite();
}

void CScenes::SetTransition(const tvq::TransitionSettings& transition) {
  m_store.SetTransition(transition);
  ScheduleWrite();
}

bool CScenes::OnHotkey(WPARAM id) {
  CHotkeys::Action action = CHotkeys::Action::kSwitch;
  int number = 0;
  if (!CHotkeys::Decode(id, action, number)) return false;
  if (action == CHotkeys::Action::kSwitch) {
    SwitchTo(number);
  } else {
    SaveAs(number);
  }
  return true;
}

void CScenes::ScheduleWrite() {
  if (m_writePending || m_window == nullptr) return;
  m_writePending = SetTimer(m_window, tvq::kStoreWriteTimerId, kWriteDelayMs, nullptr) != 0;
  // Without a timer the change is written at once rather than never.
  if (!m_writePending) m_store.Flush();
}

void CScenes::OnWriteTimer() {
  KillTimer(m_window, tvq::kStoreWriteTimerId);
  m_writePending = false;
  if (m_store.Flush()) return;
  // A store that could not be written (a full disk, a folder taken away) is tried again later.
  m_writePending = SetTimer(m_window, tvq::kStoreWriteTimerId, kRetryDelayMs, nullptr) != 0;
}

bool CScenes::WaitsForFirstPictures() {
  if (m_awaited.empty()) return false;
  bool waiting = GetTickCount64() < m_awaitedUntil;
  if (waiting) {
    waiting = false;
    for (int slot : m_awaited) {
      const ICaptureSource* source = m_slots.Source(slot);
      if (source != nullptr && m_slots.IsActive(slot) && !source->HasCaptured()) waiting = true;
    }
  }
  if (!waiting) m_awaited.clear();
  return waiting;
}

tvq::SceneSlot CScenes::ReadSlot(int slot) const {
  const tvq::SceneSlot* kept = m_store.CurrentSlots().SlotAt(slot);
  return kept != nullptr ? *kept : tvq::SceneSlot();
}

void CScenes::WriteSlot(int slot, const tvq::SceneSlot& value) {
  m_store.SetCurrentSlot(slot, value);
  ScheduleWrite();
}

std::wstring CScenes::StatusBlock() const {
  const int number = m_store.CurrentSceneNumber();
  std::wstring text = kHeading;
  text += L"現在：" + std::to_wstring(number) + L". " + OneLine(m_store.SceneAt(number).name) +
          L"（" + TransitionText() + L"）\n";
  text += kWindowKeysLine;
  text += KeyLines();
  return text;
}

std::wstring CScenes::TransitionText() const {
  const tvq::TransitionSettings& transition = m_store.Transition();
  if (!transition.fade) return L"カット";
  return L"フェード " + std::to_wstring(transition.fadeMs) + L"ms";
}

// The keys as the store sets them, then, once, those another program holds.
std::wstring CScenes::KeyLines() const {
  const tvq::HotkeySettings& keys = m_store.Hotkeys();
  if (!keys.enabled) return kHotkeysOff;
  std::wstring text;
  if (keys.switchModifiers != 0) {
    text += L"［" + tvq::ModifiersText(keys.switchModifiers) +
            L"+1～9］：どこからでもシーン切り替え\n";
  }
  if (keys.saveModifiers != 0) {
    text += L"［" + tvq::ModifiersText(keys.saveModifiers) +
            L"+1～9］：現在のスロットをシーンに保存\n";
  }
  const std::vector<std::wstring>& refused = m_hotkeys.Refused();
  if (refused.empty()) return text;
  text += L"ホットキー ";
  for (size_t i = 0; i < refused.size(); ++i) text += (i == 0 ? L"" : L"、") + refused[i];
  return text + L" は他のプログラムが使用中のため使えません\n";
}
