// The real Manager under strain: killed inside its write of a frame, fed absurd formats by a
// foreign process, hammered with held keys while every slot is filled, and closed while one of
// its choosers still waits for an answer. Every published frame carries the bench stamp, whose
// counter shows from outside that the compositing tick goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/FrameChecker.h"
#include "tests/reliability/GuardedSink.h"
#include "tests/reliability/RealManager.h"

namespace {

using tvqtest::BitmapHeader;
using tvqtest::RealManager;
using tvqtest::TempDir;

constexpr DWORD kTimeoutMs = 15000;
constexpr DWORD kKeyRepeatMs = 33;  // a keyboard's auto-repeat, about 30 per second

std::string Settings(int slots, int width, int height, const char* rate) {
  return "[Tessavue]\r\nMaxNumOfCaptureDev=" + std::to_string(slots) + "\r\n" +
         tvqtest::VideoSection(width, height, rate);
}

bool SectionExists(const std::wstring& file, const wchar_t* section) {
  wchar_t keys[256] = L"";
  return GetPrivateProfileSectionW(section, keys, 256, file.c_str()) > 0;
}

bool AnySectionIn(const std::wstring& file) {
  wchar_t names[1024] = L"";
  return GetPrivateProfileSectionNamesW(names, 1024, file.c_str()) > 0;
}

bool ChannelObjectExists(const wchar_t* name) {
  tvq::UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, name));
  return mapping.IsValid();
}

// Ends cleanly: by itself, with exit code 0, and, when no client holds it, with the channel
// gone with it.
void ExpectCleanEnd(RealManager& manager, bool channelHeldElsewhere = false) {
  DWORD exitCode = 1;
  ASSERT_TRUE(manager.Close(&exitCode)) << "the Manager did not end";
  EXPECT_EQ(0u, exitCode);
  if (channelHeldElsewhere) return;
  EXPECT_FALSE(ChannelObjectExists(tvq::kPixelObjectName));
  EXPECT_FALSE(ChannelObjectExists(tvq::kFormatObjectName));
}

// A visible top-level window of the test's own, serviced by a thread of its own, so that the
// window chooser always has a window to offer besides the Manager's.
tvqtest::TestWindowOptions TargetWindow() {
  tvqtest::TestWindowOptions options;
  options.title = L"Reliability target window";
  options.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  options.rect = {40, 40, 360, 280};
  return options;
}

// Records the stamp of every sample a client receives.
class StampWatcher {
 public:
  explicit StampWatcher(tvqtest::GuardedSink& sink) {
    sink.SetInspector([this](const tvqtest::ReceivedSample& s) {
      tvq::BenchStamp stamp{};
      if (s.size < static_cast<long>(sizeof(stamp))) return;
      std::memcpy(&stamp, s.data, sizeof(stamp));
      m_counter = stamp.counter;
      m_publishedQpc = stamp.publishedQpc;
    });
  }
  std::int64_t Counter() const { return m_counter; }
  std::int64_t PublishedQpc() const { return m_publishedQpc; }

 private:
  std::atomic<std::int64_t> m_counter{0};
  std::atomic<std::int64_t> m_publishedQpc{0};
};

std::int64_t QpcNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Suspends the Manager's GUI thread until it is caught inside its write of the pixel object:
// the mutex then stays taken far longer than any copy lasts. Returns with the thread suspended
// and the mutex held by it, or false.
bool CatchInsidePixelWrite(DWORD threadId) {
  tvq::UniqueKernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId));
  const std::wstring mutexName = std::wstring(L"Mutex of ") + tvq::kPixelObjectName;
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE,
                                           mutexName.c_str()));
  if (!thread || !mutex) return false;
  std::minstd_rand phase(7);
  const ULONGLONG end = GetTickCount64() + 30000;
  while (GetTickCount64() < end) {
    SuspendThread(thread.Get());
    const DWORD wait = WaitForSingleObject(mutex.Get(), 200);
    if (wait == WAIT_TIMEOUT) return true;
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(mutex.Get());
    ResumeThread(thread.Get());
    // Let it run for a varying part of a tick before trying again.
    Sleep(phase() % 9);
  }
  return false;
}

