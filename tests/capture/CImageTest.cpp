#include "manager/capture/CImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "tests/common/Pixels24.h"

namespace {

using tvqtest::FillRect24;
using tvqtest::PixelAt;

// Empties the process-wide cache so that a test sees only its own contexts.
void DrainCache() {
  CImage images[CImage::kCacheSize + 1];
  for (auto& image : images) {
    image.Create(1, 1, 24);
    image.BorrowDC();
  }
  for (auto& image : images) {
    // Taking every cached context and deleting the surplus on return leaves the cache full of
    // contexts these images created; that is fine: tests compare against the cache's state.
    image.ReturnDC();
  }
}

TEST(ImageLayout, RowSizePitchAndBufferFollowTheWidth) {
  struct Case { int width; int row; };
  for (const Case& c : {Case{1024, 3072}, Case{1023, 3072}, Case{1, 4}, Case{3, 12}}) {
    SCOPED_TRACE(c.width);
    CImage image;
    ASSERT_TRUE(image.Create(c.width, 768, 24));
    EXPECT_EQ(c.width, image.Width());
    EXPECT_EQ(768, image.Height());
    EXPECT_EQ(-c.row, image.Pitch());
    EXPECT_EQ(static_cast<size_t>(c.row) * 768, image.BufferBytes());
    EXPECT_EQ(24, image.BitsPerPixel());
    EXPECT_TRUE(image.IsDibSection());
  }
  CImage canvas;
  ASSERT_TRUE(canvas.Create(1024, 768, 24));
  EXPECT_EQ(2359296u, canvas.BufferBytes());
}

TEST(ImageLayout, BottomUpPointsAtTheTopScreenRowAndTopDownAtTheStart) {
  CImage bottomUp;
  ASSERT_TRUE(bottomUp.Create(16, 8, 24));
  EXPECT_LT(bottomUp.Pitch(), 0);
  EXPECT_EQ(bottomUp.LowestAddress() + 7 * 48, bottomUp.Bits());

  CImage topDown;
  ASSERT_TRUE(topDown.Create(16, -8, 24));
  EXPECT_EQ(8, topDown.Height());
  EXPECT_EQ(48, topDown.Pitch());
  EXPECT_EQ(topDown.LowestAddress(), topDown.Bits());

  // Through GDI, a pixel painted at screen row 0 lands where Bits() says in both layouts.
  for (CImage* image : {&bottomUp, &topDown}) {
    HDC dc = image->BorrowDC();
    SetPixel(dc, 2, 0, RGB(10, 20, 30));
    GdiFlush();
    image->ReturnDC();
    EXPECT_EQ(RGB(10, 20, 30), PixelAt(*image, 2, 0));
  }
}

TEST(ImageLifecycle, DestroyEmptiesAndAPictureCanBeMadeAgain) {
  CImage image;
  image.Destroy();  // an empty picture is left as it is
  EXPECT_EQ(nullptr, image.Bitmap());
  ASSERT_TRUE(image.Create(4, 4, 24));
  image.Destroy();
  EXPECT_EQ(nullptr, image.Bitmap());
  EXPECT_EQ(nullptr, image.Bits());
  EXPECT_EQ(0, image.Width());
  EXPECT_EQ(0, image.Height());
  EXPECT_EQ(0, image.Pitch());
  EXPECT_FALSE(image.IsDibSection());
  ASSERT_TRUE(image.Create(8, 2, 24));
  EXPECT_EQ(8, image.Width());
}

TEST(ImageLifecycle, MovingHandsTheBitmapOver) {
  CImage a;
  ASSERT_TRUE(a.Create(6, 4, 24));
  HBITMAP bitmap = a.Bitmap();
  CImage b(std::move(a));
  EXPECT_EQ(nullptr, a.Bitmap());
  EXPECT_EQ(bitmap, b.Bitmap());
  EXPECT_EQ(6, b.Width());
  CImage c;
  ASSERT_TRUE(c.Create(2, 2, 24));
  c = std::move(b);
  EXPECT_EQ(bitmap, c.Bitmap());
  EXPECT_EQ(nullptr, b.Bitmap());
}

TEST(ImageLifecycle, FailedCreateLeavesThePictureEmpty) {
  CImage image;
  EXPECT_FALSE(image.Create(0, 10, 24));
  EXPECT_EQ(nullptr, image.Bitmap());
  EXPECT_EQ(0, image.Width());
}

TEST(ImageLifecycle, ManyCreateDestroyCyclesLeaveNoGdiObjectBehind) {
  CImage warmUp;
  warmUp.Create(2, 2, 24);
  warmUp.Draw(warmUp.BorrowDC(), 0, 0, 1, 1, 0, 0, 1, 1);
  warmUp.ReturnDC();
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 200; ++i) {
    HBITMAP bitmap = nullptr;
    {
      CImage image;
      ASSERT_TRUE(image.Create(32 + i, 16, 24));
      image.BorrowDC();
      image.ReturnDC();
      bitmap = image.Bitmap();
    }
    // Wine answers GetGuiResources with 0: the bitmap's own handle shows the release there too.
    ASSERT_EQ(0u, GetObjectType(bitmap)) << "image " << i;
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 2);
}

