// The installer as a user runs it, silently, in a prefix of its own: refused picture options,
// install, the installed Manager with a real client, a refused install while it runs, reinstalls
// (plain, and with a picture and the start at sign-in), the uninstall.
// The Installer cases run in this order in one process and build on what the case before left
// (tests/install/CMakeLists.txt starts the process in a fresh prefix).

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <uuids.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TessavueVersion.h"
#include "channel/ChannelNames.h"
#include "filter/FilterIdentity.h"
#include "manager/composition/CCompositor.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/ComApartment.h"
#include "tests/common/Ffmpeg.h"
#include "tests/common/FfmpegLocator.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/common/TempDir.h"
#include "tests/filter/DeviceList.h"

namespace {

using tvqtest::ChildProcess;
using tvqtest::FileExists;

constexpr DWORD kSetupTimeoutMs = 120000;
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessavue";
const wchar_t* const kSettingsFiles[] = {L"Tessavue.ini", L"TVQ_CaptureVideo.ini",
                                         L"TVQ_CaptureWindow.ini", L"TVQ_CaptureDesktop.ini",
                                         L"TVQ_CaptureImage.ini", L"TVQ_CaptureText.ini"};
const wchar_t* const kProgramFiles[] = {L"TessavueManager.exe", L"TVQDirectShowFilter.dll",
                                        L"Uninstall.exe"};

std::wstring BinFolder() {
  std::wstring path = tvqtest::OwnExecutablePath();
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  CoTaskMemFree(path);
  return result;
}

std::wstring InstallFolder() { return KnownFolder(FOLDERID_ProgramFiles) + L"\\Tessavue"; }
std::wstring Installed(const std::wstring& name) { return InstallFolder() + L"\\" + name; }
std::wstring Shortcut() { return KnownFolder(FOLDERID_CommonPrograms) + L"\\Tessavue Manager.lnk"; }
// The installing user's, not the common one: the sign-in start is a personal choice.
std::wstring StartupShortcut() {
  return KnownFolder(FOLDERID_Startup) + L"\\Tessavue Manager.lnk";
}

// Runs a command line to its end; the exit code, or 0xFFFFFFFF when it did not end in time.
DWORD RunToEnd(const std::wstring& commandLine) {
  ChildProcess process = ChildProcess::Start(commandLine, L"");
  DWORD exitCode = 0xFFFFFFFF;
  if (!process.Wait(kSetupTimeoutMs, &exitCode)) return 0xFFFFFFFF;
  return exitCode;
}

// The installer the build made, unless TVQ_SETUP names another (the signed package's test).
std::wstring SetupPath() {
  const std::wstring named = tvqtest::FilePathFromEnvironment("TVQ_SETUP");
  return named.empty() ? BinFolder() + L"\\..\\dist\\" TVQ_SETUP_NAME : named;
}

DWORD RunSetup(const std::wstring& options = L"") {
  return RunToEnd(tvqtest::QuoteArgument(SetupPath()) + L" /S " + options);
}

// The picture keys of the installed settings file as "Width Height FramePerSecond".
std::wstring InstalledPicture() {
  std::wstring picture;
  for (const wchar_t* key : {L"Width", L"Height", L"FramePerSecond"}) {
    wchar_t text[64] = L"";
    GetPrivateProfileStringW(L"Video", key, L"", text, 64, Installed(L"Tessavue.ini").c_str());
    picture += (picture.empty() ? L"" : L" ") + std::wstring(text);
  }
  return picture;
}

struct RegValue {
  bool found = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The raw bytes as stored: RegGetValue would supply a missing terminator.
RegValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    value.found = RegQueryValueExW(key, name, nullptr, nullptr, value.data.data(), &size) ==
                  ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return value;
}

std::wstring AsText(const RegValue& value) {
  return std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()),
                      value.data.size() / sizeof(wchar_t));
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring FilterClassKey() {
  wchar_t clsid[40] = L"";
  StringFromGUID2(tvq::CLSID_TessavueFilter, clsid, 40);
  return std::wstring(L"CLSID\\") + clsid;
}