class ManagerReliability : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    // The camera chooser finds the virtual camera as this prefix's only video device.
    ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
  }

  tvqtest::ComApartment m_com;
  TempDir m_folder;
};

// --- A Manager killed inside its write ---------------------------------------------------------

TEST_F(ManagerReliability, KilledInsideItsFrameWriteTheClientGoesOnAndANewManagerTakesOver) {
  // The largest frames make the write, and so the catch, most likely.
  const std::string settings = Settings(2, 1920, 1080, "60");
  auto first = std::make_unique<RealManager>(m_folder.Path(), settings);
  ASSERT_TRUE(first->Start());

  // The client reads the settings the Manager named in the registry.
  tvqtest::GuardedSink sink;
  StampWatcher watcher(sink);
  {
    tvqtest::LocalFilter f;
    ASSERT_TRUE(f.IsValid());
    ASSERT_EQ(S_OK, f.outputPin->Connect(&sink, nullptr));
    ASSERT_EQ(S_OK, f.filter->Run(0));
    ASSERT_TRUE(tvqtest::WaitUntil([&] { return watcher.Counter() > 0; }, kTimeoutMs))
        << "no stamped frame reached the client";

    ASSERT_TRUE(CatchInsidePixelWrite(first->ThreadId())) << "never caught inside its write";
    first->Process().Kill();
    ASSERT_TRUE(first->Process().Wait(kTimeoutMs, nullptr));
    first.reset();

    const LONG received = sink.Received();
    EXPECT_TRUE(sink.WaitForSamples(received + 10, kTimeoutMs))
        << "the client stopped at the abandoned mutex";

    const std::int64_t restart = QpcNow();
    RealManager second(m_folder.Path(), "");
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(tvqtest::WaitUntil([&] { return watcher.PublishedQpc() > restart; }, kTimeoutMs))
        << "the new Manager's frames do not reach the client";
    EXPECT_EQ(S_OK, f.filter->Stop());
    EXPECT_EQ(0, sink.Malformed());
    f.outputPin->Disconnect();
    sink.Disconnect();
    ExpectCleanEnd(second, true);
  }
}

// A client stalled inside its read of the pixel object (suspended, in a debugger) holds the
// mutex: the Manager skips its publications, its window keeps answering, and it publishes again
// once the client lets go.
TEST_F(ManagerReliability, AClientStalledInsideItsReadNeverFreezesTheWindow) {
  RealManager manager(m_folder.Path(), Settings(2, 320, 240, "30"));
  ASSERT_TRUE(manager.Start());
  ASSERT_TRUE(tvqtest::WaitForPublishedFrames(2, kTimeoutMs));
  {
    CSharedMemory pixels;
    const int frameBytes = static_cast<int>(tvq::FrameBytes24(320, 240));
    ASSERT_TRUE(pixels.Create(tvq::kPixelObjectName, frameBytes));
    SharedMemoryHold stalledClient(pixels, kTimeoutMs);
    ASSERT_TRUE(stalledClient.Held());
    // Answers all through a stretch of several ticks, every one of which finds the mutex held.
    for (const ULONGLONG end = GetTickCount64() + 500; GetTickCount64() < end;) {
      ASSERT_TRUE(manager.Responds(2000)) << "the window froze with the client";
    }
  }
  EXPECT_TRUE(tvqtest::WaitForPublishedFrames(3, kTimeoutMs)) << "no publication after the stall";
  EXPECT_TRUE(manager.Responds());
  ExpectCleanEnd(manager);
}

// --- A client restarting and resizing against the real Manager ---------------------------------

