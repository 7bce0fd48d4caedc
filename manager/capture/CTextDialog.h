#pragma once

#include <windows.h>

#include <string>

#include "manager/capture/TextStyle.h"

// The text slot's dialog: the text box (focused; Enter confirms, Shift+Enter starts a new line,
// Esc cancels), the font, its size, colour and outline, and a box behind the text with its
// colour and opacity. A text the slot cannot show (empty, too long) or a value it cannot read is
// refused inside the dialog, with the reason shown above the buttons, so no message box stacks
// up and the user can correct it.
//
// Threads: the GUI thread; the dialog is modal over its owner and runs its own message loop, in
// which timers go on.
class CTextDialog {
 public:
  CTextDialog(std::wstring text, tvq::TextStyle style);

  CTextDialog(const CTextDialog&) = delete;
  CTextDialog& operator=(const CTextDialog&) = delete;

  // True when the user confirmed; Text() and Style() then hold the answers.
  bool Show(HWND owner, bool editing);

  const std::wstring& Text() const { return m_text; }
  const tvq::TextStyle& Style() const { return m_style; }

  // The titles (new text, editing) and control ids, for tests that drive the real dialog.
  static constexpr wchar_t kNewTitle[] = L"テキストをスロットに入れる";
  static constexpr wchar_t kEditTitle[] = L"スロットのテキストを編集";
  enum ControlId : WORD {
    kTextBox = 1001,
    kFont,
    kBold,
    kSize,
    kColor,
    kColorPick,
    kOutline,
    kOutlineColor,
    kOutlineColorPick,
    kBox,
    kBoxColor,
    kBoxColorPick,
    kBoxOpacity,
    kProblem,
  };

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TextBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit(HWND dialog);
  bool OnCommand(HWND dialog, WORD id);
  // Reads every field; false (with the reason shown) when one cannot be taken.
  bool Confirm(HWND dialog);
  bool ReadNumber(HWND dialog, WORD id, int low, int high, const wchar_t* name, int& value);
  bool ReadColor(HWND dialog, WORD id, const wchar_t* name, COLORREF& color);
  void PickColor(HWND dialog, WORD id);
  void Refuse(HWND dialog, const std::wstring& reason);

  std::wstring m_text;
  tvq::TextStyle m_style;
  // The colour chooser's own row of custom colours, kept while the dialog lives.
  COLORREF m_customColors[16] = {};
};
