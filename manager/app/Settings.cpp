#include "manager/app/Settings.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "manager/composition/ISlotTable.h"

namespace tvq {
namespace {

constexpr int kPathLength = MAX_PATH;
constexpr DWORD kDecimalBufferLength = 1024;

const wchar_t kTessavueSection[] = L"Tessavue";

int ReadInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int defaultValue) {
  // GetPrivateProfileIntW understands a leading minus sign and hands the value back as UINT.
  return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, file.c_str()));
}

void WriteString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                 const std::wstring& value) {
  WritePrivateProfileStringW(section, key, value.c_str(), file.c_str());
}

void WriteInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int value) {
  WriteString(file, section, key, std::to_wstring(value));
}

void WriteDecimal(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                  double value) {
  WriteString(file, section, key, FormatDecimal(value));
}

void SetExpandString(HKEY key, const wchar_t* name, const std::wstring& value) {
  // The terminator is not stored: the byte count is exactly twice the character count. The
  // registry quietly adds a terminator when the character right after the counted data is NUL,
  // so the data is passed with a non-NUL character behind it.
  std::vector<wchar_t> data(value.begin(), value.end());
  data.push_back(L'?');
  RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(value.size() * sizeof(wchar_t)));
}

}  // namespace

// The profile calls keep writing an existing file in its own encoding.
void CreateUnicodeFileIfMissing(const std::wstring& file) {
  const UniqueFileHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return;
  const unsigned char bom[2] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(handle.Get(), bom, sizeof(bom), &written, nullptr);
}

std::wstring SettingsPath(const std::wstring& modulePath, const wchar_t* fileName) {
  wchar_t drive[_MAX_DRIVE] = L"";
  wchar_t directory[_MAX_DIR] = L"";
  if (_wsplitpath_s(modulePath.c_str(), drive, _MAX_DRIVE, directory, _MAX_DIR, nullptr, 0,
                    nullptr, 0) != 0) {
    return std::wstring();
  }
  // A bare file name would send the profile functions to the Windows folder and CreateFileW to
  // the current one: without a folder of our own there is no settings file at all.
  if (drive[0] == L'\0' && directory[0] == L'\0') return std::wstring();
  wchar_t path[kPathLength] = L"";
  if (_wmakepath_s(path, kPathLength, drive, directory, fileName, L"") != 0) return std::wstring();
  return path;
}

std::wstring OwnModulePath() {
  wchar_t path[kPathLength] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, kPathLength);
  if (length == 0 || length >= kPathLength) return std::wstring();
  return std::wstring(path, length);
}

StartupSettings LoadStartupSettings(const std::wstring& iniPath) {
  StartupSettings settings;
  settings.slotCount = ReadInt(iniPath, kTessavueSection, L"MaxNumOfCaptureDev", kDefaultSlotCount);
  settings.width = ReadInt(iniPath, kVideoSection, kWidthKey, kDefaultFrameWidth);
  settings.height = ReadInt(iniPath, kVideoSection, kHeightKey, kDefaultFrameHeight);
  settings.framePerSecond =
      ReadDecimal(iniPath, kVideoSection, kFramePerSecondKey, kDefaultFramePerSecond);
  settings.restoreSlots = ReadInt(iniPath, kTessavueSection, L"RestoreSlots", 0) == 1;

  if (!PathFileExistsW(iniPath.c_str())) {
    WriteInt(iniPath, kTessavueSection, L"MaxNumOfCaptureDev", settings.slotCount);
    WriteInt(iniPath, kVideoSection, kWidthKey, settings.width);
    WriteInt(iniPath, kVideoSection, kHeightKey, settings.height);
    WriteDecimal(iniPath, kVideoSection, kFramePerSecondKey, settings.framePerSecond);
  }

  // Selection works modulo the slot count, and the canvas must be a picture that fits the
  // channel: unusable values take their defaults. The frame rate is kept as read; the timer
  // interval helper copes with rates that give no usable interval.
  if (settings.slotCount < 1 || settings.slotCount > kMaxSlotCount) {
    settings.slotCount = kDefaultSlotCount;
  }
  if (!IsUsableFrameSize(settings.width, settings.height)) {
    settings.width = kDefaultFrameWidth;
    settings.height = kDefaultFrameHeight;
  }
  return settings;
}

