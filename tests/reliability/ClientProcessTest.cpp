// Client applications as separate processes using the registered camera DLL through COM in real
// DirectShow graphs: a client killed while running, two clients opening the camera at once, and
// one client process cycling its graph hundreds of times.
#include <gtest/gtest.h>

#include <vfwmsgs.h>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/FakeManager.h"
#include "tests/reliability/FramePattern.h"
#include "tests/reliability/ResourceCounts.h"

namespace {

using tvqtest::ChildProcess;
using tvqtest::ClientGraph;
using tvqtest::ScopedSettings;

constexpr DWORD kTimeoutMs = 20000;
constexpr HRESULT kAnotherFilterRuns = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);

// Exit codes of the client child mode.
enum ClientExit : DWORD {
  kClientDone = 0,
  kClientRefused = 10,  // Run failed because another camera runs
  kClientNoGraph = 11,
  kClientRunFailed = 12,
  kClientNoFrames = 13,
  kClientNeverStopped = 14,
  kClientBadFrames = 15,
  kClientWrongSizes = 16,
  kClientBadArguments = 17,
};

bool SingleInstanceMutexExists() {
  tvq::UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, tvq::kSingleInstanceMutexName));
  return mutex.IsValid();
}

// "client" <frames event> <stop event> <frame count> <go event or -> <any|pattern>
// [<width> <height> <refused event>]: builds the graph, waits for the go event if any, runs, sets
// the frames event once frame count samples (or well-formed pattern frames) arrived, and stops
// when the stop event is set. With a size it first chooses that size and reconnects; when its run
// is then refused it sets the refused event, waits for the go event and runs again. Its exit code
// says how it went (ClientExit).
int ClientMain(const std::vector<std::wstring>& args) {
  if (args.size() != 5 && args.size() != 8) return kClientBadArguments;
  tvq::UniqueKernelHandle framesEvent(OpenEventW(EVENT_MODIFY_STATE, FALSE, args[0].c_str()));
  tvq::UniqueKernelHandle stopEvent(OpenEventW(SYNCHRONIZE, FALSE, args[1].c_str()));
  const LONG frameCount = std::stol(args[2]);
  tvq::UniqueKernelHandle goEvent;
  if (args[3] != L"-") goEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, args[3].c_str()));
  if (!framesEvent || !stopEvent || (args[3] != L"-" && !goEvent)) return kClientBadArguments;
  const bool resizing = args.size() == 8;
  tvq::UniqueKernelHandle refusedEvent;
  if (resizing) refusedEvent.Reset(OpenEventW(EVENT_MODIFY_STATE, FALSE, args[7].c_str()));
  if (resizing && (!refusedEvent || !goEvent)) return kClientBadArguments;

  tvqtest::ComApartment com;
  ClientGraph client;
  // Reconnecting with a new size reaches the grabber only when nothing stands between them.
  const auto wiring =
      resizing ? ClientGraph::Wiring::Direct : ClientGraph::Wiring::CaptureGraphBuilder;
  if (FAILED(com.Result()) || FAILED(client.Build(wiring))) return kClientNoGraph;
  if (resizing && (tvqtest::AskFor(client.Config(), std::stol(args[5]), std::stol(args[6]),
                                   166666) != S_OK ||
                   FAILED(client.Disconnect()) || FAILED(client.Reconnect()))) {
    return kClientNoGraph;
  }
  if (goEvent && !resizing) WaitForSingleObject(goEvent.Get(), kTimeoutMs);
  HRESULT hr = client.Run();
  if (hr == kAnotherFilterRuns && resizing) {
    client.Stop();
    SetEvent(refusedEvent.Get());
    WaitForSingleObject(goEvent.Get(), kTimeoutMs);
    hr = client.Run();
  }
  if (hr == kAnotherFilterRuns) return kClientRefused;
  if (FAILED(hr)) return kClientRunFailed;
  const bool pattern = args[4] == L"pattern";
  const bool arrived = pattern ? client.WaitForGoodFrames(frameCount, kTimeoutMs)
                               : client.WaitForFrames(frameCount, kTimeoutMs);
  if (!arrived) return kClientNoFrames;
  SetEvent(framesEvent.Get());
  if (WaitForSingleObject(stopEvent.Get(), 60000) != WAIT_OBJECT_0) return kClientNeverStopped;
  client.Stop();
  if (client.BadFrames() > 0) return kClientBadFrames;
  if (client.WrongSizes() > 0) return kClientWrongSizes;
  return kClientDone;
}
tvqtest::ChildMode g_client(L"client", &ClientMain);

