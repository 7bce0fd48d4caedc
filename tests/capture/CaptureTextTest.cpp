#include "manager/capture/CaptureText.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptureText, FitKeepsRoomForTheTerminatorAndNeverSplitsAPair) {
  EXPECT_EQ(L"abc", tvq::FitText(L"abc", 4));
  EXPECT_EQ(L"ab", tvq::FitText(L"abc", 3));
  EXPECT_EQ(L"", tvq::FitText(L"abc", 1));
  EXPECT_EQ(L"", tvq::FitText(L"abc", 0));
  // U+1F4F7 is two units: cut before it, not between them.
  EXPECT_EQ(L"ab", tvq::FitText(L"ab\U0001F4F7", 4));
  EXPECT_EQ(L"ab\U0001F4F7", tvq::FitText(L"ab\U0001F4F7c", 5));

  wchar_t field[4];
  tvq::CopyText(field, 4, L"abcdef");
  EXPECT_STREQ(L"abc", field);
  tvq::CopyText(field, 4, nullptr);
  EXPECT_STREQ(L"", field);
}

TEST(CaptureText, HexCodeIsLowerCaseWithoutPrefixOrLeadingZeros) {
  EXPECT_EQ(L"0", tvq::HexCode(S_OK));
  EXPECT_EQ(L"1", tvq::HexCode(S_FALSE));
  EXPECT_EQ(L"80004002", tvq::HexCode(E_NOINTERFACE));
  EXPECT_EQ(L"8007000e", tvq::HexCode(E_OUTOFMEMORY));
  EXPECT_EQ(L"4027e", tvq::HexCode(static_cast<HRESULT>(0x4027E)));
}

}  // namespace
