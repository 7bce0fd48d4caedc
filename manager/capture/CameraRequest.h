#pragma once

#include <windows.h>
#include <strmif.h>

#include <string>

namespace tvq {

// A capture pin format: what a camera connected with, or what it is asked for.
struct CameraFormat {
  LONG width = 0;
  LONG height = 0;
  GUID subtype = GUID_NULL;
  REFERENCE_TIME interval = 0;

  // A format of no size asks for nothing: the device's own format applies.
  bool IsSet() const { return width > 0 && height > 0; }
};

// A camera opened without asking: the device, its crossbar route and its format. Pins of -1
// route the crossbar's first video input; an unset format keeps the device's own.
struct CameraRequest {
  std::wstring devicePath;
  std::wstring friendlyName;
  long crossbarOutput = -1;
  long crossbarInput = -1;
  CameraFormat format;
};

}  // namespace tvq