struct ShortcutFields {
  std::wstring target;
  int showCommand = 0;
};

ShortcutFields ReadShortcut(const std::wstring& shortcut) {
  Microsoft::WRL::ComPtr<IShellLinkW> link;
  Microsoft::WRL::ComPtr<IPersistFile> file;
  wchar_t target[MAX_PATH] = L"";
  ShortcutFields fields;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&link))) &&
      SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ))) {
    link->GetPath(target, MAX_PATH, nullptr, 0);
  }
  fields.target = target;
  // Read from the file's header (ShowCommand at offset 0x3C of its 0x4C bytes): Wine's
  // IShellLinkW::GetShowCmd answers SW_SHOWNORMAL whatever the file holds.
  const std::string bytes = tvqtest::ReadBytes(shortcut);
  if (bytes.size() >= 0x4C) std::memcpy(&fields.showCommand, bytes.data() + 0x3C, sizeof(DWORD));
  return fields;
}

std::wstring ShortcutTarget(const std::wstring& shortcut) { return ReadShortcut(shortcut).target; }

bool ListsTessavueFilter(const std::wstring& ffmpeg, const tvqtest::TempDir& dir) {
  const tvqtest::FfmpegRun run =
      tvqtest::RunFfmpeg(ffmpeg, L"-f dshow -list_devices true -i dummy", dir);
  return run.log.find("\"Tessavue Filter\"") != std::string::npos;
}

// The largest size and rate in ffmpeg's listing of what the camera offers, as "WxH fps=R".
std::string OfferedMaximum(const std::wstring& ffmpeg, const tvqtest::TempDir& dir) {
  const std::string log =
      tvqtest::RunFfmpeg(ffmpeg, L"-f dshow -list_options true -i video=\"Tessavue Filter\"", dir)
          .log;
  const size_t start = log.find("max s=");
  if (start == std::string::npos) return log;
  const size_t end = log.find_first_of("\r\n", start);
  return log.substr(start + 6, end - start - 6);
}

// The installed Manager as a shortcut starts it: the Start menu's unless told otherwise.
class InstalledManager {
 public:
  bool Start(const std::wstring& shortcut = Shortcut()) {
    const ShortcutFields fields = ReadShortcut(shortcut);
    m_process = ChildProcess::Start(tvqtest::QuoteArgument(fields.target), InstallFolder(),
                                    fields.showCommand);
    return tvqtest::WaitUntil([this] { return Window() != nullptr; }, 15000);
  }
  // Fills the selected slot with the desktop, on which the Manager's own window shows.
  void FillWithDesktop() const {
    PostMessageW(Window(), WM_KEYDOWN, 'D', 1);
    PostMessageW(Window(), WM_KEYUP, 'D', 0xC0000001);
  }
  HWND Window() const { return FindWindowW(L"TESSAVUEMANAGER", nullptr); }
  bool Close() {
    PostMessageW(Window(), WM_CLOSE, 0, 0);
    return m_process.Wait(15000, nullptr);
  }

 private:
  ChildProcess m_process;
};

class Installer : public testing::Test {
 protected:
  void SetUp() override {
    if constexpr (!TVQ_HAVE_INSTALLER) {
      GTEST_SKIP() << "makensis was not found when the build was configured, so there is no "
                      "installer to test: install Debian's nsis (scripts/setup does) and rebuild";
    }
    // Installs for the whole machine: only in a throwaway prefix, never on a developer's desk.
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
  }

  tvqtest::ComApartment m_com;
  tvqtest::TempDir m_dir;
};

