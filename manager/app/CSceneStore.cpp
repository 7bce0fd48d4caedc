#include "manager/app/CSceneStore.h"

#include <shlobj.h>

#include <cwchar>

#include "manager/app/CStoreDocument.h"
#include "manager/app/SceneKeys.h"
#include "manager/app/Settings.h"

namespace tvq {
namespace {

constexpr wchar_t kScenesSection[] = L"Scenes";
constexpr wchar_t kHotkeysSection[] = L"Hotkeys";
constexpr wchar_t kTransitionSection[] = L"Transition";
constexpr wchar_t kCurrentSlotsPrefix[] = L"Slots";
constexpr wchar_t kCutName[] = L"Cut";
constexpr wchar_t kFadeName[] = L"Fade";

std::wstring ScenePrefix(int number) { return L"Scene" + std::to_wstring(number); }

std::wstring SlotSection(const std::wstring& prefix, int slot) {
  return prefix + L".Slot" + std::to_wstring(slot + 1);
}

// A whole number in range, or fallback for anything else (a hand edit's "abc", "-1", "1e9").
int NumberIn(const std::wstring& text, int low, int high, int fallback) {
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || end == text.c_str() || *end != L'\0') return fallback;
  return value >= low && value <= high ? static_cast<int>(value) : fallback;
}

// Slot numbers past the largest slot count are never read: a hand-made "Slot99999" is no slot.
Scene ReadSlots(const CStoreDocument& document, const std::wstring& prefix) {
  Scene scene;
  for (int slot = 0; slot < kMaxSlotCount; ++slot) {
    const std::wstring section = SlotSection(prefix, slot);
    if (document.HasSection(section)) scene.SetSlot(slot, ReadSceneSlot(document, section));
  }
  return scene;
}

void WriteSlots(CStoreDocument& document, const std::wstring& prefix, const Scene& scene) {
  for (int slot = 0; slot < static_cast<int>(scene.slots.size()); ++slot) {
    WriteSceneSlot(document, SlotSection(prefix, slot), scene.slots[slot]);
  }
}

unsigned int ModifiersOr(const std::wstring* text, unsigned int fallback) {
  if (text == nullptr) return fallback;
  unsigned int modifiers = 0;
  return ParseModifiers(*text, modifiers) ? modifiers : 0;
}

}  // namespace

StoreFileRead CSceneStore::Load() {
  Reset();
  RemoveLeftoverStoreFiles(m_path);
  std::wstring text;
  const StoreFileRead read = m_path.empty() ? StoreFileRead::kMissing : ReadStoreFile(m_path, text);
  if (read == StoreFileRead::kRead) Parse(text);
  // Nothing is known of an unreadable file: the first change writes, whatever it formats to.
  m_fileText = text;
  m_fileTextKnown = read == StoreFileRead::kRead;
  m_changed = false;
  return read;
}

bool CSceneStore::Flush() {
  // No path: the store lives in memory only (a program path too long to read, some tests).
  if (!m_changed || m_path.empty()) {
    m_changed = false;
    return true;
  }
  const std::wstring text = Format();
  if (m_fileTextKnown && text == m_fileText) {
    m_changed = false;
    return true;
  }
  if (!ReplaceStoreFile(m_path, text)) return false;
  ++m_writes;
  m_fileText = text;
  m_fileTextKnown = true;
  m_changed = false;
  return true;
}

void CSceneStore::Reset() {
  m_current = Scene();
  m_currentScene = 1;
  for (int number = 1; number <= kSceneCount; ++number) {
    m_scenes[number - 1] = Scene{DefaultSceneName(number), {}};
  }
  m_hotkeys = HotkeySettings();
  m_transition = TransitionSettings();
}

void CSceneStore::SetCurrentSlot(int slot, const SceneSlot& value) {
  if (slot < 0 || slot >= kMaxSlotCount) return;
  m_current.SetSlot(slot, value);
  MarkChanged();
}

