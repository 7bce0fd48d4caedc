#pragma once

#include <strmif.h>

#include "manager/capture/CameraPrompt.h"

namespace tvq {

// The property pages of a capture device and of its pins, each shown in a modal frame without
// owner, so that settings made there (such as the capture pin's format) are in force when the
// stream is connected. Lives for one call of its owner.
//
// Threads: the GUI thread; each frame runs a modal loop of its own.
class PropertyPages {
 public:
  PropertyPages(IBaseFilter& device, CameraPrompt& prompt) : m_device(device), m_prompt(prompt) {}

  // Whether the device or any of its pins offers pages: nothing to show otherwise.
  static bool Exist(IBaseFilter& device);

  // False (reported) when the device has no pages.
  bool ShowDevice();
  // Every pin of one direction in turn; the first pin without pages is reported and ends the
  // direction, so the rest of its pins are not shown.
  bool ShowPins(PIN_DIRECTION direction);

 private:
  void ShowFrame(ISpecifyPropertyPages& pages, IUnknown* object, const wchar_t* caption);

  IBaseFilter& m_device;
  CameraPrompt& m_prompt;
};

}  // namespace tvq
