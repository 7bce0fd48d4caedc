#include "tests/common/Ffmpeg.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tvqtest {

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

FfmpegRun RunFfmpeg(const std::wstring& exe, const std::wstring& arguments, const TempDir& dir) {
  FfmpegRun run;
  const std::wstring logPath = dir.File(L"ffmpeg.log");
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = log;
  startup.hStdError = log;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + exe + L"\" -hide_banner -nostdin " + arguments;
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                     nullptr, dir.Path().c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    run.finished = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
    if (!run.finished) {
      TerminateProcess(info.hProcess, 99);
      WaitForSingleObject(info.hProcess, 5000);
    }
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hProcess);
  }
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
  run.log = ReadBytes(logPath);
  return run;
}

}  // namespace tvqtest