// A topmost window over the whole screen, painted with a horizontal colour ramp and serviced by a
// thread of its own. A desktop slot then gives frames whose rows are all alike while their left
// and right differ, so that a frame laid out for another row length is told apart.
void PaintRamp(HDC dc, const RECT& client) {
  const int width = client.right;
  std::vector<BYTE> row(static_cast<size_t>(tvq::RowBytes24(width)));
  for (int x = 0; x < width; ++x) {
    row[3 * x] = 128;
    row[3 * x + 1] = static_cast<BYTE>(255 - x * 255 / (width - 1));
    row[3 * x + 2] = static_cast<BYTE>(x * 255 / (width - 1));
  }
  BITMAPINFO info{};
  info.bmiHeader = tvqtest::BitmapHeader(width, 1, 24);
  StretchDIBits(dc, 0, 0, width, client.bottom, 0, 0, width, 1, row.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
}

tvqtest::TestWindowOptions RampScreen() {
  tvqtest::TestWindowOptions options;
  options.title = L"Ramp";
  options.style = WS_POPUP | WS_VISIBLE;
  options.exStyle = WS_EX_TOPMOST;
  options.rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  options.paint = &PaintRamp;
  return options;
}

// 0 when every row equals the one above the bottom row (whose first bytes carry the bench stamp)
// and that row runs from one colour to another; -1 otherwise.
int RampFrameId(const tvqtest::ReceivedSample& s) {
  const int width = s.connection->bmiHeader.biWidth;
  const int height = s.connection->bmiHeader.biHeight;
  const size_t rowBytes = tvqtest::PatternRowBytes(width);
  const size_t pixels = static_cast<size_t>(width) * 3;
  constexpr size_t kStamp = sizeof(tvq::BenchStamp);
  if (width < 16 || height < 2 || static_cast<size_t>(s.size) < rowBytes * height) return -1;
  const BYTE* reference = s.data + rowBytes;
  for (int r = 2; r < height; ++r) {
    if (std::memcmp(s.data + r * rowBytes, reference, pixels) != 0) return -1;
  }
  if (std::memcmp(s.data + kStamp, reference + kStamp, pixels - kStamp) != 0) return -1;
  const BYTE* last = reference + pixels - 3;
  const int change = std::abs(reference[1] - last[1]) + std::abs(reference[2] - last[2]);
  return change > 200 ? 0 : -1;
}

TEST_F(ManagerReliability, RestartedAndResizedClientsGetWholeFramesOfTheirOwnSize) {
  tvqtest::TestWindow screen(RampScreen());
  // Only the bottom of the screen, which the ramp covers whatever else is shown above it.
  tvqtest::WriteTextFile(m_folder.File(L"TVQ_CaptureDesktop.ini"),
                         "[Desktop]\r\nTrimTop=800\r\nCapturePerSecond=5\r\n");
  RealManager manager(m_folder.Path(), Settings(2, 640, 480, "30"));
  ASSERT_TRUE(manager.Start());
  manager.PressKey('D');

  tvqtest::GuardedSink sink;
  tvqtest::IntegrityChecker checker(sink, &RampFrameId);
  {
    tvqtest::LocalFilter f;
    ASSERT_TRUE(f.IsValid());
    struct Size {
      LONG width;
      LONG height;
    };
    for (Size size : {Size{320, 240}, Size{640, 480}, Size{161, 121}, Size{320, 240}}) {
      ASSERT_EQ(S_OK, tvqtest::AskFor(f.config.Get(), size.width, size.height, 333333));
      ASSERT_EQ(S_OK, f.outputPin->Connect(&sink, nullptr));
      // A run, a stop and a run again without reconnecting.
      for (int run = 0; run < 2; ++run) {
        checker.NewRun();
        ASSERT_EQ(S_OK, f.filter->Run(0));
        EXPECT_TRUE(checker.WaitForGoodFrames(3, kTimeoutMs))
            << "no whole " << size.width << "x" << size.height << " frame in run " << run;
        ASSERT_EQ(S_OK, f.filter->Stop());
      }
      ASSERT_EQ(S_OK, f.outputPin->Disconnect());
      sink.Disconnect();
    }
  }
  EXPECT_EQ(0, checker.Bad()) << "torn or misshapen frames after whole ones";
  EXPECT_EQ(0, sink.Malformed());
  EXPECT_TRUE(manager.Responds());
  ExpectCleanEnd(manager);
}

// --- Absurd formats from a foreign process -------------------------------------------------------

TEST_F(ManagerReliability, AbsurdFormatsAndIntervalsInTheChannelNeitherCrashNorStopIt) {
  RealManager manager(m_folder.Path(), Settings(2, 640, 480, "30"));
  ASSERT_TRUE(manager.Start());
  CSharedMemory format;
  CSharedMemory interval;
  ASSERT_TRUE(format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize));
  ASSERT_TRUE(interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize));

  const BITMAPINFOHEADER headers[] = {
      BitmapHeader(INT_MAX, INT_MAX, 24),  BitmapHeader(INT_MIN, INT_MIN, 24),
      BitmapHeader(-1, -1, 24),            BitmapHeader(1, -1, 24),
      BitmapHeader(100000, 100000, 24),    BitmapHeader(640, 480, 0),
      BitmapHeader(320, 240, 1),           BitmapHeader(320, 240, 32),
      BitmapHeader(320, 240, 0xFFFF),      BitmapHeader(INT_MAX, 1, 24),
      BitmapHeader(1, INT_MAX, 24),        BitmapHeader(641, 480, 24),
      BitmapHeader(320, 240, 24)};
  const REFERENCE_TIME intervals[] = {0, -1, LLONG_MIN, LLONG_MAX, 1, 1000000000000000000LL};
  size_t i = 0;
  for (const BITMAPINFOHEADER& header : headers) {
    const REFERENCE_TIME value = intervals[i++ % std::size(intervals)];
    format.Write(&header, sizeof(header), INFINITE);
    interval.Write(&value, sizeof(value), INFINITE);
    EXPECT_TRUE(tvqtest::WaitForPublishedFrames(3, kTimeoutMs))
        << "no frames after " << header.biWidth << "x" << header.biHeight << "x"
        << header.biBitCount << " at " << value;
  }

  // Random bytes written as fast as the mutex allows, for a while.
  std::mt19937 generator(3);
  const std::int64_t before = tvqtest::PublishedStamp().counter;
  const ULONGLONG end = GetTickCount64() + 2000;
  while (GetTickCount64() < end) {
    unsigned char bytes[48];
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(generator());
    format.Write(bytes, 40, INFINITE);
    interval.Write(bytes + 40, 8, INFINITE);
  }
  EXPECT_TRUE(tvqtest::WaitForPublishedFrames(3, kTimeoutMs));
  EXPECT_GT(tvqtest::PublishedStamp().counter, before + 3) << "composing stalled";
  EXPECT_TRUE(manager.Responds());
  format.Close();
  interval.Close();
  ExpectCleanEnd(manager);
}

