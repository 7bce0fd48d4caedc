// Settings files and registry values that no Manager wrote. The camera must come up with usable
// values (the defaults where a value is unusable), stream into guarded buffers and stop again,
// without crashing, hanging or writing past a sample.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter/CTVQOutputPin.h"
#include "filter/VideoFormat.h"
#include "tests/filter/DialogCanceller.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/ClientGraph.h"
#include "tests/reliability/GuardedSink.h"

namespace {

using tvqtest::GuardedSink;
using tvqtest::LocalFilter;
using tvqtest::ScopedSettings;

// The longest a stop may take: one frame interval of at most a second, and some room.
constexpr ULONGLONG kLongestStopMs = 3000;

struct Format {
  LONG width;
  LONG height;
  REFERENCE_TIME interval;
};
constexpr Format kDefaults{1024, 768, 666666};

void ExpectUsable(const tvq::VideoFormat& format) {
  EXPECT_GE(format.header.biWidth, 1);
  EXPECT_GE(format.header.biHeight, 1);
  EXPECT_NE(0u, format.header.biSizeImage);
  EXPECT_EQ(tvq::Rgb24ImageSize(format.header.biWidth, format.header.biHeight),
            format.header.biSizeImage);
  EXPECT_GT(format.interval, 0);
  EXPECT_LE(format.interval, tvq::kMaxFrameInterval) << "slower than the slowest rate offered";
}

// Runs the filter of the current settings for a few samples and stops it.
void ExpectStreamsAndStops(LocalFilter& f) {
  const tvq::VideoFormat format = f.pin->DefaultFormat();
  GuardedSink sink;
  const HRESULT connected = f.outputPin->Connect(&sink, nullptr);
  if (format.header.biSizeImage > static_cast<DWORD>(tvqtest::GuardedAllocator::kMaxBuffer)) {
    // No allocator grants such frames; the connection fails and nothing else happens.
    EXPECT_TRUE(FAILED(connected));
    EXPECT_FALSE(sink.IsConnected());
    return;
  }
  ASSERT_EQ(S_OK, connected);
  ASSERT_EQ(S_OK, f.filter->Run(0));
  const DWORD intervalMs = static_cast<DWORD>(format.interval / 10000);
  EXPECT_TRUE(sink.WaitForSamples(2, 2 * intervalMs + 10000));
  const ULONGLONG stopStart = GetTickCount64();
  EXPECT_EQ(S_OK, f.filter->Stop());
  EXPECT_LT(GetTickCount64() - stopStart, kLongestStopMs) << "the stop hung";
  EXPECT_EQ(0, sink.Malformed());
  EXPECT_EQ(S_OK, f.outputPin->Disconnect());
  sink.Disconnect();
}

// The settings file holds these bytes exactly.
void ExpectCamera(const std::string& contents, const Format* expected) {
  ScopedSettings settings(contents.empty() ? std::string("\r\n") : contents);
  LocalFilter f;
  ASSERT_TRUE(f.IsValid());
  const tvq::VideoFormat format = f.pin->DefaultFormat();
  ExpectUsable(format);
  // Streaming with unusable values could hang the test rather than fail it.
  if (testing::Test::HasFailure()) return;
  if (expected != nullptr) {
    EXPECT_EQ(expected->width, format.header.biWidth);
    EXPECT_EQ(expected->height, format.header.biHeight);
    EXPECT_EQ(expected->interval, format.interval);
  }
  ExpectStreamsAndStops(f);
}

std::string RandomBytes(unsigned seed, size_t count) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

class HostileSettings : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(m_com.Result())); }
  tvqtest::ComApartment m_com;
};

TEST_F(HostileSettings, RandomBytesGiveTheDefaults) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    ASSERT_NO_FATAL_FAILURE(ExpectCamera(RandomBytes(seed, 4096), &kDefaults));
  }
  // The same behind a UTF-16 byte-order mark, which makes the profile calls read wide text.
  ASSERT_NO_FATAL_FAILURE(ExpectCamera("\xFF\xFE" + RandomBytes(7, 4096), &kDefaults));
}

TEST_F(HostileSettings, RandomValuesInTheVideoSectionGiveUsableValues) {
  for (unsigned seed = 11; seed <= 14; ++seed) {
    SCOPED_TRACE(seed);
    const std::string contents = "[Video]\r\nWidth=" + RandomBytes(seed, 40) + "\r\nHeight=" +
                                 RandomBytes(seed + 100, 40) + "\r\nFramePerSecond=" +
                                 RandomBytes(seed + 200, 40) + "\r\n";
    ASSERT_NO_FATAL_FAILURE(ExpectCamera(contents, nullptr));
  }
}

TEST_F(HostileSettings, SizesBeyondAnyFrameGiveTheDefaultSize) {
  for (const char* size :
       {"Width=99999999999999999999\r\nHeight=99999999999999999999",
        "Width=-1\r\nHeight=-1", "Width=-2147483648\r\nHeight=480",
        "Width=2147483647\r\nHeight=2147483647", "Width=46341\r\nHeight=46341",
        "Width=0x7FFFFFFF\r\nHeight=0", "Width=1e9\r\nHeight=1e9"}) {
    SCOPED_TRACE(size);
    const std::string contents = std::string("[Video]\r\n") + size + "\r\nFramePerSecond=15\r\n";
    Format expected = kDefaults;
    // "1e9" reads as 1 and "0x7FFFFFFF" as 0: the profile call takes the leading digits.
    if (std::string(size).find("1e9") != std::string::npos) expected = {1, 1, 666666};
    ASSERT_NO_FATAL_FAILURE(ExpectCamera(contents, &expected));
  }
}

