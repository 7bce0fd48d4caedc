// A client process that starts and stops, connects and disconnects the camera hundreds of times
// must not grow: the filter is built from its static library here, so that its live framework
// objects can be counted, and streams into guarded buffers.
#include <gtest/gtest.h>

#include "filter/CTVQSourceFilter.h"
#include "filter/ServerModule.h"
#include "framework/CBaseObject.h"
#include "tests/filter/CountingMallocSpy.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/GuardedSink.h"
#include "tests/reliability/ResourceCounts.h"

namespace {

using tvqtest::GuardedSink;
using tvqtest::LocalFilter;
using tvqtest::ExpectNoGrowth;
using tvqtest::ResourceCounts;
using tvqtest::ScopedSettings;

constexpr int kCycles = 200;
constexpr int kWarmUpCycles = 10;
// 1000 frames per second: a pacing budget of 1 ms, so no fill sleeps and cycles run quickly.
const std::string kFastSettings = tvqtest::VideoSection(64, 48, "1000");
constexpr DWORD kSampleTimeoutMs = 10000;

// One start of the graph that proves the worker ran: at least one more sample arrives.
void RunForOneSample(LocalFilter& f, GuardedSink& sink) {
  const LONG before = sink.Received();
  ASSERT_EQ(S_OK, f.filter->Run(0));
  ASSERT_TRUE(sink.WaitForSamples(before + 1, kSampleTimeoutMs)) << "no sample after Run";
  ASSERT_EQ(S_OK, f.filter->Stop());
}

void ConnectRunDisconnect(LocalFilter& f, GuardedSink& sink) {
  ASSERT_EQ(S_OK, f.outputPin->Connect(&sink, nullptr));
  RunForOneSample(f, sink);
  ASSERT_EQ(S_OK, f.outputPin->Disconnect());
  ASSERT_EQ(S_OK, sink.Disconnect());
}

class FilterCycles : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    m_objectsAtStart = CBaseObject::ObjectsActive();
  }
  // Everything the filter made is gone with it; the module could be unloaded.
  void TearDown() override {
    EXPECT_EQ(m_objectsAtStart, CBaseObject::ObjectsActive());
    EXPECT_EQ(0, tvq::ServerLockCount());
    EXPECT_FALSE(m_sink.IsConnected());
    EXPECT_EQ(1, m_sink.Allocator().References()) << "the filter kept its allocator";
  }

  tvqtest::ComApartment m_com;
  ScopedSettings m_settings{kFastSettings};
  GuardedSink m_sink;
  LONG m_objectsAtStart = 0;
};

TEST_F(FilterCycles, StartStopCyclesLeaveNoObjectsOrHandlesBehind) {
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  ASSERT_EQ(S_OK, f.outputPin->Connect(&m_sink, nullptr));
  for (int i = 0; i < kWarmUpCycles; ++i) ASSERT_NO_FATAL_FAILURE(RunForOneSample(f, m_sink));
  const LONG objects = CBaseObject::ObjectsActive();
  const ResourceCounts before = ResourceCounts::Now();
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_NO_FATAL_FAILURE(RunForOneSample(f, m_sink)) << "cycle " << i;
  }
  EXPECT_EQ(objects, CBaseObject::ObjectsActive());
  ExpectNoGrowth(before, ResourceCounts::Now());
  EXPECT_EQ(0, m_sink.Malformed());
  EXPECT_EQ(S_OK, f.outputPin->Disconnect());
  m_sink.Disconnect();
}

TEST_F(FilterCycles, ConnectDisconnectCyclesLeaveNoObjectsHandlesOrTaskMemoryBehind) {
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  tvqtest::CountingMallocSpy spy;
  ASSERT_TRUE(spy.Install());
  for (int i = 0; i < kWarmUpCycles; ++i) {
    ASSERT_NO_FATAL_FAILURE(ConnectRunDisconnect(f, m_sink));
  }
  const LONG objects = CBaseObject::ObjectsActive();
  const ResourceCounts before = ResourceCounts::Now();
  const size_t blocks = spy.LiveBlocks();
  const int allocations = spy.Allocations();
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_NO_FATAL_FAILURE(ConnectRunDisconnect(f, m_sink)) << "cycle " << i;
  }
  EXPECT_EQ(blocks, spy.LiveBlocks()) << "task memory left behind by " << kCycles
                                      << " connections";
  EXPECT_GT(spy.Allocations(), allocations) << "the connections used no task memory at all?";
  spy.Uninstall();
  EXPECT_EQ(objects, CBaseObject::ObjectsActive());
  ExpectNoGrowth(before, ResourceCounts::Now());
  EXPECT_EQ(0, m_sink.Malformed());
}

// A client that releases a running camera without stopping it, over and over.
TEST_F(FilterCycles, FiltersReleasedWhileRunningLeaveNothingBehind) {
  auto oneFilter = [this] {
    LocalFilter f;
    ASSERT_TRUE(f.IsValid());
    ASSERT_EQ(S_OK, f.outputPin->Connect(&m_sink, nullptr));
    const LONG before = m_sink.Received();
    ASSERT_EQ(S_OK, f.filter->Run(0));
    ASSERT_TRUE(m_sink.WaitForSamples(before + 1, kSampleTimeoutMs));
    // The sink lets go of the pin as a graph does when it removes the filter; the filter then
    // goes with its last reference, still running.
    m_sink.Disconnect();
  };
  for (int i = 0; i < kWarmUpCycles; ++i) ASSERT_NO_FATAL_FAILURE(oneFilter());
  const ResourceCounts before = ResourceCounts::Now();
  for (int i = 0; i < kCycles / 4; ++i) ASSERT_NO_FATAL_FAILURE(oneFilter()) << "filter " << i;
  ExpectNoGrowth(before, ResourceCounts::Now());
}

}  // namespace
