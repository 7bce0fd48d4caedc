#include "manager/capture/CaptureText.h"

#include <cwchar>

namespace tvq {

std::wstring FitText(std::wstring text, size_t units) {
  if (units == 0) return std::wstring();
  if (text.size() <= units - 1) return text;
  size_t keep = units - 1;
  if (keep > 0 && IS_HIGH_SURROGATE(text[keep - 1])) --keep;
  text.resize(keep);
  return text;
}

void CopyText(wchar_t* destination, size_t units, const wchar_t* source) {
  if (units == 0) return;
  const std::wstring fitted = FitText(source != nullptr ? source : L"", units);
  wmemcpy(destination, fitted.c_str(), fitted.size() + 1);
}

std::wstring HexCode(HRESULT code) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  unsigned long value = static_cast<unsigned long>(code);
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return text;
}

}  // namespace tvq
