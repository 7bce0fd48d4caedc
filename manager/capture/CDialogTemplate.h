#pragma once

#include <windows.h>

#include <vector>

// A dialog template built in memory (DLGTEMPLATE with its items), for a small dialog that needs
// no resource script: the title, the font and each control in dialog units.
//
// Threads: any; the template is plain memory.
class CDialogTemplate {
 public:
  // The predefined control classes, as their atoms.
  enum ControlClass : WORD {
    kButton = 0x0080,
    kEdit = 0x0081,
    kStatic = 0x0082,
    kComboBox = 0x0085,
  };

  CDialogTemplate(const wchar_t* title, short width, short height, const wchar_t* font,
                  WORD pointSize);

  // One control; WS_CHILD and WS_VISIBLE are added.
  void Add(ControlClass kind, WORD id, DWORD style, short x, short y, short width, short height,
           const wchar_t* text);

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

 private:
  void AddDword(DWORD value);
  void AddText(const wchar_t* text);
  void AlignToDword();

  // WORDs, so every field lands on the 2-byte boundary the format asks for; items on 4 bytes.
  std::vector<WORD> m_words;
};
