#pragma once

#include <string>

namespace tvqtest {

// A fresh, empty folder under the system's temporary folder, removed with its content at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& Path() const { return m_path; }
  // Path() joined with a file name.
  std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

 private:
  std::wstring m_path;
};

// UTF-16LE when the file starts with its byte-order mark, else bytes as Latin-1; "" if missing.
std::wstring ReadTextFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
void WriteTextFile(const std::wstring& path, const std::string& bytes);

}  // namespace tvqtest
