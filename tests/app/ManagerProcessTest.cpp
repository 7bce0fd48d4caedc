// The real TessavueManager.exe, run from a copy in a folder of its own and watched from outside
// the process: its files, registry record, channel objects, window, menu, About box and exit.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/ChildProcess.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"

namespace {

using tvqtest::ChildProcess;
using tvqtest::TempDir;
using tvqtest::WaitUntil;

constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr DWORD kDialogTimeoutMs = 5000;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring BuiltManagerPath() {
  return FolderOf(tvqtest::OwnExecutablePath()) + L"\\TessavueManager.exe";
}

// build/artifacts, beside the bin folder that holds this test.
std::wstring ArtifactFolder() {
  const std::wstring folder = FolderOf(FolderOf(tvqtest::OwnExecutablePath())) + L"\\artifacts";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// One run of a copy of the Manager in its own folder.
class ManagerRun {
 public:
  explicit ManagerRun(const TempDir& folder) : m_folder(folder.Path()) {
    m_exePath = folder.File(L"TessavueManager.exe");
    m_copied = CopyFileW(BuiltManagerPath().c_str(), m_exePath.c_str(), FALSE) != FALSE;
    if (m_copied) m_process = ChildProcess::Start(tvqtest::QuoteArgument(m_exePath), m_folder);
  }

  // The main window once it is shown, that is once its start-up sequence has run.
  bool WaitForWindow() {
    if (!m_process.IsValid()) return false;
    return WaitUntil(
        [this] {
          m_window = FindOwnWindow(L"TESSAVUEMANAGER", L"TessavueManager");
          return m_window != nullptr && IsWindowVisible(m_window);
        },
        kWindowTimeoutMs);
  }

  // Waits for the end of the process; false when it did not end in time.
  bool WaitForExit(DWORD* exitCode) { return m_process.Wait(kExitTimeoutMs, exitCode); }

  bool CloseAndWait(DWORD* exitCode) {
    PostMessageW(m_window, WM_CLOSE, 0, 0);
    return WaitForExit(exitCode);
  }

  // A visible dialog of the Manager's GUI thread (the About box), or null.
  HWND FindDialog() const {
    struct Search {
      HWND found = nullptr;
    } search;
    const DWORD thread = GetWindowThreadProcessId(m_window, nullptr);
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM data) -> BOOL {
          wchar_t className[32] = L"";
          GetClassNameW(window, className, 32);
          if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
          reinterpret_cast<Search*>(data)->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  bool Copied() const { return m_copied; }
  HWND Window() const { return m_window; }
  const std::wstring& ExePath() const { return m_exePath; }
  std::wstring File(const wchar_t* name) const { return m_folder + L"\\" + name; }

 private:
  HWND FindOwnWindow(const wchar_t* className, const wchar_t* title) const {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, title)) != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process == m_process.Id()) return window;
    }
    return nullptr;
  }

  std::wstring m_folder;
  std::wstring m_exePath;
  bool m_copied = false;
  ChildProcess m_process;
  HWND m_window = nullptr;
};

// The registry value as the filter reads it: the terminator is not stored, so the buffer is
// zero-filled.
std::wstring ReadRecordedPath(const wchar_t* valueName, DWORD* type) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\qarro_lim\\Tessavue", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return L"<no key>";
  }
  wchar_t data[261] = {};
  DWORD bytes = 520;
  const LONG result =
      RegQueryValueExW(key, valueName, nullptr, type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::wstring(data) : L"<no value>";
}

std::vector<std::wstring> NonEmptyLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (wchar_t c : text + L"\n") {
    if (c == L'\r') continue;
    if (c != L'\n') {
      line += c;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    line.clear();
  }
  return lines;
}

// What another process sees of a channel object: the section's real size (whole pages) and its
// first bytes; mutexExists tells whether "Mutex of <name>" exists too.
struct ChannelObjectView {
  bool opened = false;
  SIZE_T regionSize = 0;
  std::vector<unsigned char> head;
  bool mutexExists = false;
};

