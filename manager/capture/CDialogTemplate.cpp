#include "manager/capture/CDialogTemplate.h"

namespace {

// Where DLGTEMPLATE keeps its item count, in WORDs from its start (after style, extended style).
constexpr size_t kItemCountAt = 4;

}  // namespace

CDialogTemplate::CDialogTemplate(const wchar_t* title, short width, short height,
                                 const wchar_t* font, WORD pointSize) {
  AddDword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  AddDword(0);
  m_words.push_back(0);  // items, counted by Add
  for (short value : {short(0), short(0), width, height}) {
    m_words.push_back(static_cast<WORD>(value));
  }
  m_words.push_back(0);  // no menu
  m_words.push_back(0);  // the standard dialog class
  AddText(title);
  m_words.push_back(pointSize);
  AddText(font);
}

void CDialogTemplate::Add(ControlClass kind, WORD id, DWORD style, short x, short y, short width,
                          short height, const wchar_t* text) {
  AlignToDword();
  AddDword(style | WS_CHILD | WS_VISIBLE);
  AddDword(0);
  for (short value : {x, y, width, height}) m_words.push_back(static_cast<WORD>(value));
  m_words.push_back(id);
  m_words.push_back(0xFFFF);  // a predefined class, by its atom
  m_words.push_back(kind);
  AddText(text);
  m_words.push_back(0);  // no creation data
  ++m_words[kItemCountAt];
}

void CDialogTemplate::AddDword(DWORD value) {
  m_words.push_back(LOWORD(value));
  m_words.push_back(HIWORD(value));
}

void CDialogTemplate::AddText(const wchar_t* text) {
  for (const wchar_t* c = text; *c != L'\0'; ++c) m_words.push_back(static_cast<WORD>(*c));
  m_words.push_back(0);
}

void CDialogTemplate::AlignToDword() {
  if (m_words.size() % 2 != 0) m_words.push_back(0);
}
