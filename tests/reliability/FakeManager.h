#pragma once

#include <windows.h>

#include <string>

#include "common/Lifetime.h"
#include "tests/common/ChildProcess.h"

// Child modes that stand in for the Manager's side of the channel, for tests that must not
// depend on the Manager's window: each runs in a process of its own, as the Manager does.
namespace tvqtest {

// "fake-manager" <stop event> <ready event> <width> <height>: creates the three channel objects
// as the Manager does (the pixel object sized for width x height), then every 10 ms follows the
// published format like a compositing tick and writes a new pattern frame (FramePattern.h) of
// the current size. Sets the ready event after its first frame; ends when the stop event is set.
inline constexpr const wchar_t* kFakeManagerMode = L"fake-manager";

// "hold-pixel-mutex" <held event>: takes the pixel object's mutex, sets the event and waits to be
// killed; ends by itself after a minute.
inline constexpr const wchar_t* kHoldPixelMutexMode = L"hold-pixel-mutex";

// A process-unique name for an event of one test.
std::wstring UniqueEventName(const wchar_t* purpose);

// The fake Manager in a process of its own; killed when the object goes, if still running.
class FakeManagerProcess {
 public:
  // The pixel object (when the fake Manager creates it) and the first canvas are width x height.
  FakeManagerProcess(int width, int height);
  // True once its first frame is in the pixel object.
  bool WaitReady();
  // Asks it to end; true when it ended by itself with success.
  bool Stop();

 private:
  std::wstring m_stopName;
  std::wstring m_readyName;
  tvq::UniqueKernelHandle m_stop;
  tvq::UniqueKernelHandle m_ready;
  ChildProcess m_process;
};

}  // namespace tvqtest
