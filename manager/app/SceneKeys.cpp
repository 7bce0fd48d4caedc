#include "manager/app/SceneKeys.h"

#include <windows.h>
#include <objbase.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "manager/app/Settings.h"

namespace tvq {
namespace {

constexpr wchar_t kPlacementSuffix[] = L".Placement";

struct KindName {
  int kind;
  const wchar_t* name;
};

constexpr KindName kKindNames[] = {
    {kCameraSlot, L"Camera"}, {kWindowSlot, L"Window"}, {kDesktopSlot, L"Desktop"}};

struct ModifierName {
  unsigned int modifier;
  const wchar_t* name;
};

constexpr ModifierName kModifierNames[] = {
    {MOD_CONTROL, L"Ctrl"}, {MOD_ALT, L"Alt"}, {MOD_SHIFT, L"Shift"}, {MOD_WIN, L"Win"}};

// One section's keys, as the record's reading and writing see them.
class SectionKeys {
 public:
  SectionKeys(const CStoreDocument& document, std::wstring section)
      : m_document(document), m_section(std::move(section)) {}

  std::wstring Text(const wchar_t* key) const { return m_document.Text(m_section, key); }
  long Number(const wchar_t* key, long fallback) const {
    const std::wstring text = Text(key);
    wchar_t* end = nullptr;
    errno = 0;
    const long value = std::wcstol(text.c_str(), &end, 10);
    return text.empty() || end == text.c_str() || errno == ERANGE ? fallback : value;
  }
  double Decimal(const wchar_t* key, double fallback) const {
    const std::wstring text = Text(key);
    return text.empty() ? fallback : std::wcstod(text.c_str(), nullptr);
  }

