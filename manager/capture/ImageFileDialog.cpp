#include "manager/capture/ImageFileDialog.h"

#include <commdlg.h>

#include <vector>

namespace tvq {
namespace {

// Pairs of a shown name and its patterns, each ending in NUL, the whole list in a second NUL.
constexpr wchar_t kFilter[] =
    L"画像ファイル (PNG, JPEG, BMP, GIF, TIFF, ICO)\0"
    L"*.png;*.jpg;*.jpeg;*.jpe;*.bmp;*.dib;*.gif;*.tif;*.tiff;*.ico\0"
    L"PNG (*.png)\0*.png\0"
    L"JPEG (*.jpg, *.jpeg)\0*.jpg;*.jpeg;*.jpe\0"
    L"BMP (*.bmp)\0*.bmp;*.dib\0"
    L"GIF (*.gif)\0*.gif\0"
    L"TIFF (*.tif, *.tiff)\0*.tif;*.tiff\0"
    L"ICO (*.ico)\0*.ico\0"
    L"すべてのファイル (*.*)\0*.*\0";
constexpr wchar_t kTitle[] = L"スロットに入れる画像";
// Long paths typed by hand fit; the dialog refuses longer ones by itself.
constexpr DWORD kPathUnits = 32768;

}  // namespace

bool AskForImageFile(HWND owner, std::wstring& path) {
  std::vector<wchar_t> buffer(kPathUnits, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kPathUnits;
  dialog.lpstrTitle = kTitle;
  // The settings lie beside the program: the dialog must not move the working folder.
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  if (!GetOpenFileNameW(&dialog)) return false;
  path = buffer.data();
  return !path.empty();
}

}  // namespace tvq