ChannelObjectView OpenChannelObject(const wchar_t* name, size_t headBytes) {
  ChannelObjectView result;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (mapping != nullptr) {
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    MEMORY_BASIC_INFORMATION info{};
    if (view != nullptr && VirtualQuery(view, &info, sizeof(info)) == sizeof(info)) {
      result.opened = true;
      result.regionSize = info.RegionSize;
      const auto* bytes = static_cast<const unsigned char*>(view);
      result.head.assign(bytes, bytes + headBytes);
    }
    if (view != nullptr) UnmapViewOfFile(view);
    CloseHandle(mapping);
  }
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, (std::wstring(L"Mutex of ") + name).c_str());
  result.mutexExists = mutex != nullptr;
  if (mutex != nullptr) CloseHandle(mutex);
  return result;
}

SIZE_T WholePages(SIZE_T bytes) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  return (bytes + system.dwPageSize - 1) / system.dwPageSize * system.dwPageSize;
}

std::wstring MenuText(HMENU menu, UINT item, UINT flags) {
  wchar_t text[100] = L"";
  GetMenuStringW(menu, item, text, 100, flags);
  return text;
}

INPUT Key(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

// Real keystrokes: they go to the foreground window, as the user's would. False when target did
// not become the foreground window in time.
bool PressKeys(HWND target, const std::vector<WORD>& held, WORD key) {
  if (!WaitUntil([&] { return SetForegroundWindow(target) && GetForegroundWindow() == target; },
                 kDialogTimeoutMs)) {
    return false;
  }
  std::vector<INPUT> inputs;
  for (WORD k : held) inputs.push_back(Key(k, false));
  inputs.push_back(Key(key, false));
  inputs.push_back(Key(key, true));
  for (auto it = held.rbegin(); it != held.rend(); ++it) inputs.push_back(Key(*it, true));
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
         inputs.size();
}

// 24-bit top-down copy of a device context's area.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> bgr;  // rows padded to 4 bytes, top row first

  int Stride() const { return (width * 3 + 3) / 4 * 4; }
  COLORREF At(int x, int y) const {
    const unsigned char* p = &bgr[static_cast<size_t>(y) * Stride() + x * 3];
    return RGB(p[2], p[1], p[0]);
  }
};

Picture Grab(HDC source, int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.bgr.assign(static_cast<size_t>(picture.Stride()) * height, 0);
  BITMAPINFO info{};
  info.bmiHeader = tvqtest::BitmapHeader(width, -height, 24);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(source);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  GdiFlush();
  memcpy(picture.bgr.data(), bits, picture.bgr.size());
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  return picture;
}

Picture GrabClient(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  Picture picture = Grab(dc, client.right, client.bottom);
  ReleaseDC(window, dc);
  return picture;
}

Picture GrabWholeWindow(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  HDC dc = GetWindowDC(window);
  Picture picture = Grab(dc, bounds.right - bounds.left, bounds.bottom - bounds.top);
  ReleaseDC(window, dc);
  return picture;
}

