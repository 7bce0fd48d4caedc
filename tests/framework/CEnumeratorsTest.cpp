#include "framework/CEnumMediaTypes.h"
#include "framework/CEnumPins.h"

#include <gtest/gtest.h>
#include <vfwmsgs.h>
#include <wrl/client.h>

#include "tests/framework/RecordingFilter.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::RecordingFilter;

struct Enumerators : ::testing::Test {
  void SetUp() override {
    m_before = CBaseObject::ObjectsActive();
    m_filter = new RecordingFilter(3);
    m_ref = m_filter;
  }
  void TearDown() override {
    m_ref.Reset();
    EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
  }
  IPin* Pin(int n) { return m_filter->Pin(n); }

  LONG m_before = 0;
  RecordingFilter* m_filter = nullptr;
  ComPtr<IBaseFilter> m_ref;
};

using PinEnumerator = Enumerators;

TEST_F(PinEnumerator, NextGivesEveryPinOnceUntilReset) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  IPin* got[3] = {};
  ULONG fetched = 9;
  EXPECT_EQ(S_OK, pins->Next(1, got, nullptr));
  EXPECT_EQ(Pin(0), got[0]);
  got[0]->Release();
  EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched));
  EXPECT_EQ(2u, fetched);
  EXPECT_EQ(Pin(1), got[0]);
  EXPECT_EQ(Pin(2), got[1]);
  got[0]->Release();
  got[1]->Release();
  EXPECT_EQ(S_FALSE, pins->Next(1, got, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_EQ(S_OK, pins->Reset());
  EXPECT_EQ(S_OK, pins->Next(1, got, nullptr));
  EXPECT_EQ(Pin(0), got[0]);
  got[0]->Release();
}

TEST_F(PinEnumerator, ArgumentChecks) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  IPin* got[2] = {};
  ULONG fetched = 9;
  EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
  EXPECT_EQ(S_OK, pins->Next(0, got, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_EQ(E_POINTER, pins->Next(1, nullptr, &fetched));
  EXPECT_EQ(E_POINTER, pins->Clone(nullptr));
  EXPECT_EQ(E_POINTER, m_ref->EnumPins(nullptr));
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, pins.As(&unknown));
  ComPtr<IEnumMediaTypes> wrong;
  EXPECT_EQ(E_NOINTERFACE, pins.As(&wrong));
}

TEST_F(PinEnumerator, SkipPastTheEndLeavesThePosition) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  EXPECT_EQ(S_OK, pins->Skip(2));
  EXPECT_EQ(S_FALSE, pins->Skip(2));
  IPin* got = nullptr;
  EXPECT_EQ(S_OK, pins->Next(1, &got, nullptr));
  EXPECT_EQ(Pin(2), got);
  got->Release();
}

TEST_F(PinEnumerator, CloneContinuesWithoutRepeatingReturnedPins) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  IPin* got[3] = {};
  ASSERT_EQ(S_OK, pins->Next(1, got, nullptr));
  got[0]->Release();
  ComPtr<IEnumPins> clone;
  ASSERT_EQ(S_OK, pins->Clone(&clone));
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, clone->Next(3, got, &fetched));
  ASSERT_EQ(2u, fetched);
  EXPECT_EQ(Pin(1), got[0]);
  got[0]->Release();
  got[1]->Release();
  // After a change Skip and Clone refuse; Next starts again but skips the pin it returned.
  m_filter->m_pinVersion = 2;
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Clone(&clone));
  EXPECT_EQ(nullptr, clone.Get());
  EXPECT_EQ(S_FALSE, pins->Next(3, got, &fetched));
  EXPECT_EQ(2u, fetched);
  EXPECT_EQ(Pin(1), got[0]);
  got[0]->Release();
  got[1]->Release();
}

TEST_F(PinEnumerator, APromisedPinThatIsMissingIsOutOfSync) {
  m_filter->m_pinCount = 4;
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  IPin* got[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(4, got, &fetched));
  ASSERT_EQ(3u, fetched);  // the caller can give back what it did get
  for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
}

TEST_F(PinEnumerator, HoldsTheFilterUntilReleased) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_ref->EnumPins(&pins));
  m_ref.Reset();
  EXPECT_EQ(m_before + 4, CBaseObject::ObjectsActive());
  pins.Reset();
  EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
}

using MediaTypeEnumerator = Enumerators;

TEST_F(MediaTypeEnumerator, NextHandsOutThePinsTypesThenNothing) {
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Pin(0)->EnumMediaTypes(&types));
  AM_MEDIA_TYPE* got[5] = {};
  ULONG fetched = 9;
  EXPECT_EQ(S_OK, types->Next(1, got, &fetched));
  EXPECT_EQ(1u, fetched);
  EXPECT_EQ(1u, got[0]->lSampleSize);
  DeleteMediaType(got[0]);
  EXPECT_EQ(S_FALSE, types->Next(1, got, &fetched));
  EXPECT_EQ(0u, fetched);
  types->Reset();
  EXPECT_EQ(S_FALSE, types->Next(5, got, &fetched));
  EXPECT_EQ(1u, fetched);
  DeleteMediaType(got[0]);
  EXPECT_EQ(E_INVALIDARG, types->Next(2, got, nullptr));
  EXPECT_EQ(E_POINTER, types->Next(1, nullptr, &fetched));
}

TEST_F(MediaTypeEnumerator, SkipPastTheEndStaysPastTheEnd) {
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Pin(0)->EnumMediaTypes(&types));
  EXPECT_EQ(S_OK, types->Skip(0));
  EXPECT_EQ(S_OK, types->Skip(1));
  types->Reset();
  EXPECT_EQ(S_FALSE, types->Skip(2));
  AM_MEDIA_TYPE* got = nullptr;
  ULONG fetched = 9;
  EXPECT_EQ(S_FALSE, types->Next(1, &got, &fetched));
  EXPECT_EQ(0u, fetched);
}

TEST_F(MediaTypeEnumerator, CloneContinuesFromTheSamePosition) {
  m_filter->Pin(1)->m_typeCount = 3;
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Pin(1)->EnumMediaTypes(&types));
  ASSERT_EQ(S_OK, types->Skip(1));
  ComPtr<IEnumMediaTypes> clone;
  ASSERT_EQ(S_OK, types->Clone(&clone));
  AM_MEDIA_TYPE* got = nullptr;
  ASSERT_EQ(S_OK, clone->Next(1, &got, nullptr));
  EXPECT_EQ(2u, got->lSampleSize);
  DeleteMediaType(got);
}

TEST_F(MediaTypeEnumerator, AChangedPinIsOutOfSyncUntilReset) {
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Pin(0)->EnumMediaTypes(&types));
  m_filter->Pin(0)->m_typeVersion = 2;
  AM_MEDIA_TYPE* got = nullptr;
  ULONG fetched = 9;
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Next(1, &got, &fetched));
  EXPECT_EQ(9u, fetched);  // untouched
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Skip(1));
  ComPtr<IEnumMediaTypes> clone;
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Clone(&clone));
  types->Reset();
  EXPECT_EQ(S_OK, types->Next(1, &got, &fetched));
  DeleteMediaType(got);
}

TEST_F(MediaTypeEnumerator, HoldsThePinAndThroughItTheFilter) {
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Pin(2)->EnumMediaTypes(&types));
  m_ref.Reset();
  EXPECT_EQ(m_before + 4, CBaseObject::ObjectsActive());
  types.Reset();
  EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
}

}  // namespace
