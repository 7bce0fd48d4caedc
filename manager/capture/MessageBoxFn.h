#pragma once

#include <windows.h>

#include <functional>

namespace tvq {

// How a capture source asks the user something: text, caption, MB_* flags in, ID* answer out.
// The Manager always uses ShowOwnerlessMessageBox; tests put an answering function in its place.
using MessageBoxFn = std::function<int(const wchar_t* text, const wchar_t* caption, UINT type)>;

// A real message box with no owner window, so the main window stays usable while it waits.
int ShowOwnerlessMessageBox(const wchar_t* text, const wchar_t* caption, UINT type);

// Shows through messageBox, or a real box when it holds no function (a moved-from source).
int AskUser(const MessageBoxFn& messageBox, const wchar_t* text, const wchar_t* caption, UINT type);

}  // namespace tvq
