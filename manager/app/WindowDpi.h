#pragma once

#include <windows.h>

namespace tvq {

// The window's dots per inch: GetDpiForWindow where the system has it (Windows 10 1607 and
// later), else the screen's LOGPIXELSX, which older systems report for every window.
int WindowDpi(HWND window);

// pixels at 96 DPI, scaled to the window's DPI; never below 1.
int ScaleForDpi(int pixels, HWND window);

}  // namespace tvq