// Runs first, in the fresh prefix: a refused option must leave nothing behind. Exit code 3 is
// shared with a failed registration, which cannot happen without anything installed.
TEST_F(Installer, RefusesAMalformedOrOutOfRangePictureBeforeChangingAnything) {
  const wchar_t* const refused[] = {
      L"/VIDEO",           L"/VIDEO=",           L"/VIDEO=1920x1080",  L"/VIDEO=1920x1080@",
      L"/VIDEO=x1080@30",  L"/VIDEO=1920X1080@30", L"/VIDEO=1920x1080@29.97",
      L"/VIDEO=-640x480@30", L"/VIDEO=+640x480@30", L"/VIDEO=0x480@30",  L"/VIDEO=4097x480@30",
      L"/VIDEO=640x4097@30", L"/VIDEO=640x480@0", L"/VIDEO=640x480@121", L"/VIDEO=0640x480@30",
      L"/VIDEO=99999999999x1@1", L"/VIDEO=640x480@30fps", L"/VIDEO=640 x480@30"};
  for (const wchar_t* option : refused) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(option)));
    EXPECT_EQ(3u, RunSetup(option));
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(InstallFolder().c_str()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, tvq::kIniFilePathValue).found);
  EXPECT_FALSE(FileExists(StartupShortcut()));
}

TEST_F(Installer, SilentInstallPutsFilesRegistryShortcutAndUninstallEntryInPlace) {
  ASSERT_FALSE(FileExists(Installed(L"TessavueManager.exe"))) << "the prefix is not fresh";
  ASSERT_EQ(0u, RunSetup());

  for (const wchar_t* name : kProgramFiles) EXPECT_TRUE(FileExists(Installed(name))) << name;
  for (const wchar_t* name : kSettingsFiles) EXPECT_TRUE(FileExists(Installed(name))) << name;
  // The picture call applications expect, not the program's built-in 1024 x 768 at 15.
  EXPECT_EQ(L"1280 720 30.0000000000000000", InstalledPicture());
  EXPECT_EQ(1u, GetPrivateProfileIntW(L"Tessavue", L"RestoreSlots", 0,
                                      Installed(L"Tessavue.ini").c_str()));
  EXPECT_FALSE(FileExists(StartupShortcut())) << "the start at sign-in is off by default";

  // As the Manager writes it: no terminating NUL in the data.
  const RegValue iniPath =
      ReadValue(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, tvq::kIniFilePathValue);
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), iniPath.type);
  EXPECT_EQ(Installed(L"Tessavue.ini"), AsText(iniPath));

  const RegValue server =
      ReadValue(HKEY_CLASSES_ROOT, FilterClassKey() + L"\\InprocServer32", nullptr);
  EXPECT_EQ(Installed(L"TVQDirectShowFilter.dll"), AsText(server).c_str());
  EXPECT_EQ(Installed(L"TessavueManager.exe"), ShortcutTarget(Shortcut()));

  const struct {
    const wchar_t* name;
    std::wstring expected;
  } entries[] = {{L"DisplayName", L"Tessavue"},
                 {L"DisplayVersion", L"" TVQ_VERSION_STRING},
                 {L"Publisher", L"Tessavue"},
                 {L"InstallLocation", InstallFolder()},
                 {L"DisplayIcon", Installed(L"TessavueManager.exe") + L",0"},
                 {L"UninstallString", L"\"" + Installed(L"Uninstall.exe") + L"\""},
                 {L"QuietUninstallString", L"\"" + Installed(L"Uninstall.exe") + L"\" /S"}};
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.name);
    const RegValue value = ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, entry.name);
    EXPECT_EQ(entry.expected, AsText(value).c_str());
  }
  const RegValue size = ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize");
  ASSERT_EQ(static_cast<DWORD>(REG_DWORD), size.type);
  EXPECT_GT(*reinterpret_cast<const DWORD*>(size.data.data()), 100u);  // kilobytes
}

