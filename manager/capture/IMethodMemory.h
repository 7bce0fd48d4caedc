#pragma once

#include <string>

#include "manager/capture/CaptureMethod.h"

namespace tvq {

// The choice per application, told apart by window class and executable file name (a browser's
// windows all share both, whatever page they show).
//
// Threads: called on the GUI thread only.
class IMethodMemory {
 public:
  // False when nothing is kept for the application.
  virtual bool Recall(const std::wstring& className, const std::wstring& executable,
                      MethodChoice& choice) const = 0;
  virtual void Remember(const std::wstring& className, const std::wstring& executable,
                        const MethodChoice& choice) = 0;

 protected:
  ~IMethodMemory() = default;
};

}  // namespace tvq
