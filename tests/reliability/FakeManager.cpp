#include "tests/reliability/FakeManager.h"

#include <windows.h>

#include <vector>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "tests/common/ChildProcess.h"
#include "tests/reliability/FramePattern.h"

namespace tvqtest {
namespace {

// Larger formats are left alone, as a canvas of gigabytes would be by any sane Manager.
constexpr std::int64_t kLargestFollowedFrame = 64 * 1024 * 1024;

struct Canvas {
  int width;
  int height;
  std::vector<BYTE> pixels;

  void Resize(int w, int h) {
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(tvq::FrameBytes24(w, h)), 0);
  }
};

bool ShouldFollow(const BITMAPINFOHEADER& header, const Canvas& canvas) {
  if (header.biWidth == 0 || header.biHeight == 0) return false;
  if (header.biWidth == canvas.width && header.biHeight == canvas.height) return false;
  const std::int64_t bytes = tvq::FrameBytes24(header.biWidth, header.biHeight);
  return bytes != 0 && bytes <= kLargestFollowedFrame;
}

int FakeManagerMain(const std::vector<std::wstring>& args) {
  if (args.size() != 4) return 2;
  tvq::UniqueKernelHandle stop(OpenEventW(SYNCHRONIZE, FALSE, args[0].c_str()));
  tvq::UniqueKernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args[1].c_str()));
  if (!stop || !ready) return 3;
  Canvas canvas{};
  canvas.Resize(std::stoi(args[2]), std::stoi(args[3]));
  CSharedMemory format;
  CSharedMemory interval;
  CSharedMemory pixels;
  format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize);
  interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize);
  pixels.Create(tvq::kPixelObjectName, static_cast<int>(canvas.pixels.size()));

  int seed = 0;
  // Ends by itself after two minutes should the test never set the stop event.
  for (int tick = 0; tick < 12000; ++tick) {
    BITMAPINFOHEADER header{};
    format.Read(&header, sizeof(header), INFINITE);
    if (ShouldFollow(header, canvas)) canvas.Resize(header.biWidth, header.biHeight);
    seed = (seed + 1) % kPatternModulus;
    WritePatternFrame(canvas.pixels.data(), canvas.width, canvas.height, seed);
    pixels.Write(canvas.pixels.data(), static_cast<int>(canvas.pixels.size()), INFINITE);
    if (tick == 0) SetEvent(ready.Get());
    if (WaitForSingleObject(stop.Get(), 10) != WAIT_TIMEOUT) return 0;
  }
  return 4;
}

int HoldPixelMutexMain(const std::vector<std::wstring>& args) {
  if (args.size() != 1) return 2;
  tvq::UniqueKernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, args[0].c_str()));
  const std::wstring mutexName = std::wstring(L"Mutex of ") + tvq::kPixelObjectName;
  tvq::UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, mutexName.c_str()));
  if (!held || !mutex) return 3;
  if (WaitForSingleObject(mutex.Get(), 30000) != WAIT_OBJECT_0) return 4;
  SetEvent(held.Get());
  Sleep(60000);
  return 5;
}

ChildMode g_fakeManager(kFakeManagerMode, &FakeManagerMain);
ChildMode g_holdPixelMutex(kHoldPixelMutexMode, &HoldPixelMutexMain);

}  // namespace

std::wstring UniqueEventName(const wchar_t* purpose) {
  static LONG counter = 0;
  return std::wstring(L"tvq_reliability_") + purpose + L"_" +
         std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(InterlockedIncrement(&counter));
}

constexpr DWORD kFakeManagerTimeoutMs = 10000;

FakeManagerProcess::FakeManagerProcess(int width, int height)
    : m_stopName(UniqueEventName(L"stop")),
      m_readyName(UniqueEventName(L"ready")),
      m_stop(CreateEventW(nullptr, TRUE, FALSE, m_stopName.c_str())),
      m_ready(CreateEventW(nullptr, TRUE, FALSE, m_readyName.c_str())),
      m_process(ChildProcess::StartSelf(kFakeManagerMode, {m_stopName, m_readyName,
                                                           std::to_wstring(width),
                                                           std::to_wstring(height)})) {}

bool FakeManagerProcess::WaitReady() {
  if (!m_process.IsValid()) return false;
  HANDLE waits[2] = {m_ready.Get(), m_process.Handle()};
  return WaitForMultipleObjects(2, waits, FALSE, kFakeManagerTimeoutMs) == WAIT_OBJECT_0;
}

bool FakeManagerProcess::Stop() {
  SetEvent(m_stop.Get());
  DWORD exitCode = 1;
  return m_process.Wait(kFakeManagerTimeoutMs, &exitCode) && exitCode == 0;
}

}  // namespace tvqtest
