// The test source in the platform's own filter graph, feeding its Sample Grabber and Null Renderer.
#include <windows.h>
#include <control.h>
#include <tlhelp32.h>
#include <uuids.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "framework/CBaseObject.h"
#include "framework/CCritSec.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/ComStub.h"
#include "tests/common/GrabberGraph.h"
#include "tests/framework/ReturnsWithin.h"
#include "tests/framework/TestSource.h"


namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::ReturnsWithin;
using tvqtest::TestStream;
using tvqtest::WaitUntil;

constexpr DWORD kTimeoutMs = 10000;

// Checks every sample the grabber passes on against the pattern of its frame number (taken from
// its start time). Called on the test source's worker thread.
class FrameChecker : public tvqtest::ComStub<ISampleGrabberCB> {
 public:
  ~FrameChecker() override { ReleaseHeld(); }

  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    if (!Intact(sample)) ++m_corrupt;
    if (m_hold) {
      CAutoLock lock(&m_lock);
      sample->AddRef();
      m_held.push_back(sample);
    }
    ++m_received;
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  void ReleaseHeld() {
    CAutoLock lock(&m_lock);
    for (IMediaSample* sample : m_held) sample->Release();
    m_held.clear();
  }

  std::atomic<int> m_received{0};
  std::atomic<int> m_corrupt{0};
  std::atomic<bool> m_hold{false};

 private:
  static bool Intact(IMediaSample* sample) {
    REFERENCE_TIME start = 0, end = 0;
    BYTE* data = nullptr;
    if (FAILED(sample->GetTime(&start, &end)) || FAILED(sample->GetPointer(&data))) return false;
    if (sample->GetActualDataLength() != static_cast<long>(TestStream::kFrameBytes)) return false;
    const LONGLONG frame = start / TestStream::kFrameTime;
    if (end != start + TestStream::kFrameTime) return false;
    for (size_t i = 0; i < TestStream::kFrameBytes; ++i) {
      if (data[i] != TestStream::PatternByte(frame, i)) return false;
    }
    return true;
  }

  CCritSec m_lock;
  std::vector<IMediaSample*> m_held;
};

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Source -> Sample Grabber (RGB24 video) -> Null Renderer in a platform filter graph.
class PlatformGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    BuildGraph();
  }
  void TearDown() override {
    if (m_control) m_control->Stop();
    m_checker.ReleaseHeld();
    m_control.Reset();
    m_grabber.Reset();
    m_client.Release();
    m_stream = nullptr;
    m_source.Reset();
    EXPECT_EQ(0, CBaseObject::ObjectsActive());
    CoUninitialize();
  }

  void BuildGraph() {
    auto* source = new tvqtest::TestSource();
    m_source = static_cast<IBaseFilter*>(source);
    m_stream = source->Stream(0);
    ASSERT_EQ(S_OK, m_client.AddSource(m_source.Get(), L"Test source"));
    ASSERT_EQ(S_OK, m_client.Render(&m_checker, tvqtest::GrabberGraph::Wiring::Direct));
    m_control = m_client.Control();
    ASSERT_EQ(S_OK, m_client.GrabberFilter()->QueryInterface(IID_PPV_ARGS(&m_grabber)));
  }

  // Runs the graph until `frames` more samples went through the grabber.
  void RunFor(int frames) {
    const int start = m_checker.m_received;
    ASSERT_TRUE(SUCCEEDED(m_control->Run()));
    ASSERT_TRUE(WaitUntil([&] { return m_checker.m_received >= start + frames; }, kTimeoutMs));
  }

  FrameChecker m_checker;
  tvqtest::GrabberGraph m_client;
  ComPtr<IMediaControl> m_control;
  ComPtr<ISampleGrabber> m_grabber;
  ComPtr<IBaseFilter> m_source;
  TestStream* m_stream = nullptr;  // owned by m_source
};

TEST_F(PlatformGraph, SamplesArriveIntactThroughTheGrabber) {
  AM_MEDIA_TYPE connected = {};
  ASSERT_EQ(S_OK, m_grabber->GetConnectedMediaType(&connected));
  EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB24, connected.subtype));
  FreeMediaType(connected);

  RunFor(5);
  ASSERT_EQ(S_OK, m_control->Stop());
  EXPECT_EQ(0, m_checker.m_corrupt);
  EXPECT_EQ(m_stream->m_threadsCreated, m_stream->m_threadsDestroyed);
}

TEST_F(PlatformGraph, RepeatedPauseRunStopLeavesNoWorkerBehind) {
  int threadsAfterFirstCycle = 0;
  for (int i = 0; i < 15; ++i) {
    ASSERT_TRUE(SUCCEEDED(m_control->Pause()));
    RunFor(2);
    ASSERT_TRUE(SUCCEEDED(m_control->Pause()));
    ASSERT_TRUE(SUCCEEDED(m_control->Run()));
    ASSERT_EQ(S_OK, m_control->Stop());
    ASSERT_EQ(i + 1, m_stream->m_threadsCreated);
    ASSERT_EQ(i + 1, m_stream->m_threadsDestroyed);
    ASSERT_FALSE(m_stream->ThreadExists());
    // The graph keeps threads of its own once it has run; ours must not add up.
    if (i == 0) threadsAfterFirstCycle = ThreadsOfThisProcess();
  }
  EXPECT_EQ(threadsAfterFirstCycle, ThreadsOfThisProcess());
  EXPECT_EQ(0, m_checker.m_corrupt);
}

TEST_F(PlatformGraph, StopReturnsPromptlyWhileTheWorkerWaitsForAFreeSample) {
  m_checker.m_hold = true;  // every sample stays with the grabber's callback
  RunFor(2);
  ASSERT_TRUE(WaitUntil([&] { return m_stream->m_bufferRequests > m_stream->m_fills; }, kTimeoutMs));
  HRESULT stopped = E_PENDING;
  EXPECT_TRUE(ReturnsWithin(kTimeoutMs, [&] { stopped = m_control->Stop(); }));
  EXPECT_EQ(S_OK, stopped);
  EXPECT_FALSE(m_stream->ThreadExists());
  m_checker.ReleaseHeld();
}

}  // namespace
