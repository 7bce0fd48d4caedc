#include "framework/CSource.h"

#include <gtest/gtest.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include <vector>

#include "tests/framework/SourceFixture.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::TestSource;

std::wstring IdOf(IPin* pin) {
  LPWSTR id = nullptr;
  if (pin->QueryId(&id) != S_OK) return L"<none>";
  std::wstring text = id;
  CoTaskMemFree(id);
  return text;
}

TEST(SourcePins, QueryIdAndFindPinAreInverse) {
  ComPtr<IBaseFilter> filter = new TestSource(2);
  IPin* second = static_cast<TestSource*>(filter.Get())->Stream(1);
  EXPECT_EQ(L"2", IdOf(second));
  ComPtr<IPin> found;
  EXPECT_EQ(S_OK, filter->FindPin(L"2", &found));
  EXPECT_EQ(second, found.Get());
  EXPECT_EQ(S_OK, filter->FindPin(L"  +1xyz", &found));
  EXPECT_EQ(L"1", IdOf(found.Get()));

  for (const wchar_t* id : {L"0", L"3", L"Out", L"-1", L"", L"99999999999999999999"}) {
    IPin* none = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(id, &none)) << id;
    EXPECT_EQ(nullptr, none);
  }
  IPin* none = nullptr;
  EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(nullptr, &none));
  EXPECT_EQ(E_POINTER, filter->FindPin(L"1", nullptr));
  EXPECT_EQ(E_POINTER, second->QueryId(nullptr));
}

TEST(SourcePins, PinsGoFromLastToFirstWithTheSource) {
  const LONG before = CBaseObject::ObjectsActive();
  std::vector<int> deleted;
  auto* source = new TestSource(3);
  EXPECT_EQ(S_OK, source->m_constructResult);
  EXPECT_EQ(3, source->GetPinCount());
  for (int n = 0; n < 3; ++n) source->Stream(n)->m_onDestroy = [&deleted, n] { deleted.push_back(n); };
  source->NonDelegatingAddRef();
  source->NonDelegatingRelease();
  EXPECT_EQ((std::vector<int>{2, 1, 0}), deleted);
  EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(SourcePins, RemovedPinLeavesTheOthersInOrder) {
  ComPtr<IBaseFilter> filter = new TestSource(3);
  auto* source = static_cast<TestSource*>(filter.Get());
  tvqtest::TestStream* middle = source->Stream(1);
  tvqtest::TestStream* last = source->Stream(2);
  EXPECT_EQ(S_OK, source->RemovePin(middle));
  EXPECT_EQ(S_FALSE, source->RemovePin(middle));
  EXPECT_EQ(2, source->GetPinCount());
  EXPECT_EQ(last, source->GetPin(1));
  EXPECT_EQ(nullptr, source->GetPin(2));
  EXPECT_EQ(nullptr, source->GetPin(-1));
  EXPECT_EQ(-1, source->FindPinNumber(middle));
  EXPECT_EQ(L"<none>", IdOf(middle));  // VFW_E_NOT_FOUND: no longer in its source
  LPWSTR id = nullptr;
  EXPECT_EQ(VFW_E_NOT_FOUND, middle->QueryId(&id));
  EXPECT_EQ(S_OK, source->AddPin(middle));  // back, so that the source deletes it
}

using SourceLifetime = tvqtest::SourceFixture;

// The graph never releases a running filter, but a client could: its workers must not outlive
// the pins they call.
TEST_F(SourceLifetime, ReleasingAPausedSourceStopsItsWorkerFirst) {
  ASSERT_EQ(S_OK, Connect());
  ASSERT_EQ(S_OK, m_filter->Pause());
  ASSERT_TRUE(tvqtest::WaitUntil([&] { return m_input.m_receives >= 2; }, 5000));
  int destroyedAtDeletion = -1;
  tvqtest::TestStream* stream = m_stream;
  stream->m_onDestroy = [&destroyedAtDeletion, stream] {
    destroyedAtDeletion = stream->m_threadsDestroyed;
  };
  m_input.Disconnect();  // drops the downstream reference to our pin
  m_filter.Reset();
  EXPECT_EQ(1, destroyedAtDeletion);
  EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
  m_filter = new TestSource();  // for the fixture's own end
  m_pin = static_cast<TestSource*>(m_filter.Get())->Stream(0);
}

}  // namespace
