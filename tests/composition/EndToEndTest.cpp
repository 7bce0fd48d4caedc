// The whole system in real processes: the Manager with a desktop slot placed by keys pressed from
// outside, a pattern window on the screen, the filter registered in this prefix, and the Windows
// ffmpeg client recording from the virtual camera.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/FfmpegLocator.h"
#include "tests/common/TempDir.h"
#include "tests/composition/PatternWindow.h"

namespace {

using tvqtest::ChildProcess;
using tvqtest::QuoteArgument;
using tvqtest::TempDir;
using tvqtest::WaitUntil;

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameWidth) * kFrameHeight * 3;
constexpr int kCanvasWidth = 1024;
constexpr int kCanvasHeight = 768;

std::wstring BinDir() {
  const std::wstring exe = tvqtest::OwnExecutablePath();
  return exe.substr(0, exe.find_last_of(L'\\'));
}

// build/artifacts, beside the bin folder: pictures that show what a failed run saw.
std::wstring ArtifactFile(const wchar_t* name) {
  const std::wstring bin = BinDir();
  const std::wstring folder = bin.substr(0, bin.find_last_of(L'\\')) + L"\\artifacts";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + name;
}

// A binary PPM of top-down RGB rows.
void SavePpm(const std::wstring& path, const std::vector<BYTE>& rgb, int width, int height) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

DWORD RunToEnd(const std::wstring& commandLine, const std::wstring& workingDir, DWORD timeoutMs) {
  ChildProcess process = ChildProcess::Start(commandLine, workingDir);
  if (!process.IsValid()) return 0xFFFFFFFF;
  DWORD exitCode = 0xFFFFFFFE;
  if (!process.Wait(timeoutMs, &exitCode)) return 0xFFFFFFFD;
  return exitCode;
}

// Presses a key in the Manager's window the way a keyboard does: through the system's input
// queue, to the foreground window.
bool PressKey(HWND window, WORD key, int times = 1) {
  for (int i = 0; i < times; ++i) {
    if (GetForegroundWindow() != window) {
      SetForegroundWindow(window);
      if (!WaitUntil([&] { return GetForegroundWindow() == window; }, 5000)) return false;
    }
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, input, sizeof(INPUT)) != 2) return false;
  }
  return true;
}

COLORREF CanvasPixel(const std::vector<BYTE>& bottomUp, int width, int height, int x, int y) {
  const size_t row = static_cast<size_t>(tvq::RowBytes24(width));
  const BYTE* p = bottomUp.data() + (height - 1 - y) * row + x * 3;
  return RGB(p[2], p[1], p[0]);
}

COLORREF FramePixel(const BYTE* rgb24, int x, int y) {
  const BYTE* p = rgb24 + (static_cast<size_t>(y) * kFrameWidth + x) * 3;
  return RGB(p[0], p[1], p[2]);
}

// Colours survive scaling and the trip through the filter within a small tolerance.
bool Near(COLORREF a, COLORREF b) {
  auto close = [](int x, int y) { return std::abs(x - y) <= 24; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

std::string Describe(COLORREF c) {
  return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c)) + ")";
}

#define EXPECT_COLOR(expected, actual) \
  EXPECT_PRED2(Near, expected, actual) << Describe(actual) << " instead of " << Describe(expected)

class EndToEnd : public testing::Test {
 protected:
  void TearDown() override {
    if (manager.IsValid()) {
      PostMessageW(managerWindow, WM_CLOSE, 0, 0);
      DWORD code = 0;
      if (!manager.Wait(10000, &code)) manager.Kill();
    }
    pattern.Kill();
  }

  // The pattern covers the screen's top-left quarter (the screen is 1280 x 1024), above all.
  void ShowPattern() {
    pattern = ChildProcess::StartSelf(L"pattern", {L"0", L"0", L"640", L"512", L"topmost"});
    ASSERT_TRUE(pattern.IsValid());
    ASSERT_TRUE(WaitUntil([] {
      HWND window = FindWindowW(tvqtest::kPatternClassName, nullptr);
      return window != nullptr && IsWindowVisible(window);
    }, 10000));
  }

  void StartManager() {
    const std::wstring exe = dir.File(L"TessavueManager.exe");
    ASSERT_TRUE(CopyFileW((BinDir() + L"\\TessavueManager.exe").c_str(), exe.c_str(), FALSE));
    manager = ChildProcess::Start(QuoteArgument(exe), dir.Path());
    ASSERT_TRUE(manager.IsValid());
    ASSERT_TRUE(WaitUntil([&] {
      managerWindow = FindWindowW(L"TESSAVUEMANAGER", nullptr);
      return managerWindow != nullptr && IsWindowVisible(managerWindow);
    }, 10000));
    // Out of the pattern's way, as a user would arrange the screen: the desktop slot must see
    // the pattern, not the Manager's window over it.
    ASSERT_TRUE(SetWindowPos(managerWindow, nullptr, 700, 560, 560, 440,
                             SWP_NOZORDER | SWP_NOACTIVATE));
  }

