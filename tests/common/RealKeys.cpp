#include "tests/common/RealKeys.h"

#include <vector>

namespace tvqtest {
namespace {

bool RunXdotool(const std::wstring& arguments) {
  std::wstring command = L"/usr/bin/xdotool " + arguments;
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool PressRealKeys(const std::wstring& keys) { return RunXdotool(L"key --delay 30 " + keys); }

bool RealClickAt(POINT screen) {
  return RunXdotool(L"mousemove " + std::to_wstring(screen.x) + L" " + std::to_wstring(screen.y) +
                    L" click 1");
}

}  // namespace tvqtest
