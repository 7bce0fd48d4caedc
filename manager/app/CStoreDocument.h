#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The text of the user's store: sections of "key=value" lines, as in an ini file, but read and
// written by our own hand so that a value comes back exactly as it was given. A value is taken
// verbatim after the first '=' up to the end of its line (blanks and quotes included); only a
// backslash, line breaks, tabs and NUL are escaped (\\ \n \r \t \0). Keys and section names are
// the program's own and trimmed of blanks, as a hand edit may leave them.
//
// The first occurrence wins: a key or section repeated by a hand edit adds nothing.
//
// Threads: any one thread at a time; the Manager uses it on its GUI thread.
class CStoreDocument {
 public:
  static CStoreDocument Parse(const std::wstring& text);
  // The whole text, lines ending in CR LF, sections and keys in the order they were first set.
  std::wstring Format() const;

  // The value of the key, or null when the section or the key is missing.
  const std::wstring* Find(const std::wstring& section, const std::wstring& key) const;
  // The value, or fallback when missing.
  std::wstring Text(const std::wstring& section, const std::wstring& key,
                    const std::wstring& fallback = std::wstring()) const;
  bool HasSection(const std::wstring& section) const;
  // Sets the key's value, adding the section and the key at the end when they are new.
  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);

  static std::wstring Escape(const std::wstring& value);
  static std::wstring Unescape(const std::wstring& text);

 private:
  struct Section {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> keys;
    std::unordered_map<std::wstring, size_t> index;
  };

  Section& SectionNamed(const std::wstring& name);
  void ParseLine(const std::wstring& line, Section*& current);

  std::vector<Section> m_sections;
  std::unordered_map<std::wstring, size_t> m_index;
};
