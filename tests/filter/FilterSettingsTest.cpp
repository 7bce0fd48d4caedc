#include "filter/FilterSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/filter/DialogCanceller.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using tvqtest::ScopedSettings;
using tvqtest::VideoSection;

std::vector<wchar_t> PathOfLength(size_t length) {
  std::wstring path = L"C:\\";
  while (path.size() < length) path += L'a';
  return std::vector<wchar_t>(path.begin(), path.end());
}

class IniFilePathValue : public testing::Test {
 protected:
  void TearDown() override { tvqtest::DeleteIniFilePath(); }
};

TEST_F(IniFilePathValue, StoredWithoutTerminatorIsReadWhole) {
  tvqtest::StoreIniFilePath(L"C:\\Tessavue\\Tessavue.ini");
  EXPECT_EQ(L"C:\\Tessavue\\Tessavue.ini", tvq::ReadIniFilePathFromRegistry());
}

TEST_F(IniFilePathValue, MissingValueGivesNoPath) {
  tvqtest::DeleteIniFilePath();
  EXPECT_EQ(L"", tvq::ReadIniFilePathFromRegistry());
}

TEST_F(IniFilePathValue, PathsOf259CharactersAreUsedWithOrWithoutTerminator) {
  std::vector<wchar_t> data = PathOfLength(259);
  tvqtest::StoreIniFilePathData(data);
  EXPECT_EQ(259u, tvq::ReadIniFilePathFromRegistry().size());
  data.push_back(L'\0');
  tvqtest::StoreIniFilePathData(data);
  EXPECT_EQ(259u, tvq::ReadIniFilePathFromRegistry().size());
}

// 260 characters leave no room for the terminator in the pin's path buffer; cutting them would
// name another file, so the value counts as missing.
TEST_F(IniFilePathValue, PathsOf260CharactersOrMoreAreNotUsed) {
  for (size_t length : {260u, 261u, 300u, 4000u}) {
    std::vector<wchar_t> data = PathOfLength(length);
    tvqtest::StoreIniFilePathData(data);
    EXPECT_EQ(L"", tvq::ReadIniFilePathFromRegistry()) << length;
    data.push_back(L'\0');
    tvqtest::StoreIniFilePathData(data);
    EXPECT_EQ(L"", tvq::ReadIniFilePathFromRegistry()) << length << " with terminator";
  }
}

TEST_F(IniFilePathValue, MissingValueAsksTheUserAndACancelLeavesNoPath) {
  tvqtest::DeleteIniFilePath();
  tvqtest::DialogCanceller canceller(tvqtest::SettingsDialogCaption(), 30000);
  EXPECT_EQ(L"", tvq::ResolveSettingsPath());
  EXPECT_TRUE(canceller.Stop()) << "no open-file dialog with the expected caption was shown";
}

TEST_F(IniFilePathValue, TooLongValueAsksTheUserToo) {
  tvqtest::StoreIniFilePathData(PathOfLength(260));
  tvqtest::DialogCanceller canceller(tvqtest::SettingsDialogCaption(), 30000);
  EXPECT_EQ(L"", tvq::ResolveSettingsPath());
  EXPECT_TRUE(canceller.Stop());
}

TEST_F(IniFilePathValue, StoredValueIsUsedWithoutAskingTheUser) {
  ScopedSettings settings(VideoSection(640, 480, "30"));
  EXPECT_EQ(settings.Path(), tvq::ResolveSettingsPath());
}

struct Expected {
  LONG width;
  LONG height;
  REFERENCE_TIME interval;
};

void ExpectDefaultFormat(const std::string& contents, Expected expected) {
  ScopedSettings settings(contents);
  const tvq::VideoFormat format = tvq::LoadDefaultFormat(settings.Path());
  EXPECT_EQ(expected.width, format.header.biWidth) << contents;
  EXPECT_EQ(expected.height, format.header.biHeight) << contents;
  EXPECT_EQ(tvq::Rgb24ImageSize(expected.width, expected.height), format.header.biSizeImage);
  EXPECT_EQ(expected.interval, format.interval) << contents;
  EXPECT_EQ(24, format.header.biBitCount);
}

TEST(DefaultFormat, NoSettingsFileGives1024x768At15FramesPerSecond) {
  ExpectDefaultFormat("", {1024, 768, 666666});
  const tvq::VideoFormat format = tvq::LoadDefaultFormat(L"");
  EXPECT_EQ(1024, format.header.biWidth);
  EXPECT_EQ(2359296u, format.header.biSizeImage);
  EXPECT_EQ(666666, format.interval);
}

TEST(DefaultFormat, ComesFromTheVideoSection) {
  ExpectDefaultFormat(VideoSection(640, 480, "30"), {640, 480, 333333});
  ExpectDefaultFormat(VideoSection(1920, 1080, "29.97"), {1920, 1080, 333667});
  ExpectDefaultFormat(VideoSection(3, 2, "15.0000000000000000"), {3, 2, 666666});
  ExpectDefaultFormat("[Video]\r\nHeight=600\r\n", {1024, 600, 666666});
  // The edges of what the installer accepts, written as it writes them.
  ExpectDefaultFormat(VideoSection(1920, 1080, "60.0000000000000000"), {1920, 1080, 166666});
  ExpectDefaultFormat(VideoSection(4096, 4096, "120.0000000000000000"), {4096, 4096, 83333});
  ExpectDefaultFormat(VideoSection(1, 1, "1.0000000000000000"), {1, 1, 10000000});
}

TEST(DefaultFormat, EmptyRateTextGives15FramesPerSecond) {
  ExpectDefaultFormat(VideoSection(640, 480, ""), {640, 480, 666666});
}

TEST(DefaultFormat, UnusableRatesFallBackTo15FramesPerSecond) {
  for (const char* rate : {"0", "-30", "abc", "1e999", "0.0000000000000001", "0.999", "0.001"}) {
    ExpectDefaultFormat(VideoSection(640, 480, rate), {640, 480, 666666});
  }
}

TEST(DefaultFormat, UnusableSizesFallBackTo1024x768) {
  ExpectDefaultFormat(VideoSection(0, 480, "15"), {1024, 768, 666666});
  ExpectDefaultFormat(VideoSection(640, -480, "15"), {1024, 768, 666666});
  ExpectDefaultFormat(VideoSection(-640, 480, "15"), {1024, 768, 666666});
  // One frame would not fit the channel's 32-bit size.
  ExpectDefaultFormat(VideoSection(100000, 100000, "15"), {1024, 768, 666666});
  ExpectDefaultFormat(VideoSection(2147483647, 1, "15"), {1024, 768, 666666});
}

}  // namespace
