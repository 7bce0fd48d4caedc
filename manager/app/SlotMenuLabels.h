#pragma once

#include <string>
#include <vector>

#include "manager/capture/WindowCandidates.h"

// The texts a slot's menu shows for the sources it offers: what a user reads to tell one window
// or camera from another.
namespace tvq {

// Characters of a label, ellipsis included, beyond which it is shortened.
inline constexpr size_t kMenuLabelLength = 60;

// text as a menu item shows it literally: "&" doubled (a single one would underline the next
// character), tabs and line breaks as spaces (a tab would start the key column), and a text
// longer than maxLength cut with "…" (never inside a surrogate pair).
std::wstring MenuLabel(const std::wstring& text, size_t maxLength = kMenuLabelLength);

// One label per window, in the given order: its title, or its executable's name in brackets
// when it has none; titles that occur more than once carry their executable's name, and
// whatever is still the same is numbered from the second on.
std::vector<std::wstring> WindowMenuLabels(const std::vector<WindowCandidate>& windows);

// One label per device name, repeated names numbered from the second on.
std::vector<std::wstring> CameraMenuLabels(const std::vector<std::wstring>& names);

}  // namespace tvq
