#include "manager/composition/CSlotRecords.h"

#include <windows.h>

#include <vector>

#include "manager/composition/SlotKinds.h"

namespace {

// The profile calls drop blanks around a value and one pair of quotes around it: a title that
// begins or ends with either is written inside quotes, which the reading takes off again.
std::wstring Quoted(const std::wstring& value) {
  if (value.empty()) return value;
  const auto needsQuotes = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'"'; };
  if (!needsQuotes(value.front()) && !needsQuotes(value.back())) return value;
  return L"\"" + value + L"\"";
}

// A line break would end the value and begin a line of its own in the file.
std::wstring OneLine(std::wstring value) {
  for (wchar_t& c : value) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return value;
}

// One slot's section of the settings file, through the profile-string calls.
class ProfileSection : public tvq::IRecordKeys {
 public:
  ProfileSection(const std::wstring& file, const std::wstring& section)
      : m_file(file), m_section(section) {}

  std::wstring ReadText(const wchar_t* key) const override {
    std::vector<wchar_t> text(CSlotRecords::kTextUnits, L'\0');
    GetPrivateProfileStringW(m_section.c_str(), key, L"", text.data(), CSlotRecords::kTextUnits,
                             m_file.c_str());
    return text.data();
  }

  void WriteText(const wchar_t* key, const std::wstring& value) override {
    WritePrivateProfileStringW(m_section.c_str(), key, Quoted(OneLine(value)).c_str(),
                               m_file.c_str());
  }

 private:
  const std::wstring& m_file;
  const std::wstring& m_section;
};

}  // namespace

std::wstring CSlotRecords::SectionOf(int slot) { return L"Slot" + std::to_wstring(slot + 1); }

tvq::SlotRecord CSlotRecords::Read(int slot) const {
  if (m_iniPath.empty()) return tvq::SlotRecord();
  return tvq::ReadSlotRecord(ProfileSection(m_iniPath, SectionOf(slot)));
}

void CSlotRecords::Write(int slot, const tvq::SlotRecord& record) const {
  if (m_iniPath.empty()) return;
  const std::wstring section = SectionOf(slot);
  // The keys of another kind must not stay behind.
  WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, m_iniPath.c_str());
  ProfileSection keys(m_iniPath, section);
  tvq::WriteSlotRecord(keys, record);
}
