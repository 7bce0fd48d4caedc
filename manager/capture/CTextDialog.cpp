#include "manager/capture/CTextDialog.h"

#include <commdlg.h>

#include <cwchar>
#include <utility>

#include "manager/capture/CDialogTemplate.h"

namespace {

using Ctl = CDialogTemplate;
constexpr WORD kLabel = 0xFFFF;  // a label no code refers to
constexpr DWORD kField = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kPick = BS_PUSHBUTTON | WS_TABSTOP;

constexpr const wchar_t* kFonts[] = {L"Meiryo",     L"Yu Gothic UI", L"MS UI Gothic",
                                     L"MS Gothic",  L"IPAGothic",    L"Segoe UI",
                                     L"Arial",      L"Times New Roman"};

CDialogTemplate Layout(bool editing) {
  CDialogTemplate t(editing ? CTextDialog::kEditTitle : CTextDialog::kNewTitle, 262, 218,
                    L"MS UI Gothic", 9);
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 7, 7, 248, 9,
        L"テキスト（Enter：決定／Shift+Enter：改行／Esc：取り消し）");
  t.Add(Ctl::kEdit, CTextDialog::kTextBox,
        WS_BORDER | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 7,
        18, 248, 64, L"");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 7, 90, 50, 9, L"フォント");
  t.Add(Ctl::kComboBox, CTextDialog::kFont, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL |
        WS_TABSTOP, 60, 88, 120, 120, L"");
  t.Add(Ctl::kButton, CTextDialog::kBold, BS_AUTOCHECKBOX | WS_TABSTOP, 190, 89, 60, 10,
        L"太字");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 7, 108, 120, 9, L"大きさ（スロットの高さの %）");
  t.Add(Ctl::kEdit, CTextDialog::kSize, kField | ES_NUMBER, 130, 106, 30, 12, L"");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 7, 126, 50, 9, L"文字の色 #");
  t.Add(Ctl::kEdit, CTextDialog::kColor, kField, 60, 124, 44, 12, L"");
  t.Add(Ctl::kButton, CTextDialog::kColorPick, kPick, 106, 124, 16, 12, L"...");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 7, 144, 120, 9, L"縁取り（文字の高さの %、0：なし）");
  t.Add(Ctl::kEdit, CTextDialog::kOutline, kField | ES_NUMBER, 130, 142, 30, 12, L"");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 166, 144, 16, 9, L"#");
  t.Add(Ctl::kEdit, CTextDialog::kOutlineColor, kField, 182, 142, 44, 12, L"");
  t.Add(Ctl::kButton, CTextDialog::kOutlineColorPick, kPick, 228, 142, 16, 12, L"...");
  t.Add(Ctl::kButton, CTextDialog::kBox, BS_AUTOCHECKBOX | WS_TABSTOP, 7, 161, 58, 10,
        L"背景の箱 #");
  t.Add(Ctl::kEdit, CTextDialog::kBoxColor, kField, 66, 160, 44, 12, L"");
  t.Add(Ctl::kButton, CTextDialog::kBoxColorPick, kPick, 112, 160, 16, 12, L"...");
  t.Add(Ctl::kStatic, kLabel, SS_LEFT, 138, 162, 66, 9, L"不透明度（%）");
  t.Add(Ctl::kEdit, CTextDialog::kBoxOpacity, kField | ES_NUMBER, 208, 160, 30, 12, L"");
  t.Add(Ctl::kStatic, CTextDialog::kProblem, SS_LEFT, 7, 178, 248, 18, L"");
  t.Add(Ctl::kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 198, 50, 14, L"OK");
  t.Add(Ctl::kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 205, 198, 50, 14, L"キャンセル");
  return t;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  const int read = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(read > 0 ? read : 0));
  return text;
}

void SetNumber(HWND dialog, WORD id, int value) {
  SetDlgItemTextW(dialog, id, std::to_wstring(value).c_str());
}

void SetColor(HWND dialog, WORD id, COLORREF color) {
  SetDlgItemTextW(dialog, id, tvq::ColorText(color).c_str());
}

bool IsPlainEnter(WPARAM key) { return key == VK_RETURN && GetKeyState(VK_SHIFT) >= 0; }

}  // namespace

CTextDialog::CTextDialog(std::wstring text, tvq::TextStyle style)
    : m_text(std::move(text)), m_style(std::move(style)) {}

bool CTextDialog::Show(HWND owner, bool editing) {
  const CDialogTemplate layout = Layout(editing);
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner,
                                 &CTextDialog::DialogProc, reinterpret_cast<LPARAM>(this)) ==
         IDOK;
}

INT_PTR CALLBACK CTextDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<CTextDialog*>(lParam)->OnInit(dialog);
    return FALSE;  // the focus is set on the text box
  }
  auto* self = reinterpret_cast<CTextDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (self == nullptr || message != WM_COMMAND) return FALSE;
  return self->OnCommand(dialog, LOWORD(wParam)) ? TRUE : FALSE;
}

