#include "filter/VideoFormat.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cmath>
#include <cstring>

#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"

namespace tvq {
namespace {

bool IsOfferedMediaKind(const AM_MEDIA_TYPE& mt) {
  return mt.majortype == MEDIATYPE_Video && mt.subtype == MEDIASUBTYPE_RGB24 &&
         mt.formattype == FORMAT_VideoInfo && mt.cbFormat == sizeof(VIDEOINFOHEADER) &&
         mt.pbFormat != nullptr;
}

bool IsIntervalAllowed(REFERENCE_TIME interval, const VideoFormat& defaults) {
  return interval >= defaults.interval && interval <= kMaxFrameInterval;
}

bool IsSizeAllowed(const BITMAPINFOHEADER& h, const BITMAPINFOHEADER& limit) {
  return h.biWidth >= 1 && h.biWidth <= limit.biWidth && h.biHeight >= 1 &&
         h.biHeight <= limit.biHeight;
}

bool HasFixedFields(const BITMAPINFOHEADER& h, const BITMAPINFOHEADER& d) {
  return h.biPlanes == d.biPlanes && h.biBitCount == d.biBitCount &&
         h.biCompression == d.biCompression && h.biXPelsPerMeter == d.biXPelsPerMeter &&
         h.biYPelsPerMeter == d.biYPelsPerMeter;
}

}  // namespace

DWORD Rgb24ImageSize(LONG width, LONG height) {
  return static_cast<DWORD>(FrameBytes24(width, height < 0 ? -static_cast<std::int64_t>(height)
                                                           : height));
}

BITMAPINFOHEADER MakeRgb24Header(LONG width, LONG height) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biXPelsPerMeter = 1;
  h.biYPelsPerMeter = 1;
  h.biSizeImage = Rgb24ImageSize(width, height);
  return h;
}

REFERENCE_TIME FrameIntervalFromRate(double framePerSecond) {
  if (!std::isfinite(framePerSecond) || framePerSecond <= 0.0) return 0;
  const double interval = static_cast<double>(kOneSecond) / framePerSecond;
  // Beyond 2^62 the conversion to a 64-bit count would overflow; such a rate is no rate.
  if (!(interval >= 1.0) || interval > 4.6e18) return 0;
  return static_cast<REFERENCE_TIME>(interval);
}

HRESULT FillMediaType(const VideoFormat& format, AM_MEDIA_TYPE* mt) {
  if (mt == nullptr) return E_POINTER;
  auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
  if (vih == nullptr) {
    mt->cbFormat = 0;
    mt->pbFormat = nullptr;
    return E_OUTOFMEMORY;
  }
  std::memset(vih, 0, sizeof(*vih));
  vih->AvgTimePerFrame = format.interval;
  vih->bmiHeader = format.header;

  mt->majortype = MEDIATYPE_Video;
  mt->subtype = MEDIASUBTYPE_RGB24;
  mt->bFixedSizeSamples = TRUE;
  mt->bTemporalCompression = FALSE;
  mt->lSampleSize = format.header.biSizeImage;
  mt->formattype = FORMAT_VideoInfo;
  mt->pUnk = nullptr;
  mt->cbFormat = sizeof(VIDEOINFOHEADER);
  mt->pbFormat = reinterpret_cast<BYTE*>(vih);
  return S_OK;
}

HRESULT CreateMediaType(const VideoFormat& format, AM_MEDIA_TYPE** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  UniqueCoTaskMem record(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!record) return E_OUTOFMEMORY;
  auto* mt = static_cast<AM_MEDIA_TYPE*>(record.Get());
  std::memset(mt, 0, sizeof(*mt));
  const HRESULT hr = FillMediaType(format, mt);
  if (FAILED(hr)) return hr;
  *out = static_cast<AM_MEDIA_TYPE*>(record.Release());
  return S_OK;
}

void FillStreamCaps(const VideoFormat& defaults, VIDEO_STREAM_CONFIG_CAPS* caps) {
  std::memset(caps, 0, sizeof(*caps));
  const SIZE largest = {defaults.header.biWidth, defaults.header.biHeight};
  caps->guid = FORMAT_VideoInfo;
  caps->VideoStandard = 0;
  caps->InputSize = largest;
  caps->MinCroppingSize = largest;
  caps->MaxCroppingSize = largest;
  caps->CropGranularityX = 1;
  caps->CropGranularityY = 1;
  caps->CropAlignX = 1;
  caps->CropAlignY = 1;
  caps->MinOutputSize = SIZE{1, 1};
  caps->MaxOutputSize = largest;
  caps->OutputGranularityX = 1;
  caps->OutputGranularityY = 1;
  caps->StretchTapsX = 1;
  caps->StretchTapsY = 1;
  caps->ShrinkTapsX = 1;
  caps->ShrinkTapsY = 1;
  caps->MinFrameInterval = defaults.interval;
  caps->MaxFrameInterval = kMaxFrameInterval;
}

HRESULT CheckRequestedFormat(const AM_MEDIA_TYPE* mt, const VideoFormat& defaults,
                             VideoFormat* accepted) {
  if (mt == nullptr) return E_POINTER;
  if (!IsOfferedMediaKind(*mt)) return VFW_E_INVALIDMEDIATYPE;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt->pbFormat, sizeof(vih));
  if (!IsIntervalAllowed(vih.AvgTimePerFrame, defaults)) return VFW_E_INVALIDMEDIATYPE;
  if (!IsSizeAllowed(vih.bmiHeader, defaults.header)) return VFW_E_INVALIDMEDIATYPE;
  if (!HasFixedFields(vih.bmiHeader, defaults.header)) return VFW_E_INVALIDMEDIATYPE;

  accepted->header = vih.bmiHeader;
  accepted->header.biSizeImage = Rgb24ImageSize(vih.bmiHeader.biWidth, vih.bmiHeader.biHeight);
  accepted->interval = vih.AvgTimePerFrame;
  return S_OK;
}

}  // namespace tvq
