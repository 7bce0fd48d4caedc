#include "manager/app/Settings.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/FilterIdentity.h"
#include "manager/composition/ISlotTable.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/common/TempDir.h"

namespace {

using tvqtest::ReadTextFile;
using tvqtest::TempDir;
using tvqtest::WriteTextFile;

// The byte count as stored. RegQueryValueExW may add room for a terminator that is not stored
// (Wine does), so the raw size comes from the kernel's own query.
struct RawValue {
  ULONG type = 0;
  std::vector<unsigned char> data;
};

RawValue QueryRawValue(HKEY key, const wchar_t* name) {
  struct UnicodeString { USHORT Length; USHORT MaximumLength; PWSTR Buffer; };
  struct PartialInfo { ULONG TitleIndex; ULONG Type; ULONG DataLength; UCHAR Data[1]; };
  using NtQueryValueKeyFn = LONG(WINAPI*)(HANDLE, UnicodeString*, int, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<NtQueryValueKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryValueKey")));
  RawValue value;
  if (query == nullptr) return value;
  UnicodeString uname{static_cast<USHORT>(wcslen(name) * 2), static_cast<USHORT>(wcslen(name) * 2),
                      const_cast<PWSTR>(name)};
  std::vector<unsigned char> buffer(4096);
  ULONG length = 0;
  const int kKeyValuePartialInformation = 2;
  if (query(key, &uname, kKeyValuePartialInformation, buffer.data(),
            static_cast<ULONG>(buffer.size()), &length) < 0) {
    return value;
  }
  auto* info = reinterpret_cast<PartialInfo*>(buffer.data());
  value.type = info->Type;
  value.data.assign(info->Data, info->Data + info->DataLength);
  return value;
}

std::wstring FakeModulePath(const TempDir& dir) { return dir.File(L"TessavueManager.exe"); }

std::wstring IniPath(const TempDir& dir) {
  return tvq::SettingsPath(FakeModulePath(dir), tvq::kSettingsFileName);
}

std::wstring ReadKey(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t text[1024] = L"";
  GetPrivateProfileStringW(section, key, L"<missing>", text, 1024, file.c_str());
  return text;
}

// Lines of a text file without the line ends, so the check does not depend on CRLF or LF.
std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST(SettingsPath, JoinsTheModuleDirectoryWithTheFileName) {
  EXPECT_EQ(L"C:\\Program Files\\Tessavue\\Tessavue.ini",
            tvq::SettingsPath(L"C:\\Program Files\\Tessavue\\TessavueManager.exe",
                              tvq::kSettingsFileName));
  EXPECT_EQ(L"D:\\TVQ_CaptureVideo.ini",
            tvq::SettingsPath(L"D:\\TessavueManager.exe", tvq::kCameraFileName));
  // No folder, no file: a bare name would land in the Windows or the current folder.
  EXPECT_EQ(L"", tvq::SettingsPath(L"", tvq::kCameraFileName));
  EXPECT_EQ(L"", tvq::SettingsPath(L"TessavueManager.exe", tvq::kCameraFileName));
}

TEST(StartupSettings, FirstStartWritesExactlyTheDefaults) {
  TempDir dir;
  const tvq::StartupSettings s = tvq::LoadStartupSettings(IniPath(dir));
  EXPECT_EQ(8, s.slotCount);
  EXPECT_EQ(1024, s.width);
  EXPECT_EQ(768, s.height);
  EXPECT_DOUBLE_EQ(15.0, s.framePerSecond);

  const std::vector<std::wstring> expected = {
      L"[Tessavue]", L"MaxNumOfCaptureDev=8", L"[Video]", L"Width=1024", L"Height=768",
      L"FramePerSecond=15.0000000000000000"};
  std::vector<std::wstring> lines = Lines(ReadTextFile(IniPath(dir)));
  // The profile calls may separate sections with an empty line.
  std::vector<std::wstring> nonEmpty;
  for (const auto& line : lines)
    if (!line.empty()) nonEmpty.push_back(line);
  EXPECT_EQ(expected, nonEmpty);
}

TEST(StartupSettings, ExistingFileIsNeverCompleted) {
  TempDir dir;
  WriteTextFile(IniPath(dir), "[Video]\r\nWidth=640\r\n");
  const tvq::StartupSettings s = tvq::LoadStartupSettings(IniPath(dir));
  EXPECT_EQ(640, s.width);
  EXPECT_EQ(768, s.height);
  EXPECT_DOUBLE_EQ(15.0, s.framePerSecond);
  EXPECT_EQ(8, s.slotCount);
  EXPECT_EQ(L"[Video]\r\nWidth=640\r\n", ReadTextFile(IniPath(dir)));
}

TEST(StartupSettings, ValuesAreReadAsStored) {
  TempDir dir;
  WriteTextFile(IniPath(dir),
                "[Tessavue]\r\nMaxNumOfCaptureDev=40\r\n[Video]\r\nWidth=1920\r\nHeight=1080\r\n"
                "FramePerSecond=29.97\r\n");
  const tvq::StartupSettings s = tvq::LoadStartupSettings(IniPath(dir));
  EXPECT_EQ(40, s.slotCount);
  EXPECT_EQ(1920, s.width);
  EXPECT_EQ(1080, s.height);
  EXPECT_DOUBLE_EQ(29.97, s.framePerSecond);
}

TEST(StartupSettings, UnusableSlotCountsAndSizesFallBack) {
  const char* files[] = {
      "[Tessavue]\r\nMaxNumOfCaptureDev=0\r\n[Video]\r\nWidth=0\r\nHeight=768\r\n",
      "[Tessavue]\r\nMaxNumOfCaptureDev=-3\r\n[Video]\r\nWidth=-1024\r\nHeight=-768\r\n",
      "[Tessavue]\r\nMaxNumOfCaptureDev=100000\r\n[Video]\r\nWidth=100000\r\nHeight=100000\r\n",
      "[Tessavue]\r\nMaxNumOfCaptureDev=abc\r\n[Video]\r\nWidth=abc\r\nHeight=\r\n",
  };
  for (const char* text : files) {
    SCOPED_TRACE(text);
    TempDir dir;
    WriteTextFile(IniPath(dir), text);
    const tvq::StartupSettings s = tvq::LoadStartupSettings(IniPath(dir));
    EXPECT_EQ(8, s.slotCount);
    EXPECT_EQ(1024, s.width);
    EXPECT_EQ(768, s.height);
  }
}

TEST(StartupSettings, FrameRateTextIsConvertedByItsNumericPrefix) {
  struct Case { const char* text; double rate; };
  for (const Case& c : {Case{"30", 30.0}, Case{"12.5fps", 12.5}, Case{"abc", 0.0},
                        Case{"", 15.0}, Case{"-7", -7.0}}) {
    SCOPED_TRACE(c.text);
    TempDir dir;
    WriteTextFile(IniPath(dir), std::string("[Video]\r\nFramePerSecond=") + c.text + "\r\n");
    EXPECT_DOUBLE_EQ(c.rate, tvq::LoadStartupSettings(IniPath(dir)).framePerSecond);
  }
}

TEST(Registry, PathsAreStoredAsExpandStringsWithoutTerminator) {
  const std::wstring ini = L"C:\\some folder\\Tessavue.ini";
  const std::wstring exe = L"C:\\some folder\\TessavueManager.exe";
  tvq::RecordPathsInRegistry(ini, exe);

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, KEY_READ, &key));
  for (const auto& [name, value] : {std::pair<const wchar_t*, std::wstring>{L"IniFilePath", ini},
                                    std::pair<const wchar_t*, std::wstring>{L"TVQManagerPath", exe}}) {
    SCOPED_TRACE(name);
    const RawValue raw = QueryRawValue(key, name);
    EXPECT_EQ(static_cast<ULONG>(REG_EXPAND_SZ), raw.type);
    ASSERT_EQ(value.size() * 2, raw.data.size());
    EXPECT_EQ(value, std::wstring(reinterpret_cast<const wchar_t*>(raw.data.data()), value.size()));
  }
  RegCloseKey(key);
}

