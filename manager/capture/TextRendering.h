#pragma once

#include <string>

#include "manager/capture/TextStyle.h"

class CImage;

namespace tvq {

// Draws text as a slot shows it: at the slot's own size in pixels (never stretched afterwards,
// so it stays sharp), centred, lines as given, in a font whose height follows the slot's height
// and shrinks where the text would not fit. The result is a premultiplied 32-bit picture made
// anew at width x height: smooth glyph edges (the system's anti-aliased text, drawn white on
// black and taken as coverage), then coloured, over the outline and the optional box.
// False for empty text or a size below one pixel, or when GDI could not draw.
//
// Threads: any thread; it uses only objects of its own.
bool RenderText(const std::wstring& text, const TextStyle& style, int width, int height,
                CImage& picture);

}  // namespace tvq