TEST_F(Installer, TheShortcutsManagerFeedsFfmpegAtTheSizeItAsksFor) {
  const std::wstring ffmpeg = tvqtest::FfmpegPath();
  if (ffmpeg.empty()) GTEST_SKIP() << "ffmpeg.exe not found: TVQ_FFMPEG must name it";
  EXPECT_TRUE(ListsTessavueFilter(ffmpeg, m_dir));
  EXPECT_EQ("1280x720 fps=30", OfferedMaximum(ffmpeg, m_dir));
  InstalledManager manager;
  ASSERT_TRUE(manager.Start());
  manager.FillWithDesktop();

  const tvqtest::FfmpegRun run = tvqtest::RunFfmpeg(
      ffmpeg,
      L"-y -f dshow -video_size 320x240 -i video=\"Tessavue Filter\" -frames:v 10 "
      L"-f rawvideo -pix_fmt bgr24 frames.raw",
      m_dir);
  ASSERT_TRUE(run.finished) << run.log;
  const std::string frames = tvqtest::ReadBytes(m_dir.File(L"frames.raw"));
  constexpr size_t kFrame = 320 * 3 * 240;
  ASSERT_EQ(10 * kFrame, frames.size()) << run.log;
  // Without the Manager the camera delivers black; its desktop slot shows its own window.
  const std::string last = frames.substr(9 * kFrame);
  EXPECT_NE(std::string::npos, last.find_first_not_of('\0'))
      << "the last frame did not come from the Manager";

  // The Manager ran from the installed copy and recorded where it is.
  const RegValue managerPath =
      ReadValue(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, L"TVQManagerPath");
  EXPECT_EQ(Installed(L"TessavueManager.exe"), AsText(managerPath));
  EXPECT_TRUE(manager.Close());
}

TEST_F(Installer, RefusesWhileTheManagerRunsAndChangesNothing) {
  InstalledManager manager;
  ASSERT_TRUE(manager.Start());
  DeleteFileW(Installed(L"TVQ_CaptureWindow.ini").c_str());
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher");

  EXPECT_NE(0u, RunSetup());
  EXPECT_FALSE(FileExists(Installed(L"TVQ_CaptureWindow.ini")));
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher").found);
  EXPECT_TRUE(manager.Close());
}

