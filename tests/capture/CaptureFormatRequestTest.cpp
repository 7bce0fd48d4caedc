#include "manager/capture/CaptureFormatRequest.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/common/ComStub.h"

namespace {

constexpr REFERENCE_TIME k60 = 166666;
constexpr REFERENCE_TIME k30 = 333333;

// A capture pin listing YUY2 up to 30 frames a second at two sizes, and MJPG up to 60 at the
// smaller one (listed at 30). SetFormat takes a listed size and subtype no faster than that.
class FakePin : public tvqtest::ComStub<IAMStreamConfig> {
 public:
  struct Listed {
    LONG width, height;
    GUID subtype;
    REFERENCE_TIME fastest;
  };
  const std::vector<Listed> listed = {{640, 480, MEDIASUBTYPE_YUY2, k30},
                                      {640, 480, MEDIASUBTYPE_MJPG, k60},
                                      {1280, 720, MEDIASUBTYPE_YUY2, k30}};
  tvq::CameraFormat taken;

  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override {
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    for (const Listed& f : listed) {
      if (f.width == info.bmiHeader.biWidth && f.height == info.bmiHeader.biHeight &&
          f.subtype == type->subtype && info.AvgTimePerFrame >= f.fastest) {
        taken = {f.width, f.height, f.subtype, info.AvgTimePerFrame};
        return S_OK;
      }
    }
    return VFW_E_INVALIDMEDIATYPE;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
    *count = static_cast<int>(listed.size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE*) override {
    auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    *info = VIDEOINFOHEADER{};
    info->bmiHeader.biWidth = listed[index].width;
    info->bmiHeader.biHeight = listed[index].height;
    info->AvgTimePerFrame = k30;
    *type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    **type = AM_MEDIA_TYPE{};
    (*type)->majortype = MEDIATYPE_Video;
    (*type)->subtype = listed[index].subtype;
    (*type)->formattype = FORMAT_VideoInfo;
    (*type)->cbFormat = sizeof(VIDEOINFOHEADER);
    (*type)->pbFormat = reinterpret_cast<BYTE*>(info);
    return S_OK;
  }
};

TEST(CaptureFormatRequest, AsksForTheRecordedSizeAndFallsBackToThePinsOwnRate) {
  struct Row {
    const char* name;
    tvq::CameraFormat requested;
    tvq::CameraFormat taken;  // unset: nothing taken, the pin keeps its own format
  };
  const Row rows[] = {
      {"unreadable subtype: the first of the size that takes the rate", {640, 480, GUID_NULL, k60},
       {640, 480, MEDIASUBTYPE_MJPG, k60}},
      {"refused rate: the size at the pin's own rate", {1280, 720, MEDIASUBTYPE_YUY2, k60},
       {1280, 720, MEDIASUBTYPE_YUY2, k30}},
      {"size not listed", {800, 600, GUID_NULL, k30}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePin pin;
    EXPECT_EQ(row.taken.IsSet(), tvq::RequestCaptureFormat(pin, row.requested));
    EXPECT_EQ(row.taken.width, pin.taken.width);
    EXPECT_TRUE(row.taken.subtype == pin.taken.subtype);
    EXPECT_EQ(row.taken.interval, pin.taken.interval);
  }
}

}  // namespace
