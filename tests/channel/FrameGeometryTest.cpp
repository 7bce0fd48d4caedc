#include "channel/FrameGeometry.h"

#include <gtest/gtest.h>

TEST(FrameGeometry, RowsArePaddedToFourBytes) {
  EXPECT_EQ(3072, tvq::RowBytes24(1024));
  EXPECT_EQ(3072, tvq::RowBytes24(1023));
  EXPECT_EQ(4, tvq::RowBytes24(1));
  EXPECT_EQ(12, tvq::RowBytes24(3));
  EXPECT_EQ(2359296, tvq::FrameBytes24(1024, 768));
  EXPECT_EQ(921600, tvq::FrameBytes24(640, 480));
}

TEST(FrameGeometry, SizesThatCannotCrossTheChannelAreRefused) {
  EXPECT_FALSE(tvq::IsUsableFrameSize(0, 768));
  EXPECT_FALSE(tvq::IsUsableFrameSize(1024, 0));
  EXPECT_FALSE(tvq::IsUsableFrameSize(-1024, 768));
  EXPECT_FALSE(tvq::IsUsableFrameSize(1024, -768));
  EXPECT_FALSE(tvq::IsUsableFrameSize(100000, 100000));  // 30 GB
  EXPECT_FALSE(tvq::IsUsableFrameSize(0x7FFFFFFF, 1));
  EXPECT_TRUE(tvq::IsUsableFrameSize(1, 1));
  EXPECT_TRUE(tvq::IsUsableFrameSize(1920, 1080));
}
