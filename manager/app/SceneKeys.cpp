#include "manager/app/SceneKeys.h"

#include <windows.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "manager/app/Settings.h"
#include "manager/composition/SlotKinds.h"

namespace tvq {
namespace {

constexpr wchar_t kPlacementSuffix[] = L".Placement";

struct ModifierName {
  unsigned int modifier;
  const wchar_t* name;
};

constexpr ModifierName kModifierNames[] = {
    {MOD_CONTROL, L"Ctrl"}, {MOD_ALT, L"Alt"}, {MOD_SHIFT, L"Shift"}, {MOD_WIN, L"Win"}};

// One section of the document, as the table of kinds reads and writes a record's keys. Made
// over a document it may not change, it only reads.
class SectionKeys : public IRecordKeys {
 public:
  SectionKeys(const CStoreDocument& document, std::wstring section)
      : m_document(document), m_section(std::move(section)) {}
  SectionKeys(CStoreDocument& document, std::wstring section)
      : m_document(document), m_writable(&document), m_section(std::move(section)) {}

  std::wstring ReadText(const wchar_t* key) const override { return Text(key); }
  void WriteText(const wchar_t* key, const std::wstring& value) override {
    if (m_writable != nullptr) m_writable->Set(m_section, key, value);
  }

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
  CStoreDocument* m_writable = nullptr;
  std::wstring m_section;
};

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
  slot.record = ReadSlotRecord(SectionKeys(document, section));
  const SlotKindRow* row = FindSlotKind(slot.record.kind);
  if (row == nullptr) return SceneSlot();
  const std::wstring placement = section + kPlacementSuffix;
  slot.hasPlacement = document.HasSection(placement);
  if (slot.hasPlacement) {
    slot.placement =
        ReadPlacement(SectionKeys(document, placement), row->defaultCaptureRate);
  }
  return slot;
}

void WriteSceneSlot(CStoreDocument& document, const std::wstring& section,
                    const SceneSlot& slot) {
  if (FindSlotKind(slot.record.kind) == nullptr) return;
  SectionKeys keys(document, section);
  WriteSlotRecord(keys, slot.record);
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
