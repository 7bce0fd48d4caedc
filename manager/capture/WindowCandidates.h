#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvq {

// A top-level window that can be captured, with what tells it apart from others of the same
// title.
struct WindowCandidate {
  HWND window = nullptr;
  std::wstring title;
  std::wstring className;
  // The file name of the program that owns the window ("notepad.exe"); empty when it cannot be
  // read (a process of another user).
  std::wstring executable;
};

// True for a window the window source offers: visible and not a tool window.
bool IsWindowCandidate(HWND window);
// The next window offered after `after` in Z order; null at the end.
HWND NextWindowCandidate(HWND after);
// Every window offered after `after` in Z order (null starts at the top), leaving out `excluded`
// (the Manager's own window).
std::vector<WindowCandidate> ListWindowCandidates(HWND after, HWND excluded);
WindowCandidate DescribeWindow(HWND window);
std::wstring ClassNameOf(HWND window);
std::wstring ExecutableNameOf(HWND window);

}  // namespace tvq