  // Waits until the Manager publishes a 1024 x 768 canvas for which check holds.
  bool WaitForCanvas(bool (*check)(const std::vector<BYTE>&)) {
    CSharedMemory pixels;
    if (!pixels.Create(tvq::kPixelObjectName, kCanvasWidth * 3 * kCanvasHeight)) return false;
    std::vector<BYTE> canvas(static_cast<size_t>(kCanvasWidth) * 3 * kCanvasHeight);
    const bool shown = WaitUntil([&] {
      pixels.Read(canvas.data(), static_cast<int>(canvas.size()), INFINITE);
      return check(canvas);
    }, 10000);
    if (!shown) {
      std::vector<BYTE> rgb;
      for (int y = 0; y < kCanvasHeight; ++y) {
        for (int x = 0; x < kCanvasWidth; ++x) {
          const COLORREF c = CanvasPixel(canvas, kCanvasWidth, kCanvasHeight, x, y);
          rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
      }
      SavePpm(ArtifactFile(L"e2e_canvas.ppm"), rgb, kCanvasWidth, kCanvasHeight);
    }
    return shown;
  }

  TempDir dir;
  ChildProcess pattern;
  ChildProcess manager;
  HWND managerWindow = nullptr;
};

// The desktop slot in the canvas's top-right quarter: the pattern (the screen's top-left quarter)
// lands in the quarter's top-left quarter.
bool PlacedPatternShows(const std::vector<BYTE>& canvas) {
  auto at = [&](double fx, double fy) {
    return CanvasPixel(canvas, kCanvasWidth, kCanvasHeight, static_cast<int>(fx * kCanvasWidth),
                       static_cast<int>(fy * kCanvasHeight));
  };
  return Near(tvqtest::kPatternTopLeft, at(0.5 + 1.0 / 16, 1.0 / 16)) &&
         Near(tvqtest::kPatternBottomRight, at(0.5 + 3.0 / 16, 3.0 / 16)) &&
         at(0.25, 0.25) == RGB(0, 0, 0) && at(0.25, 0.75) == RGB(0, 0, 0);
}

TEST_F(EndToEnd, FfmpegRecordsThePatternWhereTheKeysPlacedTheDesktopSlot) {
  const std::wstring ffmpeg = tvqtest::FfmpegPath();
  if (ffmpeg.empty()) GTEST_SKIP() << "TVQ_FFMPEG does not name the Windows ffmpeg client";

  const std::wstring filter = BinDir() + L"\\TVQDirectShowFilter.dll";
  ASSERT_EQ(0u, RunToEnd(L"regsvr32.exe /s " + QuoteArgument(filter), L"", 60000));
  ShowPattern();
  StartManager();

  // D fills slot 1 with the desktop; the menu then moves it right by half and halves its size;
  // R clears what the full-size slot had drawn on the left.
  ASSERT_TRUE(PressKey(managerWindow, 'D'));
  ASSERT_TRUE(PressKey(managerWindow, VK_RETURN, 2));     // menu, pick "move"
  ASSERT_TRUE(PressKey(managerWindow, VK_RIGHT, 10));     // Pos_x 0.5
  ASSERT_TRUE(PressKey(managerWindow, VK_BACK));          // back to the menu
  ASSERT_TRUE(PressKey(managerWindow, VK_DOWN));          // "size"
  ASSERT_TRUE(PressKey(managerWindow, VK_RETURN));
  ASSERT_TRUE(PressKey(managerWindow, VK_LEFT, 10));      // Width 0.5
  ASSERT_TRUE(PressKey(managerWindow, VK_UP, 10));        // Height 0.5
  ASSERT_TRUE(PressKey(managerWindow, VK_BACK, 2));       // browsing again
  ASSERT_TRUE(PressKey(managerWindow, 'R'));
  ASSERT_TRUE(WaitForCanvas(&PlacedPatternShows)) << "the Manager did not compose the slot";

  const std::wstring frames = dir.File(L"frames.rgb");
  const std::wstring command =
      QuoteArgument(ffmpeg) +
      L" -hide_banner -loglevel error -f dshow -video_size 640x480 -i \"video=Tessavue Filter\""
      L" -frames:v 20 -f rawvideo -pix_fmt rgb24 -y " + QuoteArgument(frames);
  ASSERT_EQ(0u, RunToEnd(command, dir.Path(), 120000)) << "ffmpeg failed";

  std::ifstream in(frames.c_str(), std::ios::binary);
  const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  ASSERT_GE(bytes.size(), kFrameBytes);
  ASSERT_EQ(0u, bytes.size() % kFrameBytes) << "frames of 640 x 480";
  // The last frame: by then the canvas has followed the negotiated size.
  const BYTE* frame = bytes.data() + bytes.size() - kFrameBytes;
  SavePpm(ArtifactFile(L"e2e_frame.ppm"), std::vector<BYTE>(frame, frame + kFrameBytes),
          kFrameWidth, kFrameHeight);

  // The slot is (320, 0)-(640, 240); the pattern fills its top-left quarter, (320, 0)-(480, 120),
  // with 80 x 60 quadrants, upright and in the right colours.
  EXPECT_COLOR(tvqtest::kPatternTopLeft, FramePixel(frame, 360, 30));
  EXPECT_COLOR(tvqtest::kPatternTopRight, FramePixel(frame, 440, 30));
  EXPECT_COLOR(tvqtest::kPatternBottomLeft, FramePixel(frame, 360, 90));
  EXPECT_COLOR(tvqtest::kPatternBottomRight, FramePixel(frame, 440, 90));
  EXPECT_COLOR(tvqtest::kPatternTopLeft, FramePixel(frame, 324, 4));
  EXPECT_COLOR(tvqtest::kPatternBottomRight, FramePixel(frame, 476, 116));
  // Outside the slot nothing was drawn since the canvas was made at 640 x 480.
  EXPECT_EQ(RGB(0, 0, 0), FramePixel(frame, 160, 120));
  EXPECT_EQ(RGB(0, 0, 0), FramePixel(frame, 160, 400));
  EXPECT_EQ(RGB(0, 0, 0), FramePixel(frame, 480, 400));
}

}  // namespace
