#pragma once

#include <windows.h>

namespace tvq {

// Milliseconds on a clock that only goes forward. The Manager reads the system's tick count;
// tests step a clock of their own.
class ITickClock {
 public:
  virtual ULONGLONG NowMs() const = 0;

 protected:
  ~ITickClock() = default;
};

class SystemTickClock final : public ITickClock {
 public:
  ULONGLONG NowMs() const override { return GetTickCount64(); }
};

}  // namespace tvq
