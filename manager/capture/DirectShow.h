#pragma once

// DirectShow for the camera source. Without NO_DSHOW_STRSAFE, dshow.h pulls in strsafe.h, which
// marks the C library's string functions deprecated for every file that follows.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <dshow.h>

#if defined(__MINGW32__)
// mingw-w64's control.h gives IMediaEvent no uuid, so __uuidof (and ComPtr::As) would not link.
__CRT_UUID_DECL(IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7,
                0x70)
#endif
