#pragma once

#include "manager/capture/DirectShow.h"

namespace tvq {

// Takes every event a running graph holds, without waiting: cheap enough for every capture tick,
// and the queue never grows while nobody else reads it. True when one of them says the graph
// delivers no more frames: its device was lost (unplugged), or its stream stopped on an error.
//
// Threads: the thread that owns the graph; the graph queues its events from any thread.
bool TakeStopEvents(IMediaEvent& events);

// Whether one event means the graph delivers no more frames.
bool IsStopEvent(long code, LONG_PTR param2);

}  // namespace tvq