// --- Every slot filled, keys held ----------------------------------------------------------------

// Fills the selected slot through the chooser of its kind, answering every box that comes.
void FillWindowSlot(RealManager& manager) {
  manager.PressKey('W');
  HWND question = manager.WaitForBox(kTimeoutMs);
  ASSERT_NE(nullptr, question) << "no window question";
  ASSERT_TRUE(manager.Answer(question, IDYES));
}

bool SingleInstanceMutexExists() {
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, tvq::kSingleInstanceMutexName));
  return mutex.IsValid();
}

// The virtual camera in the Manager's own slot: its graph runs once the camera is paused, which
// takes the single-instance mutex.
void FillCameraSlot(RealManager& manager) {
  manager.PressKey('C');
  HWND question = manager.WaitForBox(kTimeoutMs);
  ASSERT_NE(nullptr, question) << "no device question";
  ASSERT_TRUE(manager.Answer(question, IDYES));
  // The device and its pin have no property pages: an error box each, answered with OK.
  const bool running = tvqtest::WaitUntil(
      [&] {
        if (SingleInstanceMutexExists()) return true;
        HWND box = manager.WaitForBox(50);
        if (box != nullptr) manager.Answer(box, IDOK);
        return false;
      },
      kTimeoutMs);
  ASSERT_TRUE(running) << "the camera's graph did not start";
}

