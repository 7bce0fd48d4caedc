#include "manager/capture/CCaptureImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/common/ChildProcess.h"
#include "tests/common/ComApartment.h"
#include "tests/common/ImageFiles.h"
#include "tests/common/TempDir.h"

namespace {

using tvqtest::Bgra;

// Blue, green, red and alpha of a 24- or 32-bit picture.
DWORD PixelOf(const CImage& picture, int x, int y) {
  const int bytes = picture.BitsPerPixel() / 8;
  const BYTE* p = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch() + x * bytes;
  return Bgra(p[2], p[1], p[0], bytes == 4 ? p[3] : 255);
}

bool Near(DWORD a, DWORD b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  }
  return true;
}

class ImageSource : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(com.Result())); }

  std::wstring Solid(const wchar_t* name, DWORD color, int width = 40, int height = 30) {
    const std::wstring path = dir.File(name);
    EXPECT_EQ(S_OK, tvqtest::WriteImage(path, GUID_ContainerFormatPng, width, height,
                                        [color](int, int) { return color; }));
    return path;
  }

  tvqtest::ComApartment com;
  tvqtest::TempDir dir;
  CCaptureImage image;
};

// Every format of the file dialog's list, first at its own size, then at the slot's: an opaque
// picture becomes a 24-bit one, a transparent one keeps premultiplied alpha.
TEST_F(ImageSource, EveryFormatIsDecodedAtItsOwnSizeThenAtTheSlotsSize) {
  const DWORD half = Bgra(200, 100, 50, 128);
  const struct {
    const char* name;
    const GUID* container;  // null: an icon holding a PNG
    const wchar_t* file;
    DWORD color;
    int bits;
    DWORD expected;
    int tolerance;  // lossy JPEG, a GIF's palette
  } rows[] = {
      {"PNG", &GUID_ContainerFormatPng, L"a.png", Bgra(200, 100, 50), 24, Bgra(200, 100, 50), 0},
      {"PNG with alpha", &GUID_ContainerFormatPng, L"b.png", half, 32, Bgra(100, 50, 25, 128), 1},
      {"BMP", &GUID_ContainerFormatBmp, L"c.bmp", Bgra(10, 220, 30), 24, Bgra(10, 220, 30), 0},
      {"JPEG", &GUID_ContainerFormatJpeg, L"d.jpg", Bgra(200, 100, 50), 24, Bgra(200, 100, 50),
       12},
      {"GIF", &GUID_ContainerFormatGif, L"e.gif", Bgra(255, 0, 0), 24, Bgra(255, 0, 0), 40},
      {"TIFF", &GUID_ContainerFormatTiff, L"f.tif", Bgra(0, 0, 255), 24, Bgra(0, 0, 255), 0},
      {"ICO", nullptr, L"g.ico", half, 32, Bgra(100, 50, 25, 128), 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::wstring path = dir.File(row.file);
    const auto color = [&row](int, int) { return row.color; };
    ASSERT_EQ(S_OK, row.container != nullptr
                        ? tvqtest::WriteImage(path, *row.container, 40, 30, color)
                        : tvqtest::WriteIconWithPng(path, 40, 30, color));
    ASSERT_TRUE(image.Open(path)) << std::string(image.Problem().begin(), image.Problem().end());
    EXPECT_EQ(40, image.Picture().Width());
    EXPECT_EQ(30, image.Picture().Height());
    EXPECT_EQ(row.bits, image.Picture().BitsPerPixel());
    EXPECT_PRED3(Near, row.expected, PixelOf(image.Picture(), 20, 15), row.tolerance);
    EXPECT_TRUE(image.FitTo(16, 90));
    EXPECT_TRUE(image.Capture());
    EXPECT_EQ(16, image.Picture().Width());
    EXPECT_EQ(90, image.Picture().Height());
    EXPECT_PRED3(Near, row.expected, PixelOf(image.Picture(), 8, 45), row.tolerance);
    EXPECT_FALSE(image.FitTo(16, 90));
    EXPECT_FALSE(image.Capture()) << "a still picture at its size changes nothing";
    EXPECT_EQ(row.file, std::wstring(image.Name()));
  }
}

// A file that goes away keeps the last picture and the source is gone until the file is back.
// (A file replaced on disk is shown anew within two seconds: PictureSlotsProcessTest.)
TEST_F(ImageSource, AMissingFileKeepsItsPictureUntilItIsBack) {
  const std::wstring path = Solid(L"card.png", Bgra(255, 0, 0));
  ASSERT_TRUE(image.Open(path));
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  ASSERT_TRUE(tvqtest::WaitUntil([&] { return !image.Capture() && image.IsGone(); }, 3000));
  EXPECT_EQ(Bgra(255, 0, 0), PixelOf(image.Picture(), 5, 5));
  EXPECT_FALSE(image.Reload());
  Solid(L"card.png", Bgra(0, 255, 0));
  EXPECT_TRUE(image.Reload());
  EXPECT_FALSE(image.IsGone());
  EXPECT_EQ(Bgra(0, 255, 0), PixelOf(image.Picture(), 5, 5));
}

}  // namespace
