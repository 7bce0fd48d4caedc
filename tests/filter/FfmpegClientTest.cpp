// A client nobody here wrote: the Windows ffmpeg opens the filter through its dshow input.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "filter/VideoFormat.h"
#include "tests/common/Ffmpeg.h"
#include "tests/common/TempDir.h"
#include "tests/filter/DeviceList.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using tvqtest::TempDir;

using tvqtest::FfmpegPath;
using tvqtest::FfmpegRun;
using tvqtest::ReadBytes;
using tvqtest::RunFfmpeg;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Bgr {
  BYTE b, g, r;
};
constexpr Bgr kGreen{0, 255, 0};
constexpr Bgr kRed{0, 0, 255};
constexpr Bgr kBlue{255, 0, 0};

// The picture the test stands in for the Manager with: the top half red with a green left
// quarter, the bottom half blue.
Bgr ExpectedAt(int x, int y, int width, int height) {
  if (y >= height / 2) return kBlue;
  return x < width / 4 ? kGreen : kRed;
}

// The picture in the pixel object's layout: bottom row first, rows padded to 4 bytes.
std::vector<BYTE> BottomUpFrame(int width, int height) {
  const int pitch = static_cast<int>(tvq::Rgb24ImageSize(width, 1));
  std::vector<BYTE> frame(static_cast<size_t>(pitch) * height, 0);
  for (int y = 0; y < height; ++y) {
    BYTE* row = frame.data() + static_cast<size_t>(height - 1 - y) * pitch;
    for (int x = 0; x < width; ++x) {
      const Bgr c = ExpectedAt(x, y, width, height);
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
  return frame;
}

// Counts the pixels of ffmpeg's top-down bgr24 frames that differ from the expected picture.
int WrongPixels(const std::string& frames, int width, int height, int count) {
  int wrong = 0;
  const size_t frameBytes = static_cast<size_t>(width) * height * 3;
  for (int f = 0; f < count; ++f) {
    const BYTE* frame = reinterpret_cast<const BYTE*>(frames.data()) + f * frameBytes;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const BYTE* p = frame + (static_cast<size_t>(y) * width + x) * 3;
        const Bgr c = ExpectedAt(x, y, width, height);
        if (p[0] != c.b || p[1] != c.g || p[2] != c.r) ++wrong;
      }
    }
  }
  return wrong;
}

bool AllZero(const std::string& bytes) {
  for (char c : bytes) {
    if (c != 0) return false;
  }
  return true;
}

class Ffmpeg : public testing::Test {
 protected:
  void SetUp() override {
    m_ffmpeg = tvqtest::FfmpegPath();
    if (m_ffmpeg.empty()) {
      GTEST_SKIP() << "ffmpeg.exe not found: TVQ_FFMPEG must name the unpacked Windows ffmpeg "
                      "(scripts/setup puts it under .cache/ffmpeg)";
    }
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_TRUE(m_dll.IsLoaded());
    ASSERT_EQ(S_OK, m_dll.Register());
    // Held open so that what ffmpeg's filter publishes outlives it.
    ASSERT_TRUE(m_format.Create(tvq::kFormatObjectName, tvq::kFormatObjectSize));
    ASSERT_TRUE(m_interval.Create(tvq::kIntervalObjectName, tvq::kIntervalObjectSize));
  }

  FfmpegRun Record(const std::wstring& options, int frames) {
    return RunFfmpeg(m_ffmpeg,
                     L"-y -f dshow " + options + L" -i video=\"Tessavue Filter\" -frames:v " +
                         std::to_wstring(frames) + L" -f rawvideo -pix_fmt bgr24 frames.raw",
                     m_dir);
  }
  std::string RecordedFrames() { return ReadBytes(m_dir.File(L"frames.raw")); }

  // Records with the options and expects whole black frames as ffmpeg's log describes them.
  void ExpectBlackRecording(const std::wstring& options, int count, const std::string& described,
                            size_t width, size_t height) {
    const FfmpegRun run = Record(options, count);
    ASSERT_TRUE(run.finished) << run.log;
    EXPECT_EQ(0u, run.exitCode) << run.log;
    EXPECT_TRUE(Contains(run.log, described)) << run.log;
    const std::string frames = RecordedFrames();
    EXPECT_EQ(count * width * height * 3, frames.size());
    EXPECT_TRUE(AllZero(frames));
  }