TEST_F(Installer, InstallingAgainKeepsChangedSettings) {
  const std::wstring ini = Installed(L"Tessavue.ini");
  ASSERT_TRUE(WritePrivateProfileStringW(L"Video", L"Width", L"800", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Video", L"Height", L"450", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Video", L"FramePerSecond", L"24", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Tessavue", L"RestoreSlots", L"0", ini.c_str()));
  const std::wstring before = tvqtest::ReadTextFile(ini);

  ASSERT_EQ(0u, RunSetup());
  EXPECT_EQ(before, tvqtest::ReadTextFile(ini));
  // What the refused install left missing is back.
  EXPECT_TRUE(FileExists(Installed(L"TVQ_CaptureWindow.ini")));
  EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher").found);
  EXPECT_FALSE(FileExists(StartupShortcut()));
}

TEST_F(Installer, PictureAndAutoStartOptionsConfigureTheCameraAndAMinimizedStart) {
  const std::wstring ini = Installed(L"Tessavue.ini");
  ASSERT_EQ(0u, RunSetup(L"/VIDEO=1920x1080@60 /AUTOSTART"));
  EXPECT_EQ(L"1920 1080 60.0000000000000000", InstalledPicture());
  EXPECT_EQ(8u, GetPrivateProfileIntW(L"Tessavue", L"MaxNumOfCaptureDev", 0, ini.c_str()));
  // The reinstall before kept the 0 written there.
  EXPECT_EQ(0u, GetPrivateProfileIntW(L"Tessavue", L"RestoreSlots", 7, ini.c_str()));

  const ShortcutFields startup = ReadShortcut(StartupShortcut());
  EXPECT_EQ(Installed(L"TessavueManager.exe"), startup.target);
  // What Windows stores for a shortcut set to run minimized.
  EXPECT_EQ(SW_SHOWMINNOACTIVE, startup.showCommand);
  InstalledManager manager;
  ASSERT_TRUE(manager.Start(StartupShortcut()));
  EXPECT_TRUE(tvqtest::WaitUntil([&] { return IsIconic(manager.Window()) != FALSE; }, 5000));
  EXPECT_TRUE(manager.Close());

  const std::wstring ffmpeg = tvqtest::FfmpegPath();
  if (!ffmpeg.empty()) {
    // 10,000,000 / 166,666: the interval of 60 frames a second, truncated.
    EXPECT_EQ("1920x1080 fps=60.0002", OfferedMaximum(ffmpeg, m_dir));
  }

  // A silent reinstall without the options keeps both.
  const std::wstring before = tvqtest::ReadTextFile(ini);
  ASSERT_EQ(0u, RunSetup());
  EXPECT_EQ(before, tvqtest::ReadTextFile(ini));
  EXPECT_TRUE(FileExists(StartupShortcut()));
}

TEST_F(Installer, SilentUninstallRemovesAllButTheSettings) {
  const RegValue quiet = ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString");
  ASSERT_TRUE(quiet.found);
  ASSERT_EQ(0u, RunToEnd(AsText(quiet).c_str()));
  // The uninstaller runs on from a copy in the temporary folder; its last act removes itself.
  ASSERT_TRUE(tvqtest::WaitUntil([] { return !FileExists(Installed(L"Uninstall.exe")); },
                                 kSetupTimeoutMs));

  for (const wchar_t* name : kProgramFiles) EXPECT_FALSE(FileExists(Installed(name))) << name;
  for (const wchar_t* name : kSettingsFiles) EXPECT_TRUE(FileExists(Installed(name))) << name;
  EXPECT_FALSE(FileExists(Shortcut()));
  EXPECT_FALSE(FileExists(StartupShortcut()));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, FilterClassKey()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, tvq::kIniFilePathValue).found);
  for (REFGUID category : {CLSID_VideoInputDeviceCategory, tvqtest::kLegacyFilterCategory,
                           tvqtest::kKsCaptureCategory}) {
    EXPECT_TRUE(tvqtest::EntriesFor(category, tvq::CLSID_TessavueFilter).empty());
  }
  const std::wstring ffmpeg = tvqtest::FfmpegPath();
  if (!ffmpeg.empty()) {
    EXPECT_FALSE(ListsTessavueFilter(ffmpeg, m_dir));
  }
}

// Needs no installer: the version records and the manifest of the binaries just built.
TEST(Binaries, ReportTheProjectVersionAndTheManagerDeclaresDpiAwareness) {
  for (const wchar_t* name : {L"TessavueManager.exe", L"TVQDirectShowFilter.dll"}) {
    SCOPED_TRACE(name);
    const std::wstring path = BinFolder() + L"\\" + name;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(TVQ_VERSION_MINOR, TVQ_VERSION_MAJOR)),
              fixed->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, TVQ_VERSION_PATCH)), fixed->dwProductVersionLS);
    const struct {
      const wchar_t* key;
      std::wstring expected;
    } strings[] = {{L"ProductName", L"Tessavue"},
                   {L"FileVersion", L"" TVQ_VERSION_STRING},
                   {L"OriginalFilename", name}};
    for (const auto& s : strings) {
      wchar_t* text = nullptr;
      const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + s.key;
      ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text),
                                 &length))
          << s.key;
      EXPECT_EQ(s.expected, text);
    }
  }

  HMODULE manager = LoadLibraryExW((BinFolder() + L"\\TessavueManager.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, manager);
  HRSRC found = FindResourceW(manager, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, found);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(manager, found))),
                             SizeofResource(manager, found));
  FreeLibrary(manager);
  EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
  EXPECT_NE(std::string::npos, manifest.find(">true/pm</dpiAware>"));
  EXPECT_NE(std::string::npos, manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"));
}

}  // namespace
