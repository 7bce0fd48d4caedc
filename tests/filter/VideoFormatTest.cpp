#include "filter/VideoFormat.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/filter/CountingMallocSpy.h"

namespace {

tvq::VideoFormat Defaults(LONG width = 1024, LONG height = 768,
                          REFERENCE_TIME interval = 666666) {
  return tvq::VideoFormat{tvq::MakeRgb24Header(width, height), interval};
}

// A request as a client builds it: the offered type with some fields changed.
struct Request {
  AM_MEDIA_TYPE mt{};
  VIDEOINFOHEADER vih{};

  Request(LONG width, LONG height, REFERENCE_TIME interval) {
    vih.AvgTimePerFrame = interval;
    vih.bmiHeader = tvq::MakeRgb24Header(width, height);
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
  }
  HRESULT CheckAgainst(const tvq::VideoFormat& defaults, tvq::VideoFormat* accepted) {
    return tvq::CheckRequestedFormat(&mt, defaults, accepted);
  }
};

TEST(VideoFormat, ImageSizePadsRowsToFourBytes) {
  EXPECT_EQ(2359296u, tvq::Rgb24ImageSize(1024, 768));
  EXPECT_EQ(921600u, tvq::Rgb24ImageSize(640, 480));
  EXPECT_EQ(24u, tvq::Rgb24ImageSize(3, 2));  // rows of 9 bytes padded to 12
  EXPECT_EQ(4u, tvq::Rgb24ImageSize(1, 1));
  EXPECT_EQ(921600u, tvq::Rgb24ImageSize(640, -480));
}

TEST(VideoFormat, ImageSizeIsZeroWhenAFrameWouldNotFitTheChannel) {
  EXPECT_EQ(0u, tvq::Rgb24ImageSize(0, 768));
  EXPECT_EQ(0u, tvq::Rgb24ImageSize(-5, 768));
  EXPECT_EQ(0u, tvq::Rgb24ImageSize(100000, 100000));
  EXPECT_EQ(0u, tvq::Rgb24ImageSize(0x7FFFFFFF, 1));
}

TEST(VideoFormat, HeaderFromSettingsHasTheFixedFields) {
  const BITMAPINFOHEADER h = tvq::MakeRgb24Header(1024, 768);
  EXPECT_EQ(40u, h.biSize);
  EXPECT_EQ(1024, h.biWidth);
  EXPECT_EQ(768, h.biHeight);
  EXPECT_EQ(1, h.biPlanes);
  EXPECT_EQ(24, h.biBitCount);
  EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
  EXPECT_EQ(2359296u, h.biSizeImage);
  EXPECT_EQ(1, h.biXPelsPerMeter);
  EXPECT_EQ(1, h.biYPelsPerMeter);
  EXPECT_EQ(0u, h.biClrUsed);
  EXPECT_EQ(0u, h.biClrImportant);
}

TEST(VideoFormat, FrameIntervalIsTruncated) {
  EXPECT_EQ(666666, tvq::FrameIntervalFromRate(15.0));
  EXPECT_EQ(333333, tvq::FrameIntervalFromRate(30.0));
  EXPECT_EQ(333667, tvq::FrameIntervalFromRate(29.97));
  EXPECT_EQ(10000000, tvq::FrameIntervalFromRate(1.0));
}

TEST(VideoFormat, UnusableRatesGiveNoInterval) {
  EXPECT_EQ(0, tvq::FrameIntervalFromRate(0.0));
  EXPECT_EQ(0, tvq::FrameIntervalFromRate(-15.0));
  EXPECT_EQ(0, tvq::FrameIntervalFromRate(1e300 * 1e300));  // infinity
  EXPECT_EQ(0, tvq::FrameIntervalFromRate(1e8));            // shorter than 100 ns
  EXPECT_EQ(0, tvq::FrameIntervalFromRate(1e-300));         // beyond a 64-bit count
}

TEST(VideoFormat, OfferedMediaTypeDescribesTheFormat) {
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(S_OK, tvq::CreateMediaType(Defaults(640, 480, 1000000), &mt));
  ASSERT_NE(nullptr, mt);
  EXPECT_EQ(MEDIATYPE_Video, mt->majortype);
  EXPECT_EQ(MEDIASUBTYPE_RGB24, mt->subtype);
  EXPECT_TRUE(mt->bFixedSizeSamples);
  EXPECT_FALSE(mt->bTemporalCompression);
  EXPECT_EQ(921600u, mt->lSampleSize);
  EXPECT_EQ(FORMAT_VideoInfo, mt->formattype);
  EXPECT_EQ(nullptr, mt->pUnk);
  ASSERT_EQ(88u, mt->cbFormat);
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
  const RECT empty{};
  EXPECT_EQ(0, std::memcmp(&empty, &vih->rcSource, sizeof(RECT)));
  EXPECT_EQ(0, std::memcmp(&empty, &vih->rcTarget, sizeof(RECT)));
  EXPECT_EQ(0u, vih->dwBitRate);
  EXPECT_EQ(0u, vih->dwBitErrorRate);
  EXPECT_EQ(1000000, vih->AvgTimePerFrame);
  const BITMAPINFOHEADER expected = tvq::MakeRgb24Header(640, 480);
  EXPECT_EQ(0, std::memcmp(&expected, &vih->bmiHeader, sizeof(expected)));
  CoTaskMemFree(mt->pbFormat);
  CoTaskMemFree(mt);
}

TEST(VideoFormat, CreateMediaTypeRefusesANullOutPointer) {
  EXPECT_EQ(E_POINTER, tvq::CreateMediaType(Defaults(), nullptr));
}

TEST(VideoFormat, FailedAllocationsLeakNothing) {
  tvqtest::CountingMallocSpy spy;
  ASSERT_TRUE(spy.Install());
  for (int failing = 1; failing <= 2; ++failing) {
    spy.FailAllocation(failing);
    AM_MEDIA_TYPE* mt = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, tvq::CreateMediaType(Defaults(), &mt)) << "allocation " << failing;
    EXPECT_EQ(nullptr, mt);
    EXPECT_EQ(0u, spy.LiveBlocks()) << "allocation " << failing;
  }
  spy.FailAllocation(0);
}

