#pragma once

#include "manager/capture/CameraRequest.h"
#include "manager/capture/DirectShow.h"

namespace tvq {

// Asks a capture pin for a recorded format among the formats it lists: those of the recorded
// size and subtype (any subtype when the record names none), at the recorded frame interval. A
// pin that refuses that interval for every such format is asked for the recorded size at its own
// interval, so a camera that no longer offers the rate still comes back at the size it had.
// False (the pin's own format then applies) when it lists no format of that size or refuses them
// all.
//
// Threads: the caller's, in the COM apartment that holds the pin.
bool RequestCaptureFormat(IAMStreamConfig& config, const CameraFormat& format);

}  // namespace tvq
