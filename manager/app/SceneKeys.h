#pragma once

#include <string>

#include "manager/app/CStoreDocument.h"
#include "manager/composition/Scene.h"

// How one slot of a scene lies in the store: its record's keys in section (as the restore
// records a slot: "Kind", "Paused" and the kind's own keys) and its placement in section
// + ".Placement", under the per-kind files' keys and in their formats.
namespace tvq {

// A slot whose kind is missing or unknown reads as empty; missing keys take the defaults.
SceneSlot ReadSceneSlot(const CStoreDocument& document, const std::wstring& section);
// An empty slot writes nothing.
void WriteSceneSlot(CStoreDocument& document, const std::wstring& section, const SceneSlot& slot);

// Hot key modifiers (MOD_CONTROL, MOD_ALT, MOD_SHIFT, MOD_WIN) as the store and the status text
// write them: "Ctrl+Alt+Shift".
std::wstring ModifiersText(unsigned int modifiers);
// False for text that names no modifier a hot key can go with (a digit with Shift alone, or
// none, would take the digits from every other program) or an unknown word.
bool ParseModifiers(const std::wstring& text, unsigned int& modifiers);

}  // namespace tvq