bool SaveBmp(const Picture& picture, const std::wstring& path) {
  BITMAPINFOHEADER header = tvqtest::BitmapHeader(picture.width, -picture.height, 24);
  header.biSizeImage = static_cast<DWORD>(picture.bgr.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  fwrite(&file, sizeof(file), 1, out);
  fwrite(&header, sizeof(header), 1, out);
  fwrite(picture.bgr.data(), 1, picture.bgr.size(), out);
  return fclose(out) == 0;
}

// The preview shows the canvas, black until a source is composed, in the bottom-right quarter;
// the rest of the client area is the window background.
bool ShowsBlackPreviewInBottomRightQuarter(const Picture& client) {
  if (client.width < 8 || client.height < 8) return false;
  const int hw = client.width / 2;
  const int hh = client.height / 2;
  const COLORREF background = GetSysColor(COLOR_WINDOW);
  return client.At(hw + 2, hh + 2) == RGB(0, 0, 0) &&
         client.At(client.width - 2, client.height - 2) == RGB(0, 0, 0) &&
         client.At(hw - 2, hh + 2) == background && client.At(hw + 2, hh - 2) == background &&
         client.At(hw - 2, hh - 2) == background;
}

TEST(ManagerProcess, FirstStartWritesSettingsRecordsPathsAndOpensTheChannel) {
  TempDir folder;
  ManagerRun run(folder);
  ASSERT_TRUE(run.Copied());
  ASSERT_TRUE(run.WaitForWindow());

  const std::vector<std::wstring> expectedIni = {
      L"[Tessavue]", L"MaxNumOfCaptureDev=8", L"[Video]",
      L"Width=1024",  L"Height=768",          L"FramePerSecond=15.0000000000000000"};
  EXPECT_EQ(expectedIni, NonEmptyLines(tvqtest::ReadTextFile(run.File(L"Tessavue.ini"))));

  DWORD type = 0;
  EXPECT_EQ(run.File(L"Tessavue.ini"), ReadRecordedPath(L"IniFilePath", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
  EXPECT_EQ(run.ExePath(), ReadRecordedPath(L"TVQManagerPath", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);

  const ChannelObjectView format = OpenChannelObject(L"TVQ_BIH_SharedMemory", 40);
  ASSERT_TRUE(format.opened);
  EXPECT_EQ(WholePages(40), format.regionSize);
  EXPECT_EQ(std::vector<unsigned char>(40, 0), format.head);  // only the filter writes a format
  EXPECT_TRUE(format.mutexExists);

  const ChannelObjectView interval = OpenChannelObject(L"TVQ_TimePerFrame_SharedMemory", 8);
  ASSERT_TRUE(interval.opened);
  EXPECT_EQ(WholePages(8), interval.regionSize);
  EXPECT_TRUE(interval.mutexExists);

  const ChannelObjectView pixels = OpenChannelObject(L"TVQ_Data_SharedMemory", 0);
  ASSERT_TRUE(pixels.opened);
  EXPECT_EQ(WholePages(1024 * 3 * 768), pixels.regionSize);
  EXPECT_TRUE(pixels.mutexExists);

  DWORD exitCode = 1234;
  ASSERT_TRUE(run.CloseAndWait(&exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(ManagerProcess, ExistingSettingsFileIsKeptAndSizesTheCanvas) {
  TempDir folder;
  // A width of 5 pads each row from 15 to 16 bytes: 4096 rows make whole pages either way, so
  // the section size shows whether the padding was counted. A rate of 0 must not stop the timer.
  const std::string settings =
      "[Tessavue]\r\nMaxNumOfCaptureDev=3\r\n[Video]\r\nWidth=5\r\nHeight=4096\r\n"
      "FramePerSecond=0\r\n";
  tvqtest::WriteTextFile(folder.File(L"Tessavue.ini"), settings);
  ManagerRun run(folder);
  ASSERT_TRUE(run.Copied());
  ASSERT_TRUE(run.WaitForWindow());

  const ChannelObjectView pixels = OpenChannelObject(L"TVQ_Data_SharedMemory", 0);
  ASSERT_TRUE(pixels.opened);
  EXPECT_EQ(static_cast<SIZE_T>(16 * 4096), pixels.regionSize);

  DWORD exitCode = 1234;
  ASSERT_TRUE(run.CloseAndWait(&exitCode));
  EXPECT_EQ(0u, exitCode);
  EXPECT_EQ(std::wstring(settings.begin(), settings.end()),
            tvqtest::ReadTextFile(folder.File(L"Tessavue.ini")));
}

TEST(ManagerProcess, ShowsTheTitledWindowWithItsJapaneseMenuAndThePreview) {
  TempDir folder;
  ManagerRun run(folder);
  ASSERT_TRUE(run.Copied());
  ASSERT_TRUE(run.WaitForWindow());
  HWND window = run.Window();

  wchar_t title[100] = L"";
  GetWindowTextW(window, title, 100);
  EXPECT_STREQ(L"TessavueManager", title);

  // Wine keeps menus inside their process: from here only the window's menu handle is visible,
  // so the texts are read from the menu resource the window class names, in the copied program.
  EXPECT_NE(nullptr, GetMenu(window));
  HMODULE program = LoadLibraryExW(run.ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  HMENU menu = LoadMenuW(program, MAKEINTRESOURCEW(109));
  ASSERT_NE(nullptr, menu);
  // The scenes' popup stands between the two; its items are made when it opens.
  ASSERT_EQ(3, GetMenuItemCount(menu));
  EXPECT_EQ(L"ファイル(&F)", MenuText(menu, 0, MF_BYPOSITION));
  EXPECT_EQ(L"シーン(&S)", MenuText(menu, 1, MF_BYPOSITION));
  EXPECT_EQ(L"ヘルプ(&H)", MenuText(menu, 2, MF_BYPOSITION));
  HMENU file = GetSubMenu(menu, 0);
  HMENU help = GetSubMenu(menu, 2);
  EXPECT_EQ(1, GetMenuItemCount(file));
  EXPECT_EQ(L"アプリケーションの終了(&X)", MenuText(file, 105, MF_BYCOMMAND));
  EXPECT_EQ(1, GetMenuItemCount(help));
  EXPECT_EQ(L"バージョン情報(&A)...", MenuText(help, 104, MF_BYCOMMAND));
  DestroyMenu(menu);
  FreeLibrary(program);

  SetForegroundWindow(window);
  EXPECT_TRUE(WaitUntil([&] { return ShowsBlackPreviewInBottomRightQuarter(GrabClient(window)); },
                        kWindowTimeoutMs));
  EXPECT_TRUE(SaveBmp(GrabWholeWindow(window), ArtifactFolder() + L"\\manager.bmp"));

  DWORD exitCode = 1234;
  ASSERT_TRUE(run.CloseAndWait(&exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(ManagerProcess, AboutBoxOpensFromAltKeysAndTheMenuAndClosesWithEscEnterAndOk) {
  TempDir folder;
  ManagerRun run(folder);
  ASSERT_TRUE(run.Copied());
  ASSERT_TRUE(run.WaitForWindow());
  HWND window = run.Window();
  HWND dialog = nullptr;
  auto opened = [&] { return (dialog = run.FindDialog()) != nullptr; };
  auto closed = [&] { return run.FindDialog() == nullptr; };

  // Alt with "?": on this keyboard Shift with the "/" key.
  ASSERT_TRUE(PressKeys(window, {VK_MENU, VK_SHIFT}, VK_OEM_2));
  ASSERT_TRUE(WaitUntil(opened, kDialogTimeoutMs));
  EXPECT_EQ(window, GetWindow(dialog, GW_OWNER));
  wchar_t text[100] = L"";
  GetDlgItemTextW(dialog, 1000, text, 100);
  EXPECT_STREQ(L"TessavueManager", text);
  GetDlgItemTextW(dialog, 1001, text, 100);
  EXPECT_STREQ(L"バージョン 1.0", text);
  ASSERT_TRUE(PressKeys(dialog, {}, VK_ESCAPE));
  ASSERT_TRUE(WaitUntil(closed, kDialogTimeoutMs));

  ASSERT_TRUE(PressKeys(window, {VK_MENU}, VK_OEM_2));  // Alt with "/"
  ASSERT_TRUE(WaitUntil(opened, kDialogTimeoutMs));
  ASSERT_TRUE(PressKeys(dialog, {}, VK_RETURN));
  ASSERT_TRUE(WaitUntil(closed, kDialogTimeoutMs));

  PostMessageW(window, WM_COMMAND, MAKEWPARAM(104, 0), 0);  // the menu item
  ASSERT_TRUE(WaitUntil(opened, kDialogTimeoutMs));
  SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil(closed, kDialogTimeoutMs));

  // The exit item ends the program like closing the window does.
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(105, 0), 0);
  DWORD exitCode = 1234;
  ASSERT_TRUE(run.WaitForExit(&exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(ManagerProcess, RunFromAnotherFolderPointsTheRegistryThere) {
  TempDir first;
  TempDir second;
  DWORD exitCode = 1234;
  {
    ManagerRun run(first);
    ASSERT_TRUE(run.WaitForWindow());
    ASSERT_TRUE(run.CloseAndWait(&exitCode));
  }
  DWORD type = 0;
  ASSERT_EQ(first.File(L"Tessavue.ini"), ReadRecordedPath(L"IniFilePath", &type));

  ManagerRun run(second);
  ASSERT_TRUE(run.WaitForWindow());
  EXPECT_EQ(second.File(L"Tessavue.ini"), ReadRecordedPath(L"IniFilePath", &type));
  EXPECT_EQ(second.File(L"TessavueManager.exe"), ReadRecordedPath(L"TVQManagerPath", &type));
  EXPECT_TRUE(tvqtest::FileExists(second.File(L"Tessavue.ini")));
  ASSERT_TRUE(run.CloseAndWait(&exitCode));
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
