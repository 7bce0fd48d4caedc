#include "framework/CBaseFilter.h"

#include <evcode.h>
#include <gtest/gtest.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "tests/framework/FakeGraph.h"
#include "tests/framework/FakeInputPin.h"
#include "tests/framework/RecordingFilter.h"

namespace {

using Log = std::vector<std::string>;
using Microsoft::WRL::ComPtr;
using tvqtest::RecordingFilter;

// The filter lives as long as the test holds its IBaseFilter.
struct FilterFixture : ::testing::Test {
  void SetUp() override {
    m_before = CBaseObject::ObjectsActive();
    m_filter = new RecordingFilter(3);
    m_ref = m_filter;
    // Pins 0 and 2 are connected; 1 is not and must never be asked anything.
    m_filter->Pin(0)->SetConnected(&m_other);
    m_filter->Pin(2)->SetConnected(&m_other);
  }
  void TearDown() override {
    m_filter->Pin(0)->SetConnected(nullptr);
    m_filter->Pin(2)->SetConnected(nullptr);
    m_ref.Reset();
    EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
  }
  Log TakeLog() {
    Log log;
    log.swap(m_filter->m_log);
    return log;
  }

  tvqtest::FakeInputPin m_other;
  LONG m_before = 0;
  RecordingFilter* m_filter = nullptr;
  ComPtr<IBaseFilter> m_ref;
};

class FakeClock : public tvqtest::ComStub<IReferenceClock> {
 public:
  REFERENCE_TIME m_now = 0;
  STDMETHODIMP GetTime(REFERENCE_TIME* t) override {
    *t = m_now;
    return S_OK;
  }
  STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
  STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
};

using StateChanges = FilterFixture;

TEST_F(StateChanges, FollowTheTransitionTable) {
  EXPECT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ((Log{"Filter Pause", "Active 0", "Active 2"}), TakeLog());
  EXPECT_EQ(State_Paused, m_filter->State());

  EXPECT_EQ(S_OK, m_filter->Pause());  // same state again
  EXPECT_EQ(Log{"Filter Pause"}, TakeLog());

  EXPECT_EQ(S_OK, m_filter->Run(0));
  EXPECT_EQ((Log{"Run 0", "Run 2"}), TakeLog());
  EXPECT_EQ(S_OK, m_filter->Run(0));
  EXPECT_EQ(Log{}, TakeLog());

  EXPECT_EQ(S_OK, m_filter->Pause());  // Running to Paused leaves the pins streaming
  EXPECT_EQ(Log{"Filter Pause"}, TakeLog());
  EXPECT_EQ(State_Paused, m_filter->State());

  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ((Log{"Inactive 0", "Inactive 2"}), TakeLog());
  EXPECT_EQ(S_OK, m_filter->Stop());
  EXPECT_EQ(Log{}, TakeLog());
  EXPECT_EQ(State_Stopped, m_filter->State());
}

TEST_F(StateChanges, RunFromStoppedActivatesThroughTheDerivedPauseFirst) {
  EXPECT_EQ(S_OK, m_filter->Run(0));
  EXPECT_EQ((Log{"Filter Pause", "Active 0", "Active 2", "Run 0", "Run 2"}), TakeLog());
  EXPECT_EQ(State_Running, m_filter->State());
  FILTER_STATE state = State_Stopped;
  EXPECT_EQ(S_OK, m_filter->GetState(0, &state));
  EXPECT_EQ(State_Running, state);
  EXPECT_EQ(E_POINTER, m_filter->GetState(0, nullptr));
  m_filter->Stop();
}

TEST_F(StateChanges, PauseStopsAtTheFirstFailingPinAndStaysStopped) {
  m_filter->Pin(0)->m_activeResult = E_OUTOFMEMORY;
  EXPECT_EQ(E_OUTOFMEMORY, m_filter->Pause());
  EXPECT_EQ((Log{"Filter Pause", "Active 0"}), TakeLog());
  EXPECT_EQ(State_Stopped, m_filter->State());
  EXPECT_EQ(E_OUTOFMEMORY, m_filter->Run(0));
  EXPECT_EQ(State_Stopped, m_filter->State());
}

TEST_F(StateChanges, StopVisitsEveryPinAndReturnsTheFirstFailure) {
  m_filter->Pause();
  TakeLog();
  m_filter->Pin(0)->m_inactiveResult = E_FAIL;
  m_filter->Pin(2)->m_inactiveResult = E_UNEXPECTED;
  EXPECT_EQ(E_FAIL, m_filter->Stop());
  EXPECT_EQ((Log{"Inactive 0", "Inactive 2"}), TakeLog());
  EXPECT_EQ(State_Stopped, m_filter->State());
}

TEST_F(StateChanges, PinVisitEndsAtTheFirstMissingPin) {
  m_filter->m_pinCount = 5;  // claims more pins than it has
  EXPECT_EQ(S_OK, m_filter->Pause());
  EXPECT_EQ((Log{"Filter Pause", "Active 0", "Active 2"}), TakeLog());
  m_filter->Stop();
}

using FilterClock = FilterFixture;

TEST_F(FilterClock, StreamTimeIsClockTimeMinusTheLastStartTime) {
  REFERENCE_TIME t = 0;
  EXPECT_EQ(VFW_E_NO_CLOCK, m_filter->StreamTime(&t));
  FakeClock clock;
  EXPECT_EQ(S_OK, m_filter->SetSyncSource(&clock));
  EXPECT_EQ(1, clock.References());
  m_filter->Run(300);
  m_filter->Run(400);  // same state again still records the start time
  clock.m_now = 1000;
  EXPECT_EQ(S_OK, m_filter->StreamTime(&t));
  EXPECT_EQ(600, t);

  IReferenceClock* got = nullptr;
  EXPECT_EQ(S_OK, m_filter->GetSyncSource(&got));
  EXPECT_EQ(&clock, got);
  got->Release();
  EXPECT_EQ(S_OK, m_filter->SetSyncSource(nullptr));
  EXPECT_EQ(0, clock.References());
  EXPECT_EQ(S_OK, m_filter->GetSyncSource(&got));
  EXPECT_EQ(nullptr, got);
  EXPECT_EQ(E_POINTER, m_filter->GetSyncSource(nullptr));
  m_filter->Stop();
}

TEST_F(FilterClock, ReleasingTheFilterReleasesItsClock) {
  FakeClock clock;
  m_filter->SetSyncSource(&clock);
  TearDown();
  EXPECT_EQ(0, clock.References());
  SetUp();
}

using FilterGraphMembership = FilterFixture;

TEST_F(FilterGraphMembership, InfoHoldsTheTruncatedNameAndACountedGraph) {
  tvqtest::FakeGraph graph;
  const std::wstring longName(200, L'n');
  EXPECT_EQ(S_OK, m_filter->JoinFilterGraph(&graph, longName.c_str()));
  EXPECT_EQ(0, graph.References());  // the graph owns the filter, not the other way round
  FILTER_INFO info;
  EXPECT_EQ(S_OK, m_filter->QueryFilterInfo(&info));
  EXPECT_EQ(std::wstring(127, L'n'), info.achName);
  EXPECT_EQ(static_cast<IFilterGraph*>(&graph), info.pGraph);
  EXPECT_EQ(1, graph.References());
  info.pGraph->Release();

  EXPECT_EQ(S_OK, m_filter->JoinFilterGraph(nullptr, nullptr));
  EXPECT_EQ(S_OK, m_filter->QueryFilterInfo(&info));
  EXPECT_EQ(std::wstring(), info.achName);
  EXPECT_EQ(nullptr, info.pGraph);
  EXPECT_EQ(E_NOTIMPL, m_filter->NotifyEvent(EC_COMPLETE, 0, 0));
  EXPECT_EQ(E_POINTER, m_filter->QueryFilterInfo(nullptr));
}

TEST_F(FilterGraphMembership, EventsGoToTheGraphWithTheFilterForCompletion) {
  tvqtest::FakeGraph graph;
  EXPECT_EQ(E_NOTIMPL, m_filter->NotifyEvent(EC_COMPLETE, 0, 0));
  m_filter->JoinFilterGraph(&graph, L"F");
  EXPECT_EQ(S_OK, m_filter->NotifyEvent(EC_COMPLETE, 5, 6));
  EXPECT_EQ(S_OK, m_filter->NotifyEvent(EC_ERRORABORT, E_FAIL, 0));
  const auto events = graph.Events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(EC_COMPLETE, events[0].code);
  EXPECT_EQ(5, events[0].param1);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(m_ref.Get()), events[0].param2);
  EXPECT_EQ(EC_ERRORABORT, events[1].code);
  EXPECT_EQ(E_FAIL, events[1].param1);
  m_filter->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(FilterGraphMembership, IdentityClassAndSetupAnswers) {
  ComPtr<IMediaFilter> mediaFilter;
  ComPtr<IPersist> persist;
  ComPtr<IAMovieSetup> setup;
  ASSERT_EQ(S_OK, m_ref.As(&mediaFilter));
  ASSERT_EQ(S_OK, m_ref.As(&persist));
  ASSERT_EQ(S_OK, m_ref.As(&setup));
  EXPECT_EQ(static_cast<void*>(m_ref.Get()), static_cast<void*>(mediaFilter.Get()));
  EXPECT_EQ(S_FALSE, setup->Register());
  EXPECT_EQ(S_FALSE, setup->Unregister());
  CLSID clsid = CLSID_FilterGraph;
  EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualGUID(GUID_NULL, clsid));
  EXPECT_EQ(E_POINTER, persist->GetClassID(nullptr));
  LPWSTR vendor = nullptr;
  EXPECT_EQ(E_NOTIMPL, m_filter->QueryVendorInfo(&vendor));
}

TEST_F(FilterGraphMembership, PinReferencesKeepTheFilterAlive) {
  IPin* pin = m_filter->Pin(1);
  pin->AddRef();
  m_ref.Reset();
  EXPECT_EQ(m_before + 4, CBaseObject::ObjectsActive());  // the filter and its three pins
  m_ref = m_filter;
  pin->Release();
}

}  // namespace