// A client process with its two events.
class Client {
 public:
  // With a Manager running, pattern: the frames counted must be well formed.
  // resizing: the extra arguments of a client that chooses another size (see ClientMain).
  explicit Client(LONG frameCount, const std::wstring& goEvent = L"-", bool pattern = false,
                  const std::vector<std::wstring>& resizing = {})
      : m_framesName(tvqtest::UniqueEventName(L"frames")),
        m_stopName(tvqtest::UniqueEventName(L"stop")),
        m_frames(CreateEventW(nullptr, TRUE, FALSE, m_framesName.c_str())),
        m_stop(CreateEventW(nullptr, TRUE, FALSE, m_stopName.c_str())),
        m_process(ChildProcess::StartSelf(
            L"client", Arguments({m_framesName, m_stopName, std::to_wstring(frameCount), goEvent,
                                  pattern ? L"pattern" : L"any"},
                                 resizing))) {}

  ChildProcess& Process() { return m_process; }
  // True once the frames arrived; false when the process ended first or time ran out.
  bool WaitForFrames() {
    HANDLE waits[2] = {m_frames.Get(), m_process.Handle()};
    return m_process.IsValid() &&
           WaitForMultipleObjects(2, waits, FALSE, kTimeoutMs) == WAIT_OBJECT_0;
  }
  // Asks it to stop; its exit code, or 0xFFFFFFFF when it did not end.
  DWORD Stop() {
    SetEvent(m_stop.Get());
    return ExitCode();
  }
  DWORD ExitCode() {
    DWORD exitCode = 0xFFFFFFFF;
    if (!m_process.Wait(kTimeoutMs, &exitCode)) return 0xFFFFFFFF;
    return exitCode;
  }

 private:
  static std::vector<std::wstring> Arguments(std::vector<std::wstring> first,
                                             const std::vector<std::wstring>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
  }

  std::wstring m_framesName;
  std::wstring m_stopName;
  tvq::UniqueKernelHandle m_frames;
  tvq::UniqueKernelHandle m_stop;
  ChildProcess m_process;
};

class ClientProcesses : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
  }
  tvqtest::ComApartment m_com;
  ScopedSettings m_settings{tvqtest::VideoSection(160, 120, "60")};
};

TEST_F(ClientProcesses, AKilledClientTakesTheSingleInstanceMutexWithItAndANewClientStarts) {
  Client first(3);
  ASSERT_TRUE(first.WaitForFrames()) << "exit code " << first.ExitCode();
  EXPECT_TRUE(SingleInstanceMutexExists());
  first.Process().Kill();
  ASSERT_TRUE(first.Process().Wait(kTimeoutMs, nullptr));
  EXPECT_FALSE(SingleInstanceMutexExists()) << "the killed client's mutex outlived it";

  Client second(3);
  EXPECT_TRUE(second.WaitForFrames()) << "exit code " << second.ExitCode();
  EXPECT_EQ(kClientDone, second.Stop());
  EXPECT_FALSE(SingleInstanceMutexExists());
}

TEST_F(ClientProcesses, TwoClientsOpeningTheCameraAtOnceGetOneRunningCameraWithWholeFrames) {
  tvqtest::FakeManagerProcess manager(160, 120);
  const std::wstring goName = tvqtest::UniqueEventName(L"go");
  tvq::UniqueKernelHandle go(CreateEventW(nullptr, TRUE, FALSE, goName.c_str()));
  Client a(30, goName, true);
  Client b(30, goName, true);
  ASSERT_TRUE(manager.WaitReady());
  SetEvent(go.Get());

  // The refused one ends at once; the other runs until told to stop.
  HANDLE ends[2] = {a.Process().Handle(), b.Process().Handle()};
  const DWORD first = WaitForMultipleObjects(2, ends, FALSE, kTimeoutMs);
  ASSERT_TRUE(first == WAIT_OBJECT_0 || first == WAIT_OBJECT_0 + 1) << "neither was refused";
  Client& refused = first == WAIT_OBJECT_0 ? a : b;
  Client& running = first == WAIT_OBJECT_0 ? b : a;
  EXPECT_EQ(kClientRefused, refused.ExitCode());
  EXPECT_TRUE(running.WaitForFrames()) << "exit code " << running.ExitCode();
  EXPECT_EQ(kClientDone, running.Stop()) << "torn, misshapen or wrongly sized frames";
  EXPECT_TRUE(manager.Stop());
}

