#pragma once

#include <windows.h>

#include <string>

namespace tvq {

// How a text slot draws its text. Sizes are shares of the slot, so the text keeps its look at
// every canvas size: the font's height is a share of the slot's height (the text is made smaller
// where it would not fit), the outline's thickness a share of the font's height.
struct TextStyle {
  std::wstring font = L"Meiryo";
  bool bold = true;
  int sizePercent = 80;       // font height, % of the slot's height (1 ... 100)
  COLORREF color = RGB(255, 255, 255);
  // A thin dark outline keeps white text readable over any picture.
  int outlinePercent = 6;     // outline thickness, % of the font height (0: none ... 30)
  COLORREF outlineColor = RGB(0, 0, 0);
  bool box = false;           // a box behind the text, over the whole slot
  COLORREF boxColor = RGB(0, 0, 0);
  int boxOpacityPercent = 60;  // 0 ... 100

  // One line for a settings file: "Font=Meiryo;Size=80;Color=FFFFFF;...". Colours as RRGGBB.
  std::wstring ToRecord() const;
  // The style a line describes; keys it lacks or cannot read keep their defaults, and values
  // out of range are brought inside.
  static TextStyle FromRecord(const std::wstring& record);
  // Brings every value inside its range.
  void Clamp();

  bool operator==(const TextStyle& other) const;
  bool operator!=(const TextStyle& other) const { return !(*this == other); }
};

// The longest text a slot takes, in UTF-16 units and in lines: a caption or a card, not a page.
inline constexpr size_t kMaxTextUnits = 2000;
inline constexpr int kMaxTextLines = 40;

// Why a slot cannot show this text (nothing but blanks, too long, too many lines), in the words
// of the dialog and the status text; empty when it can.
std::wstring TextProblem(const std::wstring& text);

// A colour as "RRGGBB", and back from "RRGGBB" or "#RRGGBB" (false for anything else).
std::wstring ColorText(COLORREF color);
bool ParseColor(const std::wstring& text, COLORREF& color);

// Text as one line of a settings file and back: backslash, line breaks, tabs and quotes are
// written as backslash sequences, and a space at either end as \s (the profile calls would
// strip it).
std::wstring EscapeLine(const std::wstring& text);
std::wstring UnescapeLine(const std::wstring& line);

}  // namespace tvq
