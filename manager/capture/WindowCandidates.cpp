#include "manager/capture/WindowCandidates.h"

#include "common/Lifetime.h"

namespace tvq {

namespace {

constexpr int kTitleUnits = 1024;
constexpr int kClassUnits = 256;

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsWindowCandidate(HWND window) {
  return IsWindowVisible(window) &&
         (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0;
}

HWND NextWindowCandidate(HWND after) {
  HWND window = after == nullptr ? GetTopWindow(GetDesktopWindow()) : GetWindow(after, GW_HWNDNEXT);
  while (window != nullptr && !IsWindowCandidate(window)) window = GetWindow(window, GW_HWNDNEXT);
  return window;
}

std::vector<WindowCandidate> ListWindowCandidates(HWND after, HWND excluded) {
  std::vector<WindowCandidate> candidates;
  for (HWND window = NextWindowCandidate(after); window != nullptr;
       window = NextWindowCandidate(window)) {
    if (window != excluded) candidates.push_back(DescribeWindow(window));
  }
  return candidates;
}

WindowCandidate DescribeWindow(HWND window) {
  WindowCandidate candidate;
  candidate.window = window;
  wchar_t text[kTitleUnits] = {};
  GetWindowTextW(window, text, kTitleUnits);
  candidate.title = text;
  candidate.className = ClassNameOf(window);
  candidate.executable = ExecutableNameOf(window);
  return candidate;
}

std::wstring ClassNameOf(HWND window) {
  wchar_t className[kClassUnits] = {};
  GetClassNameW(window, className, kClassUnits);
  return className;
}

std::wstring ExecutableNameOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == 0) return std::wstring();
  UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path, &length)) return std::wstring();
  return FileNameOf(std::wstring(path, length));
}

}  // namespace tvq
