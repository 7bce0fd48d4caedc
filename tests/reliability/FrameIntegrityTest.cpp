// Frames cross from the Manager's process while the client changes its format, stops and starts
// its graph, and while the Manager dies holding the pixel mutex. Once the Manager has caught up
// with a client's format, the client must never receive a torn or misshapen frame, and no write
// may reach past a sample's buffer (the guarded sink faults at once).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

#include "common/Lifetime.h"
#include "filter/CTVQOutputPin.h"
#include "tests/common/ChildProcess.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/FakeManager.h"
#include "tests/reliability/FrameChecker.h"
#include "tests/reliability/FramePattern.h"
#include "tests/reliability/GuardedSink.h"

namespace {

using tvqtest::ChildProcess;
using tvqtest::AskFor;
using tvqtest::FakeManagerProcess;
using tvqtest::IntegrityChecker;
using tvqtest::GuardedSink;
using tvqtest::LocalFilter;
using tvqtest::ScopedSettings;

constexpr DWORD kTimeoutMs = 10000;

class FrameIntegrity : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(m_com.Result())); }

  // One run that must reach well-formed frames of the connection's size.
  void RunUntilGoodFrames(LocalFilter& f, LONG count) {
    m_checker.NewRun();
    ASSERT_EQ(S_OK, f.filter->Run(0));
    EXPECT_TRUE(m_checker.WaitForGoodFrames(count, kTimeoutMs))
        << "no well-formed " << m_sink.Connection().bmiHeader.biWidth << "x"
        << m_sink.Connection().bmiHeader.biHeight << " frames after the start";
    ASSERT_EQ(S_OK, f.filter->Stop());
  }

  // A fake Manager's frames reach a new filter's client well formed; then that Manager ends,
  // leaving the filter running on its last picture.
  void RunUntilTheManagerEnds() {
    auto manager = std::make_unique<FakeManagerProcess>(320, 240);
    ASSERT_TRUE(manager->WaitReady());
    m_filter.emplace();
    ASSERT_TRUE(m_filter->IsValid());
    ASSERT_EQ(S_OK, m_filter->outputPin->Connect(&m_sink, nullptr));
    m_checker.NewRun();
    ASSERT_EQ(S_OK, m_filter->filter->Run(0));
    ASSERT_TRUE(m_checker.WaitForGoodFrames(3, kTimeoutMs));
    ASSERT_TRUE(manager->Stop());
  }

  // A child process that takes the pixel mutex and keeps it until killed; returns once it has it.
  void HoldThePixelMutex(ChildProcess& holder) {
    const std::wstring heldName = tvqtest::UniqueEventName(L"held");
    tvq::UniqueKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, heldName.c_str()));
    holder = ChildProcess::StartSelf(tvqtest::kHoldPixelMutexMode, {heldName});
    ASSERT_TRUE(holder.IsValid());
    HANDLE waits[2] = {held.Get(), holder.Handle()};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, kTimeoutMs));
  }

  tvqtest::ComApartment m_com;
  // 100 frames per second at most; the largest picture 320 x 240.
  ScopedSettings m_settings{tvqtest::VideoSection(320, 240, "100")};
  GuardedSink m_sink;
  IntegrityChecker m_checker{m_sink, &tvqtest::PatternFrameId};
  std::optional<LocalFilter> m_filter;  // made once a Manager runs
};

// A client that stops and runs its graph again without reconnecting keeps the size it connected
// with; the Manager must go on composing that size.
TEST_F(FrameIntegrity, RestartWithoutReconnectingKeepsFramesOfTheConnectionsSize) {
  FakeManagerProcess manager(320, 240);
  ASSERT_TRUE(manager.WaitReady());
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  ASSERT_EQ(S_OK, AskFor(f.config.Get(), 160, 120, 200000));
  ASSERT_EQ(S_OK, f.outputPin->Connect(&m_sink, nullptr));
  ASSERT_EQ(160, m_sink.Connection().bmiHeader.biWidth);
  for (int run = 0; run < 3; ++run) {
    ASSERT_NO_FATAL_FAILURE(RunUntilGoodFrames(f, 5)) << "run " << run;
  }
  EXPECT_EQ(0, m_checker.Bad());
  EXPECT_EQ(0, m_sink.Malformed());
  // The offer is back at the default; what the Manager was told is the connection's picture.
  EXPECT_EQ(320, f.pin->CurrentFormat().header.biWidth);
  EXPECT_EQ(160, tvqtest::ReadPublished().header.biWidth);
  EXPECT_EQ(120, tvqtest::ReadPublished().header.biHeight);
  f.outputPin->Disconnect();
  m_sink.Disconnect();
  EXPECT_TRUE(manager.Stop());
}

