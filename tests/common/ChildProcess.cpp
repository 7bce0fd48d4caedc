#include "tests/common/ChildProcess.h"

#include <map>

namespace tvqtest {
namespace {

std::map<std::wstring, ChildMain>& Modes() {
  static std::map<std::wstring, ChildMain> modes;
  return modes;
}

}  // namespace

ChildMode::ChildMode(const wchar_t* name, ChildMain main) { Modes()[name] = main; }

bool RunChildModeIfRequested(int argc, wchar_t** argv, int* exitCode) {
  const std::wstring prefix = L"--child=";
  if (argc < 2) return false;
  std::wstring first = argv[1];
  if (first.compare(0, prefix.size(), prefix) != 0) return false;
  auto it = Modes().find(first.substr(prefix.size()));
  if (it == Modes().end()) {
    *exitCode = 250;
    return true;
  }
  std::vector<std::wstring> args(argv + 2, argv + argc);
  *exitCode = it->second(args);
  return true;
}

std::wstring OwnExecutablePath() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  quoted += L'"';
  return quoted;
}

ChildProcess::~ChildProcess() {
  Kill();
  if (m_process != nullptr) CloseHandle(m_process);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_process(other.m_process), m_id(other.m_id) {
  other.m_process = nullptr;
  other.m_id = 0;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    if (m_process != nullptr) CloseHandle(m_process);
    m_process = other.m_process;
    m_id = other.m_id;
    other.m_process = nullptr;
    other.m_id = 0;
  }
  return *this;
}

ChildProcess ChildProcess::StartSelf(const std::wstring& mode,
                                     const std::vector<std::wstring>& args) {
  std::wstring commandLine = QuoteArgument(OwnExecutablePath()) + L" --child=" + mode;
  for (const auto& arg : args) commandLine += L" " + QuoteArgument(arg);
  return Start(commandLine, std::wstring());
}

ChildProcess ChildProcess::Start(const std::wstring& commandLine, const std::wstring& workingDir,
                                 int showCommand) {
  ChildProcess child;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (showCommand != kNoShowCommand) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
  }
  PROCESS_INFORMATION info{};
  std::wstring mutableLine = commandLine;
  if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    child.m_process = info.hProcess;
    child.m_id = info.dwProcessId;
  }
  return child;
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD* exitCode) {
  if (m_process == nullptr) return false;
  if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(m_process, exitCode);
  return true;
}

void ChildProcess::Kill() {
  if (m_process == nullptr) return;
  if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_process, 99);
    WaitForSingleObject(m_process, 5000);
  }
}

}  // namespace tvqtest
