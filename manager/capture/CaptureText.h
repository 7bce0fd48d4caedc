#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Text handling shared by the capture sources' fields and questions.
namespace tvq {

// text cut to fit a buffer of units code units with its terminator (at most units - 1), never
// splitting a surrogate pair.
std::wstring FitText(std::wstring text, size_t units);

// Copies source (null counts as empty) into a buffer of units code units, cut as FitText does.
void CopyText(wchar_t* destination, size_t units, const wchar_t* source);

// A result code in lower-case hexadecimal without prefix or leading zeros, as "%x" prints it.
std::wstring HexCode(HRESULT code);

}  // namespace tvq