  std::wstring m_ffmpeg;
  TempDir m_dir;
  tvqtest::ScopedSettings m_settings{tvqtest::VideoSection(640, 480, "15")};
  tvqtest::ComApartment m_com;
  tvqtest::ServerDll m_dll;
  CSharedMemory m_format;
  CSharedMemory m_interval;
};

TEST_F(Ffmpeg, ListsTheFilterAmongTheVideoDevices) {
  const FfmpegRun run = RunFfmpeg(m_ffmpeg, L"-f dshow -list_devices true -i dummy", m_dir);
  ASSERT_TRUE(run.finished) << run.log;
  const size_t video = run.log.find("DirectShow video devices");
  const size_t audio = run.log.find("DirectShow audio devices");
  const size_t ours = run.log.find("\"Tessavue Filter\"");
  ASSERT_NE(std::string::npos, ours) << run.log;
  EXPECT_LT(video, ours);
  EXPECT_LT(ours, audio);
}

TEST_F(Ffmpeg, ListsOnePixelUpToTheConfiguredSizeAndTheRateRange) {
  const FfmpegRun run =
      RunFfmpeg(m_ffmpeg, L"-f dshow -list_options true -i video=\"Tessavue Filter\"", m_dir);
  ASSERT_TRUE(run.finished) << run.log;
  EXPECT_TRUE(Contains(run.log, "Pin \"Out\"")) << run.log;
  EXPECT_TRUE(Contains(run.log, "pixel_format=bgr24  min s=1x1 fps=1 max s=640x480 fps=15"))
      << run.log;
}

TEST_F(Ffmpeg, RecordsBlackFramesAtTheConfiguredSizeWithoutAManager) {
  ExpectBlackRecording(L"", 3, "bgr24, 640x480", 640, 480);
}

TEST_F(Ffmpeg, RecordsTheSmallerSizeAndLowerRateItAsksFor) {
  ExpectBlackRecording(L"-video_size 320x240 -framerate 5", 3, "bgr24, 320x240, 5 fps", 320, 240);

  // What the Manager was told to compose.
  const tvqtest::Published published = tvqtest::ReadPublished();
  EXPECT_EQ(320, published.header.biWidth);
  EXPECT_EQ(240, published.header.biHeight);
  EXPECT_EQ(230400u, published.header.biSizeImage);
  EXPECT_EQ(2000000, published.interval);
}

TEST_F(Ffmpeg, ManagerPixelsArriveUprightInTheirColours) {
  CSharedMemory pixels;
  ASSERT_TRUE(pixels.Create(tvq::kPixelObjectName, 921600));
  const struct {
    int width, height;
    const wchar_t* options;
  } cases[] = {{640, 480, L""}, {320, 240, L"-video_size 320x240 -framerate 5"}};
  for (const auto& c : cases) {
    const std::vector<BYTE> frame = BottomUpFrame(c.width, c.height);
    pixels.Write(frame.data(), static_cast<int>(frame.size()), INFINITE);
    const FfmpegRun run = Record(c.options, 2);
    ASSERT_TRUE(run.finished) << run.log;
    const std::string frames = RecordedFrames();
    ASSERT_EQ(2u * c.width * c.height * 3, frames.size()) << run.log;
    EXPECT_EQ(0, WrongPixels(frames, c.width, c.height, 2)) << c.width << " x " << c.height;
  }
}

// A Manager stalled holding the pixel object (suspended, in a debugger) since before the client
// opened the camera: the recording still ends on time, with whole black frames of its size.
TEST_F(Ffmpeg, RecordingEndsOnTimeWhileAStalledManagerHoldsThePixels) {
  CSharedMemory pixels;
  ASSERT_TRUE(pixels.Create(tvq::kPixelObjectName, 921600));
  const std::vector<BYTE> frame = BottomUpFrame(640, 480);
  pixels.Write(frame.data(), static_cast<int>(frame.size()), INFINITE);
  SharedMemoryHold stalled(pixels, INFINITE);
  ASSERT_TRUE(stalled.Held());
  SCOPED_TRACE("a hang or a picture never delivered before would show here");
  ExpectBlackRecording(L"", 10, "bgr24, 640x480", 640, 480);
}

}  // namespace