TEST_F(ManagerReliability, WithEverySlotFilledHeldKeysNeitherStopComposingNorTheProgram) {
  tvqtest::TestWindow target(TargetWindow());
  RealManager manager(m_folder.Path(), Settings(4, 640, 480, "30"));
  ASSERT_TRUE(manager.Start());
  manager.PressKey('D');
  manager.PressKey(VK_DOWN);
  ASSERT_NO_FATAL_FAILURE(FillWindowSlot(manager));
  manager.PressKey(VK_DOWN);
  ASSERT_NO_FATAL_FAILURE(FillCameraSlot(manager));
  manager.PressKey(VK_DOWN);
  manager.PressKey('D');

  struct Held {
    UINT key;
    int repeats;
  };
  // Browsing, pausing and clearing; then the Move row; then the capture rate pushed below 0.
  const Held sequence[] = {{VK_DOWN, 30}, {VK_UP, 30}, {VK_SPACE, 30}, {'R', 30},
                           {VK_RETURN, 1}, {VK_RETURN, 1}, {VK_RIGHT, 30}, {VK_BACK, 1},
                           {VK_UP, 1},     {VK_RETURN, 1}, {VK_DOWN, 30},  {VK_UP, 5},
                           {VK_BACK, 1},   {VK_BACK, 1},   {'C', 10},      {'W', 10}};
  for (const Held& held : sequence) {
    const std::int64_t before = tvqtest::PublishedStamp().counter;
    manager.HoldKey(held.key, held.repeats, kKeyRepeatMs);
    EXPECT_TRUE(tvqtest::WaitUntil(
        [&] { return tvqtest::PublishedStamp().counter > before; }, kTimeoutMs))
        << "composing stopped while key " << held.key << " was held";
    EXPECT_EQ(nullptr, manager.WaitForBox(0)) << "a held key opened a chooser on a full slot";
  }
  EXPECT_TRUE(tvqtest::WaitForPublishedFrames(5, kTimeoutMs));
  EXPECT_TRUE(manager.Responds());
  ExpectCleanEnd(manager);
  // Every slot was occupied and is saved.
  EXPECT_TRUE(SectionExists(manager.File(L"TVQ_CaptureDesktop.ini"), L"Desktop"));
  EXPECT_TRUE(AnySectionIn(manager.File(L"TVQ_CaptureWindow.ini")));
  EXPECT_TRUE(AnySectionIn(manager.File(L"TVQ_CaptureVideo.ini")));
}

// --- Closed while a chooser waits ----------------------------------------------------------------

class ClosedWhileChoosing : public ManagerReliability {
 protected:
  // Slot 0 holds the desktop, slot 1 is selected and empty.
  void StartWithOneSlotFilled() {
    ASSERT_TRUE(m_manager.Start());
    m_manager.PressKey('D');
    m_manager.PressKey(VK_DOWN);
  }
  // The window goes while the box is still open; the process must end by itself, cleanly,
  // having saved the occupied slot.
  void CloseWithBoxOpen(HWND box) {
    ASSERT_NE(nullptr, box);
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd(m_manager));
    EXPECT_TRUE(SectionExists(m_manager.File(L"TVQ_CaptureDesktop.ini"), L"Desktop"));
  }

  RealManager m_manager{m_folder.Path(), Settings(4, 640, 480, "30")};
};

TEST_F(ClosedWhileChoosing, WindowQuestionOpen) {
  tvqtest::TestWindow target(TargetWindow());
  ASSERT_NO_FATAL_FAILURE(StartWithOneSlotFilled());
  m_manager.PressKey('W');
  CloseWithBoxOpen(m_manager.WaitForBox(kTimeoutMs));
}

TEST_F(ClosedWhileChoosing, DeviceQuestionOpen) {
  ASSERT_NO_FATAL_FAILURE(StartWithOneSlotFilled());
  m_manager.PressKey('C');
  CloseWithBoxOpen(m_manager.WaitForBox(kTimeoutMs));
}

// Where a device with property pages shows its property frame, the virtual camera shows the
// error box instead: the same modal wait inside the camera's selection.
TEST_F(ClosedWhileChoosing, DevicePropertiesOpen) {
  ASSERT_NO_FATAL_FAILURE(StartWithOneSlotFilled());
  m_manager.PressKey('C');
  HWND question = m_manager.WaitForBox(kTimeoutMs);
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(m_manager.Answer(question, IDYES));
  CloseWithBoxOpen(m_manager.WaitForBox(kTimeoutMs));
}

}  // namespace
