#include "manager/capture/WindowCaptureMethod.h"

#include "manager/capture/BlankPicture.h"
#include "manager/capture/CImage.h"
#include "manager/capture/WindowBlit.h"

namespace tvq {
namespace {

constexpr const wchar_t* kGpuDrawnClasses[] = {L"Chrome_WidgetWin_1", L"MozillaWindowClass"};

CaptureMethod Other(CaptureMethod method) {
  return method == CaptureMethod::kStandard ? CaptureMethod::kFullContent
                                            : CaptureMethod::kStandard;
}

}  // namespace

bool WindowCaptureMethod::DrawsWithGpu(const std::wstring& className) {
  for (const wchar_t* gpuClass : kGpuDrawnClasses) {
    if (className == gpuClass) return true;
  }
  return false;
}

void WindowCaptureMethod::Start(const std::wstring& className, const std::wstring& executable) {
  m_className = className;
  m_executable = executable;
  m_bothBlank = false;
  MethodChoice kept;
  if (m_memory != nullptr && m_memory->Recall(m_className, m_executable, kept)) {
    m_mode = kept.mode;
    m_running = MethodFor(kept.mode, kept.method);
    return;
  }
  m_mode = CaptureMode::kAutomatic;
  m_running = DrawsWithGpu(m_className) ? CaptureMethod::kFullContent : CaptureMethod::kStandard;
}

void WindowCaptureMethod::SetMode(CaptureMode mode) {
  m_mode = mode;
  m_running = MethodFor(mode, m_running);
  m_bothBlank = false;
  Remember();
}

bool WindowCaptureMethod::Copy(HWND window, int width, int height, CImage& picture) {
  const bool copied = CopyWith(m_running, window, width, height, picture);
  // A hidden window gives nothing to judge by, whatever the method.
  if (m_mode != CaptureMode::kAutomatic || !IsWindowVisible(window)) return copied;
  if (copied && !IsOneColour(picture)) {
    m_bothBlank = false;
    return true;
  }
  if (m_bothBlank) return copied;
  return TryTheOther(window, width, height, picture);
}

// The other method gets one try for this very capture, so a slot turns from black to the window
// within one capture interval.
bool WindowCaptureMethod::TryTheOther(HWND window, int width, int height, CImage& picture) {
  const CaptureMethod other = Other(m_running);
  if (CopyWith(other, window, width, height, picture) && !IsOneColour(picture)) {
    m_running = other;
    Remember();
    return true;
  }
  m_bothBlank = true;
  // The slot shows what the method that stays gives, not the other's colour for one capture.
  return CopyWith(m_running, window, width, height, picture);
}

bool WindowCaptureMethod::CopyWith(CaptureMethod method, HWND window, int width, int height,
                                   CImage& picture) {
  // PrintWindow waits for the window's own thread to draw, so a hung program would hang the
  // Manager; the standard copy reads what is already there and does not wait.
  if (method == CaptureMethod::kFullContent && !IsHungAppWindow(window)) {
    return PrintWholeWindow(window, picture) != FALSE;
  }
  return CopyWindowArea(window, 0, 0, width, height, picture) != FALSE;
}

void WindowCaptureMethod::Remember() {
  if (m_memory != nullptr) m_memory->Remember(m_className, m_executable, {m_mode, m_running});
}

}  // namespace tvq
