#include "manager/composition/TimerInterval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using tvq::TimerIntervalMs;

TEST(TimerInterval, ValidRatesKeepTheTruncatedInterval) {
  EXPECT_EQ(66u, TimerIntervalMs(15.0, 15.0));
  EXPECT_EQ(33u, TimerIntervalMs(30.0, 15.0));
  EXPECT_EQ(200u, TimerIntervalMs(5.0, 5.0));
  EXPECT_EQ(62u, TimerIntervalMs(16.0, 15.0));
  EXPECT_EQ(66u, TimerIntervalMs(15.1, 15.0));
  EXPECT_EQ(1000u, TimerIntervalMs(1.0, 15.0));
  EXPECT_EQ(10000u, TimerIntervalMs(0.1, 15.0));
  EXPECT_EQ(1u, TimerIntervalMs(1000.0, 15.0));
}

TEST(TimerInterval, UnusableRatesFallBackToTheSettingsDefault) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double rate : {0.0, -0.0, -1.0, -15.0, nan, inf, -inf, 1e300, 1001.0, 1e-300}) {
    SCOPED_TRACE(rate);
    EXPECT_EQ(66u, TimerIntervalMs(rate, 15.0));
    EXPECT_EQ(200u, TimerIntervalMs(rate, 5.0));
  }
}

TEST(TimerInterval, UnusableFallbackStillGivesAnInterval) {
  EXPECT_EQ(66u, TimerIntervalMs(0.0, 0.0));
  EXPECT_EQ(66u, TimerIntervalMs(-1.0, std::nan("")));
}
