#pragma once

#include "manager/capture/CaptureMethod.h"

namespace tvq {

// What a user can choose on a source that copies its picture in more than one way; the slot menu
// and the status text reach it through the source.
class ICaptureMethodChoice {
 public:
  virtual CaptureMode Mode() const = 0;
  // Takes effect from the next capture and is kept for the application.
  virtual void SetMode(CaptureMode mode) = 0;
  // The method the last capture used (or the next one will, before the first).
  virtual CaptureMethod RunningMethod() const = 0;

 protected:
  ~ICaptureMethodChoice() = default;
};

}  // namespace tvq
