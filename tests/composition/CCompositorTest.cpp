#include "manager/composition/CCompositor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "channel/CSharedMemory.h"
#include "manager/app/CSlotKeys.h"
#include "manager/capture/CImage.h"
#include "tests/common/Pixels24.h"
#include "tests/composition/FakeSlotTable.h"

namespace {

using tvqtest::BitmapHeader;
using tvqtest::FillRect24;
using tvqtest::PixelAt;

constexpr int kMaxWidth = 64;
constexpr int kMaxHeight = 48;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);

void MakeSolid(CImage& image, int width, int height, COLORREF color) {
  ASSERT_TRUE(image.Create(width, height, 24));
  FillRect24(image, 0, 0, width, height, color);
}

SCIInfo Place(double x, double y, double width, double height) {
  SCIInfo info = PlacedAt(x, y, width, height);
  info.CapturePerSecond = 5.0;
  return info;
}

// The canvas and private channel objects, as the Manager holds them; the test plays the filter.
class Compositor : public testing::Test {
 protected:
  Compositor()
      : compositor(canvas, format, interval, pixels, kMaxWidth, kMaxHeight), slots(4) {}

  void SetUp() override {
    ASSERT_TRUE(canvas.Create(kMaxWidth, kMaxHeight, 24));
    ASSERT_TRUE(format.Create(L"TVQTest_Compositor_BIH", 40));
    ASSERT_TRUE(interval.Create(L"TVQTest_Compositor_TimePerFrame", 8));
    pixelBytes = static_cast<int>(canvas.BufferBytes());
    ASSERT_TRUE(pixels.Create(L"TVQTest_Compositor_Data", pixelBytes));
    ASSERT_TRUE(filterPixels.Create(L"TVQTest_Compositor_Data", pixelBytes));
  }

  bool Tick() { return compositor.Tick(slots, rate); }

  void Publish(const BITMAPINFOHEADER& header) {
    ASSERT_TRUE(format.Write(&header, sizeof(header), INFINITE));
  }

  void PublishInterval(std::int64_t value) {
    ASSERT_TRUE(interval.Write(&value, sizeof(value), INFINITE));
  }

  std::vector<BYTE> Published() {
    std::vector<BYTE> bytes(pixelBytes);
    EXPECT_TRUE(filterPixels.Read(bytes.data(), pixelBytes, INFINITE));
    return bytes;
  }

  CImage canvas;
  CSharedMemory format;
  CSharedMemory interval;
  CSharedMemory pixels;
  CSharedMemory filterPixels;
  int pixelBytes = 0;
  double rate = 15.0;
  CCompositor compositor;
  FakeSlotTable slots;
};

TEST_F(Compositor, HigherSlotIsDrawnOverTheLowerWhereTheyOverlap) {
  MakeSolid(slots.OwnPicture(0), 20, 10, kRed);
  MakeSolid(slots.OwnPicture(2), 10, 30, kBlue);
  slots.Fill(0, tvq::kDesktopSlot);
  slots.Placement(0) = Place(0, 0, 0.5, 0.5);  // (0,0)-(32,24)
  slots.Fill(2, tvq::kWindowSlot);
  slots.Placement(2) = Place(0.25, 0.25, 0.5, 0.5);  // (16,12)-(48,36)
  EXPECT_FALSE(Tick());

  EXPECT_EQ(kRed, PixelAt(canvas, 4, 4));
  EXPECT_EQ(kRed, PixelAt(canvas, 28, 8));
  EXPECT_EQ(kBlue, PixelAt(canvas, 20, 16)) << "inside both: the higher slot wins";
  EXPECT_EQ(kBlue, PixelAt(canvas, 30, 22));
  EXPECT_EQ(kBlue, PixelAt(canvas, 44, 32));
  EXPECT_EQ(kBlack, PixelAt(canvas, 52, 4));
  EXPECT_EQ(kBlack, PixelAt(canvas, 4, 40));
  EXPECT_EQ(kBlack, PixelAt(canvas, 60, 44));
}

TEST_F(Compositor, PublishesTheCanvasRowsBottomRowFirst) {
  MakeSolid(slots.OwnPicture(1), 8, 8, kGreen);
  slots.Fill(1, tvq::kCameraSlot);
  slots.Placement(1) = Place(0, 0, 1, 0.5);  // the top half of the screen
  Tick();
  const std::vector<BYTE> bytes = Published();
  ASSERT_EQ(0, std::memcmp(canvas.LowestAddress(), bytes.data(), bytes.size()));
  const int row = -canvas.Pitch();
  // Memory row 0 is the bottom screen row (black); the last memory row is the top row (green).
  EXPECT_EQ(0, bytes[0] | bytes[1] | bytes[2]);
  const BYTE* top = bytes.data() + static_cast<size_t>(kMaxHeight - 1) * row;
  EXPECT_EQ(0, top[0]);
  EXPECT_EQ(255, top[1]);
  EXPECT_EQ(0, top[2]);
}

