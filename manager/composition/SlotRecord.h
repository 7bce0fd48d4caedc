#pragma once

#include <string>

#include "manager/capture/CameraRequest.h"
#include "manager/composition/ISlotTable.h"

namespace tvq {

// What a slot held when it was last recorded: enough to find the same source again at the next
// start. Only the fields of its kind mean anything.
struct SlotRecord {
  int kind = kEmptySlot;
  bool paused = false;
  // A camera: its device, crossbar route and the format it connected with.
  CameraRequest camera;
  // A window: its title, and what tells it apart from others of the same title.
  std::wstring title;
  std::wstring className;
  std::wstring executable;

  // The name the status text shows for the source: a camera's friendly name, a window's title.
  const std::wstring& Name() const { return kind == kCameraSlot ? camera.friendlyName : title; }
};

}  // namespace tvq
