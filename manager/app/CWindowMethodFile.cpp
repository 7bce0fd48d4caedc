#include "manager/app/CWindowMethodFile.h"

#include <windows.h>

#include <cwchar>

#include "manager/app/Settings.h"

namespace tvq {
namespace {

constexpr DWORD kValueLength = 64;

constexpr const wchar_t* kModeNames[] = {L"Automatic", L"Standard", L"FullContent"};
constexpr const wchar_t* kMethodNames[] = {L"Standard", L"FullContent"};

// What the profile calls would take apart or trim: the key's own separators, the section and
// comment marks, quotes, blanks and line breaks; the escape mark itself.
bool NeedsEscape(wchar_t c) {
  return c < 0x21 || c == L'%' || c == L'|' || c == L'=' || c == L';' || c == L'[' ||
         c == L']' || c == L'"';
}

std::wstring Escaped(const std::wstring& name) {
  std::wstring escaped;
  for (wchar_t c : name) {
    if (!NeedsEscape(c)) {
      escaped += c;
      continue;
    }
    wchar_t code[4] = L"";
    std::swprintf(code, 4, L"%%%02X", static_cast<unsigned>(c));
    escaped += code;
  }
  return escaped;
}

template <typename Value, size_t N>
bool FindName(const wchar_t* const (&names)[N], const std::wstring& text, Value& value) {
  for (size_t i = 0; i < N; ++i) {
    if (text == names[i]) {
      value = static_cast<Value>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

std::wstring CWindowMethodFile::KeyOf(const std::wstring& className,
                                      const std::wstring& executable) {
  return Escaped(className) + L"|" + Escaped(executable);
}

std::wstring CWindowMethodFile::FormatChoice(const MethodChoice& choice) {
  return std::wstring(kModeNames[static_cast<int>(choice.mode)]) + L"," +
         kMethodNames[static_cast<int>(choice.method)];
}

bool CWindowMethodFile::ParseChoice(const std::wstring& text, MethodChoice& choice) {
  const size_t comma = text.find(L',');
  if (comma == std::wstring::npos) return false;
  MethodChoice parsed;
  if (!FindName(kModeNames, text.substr(0, comma), parsed.mode) ||
      !FindName(kMethodNames, text.substr(comma + 1), parsed.method)) {
    return false;
  }
  choice = parsed;
  return true;
}

bool CWindowMethodFile::Recall(const std::wstring& className, const std::wstring& executable,
                               MethodChoice& choice) const {
  const std::wstring file = FilePath();
  if (file.empty()) return false;
  wchar_t text[kValueLength] = L"";
  GetPrivateProfileStringW(kSection, KeyOf(className, executable).c_str(), L"", text,
                           kValueLength, file.c_str());
  return ParseChoice(text, choice);
}

void CWindowMethodFile::Remember(const std::wstring& className, const std::wstring& executable,
                                 const MethodChoice& choice) {
  const std::wstring file = FilePath();
  if (file.empty()) return;
  CreateUnicodeFileIfMissing(file);
  WritePrivateProfileStringW(kSection, KeyOf(className, executable).c_str(),
                             FormatChoice(choice).c_str(), file.c_str());
}

std::wstring CWindowMethodFile::FilePath() const {
  return m_modulePath.empty() ? std::wstring() : SettingsPath(m_modulePath, kWindowFileName);
}

}  // namespace tvq
