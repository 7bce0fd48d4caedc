#include "manager/composition/CSlotRecords.h"

#include <windows.h>
#include <objbase.h>

#include <cerrno>
#include <cwchar>
#include <vector>

namespace {

struct KindName {
  int kind;
  const wchar_t* name;
};

constexpr KindName kKindNames[] = {
    {tvq::kCameraSlot, L"Camera"}, {tvq::kWindowSlot, L"Window"}, {tvq::kDesktopSlot, L"Desktop"}};

int KindOf(const std::wstring& name) {
  for (const KindName& entry : kKindNames) {
    if (name == entry.name) return entry.kind;
  }
  return tvq::kEmptySlot;
}

const wchar_t* NameOf(int kind) {
  for (const KindName& entry : kKindNames) {
    if (kind == entry.kind) return entry.name;
  }
  return nullptr;
}

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

}  // namespace

std::wstring CSlotRecords::SectionOf(int slot) { return L"Slot" + std::to_wstring(slot + 1); }

tvq::SlotRecord CSlotRecords::Read(int slot) const {
  tvq::SlotRecord record;
  if (m_iniPath.empty()) return record;
  const std::wstring section = SectionOf(slot);
  const wchar_t* s = section.c_str();
  record.kind = KindOf(ReadText(s, L"Kind"));
  record.paused = ReadNumber(s, L"Paused", 0) != 0;
  if (record.kind == tvq::kCameraSlot) ReadCamera(s, record.camera);
  if (record.kind == tvq::kWindowSlot) {
    record.title = ReadText(s, L"Title");
    record.className = ReadText(s, L"Class");
    record.executable = ReadText(s, L"Executable");
  }
  return record;
}

void CSlotRecords::ReadCamera(const wchar_t* section, tvq::CameraRequest& camera) const {
  camera.devicePath = ReadText(section, L"DevicePath");
  camera.friendlyName = ReadText(section, L"FriendlyName");
  camera.crossbarOutput = ReadNumber(section, L"CrossbarOutput", -1);
  camera.crossbarInput = ReadNumber(section, L"CrossbarInput", -1);
  camera.format.width = ReadNumber(section, L"Width", 0);
  camera.format.height = ReadNumber(section, L"Height", 0);
  // Text that is no GUID asks for no subtype: any of the pin's formats of that size will do.
  const std::wstring subtype = ReadText(section, L"Subtype");
  if (IIDFromString(subtype.c_str(), &camera.format.subtype) != S_OK) {
    camera.format.subtype = GUID_NULL;
  }
  camera.format.interval = std::wcstoll(ReadText(section, L"FrameInterval").c_str(), nullptr, 10);
}

void CSlotRecords::Write(int slot, const tvq::SlotRecord& record) const {
  if (m_iniPath.empty()) return;
  const std::wstring section = SectionOf(slot);
  const wchar_t* s = section.c_str();
  // The keys of another kind must not stay behind.
  WritePrivateProfileStringW(s, nullptr, nullptr, m_iniPath.c_str());
  const wchar_t* kindName = NameOf(record.kind);
  if (kindName == nullptr) return;
  WriteText(s, L"Kind", kindName);
  WriteText(s, L"Paused", record.paused ? L"1" : L"0");
  if (record.kind == tvq::kCameraSlot) WriteCamera(s, record.camera);
  if (record.kind == tvq::kWindowSlot) {
    WriteText(s, L"Title", record.title);
    WriteText(s, L"Class", record.className);
    WriteText(s, L"Executable", record.executable);
  }
}

void CSlotRecords::WriteCamera(const wchar_t* section, const tvq::CameraRequest& camera) const {
  WriteText(section, L"DevicePath", camera.devicePath);
  WriteText(section, L"FriendlyName", camera.friendlyName);
  WriteText(section, L"CrossbarOutput", std::to_wstring(camera.crossbarOutput));
  WriteText(section, L"CrossbarInput", std::to_wstring(camera.crossbarInput));
  WriteText(section, L"Width", std::to_wstring(camera.format.width));
  WriteText(section, L"Height", std::to_wstring(camera.format.height));
  wchar_t subtype[40] = L"";
  StringFromGUID2(camera.format.subtype, subtype, 40);
  WriteText(section, L"Subtype", subtype);
  WriteText(section, L"FrameInterval", std::to_wstring(camera.format.interval));
}

std::wstring CSlotRecords::ReadText(const wchar_t* section, const wchar_t* key) const {
  std::vector<wchar_t> text(kTextUnits, L'\0');
  GetPrivateProfileStringW(section, key, L"", text.data(), kTextUnits, m_iniPath.c_str());
  return text.data();
}

long CSlotRecords::ReadNumber(const wchar_t* section, const wchar_t* key,
                              long defaultValue) const {
  const std::wstring text = ReadText(section, key);
  if (text.empty()) return defaultValue;
  // Out of range or no number at all: the default, not the clamped or zero value.
  wchar_t* end = nullptr;
  errno = 0;
  const long value = std::wcstol(text.c_str(), &end, 10);
  return end == text.c_str() || errno == ERANGE ? defaultValue : value;
}

void CSlotRecords::WriteText(const wchar_t* section, const wchar_t* key,
                             const std::wstring& value) const {
  WritePrivateProfileStringW(section, key, Quoted(OneLine(value)).c_str(), m_iniPath.c_str());
}
