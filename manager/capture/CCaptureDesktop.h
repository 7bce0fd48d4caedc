#pragma once

#include <windows.h>

#include "manager/capture/CImage.h"
#include "manager/capture/ICaptureSource.h"

// The desktop as a capture source: the primary screen, read through the desktop window's device
// context, one to one into the picture. Nothing to choose, so Select never asks the user.
//
// Threads: the GUI thread only.
class CCaptureDesktop : public ICaptureSource {
 public:
  CCaptureDesktop() = default;
  virtual ~CCaptureDesktop() = default;

  CCaptureDesktop(CCaptureDesktop&&) noexcept = default;
  CCaptureDesktop& operator=(CCaptureDesktop&&) noexcept = default;

  // Sizes the picture and the screen area to the primary screen as it is now.
  void Select();
  // Copies the screen area into the picture; true (an empty picture is simply left empty).
  bool Capture() override;

  CImage& Picture() override { return picture; }
  const CImage& Picture() const { return picture; }
  RECT SourceArea() const { return RECT{m_sourceLeft, m_sourceTop, m_sourceRight, m_sourceBottom}; }

  // Every desktop slot shares one stored placement under this section.
  static const wchar_t* SectionName();
  // The text naming the source in the status view.
  static const wchar_t* DisplayName();

  // ICaptureSource
  const wchar_t* Name() const override { return DisplayName(); }
  const wchar_t* Section() const override { return SectionName(); }

 private:
  CImage picture;
  // Written by Select only; nothing reads them before.
  LONG m_sourceLeft = 0;
  LONG m_sourceTop = 0;
  LONG m_sourceRight = 0;
  LONG m_sourceBottom = 0;
};
