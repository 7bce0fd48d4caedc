#include "framework/CSourceStream.h"

#include <evcode.h>
#include <gtest/gtest.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include "tests/framework/ReturnsWithin.h"
#include "tests/framework/SourceFixture.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::SourceFixture;
using tvqtest::ReturnsWithin;
using tvqtest::TestStream;
using tvqtest::WaitUntil;

constexpr DWORD kTimeoutMs = 5000;

HRESULT AsResult(DWORD reply) { return static_cast<HRESULT>(reply); }

using Worker = SourceFixture;

TEST_F(Worker, PausedPinProducesPatternedSamplesAndStopEndsTheThread) {
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ(1, m_stream->m_threadsCreated);
  EXPECT_TRUE(m_stream->ThreadExists());
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_receives >= 3; }, kTimeoutMs));
  const std::vector<BYTE> data = m_input.LastData();
  ASSERT_EQ(TestStream::kFrameBytes, data.size());
  for (size_t i = 1; i < data.size(); ++i) ASSERT_EQ(static_cast<BYTE>(data[0] + i), data[i]);

  EXPECT_EQ(S_OK, m_filter->Run(0));  // Run sends nothing: production goes on
  EXPECT_EQ(S_FALSE, m_stream->Active());  // already active
  EXPECT_EQ(1, m_stream->m_threadsCreated);
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_FALSE(m_stream->ThreadExists());
  EXPECT_EQ(1, m_stream->m_threadsDestroyed);
  EXPECT_EQ(0, m_input.m_endOfStreams);
}

TEST_F(Worker, UnconnectedPinStartsNoThread) {
  ASSERT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ(S_OK, m_filter->Run(0));
  EXPECT_FALSE(m_stream->ThreadExists());
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(0, m_stream->m_threadsCreated);
  EXPECT_EQ(E_FAIL, AsResult(m_stream->CallWorker(TestStream::CMD_STOP)));
}

TEST_F(Worker, FillBufferFalseEndsTheStreamOnceAndTheThreadWaits) {
  m_stream->m_fillResult = [](int frame) { return frame == 2 ? S_FALSE : S_OK; };
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Run(0));
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_endOfStreams == 1; }, kTimeoutMs));
  EXPECT_TRUE(m_stream->ThreadExists());
  EXPECT_EQ(0, m_stream->m_threadsDestroyed);
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(2, m_input.m_receives);
  EXPECT_EQ(3, m_stream->m_fills);
  EXPECT_EQ(1, m_input.m_endOfStreams);
  EXPECT_TRUE(m_graph.Events().empty());
  EXPECT_EQ(1, m_stream->m_threadsDestroyed);
}

// A success code other than S_OK or S_FALSE is no licence to carry on either.
class FillResults : public Worker, public ::testing::WithParamInterface<HRESULT> {};

TEST_P(FillResults, AResultOtherThanOkOrFalseEndsTheStreamAndAbortsTheGraph) {
  const HRESULT result = GetParam();
  m_stream->m_fillResult = [result](int frame) { return frame == 1 ? result : S_OK; };
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  ASSERT_TRUE(WaitUntil([&] { return !m_graph.Events().empty(); }, kTimeoutMs));
  // The thread waits for commands: it answers Run at once and fills nothing more.
  ASSERT_EQ(S_OK, m_filter->Run(0));
  EXPECT_EQ(S_OK, m_filter->Stop());
  const auto events = m_graph.Events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(EC_ERRORABORT, events[0].code);
  EXPECT_EQ(result, events[0].param1);
  EXPECT_EQ(0, events[0].param2);
  EXPECT_EQ(1, m_input.m_endOfStreams);
  EXPECT_EQ(1, m_input.m_receives);
  EXPECT_EQ(2, m_stream->m_fills);
}

INSTANTIATE_TEST_SUITE_P(FailureAndOddSuccess, FillResults,
                         ::testing::Values(E_FAIL, static_cast<HRESULT>(2)));

