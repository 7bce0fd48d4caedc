#pragma once

#include <string>

#include "manager/capture/CameraRequest.h"
#include "manager/capture/TextStyle.h"

namespace tvq {

// What a slot held when it was last recorded: enough to find the same source again at the next
// start. Only the fields of its kind mean anything; the kind's row in the table of kinds
// (SlotKinds.h) reads, writes, describes and reopens them.
struct SlotRecord {
  // A tvq::SlotKind value; 0, the empty slot's, for a record of nothing.
  int kind = 0;
  bool paused = false;
  // A camera: its device, crossbar route and the format it connected with.
  CameraRequest camera;
  // A window: its title, and what tells it apart from others of the same title.
  std::wstring title;
  std::wstring className;
  std::wstring executable;
  // An image: its file.
  std::wstring imagePath;
  // A text: what it says and how it is drawn.
  std::wstring text;
  TextStyle textStyle;
};

}  // namespace tvq
