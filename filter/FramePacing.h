#pragma once

#include <windows.h>
#include <strmif.h>

// How long FillBuffer sleeps so that samples leave at the frame interval: the interval in whole
// milliseconds, less the time the call has taken so far, less 1 ms for delivering the sample.
namespace tvq {

// startMs and nowMs are timeGetTime readings; their difference is taken modulo 2^32 so that the
// counter may wrap between them. 0 means "do not sleep".
DWORD PacingSleepMs(REFERENCE_TIME interval, DWORD startMs, DWORD nowMs);

}  // namespace tvq
