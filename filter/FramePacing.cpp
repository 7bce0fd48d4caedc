#include "filter/FramePacing.h"

#include <mmsystem.h>

#include "channel/FrameGeometry.h"

namespace tvq {

namespace {

// Not in every SDK's headers; older systems and Wine refuse the flag, which the fallback covers.
constexpr DWORD kHighResolutionTimer = 0x00000002;
// More than this many intervals late is a stall: start a new grid rather than catch up.
constexpr LONGLONG kStallIntervals = 2;

}  // namespace

LONGLONG FrameSchedule::Due(LONGLONG frameNumber, REFERENCE_TIME interval, LONGLONG now) {
  if (interval < 0) interval = 0;
  if (frameNumber == 0 || !m_anchored) {
    m_anchored = true;
    m_lastDue = now + interval;
    return m_lastDue;
  }
  LONGLONG due = m_lastDue + interval;
  if (now - due > kStallIntervals * interval) due = now;
  m_lastDue = due;
  return due;
}

PerformanceClock::PerformanceClock() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  m_frequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
  m_timer.Reset(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS));
  if (!m_timer) m_timer.Reset(CreateWaitableTimerW(nullptr, TRUE, nullptr));
}

LONGLONG PerformanceClock::Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  // Split so that the product cannot overflow however long the machine has run.
  const LONGLONG seconds = counter.QuadPart / m_frequency;
  const LONGLONG rest = counter.QuadPart % m_frequency;
  return seconds * kUnitsPerSecond + rest * kUnitsPerSecond / m_frequency;
}

void PerformanceClock::WaitUntil(LONGLONG moment) {
  const LONGLONG wait = moment - Now();
  if (wait <= 0) return;
  LARGE_INTEGER relative;
  relative.QuadPart = -wait;  // negative: relative to now, in 100 ns units
  if (m_timer && SetWaitableTimer(m_timer.Get(), &relative, 0, nullptr, nullptr, FALSE)) {
    const HANDLE handles[2] = {m_timer.Get(), m_interrupt};
    WaitForMultipleObjects(m_interrupt != nullptr ? 2 : 1, handles, FALSE, INFINITE);
    return;
  }
  const DWORD ms = static_cast<DWORD>(wait / 10000);
  if (m_interrupt != nullptr) {
    WaitForSingleObject(m_interrupt, ms);
  } else {
    Sleep(ms);
  }
}

void StreamTimerResolution::Begin() {
  if (m_requested) return;
  m_requested = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void StreamTimerResolution::End() {
  if (!m_requested) return;
  timeEndPeriod(1);
  m_requested = false;
}

}  // namespace tvq