void RecordPathsInRegistry(const std::wstring& iniPath, const std::wstring& managerPath) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return;
  }
  UniqueRegKey key(raw);
  SetExpandString(key.Get(), kIniFilePathValue, iniPath);
  SetExpandString(key.Get(), kManagerPathValue, managerPath);
}

double ReadDecimal(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   double defaultValue) {
  wchar_t text[kDecimalBufferLength] = L"";
  GetPrivateProfileStringW(section, key, L"", text, kDecimalBufferLength, file.c_str());
  if (text[0] == L'\0') return defaultValue;
  return std::wcstod(text, nullptr);
}

std::wstring FormatDecimal(double value) {
  // "%.16f" of a huge value runs to hundreds of digits; the buffer holds any double.
  wchar_t text[400] = L"";
  _snwprintf(text, 399, L"%.16f", value);
  text[399] = L'\0';
  return text;
}

SCIInfo ReadSlotSection(const std::wstring& file, const std::wstring& section, double defaultRate) {
  const wchar_t* s = section.c_str();
  SCIInfo info;
  info.CapturePerSecond = defaultRate;
  if (file.empty()) return info;
  info.Pos_x = ReadDecimal(file, s, L"Pos_x", 0.0);
  info.Pos_y = ReadDecimal(file, s, L"Pos_y", 0.0);
  info.Width = ReadDecimal(file, s, L"Width", 1.0);
  info.Height = ReadDecimal(file, s, L"Height", 1.0);
  info.TrimLeft = ReadInt(file, s, L"TrimLeft", 0);
  info.TrimRight = ReadInt(file, s, L"TrimRight", 0);
  info.TrimTop = ReadInt(file, s, L"TrimTop", 0);
  info.TrimBottom = ReadInt(file, s, L"TrimBottom", 0);
  info.CapturePerSecond = ReadDecimal(file, s, L"CapturePerSecond", defaultRate);
  return info;
}

void WriteSlotSection(const std::wstring& file, const std::wstring& section, const SCIInfo& info,
                      const wchar_t* friendlyName) {
  if (file.empty()) return;
  const wchar_t* s = section.c_str();
  CreateUnicodeFileIfMissing(file);
  if (friendlyName != nullptr) WriteString(file, s, L"FriendlyName", friendlyName);
  WriteDecimal(file, s, L"Pos_x", info.Pos_x);
  WriteDecimal(file, s, L"Pos_y", info.Pos_y);
  WriteDecimal(file, s, L"Width", info.Width);
  WriteDecimal(file, s, L"Height", info.Height);
  WriteInt(file, s, L"TrimLeft", info.TrimLeft);
  WriteInt(file, s, L"TrimRight", info.TrimRight);
  WriteInt(file, s, L"TrimTop", info.TrimTop);
  WriteInt(file, s, L"TrimBottom", info.TrimBottom);
  WriteDecimal(file, s, L"CapturePerSecond", info.CapturePerSecond);
}

SCIInfo CPlacementFiles::ReadPlacement(int kind, const std::wstring& section,
                                       double defaultRate) {
  return ReadSlotSection(FileOf(kind), section, defaultRate);
}

void CPlacementFiles::WritePlacement(int kind, const std::wstring& section,
                                     const SCIInfo& placement, const wchar_t* friendlyName) {
  WriteSlotSection(FileOf(kind), section, placement, friendlyName);
}

std::wstring CPlacementFiles::FileOf(int kind) const {
  const SlotKindRow* row = FindSlotKind(kind);
  return SettingsPath(m_modulePath, row != nullptr ? row->placementFile : kDesktopFileName);
}

}  // namespace tvq
