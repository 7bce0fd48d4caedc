#pragma once

#include <windows.h>

#include <string>

#include "manager/capture/CaptureMethod.h"
#include "manager/capture/IMethodMemory.h"

class CImage;

namespace tvq {

// Beside the window source's own copy (the window's device context), a second method for
// the windows that copy black or frozen that way because the GPU draws them (browsers, Electron
// applications, video players on Windows 10 and 11): PrintWindow with PW_RENDERFULLCONTENT. In
// the standard mode this class runs exactly that copy and nothing else.
//
// The automatic mode:
// - a window begins with what its application used last (IMethodMemory), else with the second
//   method when its class is one known to draw with the GPU, else with the standard one;
// - a copy that comes back one colour for a visible window is made again at once with the other
//   method; when that gives a picture, the other method runs from then on and is remembered for
//   the application;
// - when both come back one colour (a window that really is one colour), the method stays (its
//   copy is made once more, so the slot does not show the other's colour), and no second copy
//   is made until the window has shown a picture again.
// Start() begins anew for every window the source takes.
//
// Threads: the GUI thread only. The window may belong to another process and vanish at any time.
class WindowCaptureMethod {
 public:
  // Where the choice per application is kept; null keeps nothing. Not owned.
  void SetMemory(IMethodMemory* memory) { m_memory = memory; }

  // The source took a window of this class and program: mode and method as that application had
  // them last.
  void Start(const std::wstring& className, const std::wstring& executable);
  // Copies the window, frame included, into the whole of picture (made at the window's outer
  // size, width x height) with the running method, and in the automatic mode with the other one
  // too when the copy came back one colour. False when no copy could be made.
  bool Copy(HWND window, int width, int height, CImage& picture);

  CaptureMode Mode() const { return m_mode; }
  // Takes effect from the next copy and is remembered for the application.
  void SetMode(CaptureMode mode);
  CaptureMethod RunningMethod() const { return m_running; }

  // Chromium and Electron ("Chrome_WidgetWin_1") and Firefox ("MozillaWindowClass") draw their
  // windows with the GPU: their copies can freeze rather than turn black, so no blank check
  // would notice.
  static bool DrawsWithGpu(const std::wstring& className);

 private:
  bool CopyWith(CaptureMethod method, HWND window, int width, int height, CImage& picture);
  bool TryTheOther(HWND window, int width, int height, CImage& picture);
  void Remember();

  IMethodMemory* m_memory = nullptr;
  std::wstring m_className;
  std::wstring m_executable;
  CaptureMode m_mode = CaptureMode::kAutomatic;
  CaptureMethod m_running = CaptureMethod::kStandard;
  // Both methods gave one colour: no second copy until a copy shows a picture.
  bool m_bothBlank = false;
};

}  // namespace tvq
