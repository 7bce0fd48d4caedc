#pragma once

#include <windows.h>

#include <string>

#include "filter/VideoFormat.h"

// Where the pin finds the settings file and what it takes from it. Runs on the client's thread
// that builds the filter; nothing here is kept between calls.
namespace tvq {

// Longest settings path the pin uses, terminator included.
inline constexpr int kSettingsPathLength = MAX_PATH;

// "IniFilePath" under the given key, as stored (the Manager stores it without a terminator).
// Empty when the value is missing or holds 260 characters or more: such a path cannot be the
// settings file the pin is meant to open, and cutting it would open another one.
std::wstring ReadIniFilePath(HKEY key);

// ReadIniFilePath of HKCU\Software\qarro_lim\Tessavue; the key is created when missing.
std::wstring ReadIniFilePathFromRegistry();

// Asks the user for the settings file with the open-file dialog; empty when cancelled.
std::wstring AskForIniFilePath();

// The registry's path, else the user's choice (possibly empty).
std::wstring ResolveSettingsPath();

// Default format and interval from the "Video" section. Unusable values fall back to 1024 x 768
// (both together, as the Manager does, so both sides agree on the pixel object) and 15 frames per
// second (rates below one per second included). An empty path or a missing file gives the
// defaults.
VideoFormat LoadDefaultFormat(const std::wstring& iniPath);

}  // namespace tvq
