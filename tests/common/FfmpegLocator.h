#pragma once

#include <string>

namespace tvqtest {

// The Windows path of the third-party ffmpeg.exe named by TVQ_FFMPEG, or "" when it names none
// or the file is missing. TVQ_FFMPEG may be a native Windows path, or (under Wine) a Unix path,
// which Wine shows through drive Z:.
std::wstring FfmpegPath();

// The same for any file named by an environment variable.
std::wstring FilePathFromEnvironment(const char* variable);

// "Z:" and the path with backslashes: a Unix path as Wine's Z: drive shows it.
std::wstring WindowsPathOfUnixPath(const std::string& unixPath);

}  // namespace tvqtest
