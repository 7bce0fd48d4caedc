#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "framework/CBaseObject.h"
#include "tests/common/ChildProcess.h"
#include "tests/framework/FakeGraph.h"
#include "tests/framework/FakeInputPin.h"
#include "tests/framework/TestSource.h"

namespace tvqtest {

// A one-pin test source in a fake graph and a fake downstream pin. At the end the filter is
// stopped, disconnected and released, and every object and reference must be gone.
struct SourceFixture : ::testing::Test {
  void SetUp() override {
    // Our own allocator comes from COM.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    m_before = CBaseObject::ObjectsActive();
    m_source = new TestSource();
    m_filter = static_cast<IBaseFilter*>(m_source);
    m_stream = m_source->Stream(0);
    m_pin = static_cast<IPin*>(m_stream);
    m_filter->JoinFilterGraph(&m_graph, L"Test source");
  }
  void TearDown() override {
    EXPECT_EQ(S_OK, m_filter->Stop());
    m_pin->Disconnect();
    m_input.Disconnect();
    m_input.ReleaseHeldSamples();
    m_filter->JoinFilterGraph(nullptr, nullptr);
    m_filter.Reset();
    EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
    EXPECT_EQ(0, m_input.References());
    CoUninitialize();
  }
  HRESULT Connect() { return m_pin->Connect(&m_input, nullptr); }

  LONG m_before = 0;
  FakeGraph m_graph;
  FakeInputPin m_input;
  TestSource* m_source = nullptr;
  TestStream* m_stream = nullptr;
  IPin* m_pin = nullptr;  // counted through m_filter
  Microsoft::WRL::ComPtr<IBaseFilter> m_filter;
};

}  // namespace tvqtest