TEST(VideoFormat, StreamCapsSpanOnePixelToTheDefaultsAndTheIntervalToOneSecond) {
  VIDEO_STREAM_CONFIG_CAPS caps;
  std::memset(&caps, 0xCC, sizeof(caps));
  tvq::FillStreamCaps(Defaults(), &caps);
  EXPECT_EQ(128u, sizeof(caps));
  EXPECT_EQ(FORMAT_VideoInfo, caps.guid);
  EXPECT_EQ(0u, caps.VideoStandard);
  for (const SIZE& s : {caps.InputSize, caps.MinCroppingSize, caps.MaxCroppingSize,
                        caps.MaxOutputSize}) {
    EXPECT_EQ(1024, s.cx);
    EXPECT_EQ(768, s.cy);
  }
  EXPECT_EQ(1, caps.MinOutputSize.cx);
  EXPECT_EQ(1, caps.MinOutputSize.cy);
  for (int v : {caps.CropGranularityX, caps.CropGranularityY, caps.CropAlignX, caps.CropAlignY,
                caps.OutputGranularityX, caps.OutputGranularityY, caps.StretchTapsX,
                caps.StretchTapsY, caps.ShrinkTapsX, caps.ShrinkTapsY}) {
    EXPECT_EQ(1, v);
  }
  EXPECT_EQ(666666, caps.MinFrameInterval);
  EXPECT_EQ(10000000, caps.MaxFrameInterval);
  EXPECT_EQ(0, caps.MinBitsPerSecond);
  EXPECT_EQ(0, caps.MaxBitsPerSecond);
}

TEST(RequestedFormat, SmallerSizeAndSlowerRateAreAccepted) {
  Request request(640, 480, 666666);
  tvq::VideoFormat accepted{};
  ASSERT_EQ(S_OK, request.CheckAgainst(Defaults(), &accepted));
  EXPECT_EQ(640, accepted.header.biWidth);
  EXPECT_EQ(480, accepted.header.biHeight);
  EXPECT_EQ(921600u, accepted.header.biSizeImage);
  EXPECT_EQ(666666, accepted.interval);

  EXPECT_EQ(S_OK, Request(1, 1, 10000000).CheckAgainst(Defaults(), &accepted));
  EXPECT_EQ(S_OK, Request(1024, 768, 666666).CheckAgainst(Defaults(), &accepted));
}