TEST_F(Compositor, PausedEmptyAndBitmaplessSlotsAreNotDrawn) {
  MakeSolid(slots.OwnPicture(0), 4, 4, kRed);
  slots.Fill(0, tvq::kCameraSlot);
  slots.SetActive(0, false);
  MakeSolid(slots.OwnPicture(1), 4, 4, kBlue);  // a picture left in an empty slot
  slots.Fill(3, tvq::kWindowSlot);              // a window of zero width: no bitmap yet
  Tick();
  for (BYTE b : Published()) ASSERT_EQ(0, b);
}

class PauseActions : public ISlotKeyActions {
 public:
  explicit PauseActions(CCompositor& compositor) : m_compositor(compositor) {}
  bool FillSlot(int, int) override { return false; }
  bool SaveAndClearSlot(int) override { return false; }
  void RestartCaptureTimer(int) override {}
  void ClearCanvas() override { m_compositor.ClearCanvas(); }

 private:
  CCompositor& m_compositor;
};

TEST_F(Compositor, PausingBlanksTheCanvasAndOnlyActiveSlotsReturn) {
  MakeSolid(slots.OwnPicture(0), 4, 4, kRed);
  MakeSolid(slots.OwnPicture(1), 4, 4, kBlue);
  slots.Fill(0, tvq::kDesktopSlot);
  slots.Placement(0) = Place(0, 0, 0.5, 1);
  slots.Fill(1, tvq::kDesktopSlot);
  slots.Placement(1) = Place(0.5, 0, 0.5, 1);
  Tick();
  ASSERT_EQ(kRed, PixelAt(canvas, 10, 10));
  ASSERT_EQ(kBlue, PixelAt(canvas, 50, 10));

  PauseActions actions(compositor);
  CSlotKeys keys(slots, actions);
  keys.OnKeyDown(VK_SPACE, false);  // pauses slot 0
  EXPECT_EQ(kBlack, PixelAt(canvas, 10, 10));
  EXPECT_EQ(kBlack, PixelAt(canvas, 50, 10)) << "the whole canvas is blanked";
  Tick();
  EXPECT_EQ(kBlack, PixelAt(canvas, 10, 10));
  EXPECT_EQ(kBlue, PixelAt(canvas, 50, 10));

  keys.OnKeyDown(VK_SPACE, false);  // resumes
  Tick();
  EXPECT_EQ(kRed, PixelAt(canvas, 10, 10));
}

TEST_F(Compositor, RBlanksTheCanvasUntilTheNextTick) {
  MakeSolid(slots.OwnPicture(2), 4, 4, kYellow);
  slots.Fill(2, tvq::kWindowSlot);
  Tick();
  ASSERT_EQ(kYellow, PixelAt(canvas, 31, 23));
  PauseActions actions(compositor);
  CSlotKeys keys(slots, actions);
  keys.OnKeyDown('R', false);
  for (int y = 0; y < kMaxHeight; ++y) {
    for (int x = 0; x < kMaxWidth; ++x) ASSERT_EQ(kBlack, PixelAt(canvas, x, y));
  }
  Tick();
  EXPECT_EQ(kYellow, PixelAt(canvas, 31, 23));
}

// A picture with a red 16 x 12 middle framed by coloured trims: green 4 columns on the left,
// blue 6 on the right, yellow 2 rows on top, white 3 rows at the bottom.
void MakeFramedPicture(CImage& picture) {
  MakeSolid(picture, 26, 17, kRed);
  FillRect24(picture, 0, 0, 4, 17, kGreen);
  FillRect24(picture, 20, 0, 26, 17, kBlue);
  FillRect24(picture, 0, 0, 26, 2, kYellow);
  FillRect24(picture, 0, 14, 26, 17, RGB(255, 255, 255));
}

TEST_F(Compositor, TrimsPickTheMiddleOfThePicture) {
  MakeFramedPicture(slots.OwnPicture(0));
  slots.Fill(0, tvq::kWindowSlot);
  SCIInfo& info = slots.Placement(0);
  info = Place(0, 0, 0.25, 0.25);  // 16 x 12: drawn without scaling
  info.TrimLeft = 4;
  info.TrimRight = 6;
  info.TrimTop = 2;
  info.TrimBottom = 3;
  Tick();
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(kRed, PixelAt(canvas, x, y)) << x << "," << y;
  }
  EXPECT_EQ(kBlack, PixelAt(canvas, 16, 0));
  EXPECT_EQ(kBlack, PixelAt(canvas, 0, 12));
}

