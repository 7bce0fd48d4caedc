#include "manager/composition/CSlotRecords.h"

#include <windows.h>

#include <vector>

#include "manager/composition/SlotKinds.h"

namespace {

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

  // Nothing writes these sections any more.
  void WriteText(const wchar_t*, const std::wstring&) override {}

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
