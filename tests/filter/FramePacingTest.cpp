#include "filter/FramePacing.h"

#include <gtest/gtest.h>

namespace {

TEST(FramePacing, SleepsOutTheIntervalLessTheCopyAndOneMillisecond) {
  EXPECT_EQ(62u, tvq::PacingSleepMs(666666, 1000, 1003));  // budget 66 ms, copy 3 ms
  EXPECT_EQ(65u, tvq::PacingSleepMs(666666, 1000, 1000));
  EXPECT_EQ(32u, tvq::PacingSleepMs(333333, 1000, 1000));  // budget 33 ms
  EXPECT_EQ(999u, tvq::PacingSleepMs(10000000, 0, 0));  // one second
}

TEST(FramePacing, ShortIntervalsNeverSleepLong) {
  EXPECT_EQ(0u, tvq::PacingSleepMs(19999, 0, 0));  // budget 1 ms
  EXPECT_EQ(0u, tvq::PacingSleepMs(1, 0, 0));
  EXPECT_EQ(1u, tvq::PacingSleepMs(20000, 0, 0));  // budget 2 ms
  EXPECT_EQ(1u, tvq::PacingSleepMs(29999, 0, 0));
}

TEST(FramePacing, SlowCopyGivesNoSleep) {
  EXPECT_EQ(0u, tvq::PacingSleepMs(666666, 1000, 1065));
  EXPECT_EQ(0u, tvq::PacingSleepMs(666666, 1000, 1500));
  EXPECT_EQ(1u, tvq::PacingSleepMs(666666, 1000, 1064));
}

TEST(FramePacing, MillisecondCounterMayWrapDuringTheCall) {
  EXPECT_EQ(62u, tvq::PacingSleepMs(666666, 0xFFFFFFFEu, 1));
}

}  // namespace