TEST(SlotSection, MissingSectionGivesTheWholeCanvasAndTheKindsRate) {
  TempDir dir;
  const std::wstring file = dir.File(tvq::kCameraFileName);
  const SCIInfo camera = tvq::ReadSlotSection(file, L"\\\\?\\usb#vid", tvq::kDefaultCameraCaptureRate);
  EXPECT_EQ(0.0, camera.Pos_x);
  EXPECT_EQ(0.0, camera.Pos_y);
  EXPECT_EQ(1.0, camera.Width);
  EXPECT_EQ(1.0, camera.Height);
  EXPECT_EQ(0, camera.TrimLeft);
  EXPECT_EQ(0, camera.TrimTop);
  EXPECT_EQ(0, camera.TrimRight);
  EXPECT_EQ(0, camera.TrimBottom);
  EXPECT_EQ(15.0, camera.CapturePerSecond);
  EXPECT_EQ(5.0, tvq::ReadSlotSection(file, L"Desktop", tvq::kDefaultWindowCaptureRate)
                     .CapturePerSecond);
}

TEST(SlotSection, SaveAndReloadRoundTripsEveryField) {
  TempDir dir;
  const std::wstring file = dir.File(tvq::kWindowFileName);
  SCIInfo info;
  info.Pos_x = 0.05 + 0.05 + 0.05;
  info.Pos_y = -0.01;
  info.Width = 0.333;
  info.Height = 0.5;
  info.TrimLeft = -5;
  info.TrimTop = 7;
  info.TrimRight = 20;
  info.TrimBottom = -15;
  info.CapturePerSecond = 15.1;
  tvq::WriteSlotSection(file, L"メモ帳 - 無題", info, nullptr);

  EXPECT_EQ(L"0.1500000000000000", ReadKey(file, L"メモ帳 - 無題", L"Pos_x"));
  EXPECT_EQ(L"-5", ReadKey(file, L"メモ帳 - 無題", L"TrimLeft"));
  EXPECT_EQ(L"<missing>", ReadKey(file, L"メモ帳 - 無題", L"FriendlyName"));

  const SCIInfo back = tvq::ReadSlotSection(file, L"メモ帳 - 無題", 5.0);
  EXPECT_NEAR(info.Pos_x, back.Pos_x, 1e-16);
  EXPECT_NEAR(info.Pos_y, back.Pos_y, 1e-16);
  EXPECT_NEAR(info.Width, back.Width, 1e-16);
  EXPECT_NEAR(info.Height, back.Height, 1e-16);
  EXPECT_EQ(-5, back.TrimLeft);
  EXPECT_EQ(7, back.TrimTop);
  EXPECT_EQ(20, back.TrimRight);
  EXPECT_EQ(-15, back.TrimBottom);
  EXPECT_NEAR(15.1, back.CapturePerSecond, 1e-15);
}

