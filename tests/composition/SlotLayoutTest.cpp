#include "manager/composition/SlotLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "tests/composition/FakeSlotTable.h"

namespace {

void ExpectRect(const tvq::PixelRect& rect, int x, int y, int width, int height) {
  EXPECT_EQ(x, rect.x);
  EXPECT_EQ(y, rect.y);
  EXPECT_EQ(width, rect.width);
  EXPECT_EQ(height, rect.height);
}

TEST(SlotLayout, DestinationIsTheFractionOfTheCanvasTruncated) {
  ExpectRect(tvq::DestinationRect(PlacedAt(0.25, 0.5, 0.333, 0.5), 1024, 768), 256, 384, 340,
             384);
  ExpectRect(tvq::DestinationRect(PlacedAt(0, 0, 1, 1), 1024, 768), 0, 0, 1024, 768);
  ExpectRect(tvq::DestinationRect(PlacedAt(0, 0, 1, 1), 640, 480), 0, 0, 640, 480);
}

TEST(SlotLayout, NegativeFractionsTruncateTowardZero) {
  EXPECT_EQ(-10, tvq::FractionToPixels(-0.01, 1024));  // -10.24
  EXPECT_EQ(-1, tvq::FractionToPixels(-0.0019, 1024));  // -1.9456
  EXPECT_EQ(0, tvq::FractionToPixels(-0.0009, 1024));   // -0.9216
  ExpectRect(tvq::DestinationRect(PlacedAt(-0.01, -0.5, -0.25, 1.5), 1024, 768), -10, -384,
             -256, 1152);
}

TEST(SlotLayout, ValuesBeyondTheIntRangeStopAtItsEnds) {
  EXPECT_EQ(INT_MAX, tvq::FractionToPixels(1e300, 1024));
  EXPECT_EQ(INT_MIN, tvq::FractionToPixels(-1e300, 1024));
  EXPECT_EQ(INT_MAX, tvq::FractionToPixels(std::numeric_limits<double>::infinity(), 2));
  EXPECT_EQ(0, tvq::FractionToPixels(std::numeric_limits<double>::quiet_NaN(), 1024));
}

TEST(SlotLayout, SourceRectangleLeavesOutTheTrims) {
  SCIInfo info;
  info.TrimLeft = 10;
  info.TrimRight = 20;
  info.TrimTop = 5;
  info.TrimBottom = 15;
  ExpectRect(tvq::SourceRect(info, 640, 480), 10, 5, 610, 460);
  ExpectRect(tvq::SourceRect(SCIInfo(), 640, 480), 0, 0, 640, 480);
}

TEST(SlotLayout, TrimsAreNotBoundedButCannotOverflow) {
  SCIInfo info;
  info.TrimLeft = -5;
  info.TrimTop = 300;
  info.TrimRight = 0;
  info.TrimBottom = 300;
  ExpectRect(tvq::SourceRect(info, 100, 100), -5, 300, 105, -500);

  info.TrimLeft = INT_MIN;
  info.TrimRight = INT_MIN;
  info.TrimTop = INT_MAX;
  info.TrimBottom = INT_MAX;
  const tvq::PixelRect rect = tvq::SourceRect(info, 100, 100);
  EXPECT_EQ(INT_MAX, rect.width);
  EXPECT_EQ(INT_MIN, rect.height);
}

}  // namespace
