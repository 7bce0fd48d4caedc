#pragma once

#include <windows.h>
#include <strmif.h>

#include "common/Lifetime.h"

namespace tvq {

// Monotonic time in 100 ns units and a wait until a moment on that scale. The filter uses the
// performance counter; tests give a clock of their own.
class IPacingClock {
 public:
  virtual ~IPacingClock() = default;
  virtual LONGLONG Now() = 0;
  virtual void WaitUntil(LONGLONG moment) = 0;
};

// When each sample leaves: on fixed deadlines one interval apart, counted from the fill of the
// first sample after a start, so that the rate a client sees on arrival is the one it asked for
// and agrees with the time stamps (frame number x interval). Time spent copying and delivering
// counts against the interval. A sample that is late leaves at once and the next ones keep to
// the grid (catching up); after a stall of more than two intervals the grid starts again from now,
// so a stall never turns into a burst. Frame number 0 (after every stop) anchors a new grid.
//
// Threads: only the pin's worker thread (or a test) calls it; it has no lock of its own.
class FrameSchedule {
 public:
  // The moment the sample may leave; now is the time its fill ended. The interval is read
  // afresh for every sample, so a new interval applies from the next sample on.
  LONGLONG Due(LONGLONG frameNumber, REFERENCE_TIME interval, LONGLONG now);

 private:
  LONGLONG m_lastDue = 0;
  bool m_anchored = false;
};

// Waits out the schedule on a clock.
class FramePacer {
 public:
  explicit FramePacer(IPacingClock& clock) : m_clock(clock) {}
  void WaitForSample(LONGLONG frameNumber, REFERENCE_TIME interval) {
    m_clock.WaitUntil(m_schedule.Due(frameNumber, interval, m_clock.Now()));
  }

 private:
  IPacingClock& m_clock;
  FrameSchedule m_schedule;
};

// The performance counter, and a high-resolution waitable timer where the platform has one
// (else an ordinary one, else Sleep). Meant to run with a 1 ms system timer resolution requested
// for the length of the stream (StreamTimerResolution).
class PerformanceClock : public IPacingClock {
 public:
  PerformanceClock();

  LONGLONG Now() override;
  // Returns at the moment, or earlier when the interrupt event (if any) is signalled.
  void WaitUntil(LONGLONG moment) override;
  // The worker's command event: a stop must not wait for a long interval to run out.
  void InterruptWith(HANDLE event) { m_interrupt = event; }

 private:
  LONGLONG m_frequency = 0;
  UniqueKernelHandle m_timer;
  HANDLE m_interrupt = nullptr;  // not owned
};

// A 1 ms system timer resolution while a stream runs; Begin and End may be called in any number,
// the request is made and given back once.
class StreamTimerResolution {
 public:
  ~StreamTimerResolution() { End(); }
  void Begin();
  void End();

 private:
  bool m_requested = false;
};

}  // namespace tvq
