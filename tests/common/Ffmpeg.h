#pragma once

#include <windows.h>

#include <string>

#include "tests/common/FfmpegLocator.h"
#include "tests/common/TempDir.h"

// The Windows ffmpeg, a DirectShow client nobody here wrote, run as a separate process.
namespace tvqtest {

struct FfmpegRun {
  bool finished = false;
  DWORD exitCode = 0xFFFFFFFF;
  std::string log;
};

// Runs ffmpeg in the folder with its output and errors going into a file there; kills it after a
// minute (a client whose graph could not run may never exit under Wine).
FfmpegRun RunFfmpeg(const std::wstring& exe, const std::wstring& arguments, const TempDir& dir);

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

}  // namespace tvqtest
