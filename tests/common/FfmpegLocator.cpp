#include "tests/common/FfmpegLocator.h"

#include <windows.h>

#include <cstdlib>

#include "tests/common/TempDir.h"

namespace tvqtest {
namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  }
  return wide;
}

}  // namespace

std::wstring WindowsPathOfUnixPath(const std::string& unixPath) {
  std::wstring path = L"Z:" + FromUtf8(unixPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::wstring FfmpegPath() { return FilePathFromEnvironment("TVQ_FFMPEG"); }

std::wstring FilePathFromEnvironment(const char* variable) {
  const char* named = std::getenv(variable);
  if (named == nullptr || named[0] == '\0') return std::wstring();
  const std::wstring path = named[0] == '/' ? WindowsPathOfUnixPath(named) : FromUtf8(named);
  return FileExists(path) ? path : std::wstring();
}

}  // namespace tvqtest
