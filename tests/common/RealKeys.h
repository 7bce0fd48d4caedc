#pragma once

#include <windows.h>

#include <string>

// Real input on the test display through xdotool, as a user's keyboard and mouse give it: the X
// server's events, which Wine turns into the same messages (and global hot keys) as on Windows.
// xdotool is a Unix program: Wine starts it, but its end cannot be waited for, so callers wait
// for what the input does instead.
namespace tvqtest {

// "xdotool key" with the given keys ("ctrl+alt+1"); false when xdotool could not be started.
bool PressRealKeys(const std::wstring& keys);
// A left click at a screen point.
bool RealClickAt(POINT screen);

}  // namespace tvqtest