TEST_F(Worker, DownstreamRefusalStopsProductionWithoutEndOfStream) {
  m_input.m_receiveResult = S_FALSE;
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_receives == 1; }, kTimeoutMs));
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(1, m_input.m_receives);
  EXPECT_EQ(1, m_stream->m_fills);
  EXPECT_EQ(0, m_input.m_endOfStreams);
}

TEST_F(Worker, CommandsWhileProducingAndWhileIdle) {
  m_stream->m_fillResult = [](int frame) { return frame == 0 ? S_FALSE : S_OK; };
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  // Frame 0 ended the stream: the worker idles in its command loop.
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_endOfStreams == 1; }, kTimeoutMs));
  EXPECT_EQ(E_NOTIMPL, AsResult(m_stream->CallWorker(TestStream::CMD_INIT)));
  EXPECT_EQ(E_NOTIMPL, AsResult(m_stream->CallWorker(77)));
  EXPECT_EQ(S_OK, AsResult(m_stream->CallWorker(TestStream::CMD_STOP)));
  EXPECT_EQ(0, m_input.m_receives);

  EXPECT_EQ(S_OK, AsResult(m_stream->CallWorker(TestStream::CMD_RUN)));  // produces again
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_receives >= 1; }, kTimeoutMs));
  EXPECT_EQ(E_UNEXPECTED, AsResult(m_stream->CallWorker(TestStream::CMD_EXIT)));
  EXPECT_EQ(E_UNEXPECTED, AsResult(m_stream->CallWorker(TestStream::CMD_INIT)));
  EXPECT_EQ(S_OK, AsResult(m_stream->CallWorker(TestStream::CMD_PAUSE)));
  const int receives = m_input.m_receives;
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_receives > receives; }, kTimeoutMs));
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(1, m_stream->m_threadsDestroyed);
}

TEST_F(Worker, StopReleasesAWorkerWaitingForAFreeSample) {
  m_input.m_holdSamples = true;  // the two buffers never come back
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  ASSERT_TRUE(WaitUntil([&] { return m_stream->m_bufferRequests >= 3; }, kTimeoutMs));
  EXPECT_EQ(2, m_input.m_receives);
  HRESULT stopped = E_PENDING;
  EXPECT_TRUE(ReturnsWithin(kTimeoutMs, [&] { stopped = m_filter->Stop(); }));
  EXPECT_EQ(S_OK, stopped);
  EXPECT_EQ(1, m_stream->m_threadsDestroyed);
}

TEST_F(Worker, FailedThreadCreationLeavesNothingBehindAndPauseWorksAgain) {
  m_stream->m_createResult = E_ACCESSDENIED;
  ASSERT_EQ(S_OK, Connect());
  EXPECT_EQ(E_ACCESSDENIED, m_filter->Pause());
  EXPECT_FALSE(m_stream->ThreadExists());
  EXPECT_EQ(1, m_stream->m_threadsDestroyed);
  // The allocator went back to decommitted: the filter stays Stopped and no Stop will come.
  ComPtr<IMediaSample> sample;
  EXPECT_EQ(VFW_E_NOT_COMMITTED,
            m_stream->GetDeliveryBuffer(sample.GetAddressOf(), nullptr, nullptr, AM_GBF_NOWAIT));
  EXPECT_EQ(S_OK, m_filter->Stop());  // from Stopped: touches nothing, hangs on nothing

  m_stream->m_createResult = S_OK;
  ASSERT_EQ(S_OK, m_filter->Pause());
  ASSERT_TRUE(WaitUntil([&] { return m_input.m_receives >= 1; }, kTimeoutMs));
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(2, m_stream->m_threadsCreated);
  EXPECT_EQ(2, m_stream->m_threadsDestroyed);
}

TEST_F(Worker, PauseStopCycleLeavesNoThreadOrObject) {
  ASSERT_EQ(S_OK, Connect());
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(S_OK, m_filter->Pause());
    ASSERT_EQ(S_OK, m_filter->Run(0));
    ASSERT_EQ(S_OK, m_filter->Pause());
    ASSERT_EQ(S_OK, m_filter->Stop());
  }
  EXPECT_EQ(20, m_stream->m_threadsCreated);
  EXPECT_EQ(20, m_stream->m_threadsDestroyed);
}

}  // namespace
