#include "manager/capture/CaptureFormatRequest.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "common/Lifetime.h"

namespace tvq {

namespace {

VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_VideoInfo || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return nullptr;
  }
  return reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
}

bool Matches(const AM_MEDIA_TYPE& type, const CameraFormat& format) {
  const VIDEOINFOHEADER* info = VideoInfo(type);
  if (info == nullptr) return false;
  if (format.subtype != GUID_NULL && type.subtype != format.subtype) return false;
  return info->bmiHeader.biWidth == format.width &&
         labs(info->bmiHeader.biHeight) == format.height;
}

// The formats the pin lists that fit the request, in the pin's order.
std::vector<UniqueMediaType> ListedFormats(IAMStreamConfig& config, const CameraFormat& format) {
  std::vector<UniqueMediaType> listed;
  int count = 0;
  int capsSize = 0;
  if (config.GetNumberOfCapabilities(&count, &capsSize) != S_OK) return listed;
  std::vector<BYTE> caps(static_cast<size_t>(capsSize > 0 ? capsSize : 1));
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* offered = nullptr;
    // GetStreamCaps may answer S_FALSE for an index past the end: compare with S_OK.
    if (config.GetStreamCaps(i, &offered, caps.data()) != S_OK || offered == nullptr) continue;
    UniqueMediaType type(offered);
    if (Matches(*type.Get(), format)) listed.push_back(std::move(type));
  }
  return listed;
}

// interval 0 keeps the format's own.
bool SetFormatAt(IAMStreamConfig& config, AM_MEDIA_TYPE& type, REFERENCE_TIME interval) {
  VIDEOINFOHEADER& info = *VideoInfo(type);
  const REFERENCE_TIME own = info.AvgTimePerFrame;
  if (interval > 0) info.AvgTimePerFrame = interval;
  const bool accepted = config.SetFormat(&type) == S_OK;
  info.AvgTimePerFrame = own;
  return accepted;
}

}  // namespace

bool RequestCaptureFormat(IAMStreamConfig& config, const CameraFormat& format) {
  if (!format.IsSet()) return false;
  std::vector<UniqueMediaType> listed = ListedFormats(config, format);
  if (format.interval > 0) {
    for (UniqueMediaType& type : listed) {
      if (SetFormatAt(config, *type.Get(), format.interval)) return true;
    }
  }
  for (UniqueMediaType& type : listed) {
    if (SetFormatAt(config, *type.Get(), 0)) return true;
  }
  return false;
}

}  // namespace tvq
