#include "filter/PinCategoryProperty.h"

#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <gtest/gtest.h>

namespace {

TEST(PinCategoryProperty, GetWritesTheCaptureCategory) {
  GUID category = GUID_NULL;
  DWORD returned = 0;
  EXPECT_EQ(S_OK, tvq::GetPinCategoryProperty(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &category,
                                              sizeof(category), &returned));
  EXPECT_EQ(PIN_CATEGORY_CAPTURE, category);
  EXPECT_EQ(16u, returned);
  category = GUID_NULL;
  EXPECT_EQ(S_OK, tvq::GetPinCategoryProperty(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &category,
                                              sizeof(category), nullptr));
  EXPECT_EQ(PIN_CATEGORY_CAPTURE, category);
}

TEST(PinCategoryProperty, NullDataAsksForTheSize) {
  DWORD returned = 0;
  EXPECT_EQ(S_OK, tvq::GetPinCategoryProperty(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr,
                                              0, &returned));
  EXPECT_EQ(16u, returned);
  EXPECT_EQ(E_POINTER, tvq::GetPinCategoryProperty(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY,
                                                   nullptr, 0, nullptr));
}

TEST(PinCategoryProperty, ShortBufferIsRefusedUntouched) {
  BYTE buffer[16] = {};
  DWORD returned = 0;
  EXPECT_EQ(E_UNEXPECTED, tvq::GetPinCategoryProperty(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY,
                                                      buffer, 15, &returned));
  EXPECT_EQ(16u, returned);
  for (BYTE b : buffer) EXPECT_EQ(0, b);
}

TEST(PinCategoryProperty, OtherSetsAndIdsAreUnsupported) {
  GUID category = GUID_NULL;
  DWORD returned = 7;
  EXPECT_EQ(E_PROP_SET_UNSUPPORTED,
            tvq::GetPinCategoryProperty(PIN_CATEGORY_CAPTURE, AMPROPERTY_PIN_CATEGORY, &category,
                                        16, &returned));
  EXPECT_EQ(E_PROP_ID_UNSUPPORTED,
            tvq::GetPinCategoryProperty(AMPROPSETID_Pin, 1, &category, 16, &returned));
  EXPECT_EQ(7u, returned);
  EXPECT_EQ(GUID_NULL, category);
  DWORD support = 0;
  EXPECT_EQ(E_PROP_SET_UNSUPPORTED,
            tvq::QueryPinCategorySupport(GUID_NULL, AMPROPERTY_PIN_CATEGORY, &support));
  EXPECT_EQ(E_PROP_ID_UNSUPPORTED, tvq::QueryPinCategorySupport(AMPROPSETID_Pin, 1, &support));
}

TEST(PinCategoryProperty, QuerySupportedSaysGetOnly) {
  DWORD support = 0;
  EXPECT_EQ(S_OK, tvq::QueryPinCategorySupport(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support));
  EXPECT_EQ(static_cast<DWORD>(KSPROPERTY_SUPPORT_GET), support);
  EXPECT_EQ(S_OK, tvq::QueryPinCategorySupport(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr));
}

}  // namespace