TEST_F(Compositor, WithoutTrimsTheWholePictureIsDrawn) {
  MakeFramedPicture(slots.OwnPicture(0));
  slots.Fill(0, tvq::kWindowSlot);
  slots.Placement(0) = Place(0, 0, 26.0 / 64, 17.0 / 48);
  Tick();
  EXPECT_EQ(kGreen, PixelAt(canvas, 1, 8));
  EXPECT_EQ(kYellow, PixelAt(canvas, 10, 0));
  EXPECT_EQ(kBlue, PixelAt(canvas, 24, 8));
  EXPECT_EQ(RGB(255, 255, 255), PixelAt(canvas, 10, 16));
  EXPECT_EQ(kRed, PixelAt(canvas, 10, 8));
}

TEST_F(Compositor, CanvasFollowsANegotiatedSizeOnce) {
  MakeSolid(slots.OwnPicture(0), 4, 4, kBlue);
  slots.Fill(0, tvq::kCameraSlot);
  Publish(BitmapHeader(32, 24, 24));
  EXPECT_TRUE(Tick());
  EXPECT_EQ(32, canvas.Width());
  EXPECT_EQ(24, canvas.Height());
  EXPECT_LT(canvas.Pitch(), 0);
  EXPECT_EQ(kBlue, PixelAt(canvas, 31, 23)) << "the slot covers the new canvas";
  EXPECT_FALSE(Tick());
  EXPECT_EQ(32, canvas.Width());
  // The filter reads exactly the new frame's bytes from the start of the pixel object.
  const std::vector<BYTE> bytes = Published();
  EXPECT_EQ(0, std::memcmp(canvas.LowestAddress(), bytes.data(), canvas.BufferBytes()));
}

TEST_F(Compositor, HeadersNoFilterCouldWriteKeepTheCanvas) {
  const BITMAPINFOHEADER refused[] = {
      BitmapHeader(0, 0, 24),          BitmapHeader(0, 24, 24),
      BitmapHeader(32, 0, 24),         BitmapHeader(kMaxWidth, kMaxHeight, 32),
      BitmapHeader(32, 24, 32),        BitmapHeader(32, 24, 8),
      BitmapHeader(32, -24, 24),       BitmapHeader(-32, 24, 24),
      BitmapHeader(kMaxWidth + 1, 24, 24), BitmapHeader(32, kMaxHeight + 1, 24),
      BitmapHeader(0x7FFFFFFF, 0x7FFFFFFF, 24), BitmapHeader(LONG(0x80000000), 1, 24),
  };
  MakeSolid(slots.OwnPicture(0), 4, 4, kRed);
  slots.Fill(0, tvq::kDesktopSlot);
  for (const BITMAPINFOHEADER& header : refused) {
    SCOPED_TRACE(testing::Message() << header.biWidth << "x" << header.biHeight << "x"
                                    << header.biBitCount);
    Publish(header);
    EXPECT_FALSE(Tick());
    EXPECT_EQ(kMaxWidth, canvas.Width());
    EXPECT_EQ(kMaxHeight, canvas.Height());
    EXPECT_EQ(24, canvas.BitsPerPixel());
    EXPECT_EQ(kRed, PixelAt(canvas, kMaxWidth - 1, kMaxHeight - 1)) << "still composing";
  }
  // The largest offered format is accepted (it equals the canvas here: nothing to do).
  Publish(BitmapHeader(kMaxWidth, kMaxHeight, 24));
  EXPECT_FALSE(Tick());
  Publish(BitmapHeader(1, 1, 24));
  EXPECT_TRUE(Tick());
  EXPECT_EQ(1, canvas.Width());
}

TEST_F(Compositor, ShownRateFollowsAPositiveInterval) {
  Tick();
  EXPECT_EQ(15.0, rate) << "an interval of 0 keeps the configured rate";
  PublishInterval(333333);
  Tick();
  EXPECT_NEAR(30.00003, rate, 1e-5);
  PublishInterval(666666);
  Tick();
  EXPECT_NEAR(15.000015, rate, 1e-6);
  PublishInterval(-333333);
  Tick();
  EXPECT_NEAR(15.000015, rate, 1e-6);
  PublishInterval(0);
  Tick();
  EXPECT_NEAR(15.000015, rate, 1e-6);
}

TEST_F(Compositor, AFailedCanvasIsSkippedAndMadeAgainLater) {
  canvas.Destroy();
  EXPECT_FALSE(Tick());  // nothing to draw on and no header: nothing happens
  Publish(BitmapHeader(16, 16, 24));
  EXPECT_TRUE(Tick());
  EXPECT_EQ(16, canvas.Width());
  compositor.ClearCanvas();
}

}  // namespace