// A second client that chooses another size while the first streams must not change the first
// one's picture: the Manager goes on composing the streaming client's size, and composes the
// second one's once that one runs.
TEST_F(ClientProcesses, ASecondClientsSizeWaitsUntilItRunsAndNeverReachesTheFirstsFrames) {
  tvqtest::FakeManagerProcess manager(160, 120);
  ASSERT_TRUE(manager.WaitReady());
  Client a(30, L"-", true);
  ASSERT_TRUE(a.WaitForFrames()) << "exit code " << a.ExitCode();

  const std::wstring retryName = tvqtest::UniqueEventName(L"retry");
  const std::wstring refusedName = tvqtest::UniqueEventName(L"refused");
  tvq::UniqueKernelHandle retry(CreateEventW(nullptr, TRUE, FALSE, retryName.c_str()));
  tvq::UniqueKernelHandle refused(CreateEventW(nullptr, TRUE, FALSE, refusedName.c_str()));
  Client b(30, retryName, true, {L"80", L"60", refusedName});
  HANDLE waits[2] = {refused.Get(), b.Process().Handle()};
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, kTimeoutMs))
      << "the second client was not refused; exit code " << b.ExitCode();

  // The Manager goes on composing whole frames of the first client's size.
  const int frameBytes = static_cast<int>(tvq::FrameBytes24(160, 120));
  CSharedMemory pixels;
  ASSERT_TRUE(pixels.Create(tvq::kPixelObjectName, frameBytes));
  std::vector<BYTE> frame(static_cast<size_t>(frameBytes));
  int seeds = 0;
  int lastSeed = -1;
  EXPECT_TRUE(tvqtest::WaitUntil(
      [&] {
        pixels.Read(frame.data(), frameBytes, INFINITE);
        const int seed = tvqtest::PatternSeed(frame.data(), frame.size(), 160, 120);
        if (seed < 0) return true;  // a misshapen frame ends the wait, and the check below fails
        if (seed != lastSeed) ++seeds;
        lastSeed = seed;
        return seeds >= 5;
      },
      kTimeoutMs));
  EXPECT_GE(lastSeed, 0) << "the Manager composes another size than the streaming client's";
  EXPECT_EQ(160, tvqtest::ReadPublished().header.biWidth);
  EXPECT_EQ(120, tvqtest::ReadPublished().header.biHeight);
  EXPECT_EQ(kClientDone, a.Stop()) << "torn, misshapen or wrongly sized frames";

  SetEvent(retry.Get());
  EXPECT_TRUE(b.WaitForFrames()) << "exit code " << b.ExitCode();
  EXPECT_EQ(80, tvqtest::ReadPublished().header.biWidth);
  EXPECT_EQ(60, tvqtest::ReadPublished().header.biHeight);
  EXPECT_EQ(166666, tvqtest::ReadPublished().interval);
  EXPECT_EQ(kClientDone, b.Stop());
  EXPECT_TRUE(manager.Stop());
}

// --- One client process, hundreds of cycles ----------------------------------------------------

class GraphCycles : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
    ASSERT_EQ(S_OK, m_client.Build(ClientGraph::Wiring::Direct));
  }
  // Everything is released: the DLL may go.
  void TearDown() override {
    m_client.Release();
    EXPECT_EQ(S_OK, tvqtest::FilterDllCanUnloadNow());
  }
  void RunForOneFrame() {
    const LONG before = m_client.Frames();
    ASSERT_TRUE(SUCCEEDED(m_client.Run()));
    ASSERT_TRUE(m_client.WaitForFrames(before + 1, kTimeoutMs)) << "no frame after Run";
    ASSERT_TRUE(SUCCEEDED(m_client.Stop()));
  }
  void ReconnectAndRun() {
    ASSERT_EQ(S_OK, m_client.Disconnect());
    ASSERT_EQ(S_OK, m_client.Reconnect());
    RunForOneFrame();
  }
  template <typename Cycle>
  void ExpectNoGrowthOver(int cycles, Cycle cycle) {
    for (int i = 0; i < 10; ++i) ASSERT_NO_FATAL_FAILURE(cycle());
    const tvqtest::ResourceCounts before = tvqtest::ResourceCounts::Now();
    for (int i = 0; i < cycles; ++i) ASSERT_NO_FATAL_FAILURE(cycle()) << "cycle " << i;
    tvqtest::ExpectNoGrowth(before, tvqtest::ResourceCounts::Now());
    EXPECT_EQ(0, m_client.WrongSizes());
  }

  tvqtest::ComApartment m_com;
  // 1000 frames per second: no fill sleeps, so the cycles take little time.
  ScopedSettings m_settings{tvqtest::VideoSection(64, 48, "1000")};
  ClientGraph m_client;
};

TEST_F(GraphCycles, TwoHundredRunStopCyclesLeakNoHandles) {
  ExpectNoGrowthOver(200, [this] { RunForOneFrame(); });
}

TEST_F(GraphCycles, TwoHundredDisconnectReconnectCyclesLeakNoHandles) {
  ExpectNoGrowthOver(200, [this] { ReconnectAndRun(); });
}

}  // namespace
