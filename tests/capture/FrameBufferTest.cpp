#include "manager/capture/FrameBuffer.h"

#define NO_DSHOW_STRSAFE
#include <dshow.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "manager/capture/CImage.h"
#include "manager/capture/SampleGrabber.h"
#include "tests/common/ComStub.h"
#include "tests/common/TestWindow.h"
#include "tests/common/Pixels24.h"

namespace {

// A grabber that behaves as the platform's documents: with no buffer it reports the size of the
// sample it holds; a buffer smaller than the sample gets nothing and E_OUTOFMEMORY.
class FakeGrabber : public tvqtest::ComStub<ISampleGrabber> {
 public:
  std::vector<BYTE> sample;
  bool hasSample = false;
  // The buffer size given with every copy request.
  std::vector<long> offeredSizes;

  void Hold(std::vector<BYTE> bytes) {
    sample = std::move(bytes);
    hasSample = true;
  }

  HRESULT STDMETHODCALLTYPE GetCurrentBuffer(LONG* size, LONG* buffer) override {
    if (size == nullptr) return E_POINTER;
    if (!hasSample) return VFW_E_WRONG_STATE;
    if (buffer == nullptr) {
      *size = static_cast<LONG>(sample.size());
      return S_OK;
    }
    offeredSizes.push_back(*size);
    if (*size < static_cast<LONG>(sample.size())) return E_OUTOFMEMORY;
    std::memcpy(buffer, sample.data(), sample.size());
    *size = static_cast<LONG>(sample.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOneShot(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMediaType(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentSample(IMediaSample**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB*, LONG) override { return E_NOTIMPL; }
};

std::vector<BYTE> Bytes(size_t count, BYTE value) { return std::vector<BYTE>(count, value); }

std::vector<BYTE> Contents(const tvq::FrameBuffer& buffer, size_t count) {
  return std::vector<BYTE>(buffer.Data(), buffer.Data() + count);
}

BITMAPINFOHEADER Header(int width, int height) { return tvqtest::BitmapHeader(width, height, 24); }

// A 4 x 2 RGB24 frame, rows of 12 bytes, first the row stored first in memory.
std::vector<BYTE> TwoRowFrame(COLORREF firstInMemory, COLORREF secondInMemory) {
  std::vector<BYTE> frame;
  for (COLORREF color : {firstInMemory, secondInMemory}) {
    for (int x = 0; x < 4; ++x) {
      frame.push_back(GetBValue(color));
      frame.push_back(GetGValue(color));
      frame.push_back(GetRValue(color));
    }
  }
  return frame;
}

TEST(CameraFrameBuffer, CopiesSamplesHoldingAWholeFrameAndNeverShrinks) {
  FakeGrabber grabber;
  tvq::FrameBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(400, 300));
  EXPECT_EQ(Bytes(400, 0), Contents(buffer, 400));
  EXPECT_FALSE(buffer.CopyLatest(grabber));  // nothing has arrived yet

  struct Case {
    size_t length;
    BYTE value;
    bool copied;
  };
  // Short samples and samples the buffer cannot take leave the last frame in place; a padded
  // sample still starts with a whole frame.
  const Case cases[] = {{300, 0xA1, true}, {200, 0xB2, false}, {500, 0xC3, false},
                        {400, 0xD4, true}, {300, 0xE5, true},  {299, 0xF6, false}};
  std::vector<BYTE> expected = Bytes(400, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    grabber.Hold(Bytes(c.length, c.value));
    EXPECT_EQ(c.copied, buffer.CopyLatest(grabber));
    if (c.copied) {
      std::fill(expected.begin(), expected.begin() + c.length, c.value);
      EXPECT_EQ(static_cast<long>(c.length), buffer.Size());
    }
    EXPECT_EQ(expected, Contents(buffer, 400));
  }
  // The grabber is always told the whole capacity, whatever the copy before it was.
  for (long offered : grabber.offeredSizes) EXPECT_EQ(400, offered);
  EXPECT_EQ(400, buffer.Capacity());
  EXPECT_EQ(0, grabber.References());
}

TEST(CameraFrameBuffer, AFrameThatDoesNotFitIsNeitherAllocatedNorDrawn) {
  tvq::FrameBuffer buffer;
  EXPECT_FALSE(buffer.Allocate(100, 200));
  EXPECT_EQ(nullptr, buffer.Data());
  EXPECT_FALSE(buffer.Allocate(100, 0));

  ASSERT_TRUE(buffer.Allocate(24, 24));
  CImage picture;
  ASSERT_TRUE(picture.Create(4, 3, 24));
  std::memset(picture.LowestAddress(), 0x55, picture.BufferBytes());
  // 4 x 3 needs 36 bytes: more than the buffer holds.
  EXPECT_FALSE(buffer.DrawInto(picture, Header(4, 3)));
  EXPECT_EQ(RGB(0x55, 0x55, 0x55), tvqtest::PixelAt(picture, 0, 0));
}

TEST(CameraFrameBuffer, DrawsBottomUpAndTopDownFramesUpright) {
  struct Case {
    int height;
    COLORREF firstInMemory, secondInMemory;
  };
  const COLORREF top = RGB(250, 10, 10);
  const COLORREF bottom = RGB(10, 10, 250);
  for (const Case& c : {Case{2, bottom, top}, Case{-2, top, bottom}}) {
    SCOPED_TRACE(c.height);
    FakeGrabber grabber;
    grabber.Hold(TwoRowFrame(c.firstInMemory, c.secondInMemory));
    tvq::FrameBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(24, 24));
    ASSERT_TRUE(buffer.CopyLatest(grabber));
    CImage picture;
    ASSERT_TRUE(picture.Create(4, c.height, 24));
    EXPECT_TRUE(buffer.DrawInto(picture, Header(4, c.height)));
    EXPECT_EQ(top, tvqtest::PixelAt(picture, 0, 0));
    EXPECT_EQ(top, tvqtest::PixelAt(picture, 3, 0));
    EXPECT_EQ(bottom, tvqtest::PixelAt(picture, 0, 1));
    EXPECT_EQ(bottom, tvqtest::PixelAt(picture, 3, 1));
  }
}

TEST(CameraFrameBuffer, ImageBytesPadRowsAndRejectUnusableHeaders) {
  EXPECT_EQ(24, tvq::FrameBuffer::ImageBytes(Header(4, 2)));
  EXPECT_EQ(24, tvq::FrameBuffer::ImageBytes(Header(4, -2)));
  EXPECT_EQ(3072 * 768, tvq::FrameBuffer::ImageBytes(Header(1023, 768)));
  EXPECT_EQ(4, tvq::FrameBuffer::ImageBytes(Header(1, 1)));
  EXPECT_EQ(0, tvq::FrameBuffer::ImageBytes(Header(0, 2)));
  EXPECT_EQ(0, tvq::FrameBuffer::ImageBytes(Header(-4, 2)));
  EXPECT_EQ(0, tvq::FrameBuffer::ImageBytes(Header(4, 0)));
  EXPECT_EQ(0, tvq::FrameBuffer::ImageBytes(Header(100000, 100000)));
}

}  // namespace
