#pragma once

#include <windows.h>

#include <vector>

// The last whole picture the output pin delivered. When the Manager holds the pixel object
// longer than a frame interval (stalled, suspended, in a debugger), the pin fills the sample with
// this picture again instead of waiting with the client's thread: never a torn frame, never one
// of another size.
//
// Threads: the worker thread only.
class HeldPicture {
 public:
  void Keep(const BYTE* data, long size);
  // The kept picture when it has exactly this size; otherwise black.
  void CopyTo(BYTE* data, long size) const;

 private:
  std::vector<BYTE> m_bytes;
};
