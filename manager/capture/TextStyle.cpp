#include "manager/capture/TextStyle.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace tvq {
namespace {

constexpr int kMaxOutlinePercent = 30;
constexpr size_t kFontUnits = LF_FACESIZE - 1;

int ReadInt(const std::wstring& value, int fallback) {
  if (value.empty()) return fallback;
  wchar_t* end = nullptr;
  const long number = std::wcstol(value.c_str(), &end, 10);
  if (end == value.c_str() || *end != L'\0') return fallback;
  return static_cast<int>(std::clamp<long>(number, -100000, 100000));
}

void ReadColor(const std::wstring& value, COLORREF& color) {
  COLORREF read = 0;
  if (ParseColor(value, read)) color = read;
}

void Apply(TextStyle& style, const std::wstring& key, const std::wstring& value) {
  if (key == L"Font") style.font = value;
  if (key == L"Bold") style.bold = ReadInt(value, style.bold ? 1 : 0) != 0;
  if (key == L"Size") style.sizePercent = ReadInt(value, style.sizePercent);
  if (key == L"Color") ReadColor(value, style.color);
  if (key == L"Outline") style.outlinePercent = ReadInt(value, style.outlinePercent);
  if (key == L"OutlineColor") ReadColor(value, style.outlineColor);
  if (key == L"Box") style.box = ReadInt(value, style.box ? 1 : 0) != 0;
  if (key == L"BoxColor") ReadColor(value, style.boxColor);
  if (key == L"BoxOpacity") style.boxOpacityPercent = ReadInt(value, style.boxOpacityPercent);
}

}  // namespace

std::wstring TextStyle::ToRecord() const {
  return L"Font=" + font + L";Bold=" + (bold ? L"1" : L"0") + L";Size=" +
         std::to_wstring(sizePercent) + L";Color=" +
         ColorText(color) + L";Outline=" + std::to_wstring(outlinePercent) +
         L";OutlineColor=" + ColorText(outlineColor) + L";Box=" + (box ? L"1" : L"0") +
         L";BoxColor=" + ColorText(boxColor) + L";BoxOpacity=" +
         std::to_wstring(boxOpacityPercent);
}

TextStyle TextStyle::FromRecord(const std::wstring& record) {
  TextStyle style;
  size_t start = 0;
  while (start <= record.size()) {
    size_t end = record.find(L';', start);
    if (end == std::wstring::npos) end = record.size();
    const std::wstring pair = record.substr(start, end - start);
    const size_t equals = pair.find(L'=');
    if (equals != std::wstring::npos) Apply(style, pair.substr(0, equals), pair.substr(equals + 1));
    start = end + 1;
  }
  style.Clamp();
  return style;
}

void TextStyle::Clamp() {
  // A face name longer than the font record holds would be cut by GDI anyway.
  if (font.size() > kFontUnits) font.resize(kFontUnits);
  if (font.empty()) font = TextStyle().font;
  sizePercent = std::clamp(sizePercent, 1, 100);
  outlinePercent = std::clamp(outlinePercent, 0, kMaxOutlinePercent);
  boxOpacityPercent = std::clamp(boxOpacityPercent, 0, 100);
}

bool TextStyle::operator==(const TextStyle& other) const {
  return font == other.font && bold == other.bold && sizePercent == other.sizePercent &&
         color == other.color &&
         outlinePercent == other.outlinePercent && outlineColor == other.outlineColor &&
         box == other.box && boxColor == other.boxColor &&
         boxOpacityPercent == other.boxOpacityPercent;
}

std::wstring TextProblem(const std::wstring& text) {
  if (text.find_first_not_of(L" \t\r\n\u3000") == std::wstring::npos) {
    return L"テキストが空です。表示する文字を入れてください";
  }
  const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
  if (text.size() > kMaxTextUnits || lines > kMaxTextLines) {
    return L"テキストが長すぎます（" + std::to_wstring(kMaxTextUnits) + L" 文字・" +
           std::to_wstring(kMaxTextLines) + L" 行まで。いまは " + std::to_wstring(text.size()) +
           L" 文字・" + std::to_wstring(lines) + L" 行）";
  }
  return std::wstring();
}

std::wstring ColorText(COLORREF color) {
  wchar_t text[8] = {};
  std::swprintf(text, 8, L"%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
  return text;
}

bool ParseColor(const std::wstring& text, COLORREF& color) {
  const std::wstring digits = !text.empty() && text[0] == L'#' ? text.substr(1) : text;
  if (digits.size() != 6) return false;
  for (wchar_t c : digits) {
    if (!std::iswxdigit(c)) return false;
  }
  const unsigned long value = std::wcstoul(digits.c_str(), nullptr, 16);
  color = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  return true;
}

std::wstring EscapeLine(const std::wstring& text) {
  std::wstring line;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    switch (c) {
      case L'\\': line += L"\\\\"; break;
      case L'\r': line += L"\\r"; break;
      case L'\n': line += L"\\n"; break;
      case L'\t': line += L"\\t"; break;
      case L'"': line += L"\\q"; break;
      case L' ': line += i == 0 || i + 1 == text.size() ? L"\\s" : L" "; break;
      default: line += c; break;
    }
  }
  return line;
}

std::wstring UnescapeLine(const std::wstring& line) {
  std::wstring text;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != L'\\' || i + 1 == line.size()) {
      text += line[i];
      continue;
    }
    const wchar_t code = line[++i];
    switch (code) {
      case L'r': text += L'\r'; break;
      case L'n': text += L'\n'; break;
      case L't': text += L'\t'; break;
      case L'q': text += L'"'; break;
      case L's': text += L' '; break;
      default: text += code; break;  // a backslash, or one nobody wrote: kept as it stands
    }
  }
  return text;
}

}  // namespace tvq
