#include "manager/app/SlotMenuLabels.h"

#include <algorithm>
#include <map>

namespace tvq {
namespace {

constexpr wchar_t kEllipsis[] = L"…";
constexpr wchar_t kUntitled[] = L"（タイトルなし）";

std::wstring Bracketed(const std::wstring& text) { return L"（" + text + L"）"; }

std::wstring Shortened(const std::wstring& text, size_t maxLength) {
  if (text.size() <= maxLength || maxLength == 0) return text;
  size_t kept = maxLength - 1;
  if (kept > 0 && IS_HIGH_SURROGATE(text[kept - 1])) --kept;
  return text.substr(0, kept) + kEllipsis;
}

// Shortened first, so that what tells two labels apart is never the part cut off.
std::wstring Escaped(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'&') escaped += L'&';
    escaped += (c == L'\t' || c == L'\r' || c == L'\n') ? L' ' : c;
  }
  return escaped;
}

// Labels seen before get "（2）", "（3）", ... in their order.
std::vector<std::wstring> NumberRepeats(std::vector<std::wstring> labels) {
  std::map<std::wstring, int> seen;
  for (std::wstring& label : labels) {
    const int count = ++seen[label];
    if (count > 1) label += Bracketed(std::to_wstring(count));
  }
  return labels;
}

std::wstring WindowName(const WindowCandidate& window) {
  if (!window.title.empty()) return window.title;
  return window.executable.empty() ? kUntitled : Bracketed(window.executable);
}

}  // namespace

std::wstring MenuLabel(const std::wstring& text, size_t maxLength) {
  return Escaped(Shortened(text, maxLength));
}

std::vector<std::wstring> WindowMenuLabels(const std::vector<WindowCandidate>& windows) {
  std::map<std::wstring, int> titleCounts;
  for (const WindowCandidate& window : windows) ++titleCounts[WindowName(window)];
  std::vector<std::wstring> labels;
  for (const WindowCandidate& window : windows) {
    const std::wstring name = WindowName(window);
    const bool repeated = titleCounts[name] > 1 && !window.title.empty();
    const std::wstring program = repeated && !window.executable.empty()
                                     ? Escaped(Bracketed(window.executable))
                                     : std::wstring();
    const size_t room = kMenuLabelLength - std::min(program.size(), kMenuLabelLength / 2);
    labels.push_back(MenuLabel(name, room) + program);
  }
  return NumberRepeats(labels);
}

std::vector<std::wstring> CameraMenuLabels(const std::vector<std::wstring>& names) {
  std::vector<std::wstring> labels;
  for (const std::wstring& name : names) labels.push_back(MenuLabel(name));
  return NumberRepeats(labels);
}

}  // namespace tvq
