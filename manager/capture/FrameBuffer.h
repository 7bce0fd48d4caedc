#pragma once

#include <windows.h>

#include <memory>

class CImage;
struct ISampleGrabber;

namespace tvq {

// The camera's copy of the grabber's latest sample. Its capacity never changes between
// Allocate calls: the grabber reports the size of each copy through the same in/out count, and
// passing that count back in would shrink the buffer for good after one smaller sample.
//
// Threads: the GUI thread; the grabber keeps its own copy under its own lock.
class FrameBuffer {
 public:
  FrameBuffer() = default;
  FrameBuffer(FrameBuffer&& other) noexcept;
  FrameBuffer& operator=(FrameBuffer&& other) noexcept;
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;

  // A zeroed buffer of capacity bytes for frames of frameBytes bytes, one whole picture of the
  // connected format (frameBytes <= capacity). False (and empty) when the sizes are unusable or
  // memory is short.
  bool Allocate(long capacity, long frameBytes);
  void Free();

  // Copies the grabber's latest sample when it holds at least one whole frame and fits the
  // buffer (devices may pad their samples); otherwise (no sample yet, a short or oversized
  // sample, any failure) the buffer keeps its content. True when a frame was copied.
  bool CopyLatest(ISampleGrabber& grabber);

  // Draws the buffer, laid out as header says, into the whole picture. Upright whichever way the
  // frame's rows run: GDI reads the orientation from the header's height sign. FALSE when there
  // is nothing to draw or the header's frame does not fit the buffer.
  BOOL DrawInto(CImage& picture, const BITMAPINFOHEADER& header) const;

  // Bytes a frame of this header needs (rows padded to 4 bytes); 0 when unusable or too big.
  static long ImageBytes(const BITMAPINFOHEADER& header);

  const BYTE* Data() const { return m_data.get(); }
  long Capacity() const { return m_capacity; }
  long FrameBytes() const { return m_frameBytes; }
  // Bytes of the last copy made.
  long Size() const { return m_size; }

 private:
  std::unique_ptr<BYTE[]> m_data;
  long m_capacity = 0;
  long m_frameBytes = 0;
  long m_size = 0;
};

}  // namespace tvq