 private:
  const CStoreDocument& m_document;
  std::wstring m_section;
};

int KindOf(const std::wstring& name) {
  for (const KindName& entry : kKindNames) {
    if (name == entry.name) return entry.kind;
  }
  return kEmptySlot;
}

const wchar_t* NameOf(int kind) {
  for (const KindName& entry : kKindNames) {
    if (kind == entry.kind) return entry.name;
  }
  return nullptr;
}

void ReadCamera(const SectionKeys& keys, CameraRequest& camera) {
  camera.devicePath = keys.Text(L"DevicePath");
  camera.friendlyName = keys.Text(L"FriendlyName");
  camera.crossbarOutput = keys.Number(L"CrossbarOutput", -1);
  camera.crossbarInput = keys.Number(L"CrossbarInput", -1);
  camera.format.width = keys.Number(L"Width", 0);
  camera.format.height = keys.Number(L"Height", 0);
  if (IIDFromString(keys.Text(L"Subtype").c_str(), &camera.format.subtype) != S_OK) {
    camera.format.subtype = GUID_NULL;
  }
  camera.format.interval = std::wcstoll(keys.Text(L"FrameInterval").c_str(), nullptr, 10);
}

void WriteCamera(CStoreDocument& document, const std::wstring& section,
                 const CameraRequest& camera) {
  document.Set(section, L"DevicePath", camera.devicePath);
  document.Set(section, L"FriendlyName", camera.friendlyName);
  document.Set(section, L"CrossbarOutput", std::to_wstring(camera.crossbarOutput));
  document.Set(section, L"CrossbarInput", std::to_wstring(camera.crossbarInput));
  document.Set(section, L"Width", std::to_wstring(camera.format.width));
  document.Set(section, L"Height", std::to_wstring(camera.format.height));
  wchar_t subtype[40] = L"";
  StringFromGUID2(camera.format.subtype, subtype, 40);
  document.Set(section, L"Subtype", subtype);
  document.Set(section, L"FrameInterval", std::to_wstring(camera.format.interval));
}

SCIInfo ReadPlacement(const SectionKeys& keys, double defaultRate) {
  SCIInfo info;
  info.Pos_x = keys.Decimal(L"Pos_x", 0.0);
  info.Pos_y = keys.Decimal(L"Pos_y", 0.0);
  info.Width = keys.Decimal(L"Width", 1.0);
  info.Height = keys.Decimal(L"Height", 1.0);
  info.TrimLeft = keys.Number(L"TrimLeft", 0);
  info.TrimRight = keys.Number(L"TrimRight", 0);
  info.TrimTop = keys.Number(L"TrimTop", 0);
  info.TrimBottom = keys.Number(L"TrimBottom", 0);
  info.CapturePerSecond = keys.Decimal(L"CapturePerSecond", defaultRate);
  return info;
}

void WritePlacement(CStoreDocument& document, const std::wstring& section, const SCIInfo& info) {
  document.Set(section, L"Pos_x", FormatDecimal(info.Pos_x));
  document.Set(section, L"Pos_y", FormatDecimal(info.Pos_y));
  document.Set(section, L"Width", FormatDecimal(info.Width));
  document.Set(section, L"Height", FormatDecimal(info.Height));
  document.Set(section, L"TrimLeft", std::to_wstring(info.TrimLeft));
  document.Set(section, L"TrimRight", std::to_wstring(info.TrimRight));
  document.Set(section, L"TrimTop", std::to_wstring(info.TrimTop));
  document.Set(section, L"TrimBottom", std::to_wstring(info.TrimBottom));
  document.Set(section, L"CapturePerSecond", FormatDecimal(info.CapturePerSecond));
}

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

unsigned int ModifierOf(const std::wstring& word) {
  const std::wstring lowered = Lowered(word);
  if (lowered == L"control") return MOD_CONTROL;
  for (const ModifierName& entry : kModifierNames) {
    if (lowered == Lowered(entry.name)) return entry.modifier;
  }
  return 0;
}

}  // namespace

SceneSlot ReadSceneSlot(const CStoreDocument& document, const std::wstring& section) {
  SceneSlot slot;
  const SectionKeys keys(document, section);
  slot.record.kind = KindOf(keys.Text(L"Kind"));
  if (slot.IsEmpty()) return slot;
  slot.record.paused = keys.Number(L"Paused", 0) != 0;
  if (slot.record.kind == kCameraSlot) ReadCamera(keys, slot.record.camera);
  if (slot.record.kind == kWindowSlot) {
    slot.record.title = keys.Text(L"Title");
    slot.record.className = keys.Text(L"Class");
    slot.record.executable = keys.Text(L"Executable");
  }
  const std::wstring placement = section + kPlacementSuffix;
  slot.hasPlacement = document.HasSection(placement);
  if (slot.hasPlacement) {
    slot.placement =
        ReadPlacement(SectionKeys(document, placement), DefaultCaptureRate(slot.record.kind));
  }
  return slot;
}

void WriteSceneSlot(CStoreDocument& document, const std::wstring& section,
                    const SceneSlot& slot) {
  const wchar_t* kindName = NameOf(slot.record.kind);
  if (kindName == nullptr) return;
  document.Set(section, L"Kind", kindName);
  document.Set(section, L"Paused", slot.record.paused ? L"1" : L"0");
  if (slot.record.kind == kCameraSlot) WriteCamera(document, section, slot.record.camera);
  if (slot.record.kind == kWindowSlot) {
    document.Set(section, L"Title", slot.record.title);
    document.Set(section, L"Class", slot.record.className);
    document.Set(section, L"Executable", slot.record.executable);
  }
  if (slot.hasPlacement) WritePlacement(document, section + kPlacementSuffix, slot.placement);
}

std::wstring ModifiersText(unsigned int modifiers) {
  std::wstring text;
  for (const ModifierName& entry : kModifierNames) {
    if ((modifiers & entry.modifier) == 0) continue;
    if (!text.empty()) text += L"+";
    text += entry.name;
  }
  return text;
}

bool ParseModifiers(const std::wstring& text, unsigned int& modifiers) {
  unsigned int parsed = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'+', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring word = text.substr(start, end - start);
    word.erase(0, word.find_first_not_of(L" \t"));
    word.erase(word.find_last_not_of(L" \t") + 1);
    const unsigned int modifier = ModifierOf(word);
    if (modifier == 0) return false;
    parsed |= modifier;
    start = end + 1;
  }
  if ((parsed & (MOD_CONTROL | MOD_ALT | MOD_WIN)) == 0) return false;
  modifiers = parsed;
  return true;
}

}  // namespace tvq