TEST(ImageContextCache, BorrowingTwiceGivesTheSameContextAndOnlyTheLastReturnCaches) {
  DrainCache();
  CImage image;
  ASSERT_TRUE(image.Create(4, 4, 24));
  HDC first = image.BorrowDC();
  HDC second = image.BorrowDC();
  EXPECT_EQ(first, second);
  EXPECT_EQ(image.Bitmap(), GetCurrentObject(first, OBJ_BITMAP));
  image.ReturnDC();
  EXPECT_EQ(image.Bitmap(), GetCurrentObject(first, OBJ_BITMAP)) << "still lent after one return";
  image.ReturnDC();
  EXPECT_NE(image.Bitmap(), GetCurrentObject(first, OBJ_BITMAP)) << "bitmap put back";
  bool cached = false;
  for (int i = 0; i < CImage::kCacheSize; ++i) cached = cached || CImage::CachedDC(i) == first;
  EXPECT_TRUE(cached);
}

TEST(ImageContextCache, AFullCacheDeletesTheSurplusContext) {
  // Five pictures lend five contexts at once; after all return, four are cached, one deleted.
  CImage images[CImage::kCacheSize + 1];
  HDC lent[CImage::kCacheSize + 1];
  for (int i = 0; i <= CImage::kCacheSize; ++i) {
    ASSERT_TRUE(images[i].Create(2, 2, 24));
    lent[i] = images[i].BorrowDC();
  }
  for (int i = 0; i <= CImage::kCacheSize; ++i) images[i].ReturnDC();
  int cachedCount = 0;
  int deletedCount = 0;
  for (HDC dc : lent) {
    bool cached = false;
    for (int i = 0; i < CImage::kCacheSize; ++i) cached = cached || CImage::CachedDC(i) == dc;
    cachedCount += cached ? 1 : 0;
    // Offering exchanges along the entries, so the one left over is not always the last lent.
    if (!cached) deletedCount += GetObjectType(dc) == 0 ? 1 : 0;
  }
  EXPECT_EQ(CImage::kCacheSize, cachedCount);
  EXPECT_EQ(1, deletedCount);
}

TEST(ImageDraw, SourceRectangleCopiesTheRightPixels) {
  CImage source;
  ASSERT_TRUE(source.Create(40, 30, 24));
  FillRect24(source, 0, 0, 40, 30, RGB(0, 0, 255));
  FillRect24(source, 10, 5, 20, 15, RGB(255, 0, 0));  // a red square at (10,5)-(20,15)

  CImage target;
  ASSERT_TRUE(target.Create(50, 50, 24));
  std::memset(target.LowestAddress(), 0, target.BufferBytes());
  HDC dc = target.BorrowDC();
  // Only the red square, doubled, at (4, 6).
  EXPECT_TRUE(source.Draw(dc, 4, 6, 20, 20, 10, 5, 10, 10));
  GdiFlush();
  target.ReturnDC();

  EXPECT_EQ(RGB(255, 0, 0), PixelAt(target, 4, 6));
  EXPECT_EQ(RGB(255, 0, 0), PixelAt(target, 23, 25));
  EXPECT_EQ(RGB(255, 0, 0), PixelAt(target, 14, 16));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(target, 3, 6));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(target, 24, 6));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(target, 4, 26));
}

}  // namespace
