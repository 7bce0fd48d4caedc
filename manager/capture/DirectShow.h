#pragma once

// DirectShow for the camera source. Without NO_DSHOW_STRSAFE, dshow.h pulls in strsafe.h, which
// marks the C library's string functions deprecated for every file that follows.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <dshow.h>
