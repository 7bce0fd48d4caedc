#include "manager/capture/FrameBuffer.h"

#include "manager/capture/SampleGrabber.h"

#include <climits>
#include <cstdlib>
#include <new>
#include <utility>

#include "manager/capture/CImage.h"

namespace tvq {

FrameBuffer::FrameBuffer(FrameBuffer&& other) noexcept
    : m_data(std::move(other.m_data)),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_frameBytes(std::exchange(other.m_frameBytes, 0)),
      m_size(std::exchange(other.m_size, 0)) {}

FrameBuffer& FrameBuffer::operator=(FrameBuffer&& other) noexcept {
  if (this != &other) {
    m_data = std::move(other.m_data);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_frameBytes = std::exchange(other.m_frameBytes, 0);
    m_size = std::exchange(other.m_size, 0);
  }
  return *this;
}

bool FrameBuffer::Allocate(long capacity, long frameBytes) {
  Free();
  if (frameBytes <= 0 || capacity < frameBytes) return false;
  // Zeroed: until the first sample arrives the picture shows black, not old heap content.
  m_data.reset(new (std::nothrow) BYTE[capacity]());
  if (!m_data) return false;
  m_capacity = capacity;
  m_frameBytes = frameBytes;
  return true;
}

void FrameBuffer::Free() {
  m_data.reset();
  m_capacity = 0;
  m_frameBytes = 0;
  m_size = 0;
}

bool FrameBuffer::CopyLatest(ISampleGrabber& grabber) {
  if (!m_data) return false;
  // With no buffer the grabber only reports the size of the sample it holds.
  // A short sample would leave the old frame's tail under the new one's head; a longer one
  // (padding, or a length the device states differently) still starts with a whole frame. The
  // grabber gives nothing to a buffer smaller than its sample, so those are not asked for.
  long needed = 0;
  if (grabber.GetCurrentBuffer(&needed, nullptr) != S_OK) return false;
  if (needed < m_frameBytes || needed > m_capacity) return false;
  long size = m_capacity;
  if (grabber.GetCurrentBuffer(&size, reinterpret_cast<long*>(m_data.get())) != S_OK) return false;
  if (size < m_frameBytes || size > m_capacity) return false;
  m_size = size;
  return true;
}

BOOL FrameBuffer::DrawInto(CImage& picture, const BITMAPINFOHEADER& header) const {
  if (!m_data || picture.Bitmap() == nullptr) return FALSE;
  const long needed = ImageBytes(header);
  if (needed == 0 || needed > m_capacity) return FALSE;
  HDC dc = picture.BorrowDC();
  SetStretchBltMode(dc, HALFTONE);
  const int result = StretchDIBits(dc, 0, 0, picture.Width(), picture.Height(), 0, 0,
                                   header.biWidth, std::abs(header.biHeight), m_data.get(),
                                   reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                   SRCCOPY);
  picture.ReturnDC();
  return result > 0;
}

long FrameBuffer::ImageBytes(const BITMAPINFOHEADER& header) {
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == LONG_MIN ||
      header.biBitCount == 0) {
    return 0;
  }
  const long long rowBits = static_cast<long long>(header.biWidth) * header.biBitCount;
  const long long rowBytes = (rowBits + 31) / 32 * 4;
  const long long bytes = rowBytes * std::abs(static_cast<long long>(header.biHeight));
  return bytes > LONG_MAX ? 0 : static_cast<long>(bytes);
}

}  // namespace tvq
