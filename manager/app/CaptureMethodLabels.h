#pragma once

#include <string>

#include "manager/capture/ICaptureMethodChoice.h"

// The words the slot menu and the status text use for a window's copying methods.
namespace tvq {

inline constexpr int kCaptureModeCount = 3;

// "自動", "標準", "全内容描画": the menu's entries, in the order of CaptureMode.
const wchar_t* CaptureModeLabel(CaptureMode mode);

// What the status text shows for the method that runs: "方式(標準)" for a mode the user fixed,
// "方式(自動：全内容描画)" for the automatic one.
std::wstring RunningMethodText(const ICaptureMethodChoice& choice);

}  // namespace tvq
