#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include <atomic>

#include "tests/common/ChildProcess.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/FramePattern.h"
#include "tests/reliability/GuardedSink.h"

// Watching the frames a client receives while the Manager follows the client's format.
namespace tvqtest {

// Tells whether a sample holds one whole frame of the connection's size: an identifier of the
// frame (>= 0) when it does, -1 when not.
using FrameIdentifier = int (*)(const ReceivedSample& sample);

// The seed of a whole test-pattern frame (FramePattern.h).
inline int PatternFrameId(const ReceivedSample& s) {
  return PatternSeed(s.data, static_cast<size_t>(s.size), s.connection->bmiHeader.biWidth,
                     s.connection->bmiHeader.biHeight);
}

// Looks at every sample on the worker thread. Until the Manager has followed a newly published
// format, frames of the previous size are expected; after a run's first whole frame every frame
// must be whole.
class IntegrityChecker {
 public:
  IntegrityChecker(GuardedSink& sink, FrameIdentifier identify) : m_identify(identify) {
    sink.SetInspector([this](const ReceivedSample& s) { Inspect(s); });
  }
  void NewRun() {
    m_sawGood = false;
    m_goodInRun = 0;
  }
  LONG GoodInRun() const { return m_goodInRun; }
  LONG Bad() const { return m_bad; }
  int LastId() const { return m_lastId; }
  LONG IdChanges() const { return m_idChanges; }
  bool WaitForGoodFrames(LONG count, DWORD timeoutMs) const {
    return WaitUntil([&] { return m_goodInRun >= count; }, timeoutMs);
  }

 private:
  void Inspect(const ReceivedSample& s) {
    const int id = m_identify(s);
    if (id < 0) {
      if (m_sawGood) ++m_bad;
      return;
    }
    m_sawGood = true;
    ++m_goodInRun;
    if (id != m_lastId.exchange(id)) ++m_idChanges;
  }

  FrameIdentifier m_identify;
  std::atomic<bool> m_sawGood{false};
  std::atomic<LONG> m_goodInRun{0};
  std::atomic<LONG> m_bad{0};
  std::atomic<int> m_lastId{-1};
  std::atomic<LONG> m_idChanges{0};
};

}  // namespace tvqtest