// Plain Enter confirms and Esc cancels even inside the multi-line box, which would otherwise take
// both; Shift+Enter still makes a new line, and Tab still moves on.
LRESULT CALLBACK CTextDialog::TextBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(box, GWLP_USERDATA));
  if (message == WM_KEYDOWN && (IsPlainEnter(wParam) || wParam == VK_ESCAPE)) {
    PostMessageW(GetParent(box), WM_COMMAND, wParam == VK_ESCAPE ? IDCANCEL : IDOK, 0);
    return 0;
  }
  if (message == WM_CHAR && (IsPlainEnter(wParam) || wParam == L'\n' || wParam == 0x1B)) return 0;
  LRESULT result = CallWindowProcW(original, box, message, wParam, lParam);
  const MSG* key = reinterpret_cast<const MSG*>(lParam);
  if (message == WM_GETDLGCODE && key != nullptr && key->wParam == VK_TAB) {
    result &= ~DLGC_WANTALLKEYS;
  }
  return result;
}

void CTextDialog::OnInit(HWND dialog) {
  HWND box = GetDlgItem(dialog, kTextBox);
  SetWindowTextW(box, m_text.c_str());
  SetWindowLongPtrW(box, GWLP_USERDATA, GetWindowLongPtrW(box, GWLP_WNDPROC));
  SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CTextDialog::TextBoxProc));
  HWND fonts = GetDlgItem(dialog, kFont);
  for (const wchar_t* font : kFonts) {
    SendMessageW(fonts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font));
  }
  SetWindowTextW(fonts, m_style.font.c_str());
  CheckDlgButton(dialog, kBold, m_style.bold ? BST_CHECKED : BST_UNCHECKED);
  SetNumber(dialog, kSize, m_style.sizePercent);
  SetColor(dialog, kColor, m_style.color);
  SetNumber(dialog, kOutline, m_style.outlinePercent);
  SetColor(dialog, kOutlineColor, m_style.outlineColor);
  CheckDlgButton(dialog, kBox, m_style.box ? BST_CHECKED : BST_UNCHECKED);
  SetColor(dialog, kBoxColor, m_style.boxColor);
  SetNumber(dialog, kBoxOpacity, m_style.boxOpacityPercent);
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
}

bool CTextDialog::OnCommand(HWND dialog, WORD id) {
  switch (id) {
    case IDOK:
      if (Confirm(dialog)) EndDialog(dialog, IDOK);
      return true;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return true;
    case kColorPick: PickColor(dialog, kColor); return true;
    case kOutlineColorPick: PickColor(dialog, kOutlineColor); return true;
    case kBoxColorPick: PickColor(dialog, kBoxColor); return true;
    default: return false;
  }
}

bool CTextDialog::Confirm(HWND dialog) {
  const std::wstring text = WindowText(GetDlgItem(dialog, kTextBox));
  const std::wstring problem = tvq::TextProblem(text);
  if (!problem.empty()) {
    Refuse(dialog, problem);
    SetFocus(GetDlgItem(dialog, kTextBox));
    return false;
  }
  tvq::TextStyle style;
  style.font = WindowText(GetDlgItem(dialog, kFont));
  style.bold = IsDlgButtonChecked(dialog, kBold) == BST_CHECKED;
  style.box = IsDlgButtonChecked(dialog, kBox) == BST_CHECKED;
  const bool read = ReadNumber(dialog, kSize, 1, 100, L"大きさ", style.sizePercent) &&
                    ReadColor(dialog, kColor, L"文字の色", style.color) &&
                    ReadNumber(dialog, kOutline, 0, 30, L"縁取り", style.outlinePercent) &&
                    ReadColor(dialog, kOutlineColor, L"縁取りの色", style.outlineColor) &&
                    ReadColor(dialog, kBoxColor, L"箱の色", style.boxColor) &&
                    ReadNumber(dialog, kBoxOpacity, 0, 100, L"不透明度", style.boxOpacityPercent);
  if (!read) return false;
  style.Clamp();
  m_text = text;
  m_style = style;
  return true;
}

bool CTextDialog::ReadNumber(HWND dialog, WORD id, int low, int high, const wchar_t* name,
                             int& value) {
  const std::wstring text = WindowText(GetDlgItem(dialog, id));
  wchar_t* end = nullptr;
  const long number = std::wcstol(text.c_str(), &end, 10);
  if (!text.empty() && *end == L'\0' && number >= low && number <= high) {
    value = static_cast<int>(number);
    return true;
  }
  Refuse(dialog, std::wstring(name) + L"は " + std::to_wstring(low) + L"〜" +
                     std::to_wstring(high) + L" の数で入れてください");
  SetFocus(GetDlgItem(dialog, id));
  return false;
}

bool CTextDialog::ReadColor(HWND dialog, WORD id, const wchar_t* name, COLORREF& color) {
  if (tvq::ParseColor(WindowText(GetDlgItem(dialog, id)), color)) return true;
  Refuse(dialog, std::wstring(name) + L"は RRGGBB（16 進 6 桁、例：FFFFFF）で入れてください");
  SetFocus(GetDlgItem(dialog, id));
  return false;
}

void CTextDialog::PickColor(HWND dialog, WORD id) {
  COLORREF color = RGB(255, 255, 255);
  tvq::ParseColor(WindowText(GetDlgItem(dialog, id)), color);
  CHOOSECOLORW chooser{};
  chooser.lStructSize = sizeof(chooser);
  chooser.hwndOwner = dialog;
  chooser.rgbResult = color;
  chooser.lpCustColors = m_customColors;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (ChooseColorW(&chooser)) SetColor(dialog, id, chooser.rgbResult);
}

void CTextDialog::Refuse(HWND dialog, const std::wstring& reason) {
  SetDlgItemTextW(dialog, kProblem, reason.c_str());
}
