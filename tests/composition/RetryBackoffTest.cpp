#include "manager/composition/RetryBackoff.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class SteppedClock : public tvq::ITickClock {
 public:
  ULONGLONG NowMs() const override { return now; }
  ULONGLONG now = 5000;
};

TEST(RetryBackoff, SpacingDoublesFromOneSecondUpToThirtySeconds) {
  const std::vector<ULONGLONG> expected = {1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000};
  for (size_t failures = 1; failures <= expected.size(); ++failures) {
    SCOPED_TRACE(failures);
    EXPECT_EQ(expected[failures - 1], tvq::RetryBackoff::SpacingMs(static_cast<int>(failures)));
  }
  EXPECT_EQ(30000u, tvq::RetryBackoff::SpacingMs(1000));
}

// A poll every second, as the waiting timer does, over a minute of failures, then a success.
TEST(RetryBackoff, AttemptsOverAMinuteFollowTheSpacingAndASuccessStartsAgain) {
  SteppedClock clock;
  const ULONGLONG start = clock.now;
  tvq::RetryBackoff backoff(clock);
  std::vector<ULONGLONG> attempts;
  for (int second = 0; second <= 60; ++second) {
    clock.now = start + second * 1000ull;
    if (!backoff.IsDue()) continue;
    attempts.push_back(second);
    backoff.Failed();
  }
  EXPECT_EQ((std::vector<ULONGLONG>{0, 1, 3, 7, 15, 31}), attempts);
  clock.now = start + 61000 - 1;
  EXPECT_FALSE(backoff.IsDue());
  clock.now = start + 61000;
  EXPECT_TRUE(backoff.IsDue());

  backoff.Reset();
  EXPECT_TRUE(backoff.IsDue());
  backoff.Failed();
  clock.now += 999;
  EXPECT_FALSE(backoff.IsDue()) << "a new series starts at one second again";
  clock.now += 1;
  EXPECT_TRUE(backoff.IsDue());
}

}  // namespace
