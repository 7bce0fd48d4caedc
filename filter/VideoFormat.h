#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include <cstdint>

#include "channel/FrameGeometry.h"

// The one picture format the virtual camera deals in (24-bit BI_RGB, bottom-up) and the arithmetic
// around it: image sizes, frame intervals, the offered media type and capability record, and the
// check of a format that a client asks for.
namespace tvq {

inline constexpr REFERENCE_TIME kOneSecond = kUnitsPerSecond;
inline constexpr REFERENCE_TIME kMaxFrameInterval = kOneSecond;

// A picture format together with its frame interval; the pin keeps its default and its current
// choice as one value so that they never come apart.
struct VideoFormat {
  BITMAPINFOHEADER header;
  REFERENCE_TIME interval;
};

// Bytes of a 24-bit picture with rows padded to 4 bytes; 0 when the picture is empty or would not
// fit a signed 32-bit size.
DWORD Rgb24ImageSize(LONG width, LONG height);

// The header the settings describe: 24 bits, BI_RGB, one plane, 1 pixel per metre.
BITMAPINFOHEADER MakeRgb24Header(LONG width, LONG height);

// 10,000,000 / rate, truncated; 0 when the rate gives no usable interval (not above 0, not finite,
// or so high or low that the interval is not a positive 64-bit count).
REFERENCE_TIME FrameIntervalFromRate(double framePerSecond);

// The one media type the pin offers, format block in task memory. E_OUTOFMEMORY leaves mt with no
// format block.
HRESULT FillMediaType(const VideoFormat& format, AM_MEDIA_TYPE* mt);

// A media type record and its format block, both in task memory, for the caller to free.
HRESULT CreateMediaType(const VideoFormat& format, AM_MEDIA_TYPE** out);

// The single capability record: any size up to the defaults, any interval from the default up to
// one second.
void FillStreamCaps(const VideoFormat& defaults, VIDEO_STREAM_CONFIG_CAPS* caps);

// Checks a client's choice against the defaults. S_OK fills accepted with the client's header and
// interval; the image size is recomputed, because clients that change the picture size routinely
// leave it stale or 0. Refusals give VFW_E_INVALIDMEDIATYPE, a null type E_POINTER.
HRESULT CheckRequestedFormat(const AM_MEDIA_TYPE* mt, const VideoFormat& defaults,
                             VideoFormat* accepted);

}  // namespace tvq
