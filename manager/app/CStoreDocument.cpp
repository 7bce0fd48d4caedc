#include "manager/app/CStoreDocument.h"

namespace {

constexpr wchar_t kBlanks[] = L" \t";

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The character a backslash pair stands for; 0xFFFF where the pair is no escape of ours.
wchar_t EscapedCharacter(wchar_t code) {
  switch (code) {
    case L'\\': return L'\\';
    case L'n': return L'\n';
    case L'r': return L'\r';
    case L't': return L'\t';
    case L'0': return L'\0';
    default: return 0xFFFF;
  }
}

}  // namespace

CStoreDocument CStoreDocument::Parse(const std::wstring& text) {
  CStoreDocument document;
  Section* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    size_t length = end - start;
    // Lines end in CR LF as written; a hand edit may leave LF alone.
    if (length > 0 && text[start + length - 1] == L'\r') --length;
    document.ParseLine(text.substr(start, length), current);
    start = end + 1;
  }
  return document;
}

void CStoreDocument::ParseLine(const std::wstring& line, Section*& current) {
  const std::wstring trimmed = Trimmed(line);
  if (trimmed.empty() || trimmed[0] == L';') return;
  if (trimmed[0] == L'[') {
    const size_t close = trimmed.find(L']');
    // A line that opens a section it never closes belongs to none: its keys are dropped.
    current = close == std::wstring::npos ? nullptr
                                          : &SectionNamed(Trimmed(trimmed.substr(1, close - 1)));
    return;
  }
  const size_t equals = line.find(L'=');
  if (current == nullptr || equals == std::wstring::npos) return;
  const std::wstring key = Trimmed(line.substr(0, equals));
  if (key.empty() || current->index.count(key) != 0) return;
  current->index.emplace(key, current->keys.size());
  current->keys.emplace_back(key, Unescape(line.substr(equals + 1)));
}

std::wstring CStoreDocument::Format() const {
  std::wstring text;
  for (const Section& section : m_sections) {
    text += L"[" + section.name + L"]\r\n";
    for (const auto& [key, value] : section.keys) text += key + L"=" + Escape(value) + L"\r\n";
  }
  return text;
}

const std::wstring* CStoreDocument::Find(const std::wstring& section,
                                         const std::wstring& key) const {
  const auto found = m_index.find(section);
  if (found == m_index.end()) return nullptr;
  const Section& s = m_sections[found->second];
  const auto value = s.index.find(key);
  return value == s.index.end() ? nullptr : &s.keys[value->second].second;
}

std::wstring CStoreDocument::Text(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& fallback) const {
  const std::wstring* value = Find(section, key);
  return value != nullptr ? *value : fallback;
}

bool CStoreDocument::HasSection(const std::wstring& section) const {
  return m_index.count(section) != 0;
}

void CStoreDocument::Set(const std::wstring& section, const std::wstring& key,
                         const std::wstring& value) {
  Section& s = SectionNamed(section);
  const auto found = s.index.find(key);
  if (found != s.index.end()) {
    s.keys[found->second].second = value;
    return;
  }
  s.index.emplace(key, s.keys.size());
  s.keys.emplace_back(key, value);
}

CStoreDocument::Section& CStoreDocument::SectionNamed(const std::wstring& name) {
  const auto found = m_index.find(name);
  if (found != m_index.end()) return m_sections[found->second];
  m_index.emplace(name, m_sections.size());
  m_sections.push_back(Section{name, {}, {}});
  return m_sections.back();
}

std::wstring CStoreDocument::Escape(const std::wstring& value) {
  std::wstring text;
  text.reserve(value.size());
  for (wchar_t c : value) {
    switch (c) {
      case L'\\': text += L"\\\\"; break;
      case L'\n': text += L"\\n"; break;
      case L'\r': text += L"\\r"; break;
      case L'\t': text += L"\\t"; break;
      case L'\0': text += L"\\0"; break;
      default: text += c; break;
    }
  }
  return text;
}

// A backslash before anything else stays as typed: a hand-written path keeps its backslashes.
std::wstring CStoreDocument::Unescape(const std::wstring& text) {
  std::wstring value;
  value.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t escaped = i + 1 < text.size() && text[i] == L'\\' ? EscapedCharacter(text[i + 1])
                                                                   : 0xFFFF;
    if (escaped == 0xFFFF) {
      value += text[i];
    } else {
      value += escaped;
      ++i;
    }
  }
  return value;
}
