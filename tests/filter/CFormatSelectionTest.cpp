#include "filter/CFormatSelection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

tvq::VideoFormat Format(LONG width, LONG height, REFERENCE_TIME interval) {
  return tvq::VideoFormat{tvq::MakeRgb24Header(width, height), interval};
}

TEST(FormatSelection, StartsAtTheDefaultAndResetsToIt) {
  CFormatSelection selection(Format(1024, 768, 666666));
  EXPECT_EQ(1024, selection.Current().header.biWidth);
  selection.Select(Format(640, 480, 1000000));
  EXPECT_EQ(640, selection.Current().header.biWidth);
  EXPECT_EQ(1000000, selection.Current().interval);
  EXPECT_EQ(1024, selection.Default().header.biWidth);
  selection.Reset();
  EXPECT_EQ(1024, selection.Current().header.biWidth);
  EXPECT_EQ(666666, selection.Current().interval);
}

// A choice made while streaming is offered at once but paced and published only after the stop,
// which then keeps it instead of returning to the default.
TEST(FormatSelection, AChoiceKeptWhileStreamingTakesEffectAtTheStop) {
  CFormatSelection selection(Format(1024, 768, 666666));
  selection.Select(Format(640, 480, 1000000));
  selection.Keep(Format(320, 240, 2000000));
  EXPECT_EQ(320, selection.Offered().header.biWidth);
  EXPECT_EQ(640, selection.Current().header.biWidth);
  EXPECT_EQ(1000000, selection.Current().interval);
  selection.Reset();
  EXPECT_EQ(320, selection.Current().header.biWidth);
  EXPECT_EQ(2000000, selection.Current().interval);
  selection.Reset();
  EXPECT_EQ(1024, selection.Offered().header.biWidth);
  EXPECT_EQ(1024, selection.Current().header.biWidth);
}

// The worker thread reads the current choice while a client thread changes it: every read must
// be one of the written pairs, never the header of one and the interval of the other, and never
// half of a 64-bit interval.
TEST(FormatSelection, ReadersNeverSeeAMixOfTwoChoices) {
  const tvq::VideoFormat a = Format(640, 480, 0x0000000100000001LL);
  const tvq::VideoFormat b = Format(320, 240, 0x00000002FFFFFFFFLL);
  CFormatSelection selection(a);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) selection.Select((i & 1) ? a : b);
  });
  int mixed = 0;
  for (int i = 0; i < 200000; ++i) {
    const tvq::VideoFormat seen = selection.Current();
    const bool isA = seen.header.biWidth == 640 && seen.interval == a.interval &&
                     seen.header.biSizeImage == a.header.biSizeImage;
    const bool isB = seen.header.biWidth == 320 && seen.interval == b.interval &&
                     seen.header.biSizeImage == b.header.biSizeImage;
    if (!isA && !isB) ++mixed;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(0, mixed);
}

}  // namespace
