#include "manager/capture/CCaptureText.h"

#include "manager/capture/CTextDialog.h"
#include "manager/capture/CaptureText.h"
#include "manager/capture/TextRendering.h"

namespace {

// The first line, cut where the status text would run long; an ellipsis says there is more.
std::wstring FirstLine(const std::wstring& text, size_t units) {
  const size_t end = text.find_first_of(L"\r\n");
  std::wstring line = text.substr(0, end);
  const bool more = end != std::wstring::npos || line.size() > units;
  line = tvq::FitText(line, units);
  return more ? line + L"…" : line;
}

}  // namespace

bool CCaptureText::Select(HWND owner) {
  CTextDialog dialog(std::wstring(), m_style);
  return dialog.Show(owner, false) && Open(dialog.Text(), dialog.Style());
}

bool CCaptureText::Edit(HWND owner) {
  CTextDialog dialog(m_text, m_style);
  if (!dialog.Show(owner, true)) return false;
  if (dialog.Text() == m_text && dialog.Style() == m_style) return false;
  return Open(dialog.Text(), dialog.Style());
}

bool CCaptureText::Open(const std::wstring& text, const tvq::TextStyle& style) {
  m_problem = tvq::TextProblem(text);
  if (!m_problem.empty()) return false;
  m_text = text;
  m_style = style;
  m_style.Clamp();
  m_displayName = FirstLine(m_text, kDisplayUnits);
  // Drawn at once, so the slot shows the text as soon as it is filled or edited.
  m_untold = Draw();
  return true;
}

bool CCaptureText::FitTo(int width, int height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (width != m_fitWidth || height != m_fitHeight) m_stale = true;
  m_fitWidth = width;
  m_fitHeight = height;
  return m_stale;
}

bool CCaptureText::Capture() {
  const bool drawn = m_stale && !m_text.empty() && Draw();
  const bool told = drawn || m_untold;
  m_untold = false;
  return told;
}

bool CCaptureText::Draw() {
  m_stale = false;
  return tvq::RenderText(m_text, m_style, m_fitWidth, m_fitHeight, picture);
}
