#pragma once

#include <windows.h>

#include <string>

#include "manager/capture/CImage.h"
#include "manager/capture/ICaptureSource.h"
#include "manager/capture/TextStyle.h"

// A caption or a card as a capture source: text the user types, drawn with its style at the size
// its slot shows it (FitTo), so it stays sharp at every canvas size. The picture is drawn again
// only when the text, the style or that size changed; otherwise a capture changes nothing.
//
// Threads: the GUI thread only (the dialog is modal on it).
class CCaptureText : public ICaptureSource {
 public:
  CCaptureText() = default;
  virtual ~CCaptureText() = default;

  CCaptureText(CCaptureText&&) noexcept = default;
  CCaptureText& operator=(CCaptureText&&) noexcept = default;

  // The text dialog over owner, starting from the last style used here. False when the user
  // cancelled.
  bool Select(HWND owner);
  // The dialog again with the current text and style; true when the user changed them.
  bool Edit(HWND owner);
  // Takes a text without asking. False, with Problem() saying why, for a text a slot cannot
  // show (empty, too long); the source then keeps what it had.
  bool Open(const std::wstring& text, const tvq::TextStyle& style);
  const std::wstring& Text() const { return m_text; }
  const tvq::TextStyle& Style() const { return m_style; }

  // ICaptureSource
  // Draws the picture when something changed since the last drawing; true when the picture
  // changed since the last capture (an edit draws at once).
  bool Capture() override;
  CImage& Picture() override { return picture; }
  // The first line, cut short.
  const wchar_t* Name() const override { return m_displayName.c_str(); }
  // Placements are kept per text.
  const wchar_t* Section() const override { return m_text.c_str(); }
  bool HasSettings() const override { return true; }
  // The dialog over the active window (the Manager's, whose menu asked).
  bool ShowSettings() override { return Edit(GetActiveWindow()); }
  // The next capture draws at this size when it is another.
  bool FitTo(int width, int height) override;
  std::wstring Problem() const override { return m_problem; }

  // The size drawn at until the first FitTo.
  static constexpr int kFirstWidth = 640;
  static constexpr int kFirstHeight = 120;
  // Characters of the first line the status text shows.
  static constexpr size_t kDisplayUnits = 40;

 private:
  bool Draw();

  CImage picture;
  std::wstring m_text;
  tvq::TextStyle m_style;
  std::wstring m_displayName;
  std::wstring m_problem;
  int m_fitWidth = kFirstWidth;
  int m_fitHeight = kFirstHeight;
  // Nothing drawn for the current text, style or size yet.
  bool m_stale = false;
  // Drawn outside a capture (a fill, an edit): the next capture tells of it.
  bool m_untold = false;
};
