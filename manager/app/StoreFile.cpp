#include "manager/app/StoreFile.h"

#include <windows.h>

#include <vector>

#include "common/Lifetime.h"

namespace tvq {
namespace {

constexpr unsigned char kByteOrderMark[2] = {0xFF, 0xFE};
// After the store's name: "<store>.<process id>.tmp", so two Managers never share one.
constexpr wchar_t kTemporarySuffix[] = L".tmp";

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring TemporaryPathFor(const std::wstring& path) {
  return path + L"." + std::to_wstring(GetCurrentProcessId()) + kTemporarySuffix;
}

// Every missing folder on the way, as the user's application-data folder may have none of ours.
void CreateFolders(const std::wstring& folder) {
  if (folder.empty() || GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  CreateFolders(FolderOf(folder));
  CreateDirectoryW(folder.c_str(), nullptr);
}

bool WriteAll(HANDLE file, const void* data, size_t bytes) {
  const auto* next = static_cast<const unsigned char*>(data);
  while (bytes > 0) {
    const DWORD chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes);
    DWORD written = 0;
    if (!WriteFile(file, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    bytes -= written;
  }
  return true;
}

bool WriteFlushed(const std::wstring& path, const std::wstring& text) {
  const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // The disk must hold every byte before the move makes the file the store.
  return WriteAll(file.Get(), kByteOrderMark, sizeof(kByteOrderMark)) &&
         WriteAll(file.Get(), text.data(), text.size() * sizeof(wchar_t)) &&
         FlushFileBuffers(file.Get());
}

}  // namespace

StoreFileRead ReadStoreFile(const std::wstring& path, std::wstring& text) {
  text.clear();
  const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? StoreFileRead::kMissing : StoreFileRead::kUnreadable;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 2 ||
      static_cast<unsigned long long>(size.QuadPart) > kMaxStoreFileBytes) {
    return StoreFileRead::kUnreadable;
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
      read != bytes.size() || bytes[0] != kByteOrderMark[0] || bytes[1] != kByteOrderMark[1]) {
    return StoreFileRead::kUnreadable;
  }
  // An odd last byte is half a character that was never ours.
  text.resize((bytes.size() - 2) / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
  }
  return StoreFileRead::kRead;
}

bool ReplaceStoreFile(const std::wstring& path, const std::wstring& text) {
  if (path.empty()) return false;
  CreateFolders(FolderOf(path));
  const std::wstring temporary = TemporaryPathFor(path);
  const bool replaced =
      WriteFlushed(temporary, text) &&
      MoveFileExW(temporary.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!replaced) DeleteFileW(temporary.c_str());
  return replaced;
}

void RemoveLeftoverStoreFiles(const std::wstring& path) {
  const std::wstring folder = FolderOf(path);
  // Without a folder the search would look in the current one.
  if (folder.empty()) return;
  const std::wstring pattern = path + L".*" + kTemporarySuffix;
  WIN32_FIND_DATAW found{};
  const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
  if (!search) return;
  do {
    DeleteFileW((folder + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search.Get(), &found));
}

}  // namespace tvq
