#pragma once

#include <windows.h>

#include <string>

namespace tvq {

// The system's open-file dialog for pictures (PNG, JPEG, BMP, GIF, TIFF, ICO, or any file), over
// owner. A full path typed into its name box and Enter opens it, as in any program. False when
// the user cancelled (or the dialog could not open).
//
// Threads: the GUI thread; the dialog runs its own message loop, in which timers go on.
bool AskForImageFile(HWND owner, std::wstring& path);

}  // namespace tvq