void CSceneStore::SetCurrentSceneNumber(int number) {
  if (!IsSceneNumber(number) || number == m_currentScene) return;
  m_currentScene = number;
  MarkChanged();
}

const Scene& CSceneStore::SceneAt(int number) const {
  static const Scene kNoScene;
  return IsSceneNumber(number) ? m_scenes[number - 1] : kNoScene;
}

void CSceneStore::SaveScene(int number, const Scene& slots) {
  if (!IsSceneNumber(number)) return;
  m_scenes[number - 1].slots = slots.slots;
  MarkChanged();
}

void CSceneStore::RenameScene(int number, const std::wstring& name) {
  if (!IsSceneNumber(number)) return;
  m_scenes[number - 1].name = name.empty() ? DefaultSceneName(number) : name;
  MarkChanged();
}

void CSceneStore::SetTransition(const TransitionSettings& transition) {
  m_transition.fade = transition.fade;
  m_transition.fadeMs = transition.fadeMs < kMinFadeMs   ? kMinFadeMs
                        : transition.fadeMs > kMaxFadeMs ? kMaxFadeMs
                                                         : transition.fadeMs;
  MarkChanged();
}

std::wstring CSceneStore::DefaultSceneName(int number) {
  return L"シーン" + std::to_wstring(number);
}

std::wstring CSceneStore::Format() const {
  CStoreDocument document;
  document.Set(kScenesSection, L"Current", std::to_wstring(m_currentScene));
  document.Set(kHotkeysSection, L"On", m_hotkeys.enabled ? L"1" : L"0");
  document.Set(kHotkeysSection, L"Switch", ModifiersText(m_hotkeys.switchModifiers));
  document.Set(kHotkeysSection, L"Save", ModifiersText(m_hotkeys.saveModifiers));
  document.Set(kTransitionSection, L"Kind", m_transition.fade ? kFadeName : kCutName);
  document.Set(kTransitionSection, L"FadeMs", std::to_wstring(m_transition.fadeMs));
  WriteSlots(document, kCurrentSlotsPrefix, m_current);
  for (int number = 1; number <= kSceneCount; ++number) {
    const Scene& scene = m_scenes[number - 1];
    document.Set(ScenePrefix(number), L"Name", scene.name);
    WriteSlots(document, ScenePrefix(number), scene);
  }
  return document.Format();
}

void CSceneStore::Parse(const std::wstring& text) {
  Reset();
  const CStoreDocument document = CStoreDocument::Parse(text);
  m_currentScene = NumberIn(document.Text(kScenesSection, L"Current"), 1, kSceneCount, 1);
  m_hotkeys.enabled = document.Text(kHotkeysSection, L"On", L"1") != L"0";
  m_hotkeys.switchModifiers =
      ModifiersOr(document.Find(kHotkeysSection, L"Switch"), m_hotkeys.switchModifiers);
  m_hotkeys.saveModifiers =
      ModifiersOr(document.Find(kHotkeysSection, L"Save"), m_hotkeys.saveModifiers);
  m_transition.fade = document.Text(kTransitionSection, L"Kind") == kFadeName;
  m_transition.fadeMs = NumberIn(document.Text(kTransitionSection, L"FadeMs"), kMinFadeMs,
                                 kMaxFadeMs, kDefaultFadeMs);
  m_current = ReadSlots(document, kCurrentSlotsPrefix);
  for (int number = 1; number <= kSceneCount; ++number) {
    Scene& scene = m_scenes[number - 1];
    scene.slots = ReadSlots(document, ScenePrefix(number)).slots;
    const std::wstring name = document.Text(ScenePrefix(number), L"Name");
    if (!name.empty()) scene.name = name;
  }
}

std::wstring UserStorePath() {
  wchar_t folder[MAX_PATH] = L"";
  // Made when missing: a new user's profile may not have the folder yet.
  const int folderId = CSIDL_APPDATA | CSIDL_FLAG_CREATE;
  if (SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
    return std::wstring();
  }
  return std::wstring(folder) + L"\\Tessavue\\Scenes.ini";
}

}  // namespace tvq
