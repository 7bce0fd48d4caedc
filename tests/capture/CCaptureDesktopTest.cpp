#include "manager/capture/CCaptureDesktop.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/common/TestWindow.h"
#include "tests/common/Pixels24.h"

namespace {

TEST(DesktopCapture, PictureHasTheScreenSizeAndHoldsAWindowAtItsScreenPosition) {
  tvqtest::TestWindowOptions options;
  options.title = L"tvq desktop pattern";
  options.style = WS_POPUP;
  options.exStyle = WS_EX_TOPMOST;
  options.rect = {1010, 790, 1210, 950};
  tvqtest::TestWindow pattern(options);
  ASSERT_TRUE(pattern.WaitUntilShown());

  CCaptureDesktop source;
  source.Select();
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(width, source.Picture().Width());
  ASSERT_EQ(height, source.Picture().Height());
  EXPECT_EQ(24, source.Picture().BitsPerPixel());
  const RECT area = source.SourceArea();
  EXPECT_EQ(0, area.left);
  EXPECT_EQ(0, area.top);
  EXPECT_EQ(width, area.right);
  EXPECT_EQ(height, area.bottom);

  EXPECT_TRUE(source.Capture());
  // A popup window has no frame: its client area starts at its screen position.
  for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{0, 159}, POINT{199, 159}, POINT{50, 40},
                  POINT{150, 120}}) {
    SCOPED_TRACE(testing::Message() << "window pixel " << p.x << "," << p.y);
    EXPECT_EQ(pattern.ClientColorAt(p.x, p.y),
              tvqtest::PixelAt(source.Picture(), options.rect.left + p.x, options.rect.top + p.y));
  }
}

TEST(DesktopCapture, SelectAgainReplacesThePictureAndReleasesTheOldBitmap) {
  CCaptureDesktop source;
  source.Select();
  const HBITMAP first = source.Picture().Bitmap();
  ASSERT_NE(nullptr, first);
  source.Select();
  EXPECT_NE(nullptr, source.Picture().Bitmap());
  EXPECT_EQ(0, GetObjectType(first));
}

TEST(DesktopSource, NamesAndMovingKeepThePicture) {
  EXPECT_STREQ(L"Desktop", CCaptureDesktop::SectionName());
  EXPECT_STREQ(L"デスクトップ", CCaptureDesktop::DisplayName());

  CCaptureDesktop source;
  source.Select();
  const HBITMAP bitmap = source.Picture().Bitmap();
  std::vector<CCaptureDesktop> grown;
  grown.push_back(std::move(source));
  grown.resize(40);
  EXPECT_EQ(bitmap, grown[0].Picture().Bitmap());
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), grown[0].SourceArea().right);
  EXPECT_TRUE(grown[0].Capture());
  EXPECT_EQ(nullptr, grown[39].Picture().Bitmap());
}

}  // namespace
