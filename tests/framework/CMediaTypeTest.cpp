#include "framework/CMediaType.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <cstring>

#include "tests/common/ComStub.h"

namespace {

CMediaType VideoType(ULONG formatBytes, BYTE fill) {
  CMediaType mt;
  mt.SetType(&MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_RGB24);
  mt.SetFormatType(&FORMAT_VideoInfo);
  BYTE* format = mt.AllocFormatBuffer(formatBytes);
  std::memset(format, fill, formatBytes);
  return mt;
}

TEST(MediaType, StartsAsAFixedSizeTypeOfSizeOneWithNothingElse) {
  CMediaType mt;
  EXPECT_TRUE(IsEqualGUID(GUID_NULL, mt.majortype));
  EXPECT_TRUE(mt.bFixedSizeSamples);
  EXPECT_EQ(1u, mt.lSampleSize);
  EXPECT_EQ(0u, mt.cbFormat);
  EXPECT_EQ(nullptr, mt.pbFormat);
  EXPECT_EQ(nullptr, mt.pUnk);
}

TEST(MediaType, EqualityIgnoresSampleSizeFlagsAndPunk) {
  CMediaType a = VideoType(16, 0xAB);
  CMediaType b = VideoType(16, 0xAB);
  b.SetSampleSize(12345);
  b.SetTemporalCompression(TRUE);
  EXPECT_TRUE(a == b);
  b.pbFormat[15] = 0;
  EXPECT_FALSE(a == b);
  EXPECT_FALSE(a == VideoType(17, 0xAB));
  CMediaType c = VideoType(16, 0xAB);
  c.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_TRUE(a != c);
}

TEST(MediaType, PartialMatchLooksOnlyAtTheGivenFields) {
  const CMediaType full = VideoType(8, 1);
  CMediaType anything;
  anything.SetSampleSize(99);
  EXPECT_TRUE(full.MatchesPartial(&anything));

  CMediaType subtypeOnly;
  subtypeOnly.SetSubtype(&MEDIASUBTYPE_RGB24);
  EXPECT_TRUE(full.MatchesPartial(&subtypeOnly));
  subtypeOnly.SetSubtype(&MEDIASUBTYPE_RGB565);
  EXPECT_FALSE(full.MatchesPartial(&subtypeOnly));

  // A given format type brings its format block into the comparison.
  CMediaType withFormat = VideoType(8, 1);
  EXPECT_TRUE(full.MatchesPartial(&withFormat));
  withFormat.pbFormat[0] = 2;
  EXPECT_FALSE(full.MatchesPartial(&withFormat));
}

TEST(MediaType, PartiallySpecifiedWithoutMajorTypeOrFormatType) {
  CMediaType mt = VideoType(8, 0);
  EXPECT_FALSE(mt.IsPartiallySpecified());
  mt.SetFormatType(&GUID_NULL);
  EXPECT_TRUE(mt.IsPartiallySpecified());  // even with its subtype set
  mt.SetFormatType(&FORMAT_VideoInfo);
  mt.SetType(&GUID_NULL);
  EXPECT_TRUE(mt.IsPartiallySpecified());
}

TEST(MediaType, SetCopiesFormatAndPunkAndIgnoresItself) {
  tvqtest::ComStub<IUnknown> unk;
  {
    CMediaType source = VideoType(32, 0x5A);
    source.pUnk = &unk;
    unk.AddRef();
    CMediaType target = VideoType(4, 0);
    EXPECT_EQ(S_OK, target.Set(source));
    EXPECT_TRUE(target == source);
    EXPECT_NE(source.pbFormat, target.pbFormat);
    EXPECT_EQ(2, unk.References());
    const BYTE* before = target.pbFormat;
    EXPECT_EQ(S_OK, target.Set(target));
    EXPECT_EQ(before, target.pbFormat);
    EXPECT_EQ(32u, target.cbFormat);
  }
  EXPECT_EQ(0, unk.References());
}

TEST(MediaType, CopyOfARecordWithoutItsFormatBlockCopiesNoBlock) {
  AM_MEDIA_TYPE broken = {};
  broken.cbFormat = 64;  // but no pbFormat
  AM_MEDIA_TYPE target = {};
  EXPECT_TRUE(FAILED(CopyMediaType(&target, &broken)));
  EXPECT_EQ(0u, target.cbFormat);
  EXPECT_EQ(nullptr, target.pbFormat);
  CMediaType value;
  EXPECT_EQ(E_OUTOFMEMORY, value.Set(broken));
  EXPECT_EQ(0u, value.cbFormat);
}

TEST(MediaType, AllocFormatBufferKeepsTheBlockOfTheSameLength) {
  CMediaType mt = VideoType(24, 0x11);
  BYTE* block = mt.pbFormat;
  EXPECT_EQ(block, mt.AllocFormatBuffer(24));
  EXPECT_EQ(0x11, block[23]);
  BYTE* larger = mt.AllocFormatBuffer(100);
  ASSERT_NE(nullptr, larger);
  EXPECT_EQ(100u, mt.FormatLength());
  EXPECT_EQ(larger, mt.Format());
}

TEST(MediaType, SampleSizeZeroMeansVariableAndKeepsTheOldSize) {
  CMediaType mt;
  mt.SetSampleSize(640);
  EXPECT_TRUE(mt.bFixedSizeSamples);
  EXPECT_EQ(640u, mt.lSampleSize);
  mt.SetSampleSize(0);
  EXPECT_FALSE(mt.bFixedSizeSamples);
  EXPECT_EQ(640u, mt.lSampleSize);
}

TEST(MediaType, DeleteMediaTypeFreesAHandedOutRecord) {
  tvqtest::ComStub<IUnknown> unk;
  auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  const CMediaType source = VideoType(16, 3);
  CopyMediaType(record, &source);
  record->pUnk = &unk;
  unk.AddRef();
  DeleteMediaType(record);
  EXPECT_EQ(0, unk.References());
  DeleteMediaType(nullptr);
}

// A header followed by the three colour masks of BI_BITFIELDS.
struct BitfieldsHeader {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

BitfieldsHeader Header(WORD bitCount, DWORD compression, DWORD r = 0, DWORD g = 0, DWORD b = 0) {
  BitfieldsHeader h = {};
  h.header.biSize = sizeof(BITMAPINFOHEADER);
  h.header.biBitCount = bitCount;
  h.header.biCompression = compression;
  h.masks[0] = r;
  h.masks[1] = g;
  h.masks[2] = b;
  return h;
}

TEST(BitmapSubtype, FollowsBitCountCompressionAndMasks) {
  struct Case {
    BitfieldsHeader h;
    GUID expected;
  } cases[] = {
      {Header(1, BI_RGB), MEDIASUBTYPE_RGB1},
      {Header(4, BI_RGB), MEDIASUBTYPE_RGB4},
      {Header(8, BI_RGB), MEDIASUBTYPE_RGB8},
      {Header(16, BI_RGB), MEDIASUBTYPE_RGB555},
      {Header(16, BI_BITFIELDS, 0x7C00, 0x03E0, 0x001F), MEDIASUBTYPE_RGB555},
      {Header(16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F), MEDIASUBTYPE_RGB565},
      {Header(16, BI_BITFIELDS, 0xF00, 0xF0, 0xF), GUID_NULL},
      {Header(24, BI_RGB), MEDIASUBTYPE_RGB24},
      {Header(32, BI_BITFIELDS, 1, 2, 3), MEDIASUBTYPE_RGB32},
      {Header(32, BI_RGB), MEDIASUBTYPE_RGB32},
      {Header(12, BI_RGB), GUID_NULL},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(IsEqualGUID(c.expected, GetBitmapSubtype(&c.h.header)))
        << "bits " << c.h.header.biBitCount << " compression " << c.h.header.biCompression;
  }
}

TEST(BitmapSubtype, FourccCompressionGivesItsFourccGuid) {
  const BitfieldsHeader yuy2 = Header(16, 0x32595559);
  const GUID expected = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  EXPECT_TRUE(IsEqualGUID(expected, GetBitmapSubtype(&yuy2.header)));
  EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_YUY2, GetBitmapSubtype(&yuy2.header)));
}

TEST(BitmapSize, RowsArePaddedAndTopDownHeightCountsPositive) {
  BITMAPINFOHEADER h = {};
  h.biBitCount = 24;
  h.biWidth = 640;
  h.biHeight = -480;
  EXPECT_EQ(921600u, GetBitmapSize(&h));
  h.biWidth = 3;
  h.biHeight = 2;
  EXPECT_EQ(24u, GetBitmapSize(&h));
  h.biBitCount = 1;
  h.biWidth = 33;
  h.biHeight = 1;
  EXPECT_EQ(8u, GetBitmapSize(&h));
}

}  // namespace
