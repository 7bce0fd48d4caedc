#include "tests/reliability/RealManager.h"

#include <cstring>

#include "channel/ChannelNames.h"
#include "common/Lifetime.h"
#include "tests/common/TempDir.h"

namespace tvqtest {
namespace {

constexpr DWORD kWindowTimeoutMs = 15000;
constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kAppDataValue[] = L"AppData";
constexpr DWORD kExitTimeoutMs = 15000;

// The stamped build is the same program publishing a BenchStamp in every frame.
std::wstring BuiltManagerPath(bool stampFrames) {
  std::wstring path = OwnExecutablePath();
  path.resize(path.find_last_of(L'\\'));
  return path + (stampFrames ? L"\\TessavueManagerStamped.exe" : L"\\TessavueManager.exe");
}

// lParam of a key message: repeat count 1, bit 30 the previous state, bit 31 the transition.
LPARAM KeyData(bool wasDown, bool up) {
  LPARAM data = 1;
  if (wasDown) data |= LPARAM(1) << 30;
  if (up) data |= LPARAM(1) << 31;
  return data;
}

}  // namespace

RealManager::RealManager(const std::wstring& folder, const std::string& settings)
    : m_folder(folder), m_exePath(folder + L"\\TessavueManager.exe") {
  if (!settings.empty()) WriteTextFile(File(L"Tessavue.ini"), settings);
}

RealManager::~RealManager() { m_process.Kill(); }

bool RealManager::Start(bool stampFrames) {
  if (!CopyFileW(BuiltManagerPath(stampFrames).c_str(), m_exePath.c_str(), FALSE)) return false;
  m_process = ChildProcess::Start(QuoteArgument(m_exePath), m_folder);
  if (!m_process.IsValid()) return false;
  return WaitUntil(
      [this] {
        m_window = FindOwnWindow();
        return m_window != nullptr && IsWindowVisible(m_window);
      },
      kWindowTimeoutMs);
}

HWND RealManager::FindOwnWindow() const {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"TESSAVUEMANAGER", nullptr)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == m_process.Id()) return window;
  }
  return nullptr;
}

void RealManager::PressKey(UINT virtualKey) {
  PostMessageW(m_window, WM_KEYDOWN, virtualKey, KeyData(false, false));
  PostMessageW(m_window, WM_KEYUP, virtualKey, KeyData(true, true));
}

void RealManager::HoldKey(UINT virtualKey, int repeats, DWORD periodMs) {
  for (int i = 0; i < repeats; ++i) {
    PostMessageW(m_window, WM_KEYDOWN, virtualKey, KeyData(i > 0, false));
    // The keyboard's own repeat rate: the keys arrive spread out, as from a real keyboard.
    Sleep(periodMs);
  }
  PostMessageW(m_window, WM_KEYUP, virtualKey, KeyData(true, true));
}

HWND RealManager::WaitForBox(DWORD timeoutMs) const {
  struct Search {
    DWORD process;
    HWND found;
  } search{m_process.Id(), nullptr};
  WaitUntil(
      [&search] {
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
              auto* s = reinterpret_cast<Search*>(data);
              DWORD process = 0;
              GetWindowThreadProcessId(window, &process);
              wchar_t className[16] = L"";
              GetClassNameW(window, className, 16);
              if (process != s->process || std::wcscmp(className, L"#32770") != 0 ||
                  !IsWindowVisible(window)) {
                return TRUE;
              }
              s->found = window;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

bool RealManager::Answer(HWND box, int buttonId) const {
  if (GetDlgItem(box, buttonId) == nullptr) return false;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
  return WaitUntil([box] { return !IsWindow(box); }, kWindowTimeoutMs);
}

bool RealManager::Choose(const wchar_t* wanted) const {
  for (int asked = 0; asked < 20; ++asked) {
    HWND box = WaitForBox(kWindowTimeoutMs);
    if (box == nullptr) return false;
    wchar_t text[512] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    const bool yes = std::wstring(text).find(wanted) != std::wstring::npos;
    if (!Answer(box, yes ? IDYES : IDNO)) return false;
    if (yes) return true;
  }
  return false;
}

bool RealManager::Responds(DWORD timeoutMs) const {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool RealManager::Close(DWORD* exitCode) {
  PostMessageW(m_window, WM_CLOSE, 0, 0);
  return m_process.Wait(kExitTimeoutMs, exitCode);
}

UserFolderRedirect::UserFolderRedirect(const std::wstring& folder) : m_folder(folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t previous[MAX_PATH] = L"";
  DWORD bytes = sizeof(previous);
  m_hadPrevious = RegGetValueW(HKEY_CURRENT_USER, kShellFolders, kAppDataValue,
                               RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                               previous, &bytes) == ERROR_SUCCESS;
  m_previous = previous;
  RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, kAppDataValue, REG_EXPAND_SZ, folder.c_str(),
                  static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

UserFolderRedirect::~UserFolderRedirect() {
  if (m_hadPrevious) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, kAppDataValue, REG_EXPAND_SZ,
                    m_previous.c_str(), static_cast<DWORD>((m_previous.size() + 1) * 2));
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, kAppDataValue);
  }
}

tvq::BenchStamp PublishedStamp() {
  tvq::BenchStamp stamp{};
  // Opened, never created: a section made here would keep this size for the Manager too.
  tvq::UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, tvq::kPixelObjectName));
  const std::wstring mutexName = std::wstring(L"Mutex of ") + tvq::kPixelObjectName;
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE,
                                           mutexName.c_str()));
  if (!mapping || !mutex) return stamp;
  const DWORD wait = WaitForSingleObject(mutex.Get(), 10000);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return stamp;
  tvq::UniqueMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, sizeof(stamp)));
  if (view) std::memcpy(&stamp, view.Get(), sizeof(stamp));
  ReleaseMutex(mutex.Get());
  return stamp;
}

bool WaitForPublishedFrames(std::int64_t count, DWORD timeoutMs) {
  const std::int64_t start = PublishedStamp().counter;
  return WaitUntil([&] { return PublishedStamp().counter >= start + count; }, timeoutMs);
}

}  // namespace tvqtest
