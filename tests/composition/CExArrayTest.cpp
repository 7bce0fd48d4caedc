#include "manager/composition/CExArray.h"

#include <gtest/gtest.h>

#include <string>

#include "manager/capture/CImage.h"
#include "manager/composition/SCIInfo.h"

namespace {

TEST(ExArray, NewArrayIsEmptyWithThirtyTwoConstructedElements) {
  CExArray<int> ints;
  EXPECT_EQ(0, ints.Size());
  EXPECT_EQ(32, ints.Capacity());
  EXPECT_EQ(32, ints.GrowBy());
  ASSERT_NE(nullptr, ints.Data());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(0, ints.Data()[i]);

  CExArray<SCIInfo> infos;
  EXPECT_EQ(1.0, infos.Data()[31].Width);
}

TEST(ExArray, SizingWithinTheCapacityKeepsTheStorage) {
  CExArray<int> ints;
  int* storage = ints.Data();
  ASSERT_TRUE(ints.SetSize(8));
  EXPECT_EQ(8, ints.Size());
  EXPECT_EQ(32, ints.Capacity());
  EXPECT_EQ(storage, ints.Data());
  ASSERT_TRUE(ints.SetSize(32));
  EXPECT_EQ(storage, ints.Data());
  EXPECT_FALSE(ints.SetSize(-1));
  EXPECT_EQ(32, ints.Size());
}

TEST(ExArray, SizingBeyondTheCapacityReallocatesExactlyAndKeepsTheValues) {
  CExArray<int> ints;
  ints.SetSize(3);
  ints[0] = 7;
  ints[1] = 8;
  ints[2] = 9;
  ASSERT_TRUE(ints.SetSize(40));
  EXPECT_EQ(40, ints.Capacity());
  EXPECT_EQ(40, ints.Size());
  EXPECT_EQ(7, ints[0]);
  EXPECT_EQ(9, ints[2]);
  EXPECT_EQ(0, ints[39]);
  // Shrinking keeps the capacity.
  ASSERT_TRUE(ints.SetSize(2));
  EXPECT_EQ(40, ints.Capacity());
  EXPECT_EQ(8, ints[1]);
}

TEST(ExArray, GrowthMovesElementsThatOwnResources) {
  CExArray<CImage> pictures;
  pictures.SetSize(32);
  ASSERT_TRUE(pictures[0].Create(4, 4, 24));
  ASSERT_TRUE(pictures[31].Create(8, 2, 24));
  const HBITMAP first = pictures[0].Bitmap();
  const HBITMAP last = pictures[31].Bitmap();
  ASSERT_TRUE(pictures.SetSize(40));
  EXPECT_EQ(first, pictures[0].Bitmap());
  EXPECT_EQ(last, pictures[31].Bitmap());
  EXPECT_EQ(8, pictures[31].Width());
  EXPECT_EQ(nullptr, pictures[39].Bitmap());
  // The moved bitmap is still alive; the old storage freed nothing of it.
  DIBSECTION section = {};
  EXPECT_EQ(static_cast<int>(sizeof(section)), GetObjectW(first, sizeof(section), &section));
}

TEST(ExArray, AppendGrowsByTheSmallestMultipleOfThirtyTwo) {
  CExArray<wchar_t> text;
  const std::wstring a(33, L'a');
  ASSERT_TRUE(text.Append(static_cast<int>(a.size()), a.data()));
  EXPECT_EQ(33, text.Size());
  EXPECT_EQ(64, text.Capacity());
  const std::wstring b(100, L'b');
  ASSERT_TRUE(text.Append(static_cast<int>(b.size()), b.data()));
  EXPECT_EQ(133, text.Size());
  EXPECT_EQ(160, text.Capacity());  // 64 + 3 x 32
  EXPECT_EQ(a + b, std::wstring(text.Data(), text.Size()));
  // A text that exactly fills the capacity does not grow it.
  const std::wstring c(27, L'c');
  ASSERT_TRUE(text.Append(static_cast<int>(c.size()), c.data()));
  EXPECT_EQ(160, text.Capacity());
}

TEST(ExArray, EmptyingKeepsTheLargestCapacityForTheNextText) {
  CExArray<wchar_t> text;
  const std::wstring long_text(200, L'x');
  text.Append(static_cast<int>(long_text.size()), long_text.data());
  const int capacity = text.Capacity();
  text.SetSize(0);
  text.Append(3, L"abc");
  EXPECT_EQ(capacity, text.Capacity());
  EXPECT_EQ(L"abc", std::wstring(text.Data(), text.Size()));
}

TEST(ExArray, AppendRefusesNonsenseAndChangesNothing) {
  CExArray<wchar_t> text;
  text.Append(2, L"ab");
  EXPECT_FALSE(text.Append(-1, L"x"));
  EXPECT_FALSE(text.Append(1, nullptr));
  EXPECT_TRUE(text.Append(0, nullptr));
  EXPECT_FALSE(text.Append(0x7FFFFFFF, L"x"));  // would pass the int range
  EXPECT_EQ(2, text.Size());
  EXPECT_EQ(32, text.Capacity());
}

}  // namespace
