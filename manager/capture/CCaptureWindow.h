#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "manager/capture/CImage.h"
#include "manager/capture/ICaptureSource.h"
#include "manager/capture/ICaptureMethodChoice.h"
#include "manager/capture/MessageBoxFn.h"
#include "manager/capture/WindowCaptureMethod.h"

// One top-level window as a capture source: the user picks it from the visible windows in Z
// order, and every capture copies the whole window, frame included, at its current size. How it
// is copied is WindowCaptureMethod's: its device context, or a second method for windows that
// copy black (the user may choose, ICaptureMethodChoice).
//
// Threads: the GUI thread only. The window usually belongs to another process and may vanish
// between any two calls.
class CCaptureWindow : public ICaptureSource, public tvq::ICaptureMethodChoice {
 public:
  static constexpr int kTitleUnits = 1024;

  CCaptureWindow() = default;
  virtual ~CCaptureWindow() = default;

  CCaptureWindow(CCaptureWindow&&) noexcept = default;
  CCaptureWindow& operator=(CCaptureWindow&&) noexcept = default;

  // Asks about each eligible window until one is answered Yes. False when the user cancelled,
  // answered No throughout, there was nothing to offer, or a Select of this object is already
  // waiting for an answer.
  bool Select();
  // Takes the given window without asking, as if it had been answered Yes. False when it no
  // longer exists or a Select of this object is waiting for an answer.
  bool Attach(HWND window);
  // Copies the window into the picture at its current size and rereads its title; false (and
  // nothing changed) once the window no longer exists, and while it is minimized.
  bool Capture() override;

  CImage& Picture() override { return picture; }
  const CImage& Picture() const { return picture; }
  HWND Window() const { return m_window; }
  // The title as last read: when chosen and after every capture.
  const wchar_t* Title() const { return m_title; }
  const wchar_t* SectionName() const { return m_title; }
  const wchar_t* DisplayName() const { return m_title; }
  // What told the window apart from others of its title when it was chosen: they are still
  // known after the window closed.
  const std::wstring& ClassName() const { return m_className; }
  const std::wstring& Executable() const { return m_executable; }

  // ICaptureSource
  const wchar_t* Name() const override { return m_title; }
  // A window is saved under the title it has now: it is reread on every capture.
  const wchar_t* Section() const override { return m_title; }
  bool IsGone() const override { return m_window != nullptr && !IsWindow(m_window); }
  HWND CapturedWindow() const override { return m_window; }
  tvq::ICaptureMethodChoice* MethodChoice() override { return this; }
  const tvq::ICaptureMethodChoice* MethodChoice() const override { return this; }
  bool IsSelecting() const { return m_selecting; }

  // Where questions go; the Manager keeps the default (real boxes without owner).
  void SetMessageBox(tvq::MessageBoxFn messageBox) { m_messageBox = std::move(messageBox); }
  // Where the copying method is kept per application; null keeps nothing. Not owned.
  void SetMethodMemory(tvq::IMethodMemory* memory) { m_method.SetMemory(memory); }

  // ICaptureMethodChoice
  tvq::CaptureMode Mode() const override { return m_method.Mode(); }
  void SetMode(tvq::CaptureMode mode) override { m_method.SetMode(mode); }
  tvq::CaptureMethod RunningMethod() const override { return m_method.RunningMethod(); }

 private:
  // The answer to the question about one window.
  int Ask(HWND window);
  bool Choose(HWND window);
  void ReadTitle();

  HWND m_window = nullptr;
  wchar_t m_title[kTitleUnits] = {};
  std::wstring m_className;
  std::wstring m_executable;
  CImage picture;

  tvq::WindowCaptureMethod m_method;
  tvq::MessageBoxFn m_messageBox = &tvq::ShowOwnerlessMessageBox;
  bool m_selecting = false;
};