TEST(SlotSection, CameraSectionStartsWithTheFriendlyNameAndKeepsKeyOrder) {
  TempDir dir;
  const std::wstring file = dir.File(tvq::kCameraFileName);
  tvq::WriteSlotSection(file, L"Tessavue Filter", SCIInfo{}, L"Tessavue Filter");
  std::vector<std::wstring> keys;
  for (const auto& line : Lines(ReadTextFile(file))) {
    const auto eq = line.find(L'=');
    if (eq != std::wstring::npos) keys.push_back(line.substr(0, eq));
  }
  const std::vector<std::wstring> expected = {L"FriendlyName", L"Pos_x",     L"Pos_y",
                                              L"Width",        L"Height",    L"TrimLeft",
                                              L"TrimRight",    L"TrimTop",   L"TrimBottom",
                                              L"CapturePerSecond"};
  EXPECT_EQ(expected, keys);
}

TEST(SlotSection, DecimalsAreWrittenWithSixteenPlaces) {
  EXPECT_EQ(L"15.0000000000000000", tvq::FormatDecimal(15.0));
  EXPECT_EQ(L"0.2500000000000000", tvq::FormatDecimal(0.25));
  EXPECT_EQ(L"-0.0100000000000000", tvq::FormatDecimal(-0.01));
  EXPECT_FALSE(tvq::FormatDecimal(1e300).empty());
}

// A value as found under root, or how it was missing, so that before and after compare.
std::wstring Snapshot(HKEY root, const std::wstring& path, const wchar_t* name) {
  wchar_t text[1024] = L"";
  DWORD bytes = sizeof(text) - sizeof(wchar_t);
  const LSTATUS status = RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                                      nullptr, text, &bytes);
  return status == ERROR_SUCCESS ? std::wstring(L"value:") + text
                                 : L"status:" + std::to_wstring(status);
}

std::wstring FilterClassId() {
  wchar_t text[40] = L"";
  StringFromGUID2(tvq::CLSID_TessavueFilter, text, 40);
  return text;
}

// What this executable's cases write to HKCU and HKCR lands in a key of the tests' own: the
// developer's own settings value and the camera's class registration stay as they were.
TEST(TestIsolation, RegistryWritesNeverReachTheRealSettingsOrRegistrations) {
  const tvqtest::PrivateRegistry* registry = tvqtest::PrivateRegistry::Current();
  ASSERT_NE(nullptr, registry);
  ASSERT_TRUE(registry->CoversClasses());
  const std::wstring software = L"Software\\";
  const std::wstring settingsKey = tvq::kRegistryKeyPath;
  ASSERT_EQ(software, settingsKey.substr(0, software.size()));
  const std::wstring realSettingsKey = settingsKey.substr(software.size());
  const auto realSettings = [&] {
    return Snapshot(registry->RealUserSoftware(), realSettingsKey, tvq::kIniFilePathValue);
  };
  const auto realClass = [&] { return Snapshot(registry->RealClassIds(), FilterClassId(), nullptr); };
  const std::wstring settingsBefore = realSettings();
  const std::wstring classBefore = realClass();

  tvq::RecordPathsInRegistry(L"C:\\isolated\\Tessavue.ini", L"C:\\isolated\\TessavueManager.exe");
  const std::wstring classKey = L"CLSID\\" + FilterClassId();
  const wchar_t name[] = L"Isolated Filter";
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CLASSES_ROOT, classKey.c_str(), nullptr, REG_SZ,
                                           name, sizeof(name)));

  // This process sees its own writes...
  EXPECT_EQ(L"value:C:\\isolated\\Tessavue.ini",
            Snapshot(HKEY_CURRENT_USER, settingsKey, tvq::kIniFilePathValue));
  EXPECT_EQ(L"value:Isolated Filter", Snapshot(HKEY_CLASSES_ROOT, classKey, nullptr));
  // ...and the real keys do not.
  EXPECT_EQ(settingsBefore, realSettings());
  EXPECT_EQ(classBefore, realClass());
  EXPECT_NE(L"value:C:\\isolated\\Tessavue.ini", settingsBefore);
}

}  // namespace
