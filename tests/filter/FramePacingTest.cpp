#include "filter/FramePacing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Moves only when told: a fill advances it by its duration, a wait jumps to the awaited moment.
class FakeClock : public tvq::IPacingClock {
 public:
  LONGLONG Now() override { return now; }
  void WaitUntil(LONGLONG moment) override {
    if (moment > now) now = moment;
  }
  LONGLONG now = 123456789;  // any start
};

// One sample: how long its fill (and the delivery before it) took, its interval and number. The
// first sample of a grid leaves one interval after its fill ended.
struct Step {
  LONGLONG fill;
  REFERENCE_TIME interval;
  LONGLONG frame;
};

// When each sample left, counted from the start of the first fill.
std::vector<LONGLONG> LeaveTimes(const std::vector<Step>& steps) {
  FakeClock clock;
  tvq::FramePacer pacer(clock);
  const LONGLONG start = clock.now;
  std::vector<LONGLONG> leaves;
  for (const Step& step : steps) {
    clock.now += step.fill;
    pacer.WaitForSample(step.frame, step.interval);
    leaves.push_back(clock.now - start);
  }
  return leaves;
}

// Samples of interval 100 whose fills take the given times.
std::vector<Step> Fills(const std::vector<LONGLONG>& fills) {
  std::vector<Step> steps;
  for (size_t n = 0; n < fills.size(); ++n) steps.push_back({fills[n], 100, LONGLONG(n)});
  return steps;
}

TEST(FrameSchedule, SamplesLeaveOnFixedDeadlines) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<LONGLONG> leaves;
  };
  const Case cases[] = {
      {"fill and delivery count against the interval", Fills({0, 60, 95, 10}),
       {100, 200, 300, 400}},
      {"a late fill leaves at once, the next ones keep to the grid", Fills({0, 150, 10, 10}),
       {100, 250, 300, 400}},
      {"up to two intervals late the grid catches up", Fills({0, 290, 10, 10, 10}),
       {100, 390, 400, 410, 500}},
      {"a longer stall starts a new grid instead of a burst", Fills({0, 500, 10, 10}),
       {100, 600, 700, 800}},
      {"a new interval applies from the next sample",
       {{0, 100, 0}, {10, 100, 1}, {10, 50, 2}, {10, 50, 3}},
       {100, 200, 250, 300}},
      {"frame 0 after a stop anchors a new grid",
       {{0, 100, 0}, {10, 100, 1}, {1000, 100, 0}, {10, 100, 1}},
       {100, 200, 1300, 1400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.leaves, LeaveTimes(c.steps));
  }
}

// Over a minute at 30 frames per second the leave times keep exactly to the stamps' arithmetic.
TEST(FrameSchedule, LeaveTimesDoNotDriftFromFrameNumberTimesInterval) {
  std::vector<Step> steps;
  for (LONGLONG n = 0; n < 1800; ++n) steps.push_back({n % 7 == 0 ? 300000 : 20000, 333333, n});
  const std::vector<LONGLONG> leaves = LeaveTimes(steps);
  for (LONGLONG n = 0; n < 1800; ++n) ASSERT_EQ(n * 333333, leaves[n] - leaves[0]) << n;
}

TEST(PerformanceClock, RunsForwardAndWaitsUntilTheMoment) {
  tvq::PerformanceClock clock;
  const LONGLONG before = clock.Now();
  clock.WaitUntil(before + 20000);  // 2 ms
  EXPECT_GE(clock.Now(), before + 20000);
  clock.WaitUntil(before);  // a moment in the past returns at once
}

}  // namespace
