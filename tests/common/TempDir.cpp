#include "tests/common/TempDir.h"

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>

namespace tvqtest {

TempDir::TempDir() {
  wchar_t base[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, base);
  static LONG counter = 0;
  for (;;) {
    const LONG n = InterlockedIncrement(&counter);
    std::wstring candidate = std::wstring(base) + L"tvq_" + std::to_wstring(GetCurrentProcessId()) +
                             L"_" + std::to_wstring(GetTickCount64()) + L"_" + std::to_wstring(n);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      m_path = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  // SHFileOperation wants a double-NUL-terminated list.
  std::wstring from = m_path;
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

std::wstring ReadTextFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return std::wstring();
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string bytes = buffer.str();
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
  }
  return std::wstring(bytes.begin(), bytes.end());
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteTextFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace tvqtest
