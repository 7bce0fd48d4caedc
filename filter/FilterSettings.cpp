#include "filter/FilterSettings.h"

#include <commdlg.h>

#include <cwchar>

#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"

namespace tvq {
namespace {

constexpr DWORD kRateTextLength = 1024;

// Filter list of the open-file dialog: pairs of texts, ended by an empty one.
const wchar_t kDialogFilter[] = L"iniファイル(*.ini)\0*.ini\0全てのファイル(*.*)\0*.*\0";
const wchar_t kDialogTitle[] = L"INIファイルを開く - Tessavue Filter";

double ReadFramePerSecond(const std::wstring& iniPath) {
  wchar_t text[kRateTextLength] = L"";
  GetPrivateProfileStringW(kVideoSection, kFramePerSecondKey, L"", text, kRateTextLength,
                           iniPath.c_str());
  if (text[0] == L'\0') return kDefaultFramePerSecond;
  return std::wcstod(text, nullptr);
}

int ReadInt(const std::wstring& iniPath, const wchar_t* key, int defaultValue) {
  // The profile call hands a negative value back as UINT.
  return static_cast<int>(
      GetPrivateProfileIntW(kVideoSection, key, defaultValue, iniPath.c_str()));
}

}  // namespace

std::wstring ReadIniFilePath(HKEY key) {
  // Room for one character more than a usable path, so that a too long value is recognised
  // whether or not it was stored with a terminator.
  wchar_t buffer[kSettingsPathLength + 2] = {};
  DWORD bytes = (kSettingsPathLength + 1) * sizeof(wchar_t);
  if (RegQueryValueExW(key, kIniFilePathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                       &bytes) != ERROR_SUCCESS) {
    return std::wstring();
  }
  const size_t length = wcsnlen(buffer, kSettingsPathLength + 1);
  if (length >= static_cast<size_t>(kSettingsPathLength)) return std::wstring();
  return std::wstring(buffer, length);
}

std::wstring ReadIniFilePathFromRegistry() {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return std::wstring();
  }
  UniqueRegKey key(raw);
  return ReadIniFilePath(key.Get());
}

std::wstring AskForIniFilePath() {
  wchar_t path[kSettingsPathLength] = L"";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = nullptr;
  ofn.lpstrFilter = kDialogFilter;
  ofn.lpstrFile = path;
  ofn.nMaxFile = kSettingsPathLength;
  ofn.lpstrTitle = kDialogTitle;
  ofn.lpstrDefExt = L"ini";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  // A cancelled dialog leaves the buffer as it was: empty.
  GetOpenFileNameW(&ofn);
  path[kSettingsPathLength - 1] = L'\0';
  return path;
}

std::wstring ResolveSettingsPath() {
  std::wstring path = ReadIniFilePathFromRegistry();
  if (path.empty()) path = AskForIniFilePath();
  return path;
}

VideoFormat LoadDefaultFormat(const std::wstring& iniPath) {
  int width = kDefaultFrameWidth;
  int height = kDefaultFrameHeight;
  double rate = kDefaultFramePerSecond;
  if (!iniPath.empty()) {
    width = ReadInt(iniPath, kWidthKey, kDefaultFrameWidth);
    height = ReadInt(iniPath, kHeightKey, kDefaultFrameHeight);
    rate = ReadFramePerSecond(iniPath);
  }
  if (!IsUsableFrameSize(width, height)) {
    width = kDefaultFrameWidth;
    height = kDefaultFrameHeight;
  }
  VideoFormat format;
  format.header = MakeRgb24Header(width, height);
  format.interval = FrameIntervalFromRate(rate);
  // Below one frame per second no rate would be left for a client to choose (one second is the
  // slowest offered), and every sample would hold a stop of the graph for its whole interval.
  if (format.interval == 0 || format.interval > kMaxFrameInterval) {
    format.interval = kDefaultFrameInterval;
  }
  return format;
}

}  // namespace tvq