TEST_F(FrameIntegrity, FormatChangesBetweenRunsNeverGiveATornOrMisshapenFrame) {
  FakeManagerProcess manager(320, 240);
  ASSERT_TRUE(manager.WaitReady());
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  struct Size {
    LONG width;
    LONG height;
  };
  // Odd widths give padded rows; the largest is the settings' own size.
  for (Size size : {Size{160, 120}, Size{320, 240}, Size{101, 77}, Size{64, 48}, Size{319, 239},
                    Size{1, 1}, Size{250, 10}, Size{320, 240}}) {
    ASSERT_EQ(S_OK, AskFor(f.config.Get(), size.width, size.height, 100000));
    ASSERT_EQ(S_OK, f.outputPin->Connect(&m_sink, nullptr));
    ASSERT_EQ(size.width, m_sink.Connection().bmiHeader.biWidth);
    ASSERT_NO_FATAL_FAILURE(RunUntilGoodFrames(f, 3)) << size.width << "x" << size.height;
    ASSERT_NO_FATAL_FAILURE(RunUntilGoodFrames(f, 3)) << "again " << size.width;
    ASSERT_EQ(S_OK, f.outputPin->Disconnect());
    m_sink.Disconnect();
  }
  EXPECT_EQ(0, m_checker.Bad());
  EXPECT_EQ(0, m_sink.Malformed());
  EXPECT_TRUE(manager.Stop());
}

// The Manager killed inside its write of the pixel object leaves the mutex abandoned: the client's
// next read takes it all the same, the last frame goes on being delivered, and the next Manager
// takes over.
TEST_F(FrameIntegrity, ManagerKilledHoldingThePixelMutexNeitherStopsTheClientNorTheNextManager) {
  ASSERT_NO_FATAL_FAILURE(RunUntilTheManagerEnds());
  LocalFilter& f = *m_filter;
  ChildProcess holder;
  ASSERT_NO_FATAL_FAILURE(HoldThePixelMutex(holder));
  const int lastSeed = m_checker.LastId();
  holder.Kill();
  ASSERT_TRUE(holder.Wait(kTimeoutMs, nullptr));

  const LONG received = m_sink.Received();
  EXPECT_TRUE(m_sink.WaitForSamples(received + 5, kTimeoutMs)) << "the client stopped receiving";
  EXPECT_EQ(lastSeed, m_checker.LastId()) << "the last frame is delivered again";

  FakeManagerProcess second(320, 240);
  ASSERT_TRUE(second.WaitReady());
  const LONG changes = m_checker.IdChanges();
  EXPECT_TRUE(tvqtest::WaitUntil([&] { return m_checker.IdChanges() >= changes + 3; },
                                 kTimeoutMs))
      << "the next Manager's frames do not arrive";
  EXPECT_EQ(S_OK, f.filter->Stop());
  EXPECT_EQ(0, m_checker.Bad());
  f.outputPin->Disconnect();
  m_sink.Disconnect();
  EXPECT_TRUE(second.Stop());
}

// At one frame a second the worker spends nearly all its time waiting for the next deadline; a
// stop must not wait for that deadline.
TEST_F(FrameIntegrity, StopDoesNotWaitForTheNextDeadlineAtOneFrameASecond) {
  FakeManagerProcess manager(320, 240);
  ASSERT_TRUE(manager.WaitReady());
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  ASSERT_EQ(S_OK, AskFor(f.config.Get(), 320, 240, 10000000));
  ASSERT_EQ(S_OK, f.outputPin->Connect(&m_sink, nullptr));
  m_checker.NewRun();
  ASSERT_EQ(S_OK, f.filter->Run(0));
  ASSERT_TRUE(m_checker.WaitForGoodFrames(1, kTimeoutMs));
  // A stop right at a delivery ends the worker at its next buffer; this one finds it filled and
  // waiting, a good part of a second before its deadline.
  Sleep(250);
  const ULONGLONG stopStart = GetTickCount64();
  EXPECT_EQ(S_OK, f.filter->Stop());
  EXPECT_LT(GetTickCount64() - stopStart, 500u) << "Stop waited for the next deadline";
  EXPECT_EQ(0, m_checker.Bad());
  f.outputPin->Disconnect();
  m_sink.Disconnect();
}

// A Manager stalled holding the pixel mutex (suspended, in a debugger) must not stall the client:
// samples go on arriving, each the last whole picture again, and Stop returns at once.
TEST_F(FrameIntegrity, ManagerStalledHoldingThePixelMutexNeitherStallsTheClientNorItsStop) {
  ASSERT_NO_FATAL_FAILURE(RunUntilTheManagerEnds());
  LocalFilter& f = *m_filter;
  ChildProcess holder;
  ASSERT_NO_FATAL_FAILURE(HoldThePixelMutex(holder));
  const int lastSeed = m_checker.LastId();
  const LONG received = m_sink.Received();
  EXPECT_TRUE(m_sink.WaitForSamples(received + 10, kTimeoutMs)) << "the client stalls with it";
  EXPECT_EQ(lastSeed, m_checker.LastId()) << "the last whole picture is delivered again";

  const ULONGLONG stopStart = GetTickCount64();
  EXPECT_EQ(S_OK, f.filter->Stop());
  EXPECT_LT(GetTickCount64() - stopStart, 1000u) << "Stop waited for the stalled Manager";
  EXPECT_EQ(0, m_checker.Bad());
  EXPECT_EQ(0, m_sink.Malformed());
  holder.Kill();
  f.outputPin->Disconnect();
  m_sink.Disconnect();
}

}  // namespace
