#include "manager/capture/CaptureFormatRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/common/ComStub.h"

namespace {

struct Listed {
  LONG width;
  LONG height;
  GUID subtype;
  REFERENCE_TIME interval;
  // The fastest interval the pin takes for this format; a faster one is refused.
  REFERENCE_TIME fastest;
};

// A capture pin listing the given formats; SetFormat takes only a listed size and subtype at an
// interval no faster than that format allows, and keeps what it took.
class FakeStreamConfig : public tvqtest::ComStub<IAMStreamConfig> {
 public:
  explicit FakeStreamConfig(std::vector<Listed> listed) : m_listed(std::move(listed)) {}

  // The format last taken; unset while none was.
  tvq::CameraFormat taken;

  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    for (const Listed& format : m_listed) {
      if (format.width == info->bmiHeader.biWidth && format.height == info->bmiHeader.biHeight &&
          format.subtype == type->subtype && info->AvgTimePerFrame >= format.fastest) {
        taken = {format.width, format.height, format.subtype, info->AvgTimePerFrame};
        return S_OK;
      }
    }
    return VFW_E_INVALIDMEDIATYPE;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
    *count = static_cast<int>(m_listed.size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override {
    if (index < 0 || index >= static_cast<int>(m_listed.size())) return S_FALSE;
    std::memset(caps, 0, sizeof(VIDEO_STREAM_CONFIG_CAPS));
    const Listed& format = m_listed[index];
    auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    *info = VIDEOINFOHEADER{};
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = format.width;
    info->bmiHeader.biHeight = format.height;
    info->AvgTimePerFrame = format.interval;
    *type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    **type = AM_MEDIA_TYPE{};
    (*type)->majortype = MEDIATYPE_Video;
    (*type)->subtype = format.subtype;
    (*type)->formattype = FORMAT_VideoInfo;
    (*type)->cbFormat = sizeof(VIDEOINFOHEADER);
    (*type)->pbFormat = reinterpret_cast<BYTE*>(info);
    return S_OK;
  }

 private:
  std::vector<Listed> m_listed;
};

constexpr REFERENCE_TIME k30 = 333333;
constexpr REFERENCE_TIME k60 = 166666;
constexpr REFERENCE_TIME k15 = 666666;

// YUY2 up to 30 frames a second at both sizes, MJPG up to 60 at the smaller one.
const std::vector<Listed> kListed = {{640, 480, MEDIASUBTYPE_YUY2, k30, k30},
                                     {640, 480, MEDIASUBTYPE_MJPG, k30, k60},
                                     {1280, 720, MEDIASUBTYPE_YUY2, k30, k30}};

TEST(CaptureFormatRequest, AsksForTheRecordedSizeAndFallsBackToThePinsOwnRate) {
  struct Row {
    const char* name;
    tvq::CameraFormat requested;
    tvq::CameraFormat taken;  // unset: nothing asked for, the pin keeps its own
  };
  const Row rows[] = {
      {"the recorded format at its rate", {640, 480, MEDIASUBTYPE_MJPG, k15},
       {640, 480, MEDIASUBTYPE_MJPG, k15}},
      {"no interval recorded: the listed one", {1280, 720, MEDIASUBTYPE_YUY2, 0},
       {1280, 720, MEDIASUBTYPE_YUY2, k30}},
      {"unreadable subtype: any of the size", {1280, 720, GUID_NULL, k15},
       {1280, 720, MEDIASUBTYPE_YUY2, k15}},
      {"unreadable subtype: the first listed that takes the rate", {640, 480, GUID_NULL, k60},
       {640, 480, MEDIASUBTYPE_MJPG, k60}},
      {"refused rate: the size at the pin's own rate", {1280, 720, MEDIASUBTYPE_YUY2, k60},
       {1280, 720, MEDIASUBTYPE_YUY2, k30}},
      {"refused rate, unreadable subtype", {1280, 720, GUID_NULL, 100000},
       {1280, 720, MEDIASUBTYPE_YUY2, k30}},
      {"size not listed", {800, 600, MEDIASUBTYPE_YUY2, k30}, {}},
      {"subtype not listed at that size", {1280, 720, MEDIASUBTYPE_MJPG, k30}, {}},
      {"no size recorded", {0, 0, GUID_NULL, k30}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeStreamConfig pin(kListed);
    EXPECT_EQ(row.taken.IsSet(), tvq::RequestCaptureFormat(pin, row.requested));
    EXPECT_EQ(row.taken.width, pin.taken.width);
    EXPECT_EQ(row.taken.height, pin.taken.height);
    EXPECT_TRUE(row.taken.subtype == pin.taken.subtype);
    EXPECT_EQ(row.taken.interval, pin.taken.interval);
    EXPECT_EQ(0, pin.References());
  }
}

}  // namespace
