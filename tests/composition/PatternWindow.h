#pragma once

#include <windows.h>

// A window showing a known picture, for tests and the demo: four solid quadrants (red top left,
// green top right, blue bottom left, yellow bottom right), optionally with a white square that
// circles around the middle so that motion shows in recordings.
namespace tvqtest {

inline constexpr wchar_t kPatternClassName[] = L"TVQTestPattern";
inline constexpr wchar_t kPatternTitle[] = L"Tessavue test pattern";

inline constexpr COLORREF kPatternTopLeft = RGB(255, 0, 0);
inline constexpr COLORREF kPatternTopRight = RGB(0, 255, 0);
inline constexpr COLORREF kPatternBottomLeft = RGB(0, 0, 255);
inline constexpr COLORREF kPatternBottomRight = RGB(255, 255, 0);

// Child mode "pattern": args x, y, width, height [, "moving"] [, "topmost"]. Runs until the
// window is closed or the process is ended.
int RunPatternWindow(int x, int y, int width, int height, bool moving, bool topmost);

}  // namespace tvqtest