// Frames of almost two gigabytes fit the channel's size; no client gets such buffers, and the
// failed connection must be all that happens.
TEST_F(HostileSettings, FramesOfGigabytesFailOnlyTheConnection) {
  const Format expected{30000, 20000, 666666};
  ASSERT_NO_FATAL_FAILURE(
      ExpectCamera("[Video]\r\nWidth=30000\r\nHeight=20000\r\nFramePerSecond=15\r\n", &expected));
}

TEST_F(HostileSettings, UnusableRatesGiveFifteenFramesPerSecond) {
  for (const char* rate : {"1e308", "-1e308", "nan", "inf", "-inf", "1e-308", "0.001", "0.5",
                           "1e-10", "0", "-0"}) {
    SCOPED_TRACE(rate);
    const std::string contents =
        std::string("[Video]\r\nWidth=64\r\nHeight=48\r\nFramePerSecond=") + rate + "\r\n";
    const Format expected{64, 48, 666666};
    ASSERT_NO_FATAL_FAILURE(ExpectCamera(contents, &expected));
  }
}

TEST_F(HostileSettings, ThousandCharacterValuesAreReadSafely) {
  const std::string digits(1000, '7');
  const std::string ones(1000, '1');
  const std::string nines(1000, '9');
  const std::string zeros = "0." + std::string(998, '0');
  const std::string padded = "30" + std::string(998, ' ');
  const std::string longer = std::string(2000, '1') + "e-5";
  const std::string letters(1000, 'x');
  struct Case {
    std::string width;
    std::string height;
    std::string rate;
    Format expected;
  };
  for (const Case& c : {Case{digits, ones, nines, kDefaults},
                        Case{"64", "48", zeros, {64, 48, 666666}},
                        Case{"64", "48", padded, {64, 48, 333333}},
                        Case{"64", "48", longer, {64, 48, 666666}},
                        Case{letters, letters, letters, {1024, 768, 666666}}}) {
    SCOPED_TRACE(c.rate.substr(0, 12));
    const std::string contents = "[Video]\r\nWidth=" + c.width + "\r\nHeight=" + c.height +
                                 "\r\nFramePerSecond=" + c.rate + "\r\n[" + letters + "]\r\n" +
                                 letters + "=" + letters + "\r\n";
    ASSERT_NO_FATAL_FAILURE(ExpectCamera(contents, &c.expected));
  }
}

// 300 characters cannot be the settings path the pin's buffer holds: the user is asked instead,
// and a cancelled question leaves the defaults, in a real client graph as well.
TEST_F(HostileSettings, IniFilePathOf300CharactersAsksTheUserAndCancelGivesTheDefaults) {
  ASSERT_EQ(S_OK, tvqtest::RegisterFilterDll());
  std::wstring path = L"C:\\";
  path.append(297, L'a');
  tvqtest::StoreIniFilePathData(std::vector<wchar_t>(path.begin(), path.end()));
  {
    tvqtest::DialogCanceller canceller(tvqtest::SettingsDialogCaption(), 30000);
    LocalFilter f;
    EXPECT_TRUE(canceller.Stop()) << "the pin did not ask for the settings file";
    ASSERT_TRUE(f.IsValid());
    EXPECT_EQ(kDefaults.width, f.pin->DefaultFormat().header.biWidth);
    EXPECT_EQ(kDefaults.interval, f.pin->DefaultFormat().interval);
    ASSERT_NO_FATAL_FAILURE(ExpectStreamsAndStops(f));
  }
  {
    tvqtest::DialogCanceller canceller(tvqtest::SettingsDialogCaption(), 30000);
    tvqtest::ClientGraph client;
    ASSERT_EQ(S_OK, client.Build());
    EXPECT_TRUE(canceller.Stop());
    ASSERT_TRUE(SUCCEEDED(client.Run()));
    EXPECT_TRUE(client.WaitForFrames(2, 10000));
    EXPECT_EQ(0, client.WrongSizes());
    EXPECT_TRUE(SUCCEEDED(client.Stop()));
  }
  tvqtest::DeleteIniFilePath();
}

TEST_F(HostileSettings, IniFilePathNamingAFolderOrNothingGivesTheDefaults) {
  wchar_t temp[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, temp);
  for (const std::wstring& path : {std::wstring(temp), std::wstring(L"Z:\\no\\such\\Tessavue.ini"),
                                   std::wstring(L"\\\\?\\")}) {
    tvqtest::StoreIniFilePath(path);
    LocalFilter f;
    ASSERT_TRUE(f.IsValid());
    EXPECT_EQ(kDefaults.width, f.pin->DefaultFormat().header.biWidth);
    EXPECT_EQ(kDefaults.height, f.pin->DefaultFormat().header.biHeight);
    EXPECT_EQ(kDefaults.interval, f.pin->DefaultFormat().interval);
  }
  tvqtest::DeleteIniFilePath();
}

}  // namespace
