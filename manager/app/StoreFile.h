#pragma once

#include <string>

// The user's store as a file: UTF-16LE text behind its byte-order mark, always replaced whole.
// A writer killed at any instant leaves either the old file or the new one, never a mix: the new
// text goes into a temporary file of the same folder, is flushed, and is then moved over the old
// file in one step.
namespace tvq {

enum class StoreFileRead {
  kMissing,     // no file (or no folder): nothing was ever written
  kRead,        // text holds the file's text
  kUnreadable,  // there is a file, but not one this program wrote (too large, no mark)
};

// Larger files were not written by us; reading them is refused rather than attempted.
inline constexpr unsigned long long kMaxStoreFileBytes = 4ull * 1024 * 1024;

// Reads the whole file; text is left empty unless the result is kRead.
StoreFileRead ReadStoreFile(const std::wstring& path, std::wstring& text);

// Replaces the file's content with text (its folder is created first). False when any step
// failed; the old file is then as it was and no temporary file stays behind.
bool ReplaceStoreFile(const std::wstring& path, const std::wstring& text);

// Temporary files a killed writer left in the store's folder; removed before the store is read.
void RemoveLeftoverStoreFiles(const std::wstring& path);

}  // namespace tvq
