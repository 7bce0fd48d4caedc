#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Test executables double as the "other process": started with --child=<mode> [args...] they run
// the registered mode instead of the tests and exit with its return value.
namespace tvqtest {

using ChildMain = int (*)(const std::vector<std::wstring>& args);

// Registers a child mode at static initialisation: static ChildMode m(L"name", &Function);
class ChildMode {
 public:
  ChildMode(const wchar_t* name, ChildMain main);
};

// Runs the registered mode named on the command line, if any; returns true and sets exitCode
// when a mode ran.
bool RunChildModeIfRequested(int argc, wchar_t** argv, int* exitCode);

// A started child process; the destructor kills it if it is still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;

  // Starts this test executable again in the given child mode.
  static ChildProcess StartSelf(const std::wstring& mode, const std::vector<std::wstring>& args);
  // Starts any executable with a full command line; workingDir may be empty. A show command
  // other than kNoShowCommand goes to the program as a shortcut's would (STARTF_USESHOWWINDOW).
  static constexpr int kNoShowCommand = -1;
  static ChildProcess Start(const std::wstring& commandLine, const std::wstring& workingDir,
                            int showCommand = kNoShowCommand);

  bool IsValid() const { return m_process != nullptr; }
  HANDLE Handle() const { return m_process; }
  DWORD Id() const { return m_id; }
  // Waits for the end; returns false on time-out. exitCode may be null.
  bool Wait(DWORD timeoutMs, DWORD* exitCode);
  void Kill();

 private:
  HANDLE m_process = nullptr;
  DWORD m_id = 0;
};

std::wstring OwnExecutablePath();
std::wstring QuoteArgument(const std::wstring& arg);

// Polls condition every few milliseconds until it holds or timeoutMs passes.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(5);
  }
}

}  // namespace tvqtest
