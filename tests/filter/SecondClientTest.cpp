// Two applications that each start the virtual camera.

#include <gtest/gtest.h>

#include "common/Lifetime.h"
#include "tests/common/ChildProcess.h"
#include "tests/filter/CaptureGraph.h"
#include "tests/filter/DeviceList.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

constexpr HRESULT kAnotherFilterRuns = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
const wchar_t kReadyEvent[] = L"tvq_test_first_client_runs";
const wchar_t kStopEvent[] = L"tvq_test_first_client_stop";

// The first client: runs its graph, says so, and stops when told (or after a minute).
int RunFirstClient(const std::vector<std::wstring>&) {
  tvqtest::ComApartment com;
  tvqtest::DirectGraph graph;
  if (FAILED(graph.Build())) return 10;
  if (FAILED(graph.Run())) return 11;
  tvq::UniqueKernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, kReadyEvent));
  tvq::UniqueKernelHandle stop(OpenEventW(SYNCHRONIZE, FALSE, kStopEvent));
  if (!ready || !stop) return 12;
  SetEvent(ready.Get());
  WaitForSingleObject(stop.Get(), 60000);
  return FAILED(graph.Stop()) ? 13 : 0;
}
tvqtest::ChildMode g_firstClient(L"first-client", &RunFirstClient);

class SecondClient : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_TRUE(m_dll.IsLoaded());
    ASSERT_EQ(S_OK, m_dll.Register());
    ASSERT_TRUE(m_ready && m_stop);
    ASSERT_EQ(S_OK, m_graph.Build());
  }

  // Starts the first client and waits until its graph runs.
  void StartFirstClient() {
    ResetEvent(m_ready.Get());
    ResetEvent(m_stop.Get());
    m_first = tvqtest::ChildProcess::StartSelf(L"first-client", {});
    ASSERT_TRUE(m_first.IsValid());
    HANDLE waits[2] = {m_ready.Get(), m_first.Handle()};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, 30000))
        << "the first client did not start its graph";
  }

  void ExpectRunRefused() {
    EXPECT_EQ(kAnotherFilterRuns, m_graph.RunNow());
    EXPECT_EQ(State_Stopped, m_graph.SourceState());
    m_graph.Stop();
    // Through IMediaControl the failure may come later, with the state (Wine answers S_FALSE).
    const HRESULT hr = m_graph.Run();
    if (hr != kAnotherFilterRuns) {
      OAFilterState state = State_Stopped;
      EXPECT_TRUE(FAILED(m_graph.State(5000, &state))) << "the graph claims to run";
    }
    EXPECT_EQ(State_Stopped, m_graph.SourceState());
    m_graph.Stop();
  }

  void ExpectRunAccepted() {
    EXPECT_EQ(S_OK, m_graph.RunNow());
    EXPECT_EQ(State_Running, m_graph.SourceState());
    EXPECT_EQ(S_OK, m_graph.Stop());
    EXPECT_TRUE(SUCCEEDED(m_graph.Run()));
    OAFilterState state = State_Stopped;
    EXPECT_EQ(S_OK, m_graph.State(5000, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(S_OK, m_graph.Stop());
  }

  tvqtest::ScopedSettings m_settings{tvqtest::VideoSection(64, 48, "15")};
  tvqtest::ComApartment m_com;
  tvqtest::ServerDll m_dll;
  tvq::UniqueKernelHandle m_ready{CreateEventW(nullptr, TRUE, FALSE, kReadyEvent)};
  tvq::UniqueKernelHandle m_stop{CreateEventW(nullptr, TRUE, FALSE, kStopEvent)};
  tvqtest::ChildProcess m_first;
  tvqtest::DirectGraph m_graph;
};

TEST_F(SecondClient, CannotRunWhileTheFirstRunsAndCanAfterItStops) {
  StartFirstClient();
  ExpectRunRefused();

  SetEvent(m_stop.Get());
  DWORD exitCode = 1;
  ASSERT_TRUE(m_first.Wait(30000, &exitCode));
  EXPECT_EQ(0u, exitCode);
  ExpectRunAccepted();
}

TEST_F(SecondClient, CanRunAfterTheFirstClientIsKilled) {
  StartFirstClient();
  ExpectRunRefused();

  m_first.Kill();
  ExpectRunAccepted();
}

}  // namespace