TEST(RequestedFormat, IntervalMustLieBetweenTheDefaultAndOneSecond) {
  tvq::VideoFormat accepted{};
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, Request(640, 480, 333333).CheckAgainst(Defaults(), &accepted));
  EXPECT_EQ(S_OK, Request(640, 480, 333333).CheckAgainst(Defaults(1024, 768, 333333), &accepted));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE,
            Request(640, 480, 10000001).CheckAgainst(Defaults(), &accepted));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, Request(640, 480, -1).CheckAgainst(Defaults(), &accepted));
}

TEST(RequestedFormat, SizeMustLieBetweenOnePixelAndTheDefaults) {
  tvq::VideoFormat accepted{};
  const struct { LONG w, h; } refused[] = {{1025, 768}, {1024, 769}, {0, 480}, {640, 0},
                                           {640, -480}, {-640, 480}};
  for (const auto& size : refused) {
    Request request(640, 480, 666666);
    request.vih.bmiHeader.biWidth = size.w;
    request.vih.bmiHeader.biHeight = size.h;
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, request.CheckAgainst(Defaults(), &accepted))
        << size.w << " x " << size.h;
  }
}

TEST(RequestedFormat, FixedHeaderFieldsMustKeepTheirValues) {
  tvq::VideoFormat accepted{};
  void (*changes[])(BITMAPINFOHEADER&) = {
      [](BITMAPINFOHEADER& h) { h.biBitCount = 32; },
      [](BITMAPINFOHEADER& h) { h.biPlanes = 2; },
      [](BITMAPINFOHEADER& h) { h.biCompression = BI_BITFIELDS; },
      [](BITMAPINFOHEADER& h) { h.biXPelsPerMeter = 2835; },
      [](BITMAPINFOHEADER& h) { h.biYPelsPerMeter = 2835; },
  };
  for (auto change : changes) {
    Request request(640, 480, 666666);
    change(request.vih.bmiHeader);
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, request.CheckAgainst(Defaults(), &accepted));
  }
}

TEST(RequestedFormat, OnlyTheOfferedKindOfMediaTypeIsAccepted) {
  tvq::VideoFormat accepted{};
  void (*changes[])(AM_MEDIA_TYPE&) = {
      [](AM_MEDIA_TYPE& mt) { mt.majortype = MEDIATYPE_Audio; },
      [](AM_MEDIA_TYPE& mt) { mt.subtype = MEDIASUBTYPE_RGB32; },
      [](AM_MEDIA_TYPE& mt) { mt.formattype = FORMAT_VideoInfo2; },
      [](AM_MEDIA_TYPE& mt) { mt.cbFormat = 87; },
      [](AM_MEDIA_TYPE& mt) { mt.cbFormat = 89; },
      [](AM_MEDIA_TYPE& mt) { mt.pbFormat = nullptr; },
  };
  for (auto change : changes) {
    Request request(640, 480, 666666);
    change(request.mt);
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, request.CheckAgainst(Defaults(), &accepted));
  }
  EXPECT_EQ(E_POINTER, tvq::CheckRequestedFormat(nullptr, Defaults(), &accepted));
}

// ffmpeg changes biWidth and biHeight of the offered type and leaves the image size as it was;
// for BI_RGB the size is derivable and may also be 0.
TEST(RequestedFormat, StaleOrZeroImageSizeIsAcceptedAndRecomputed) {
  for (DWORD stated : {0u, 2359296u, 1u, 0xFFFFFFFFu}) {
    Request request(320, 240, 2000000);
    request.vih.bmiHeader.biSizeImage = stated;
    tvq::VideoFormat accepted{};
    ASSERT_EQ(S_OK, request.CheckAgainst(Defaults(), &accepted)) << stated;
    EXPECT_EQ(230400u, accepted.header.biSizeImage);
  }
}

TEST(RequestedFormat, UncheckedHeaderFieldsAreKeptAsGiven) {
  Request request(640, 480, 666666);
  request.vih.bmiHeader.biClrUsed = 7;
  request.vih.bmiHeader.biClrImportant = 3;
  tvq::VideoFormat accepted{};
  ASSERT_EQ(S_OK, request.CheckAgainst(Defaults(), &accepted));
  EXPECT_EQ(7u, accepted.header.biClrUsed);
  EXPECT_EQ(3u, accepted.header.biClrImportant);
}

}  // namespace
