#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "channel/CSharedMemory.h"
#include "tests/common/TempDir.h"

namespace tvqtest {

// Our virtual camera as the video capture device of this test prefix: a settings file of the
// given size named in the registry first (so the filter never asks for one), then the filter DLL
// next to the test executable registered. Everything is undone at destruction.
class RegisteredFilter {
 public:
  RegisteredFilter(int width, int height, int framesPerSecond);
  ~RegisteredFilter();
  RegisteredFilter(const RegisteredFilter&) = delete;
  RegisteredFilter& operator=(const RegisteredFilter&) = delete;

  HRESULT RegisterResult() const { return m_registerResult; }

  // Removes a registration a crashed case may have left behind.
  static void Unregister();

 private:
  TempDir m_dir;
  HMODULE m_module = nullptr;
  HRESULT m_registerResult = E_FAIL;
};

// A 24-bit frame in the pixel object's layout (bottom row first) whose four quadrants have the
// given colours: top left, top right, bottom left, bottom right.
std::vector<BYTE> QuadrantFrame(int width, int height, const COLORREF quadrants[4]);

// The pixel object "TVQ_Data_SharedMemory" as the Manager holds it, written once with a frame.
class PublishedFrame {
 public:
  explicit PublishedFrame(const std::vector<BYTE>& frame);

 private:
  CSharedMemory m_pixels;
};

}  // namespace tvqtest
