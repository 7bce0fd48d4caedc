#include "manager/capture/WindowCaptureMethod.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manager/capture/BlankPicture.h"
#include "manager/capture/CImage.h"
#include "manager/capture/WindowCandidates.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TestWindow.h"

namespace {

using tvq::CaptureMethod;
using tvq::CaptureMode;
using tvq::MethodChoice;
using tvqtest::TestWindow;
using tvqtest::TestWindowOptions;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kSolid = RGB(90, 160, 220);

// Hands out what a row says was kept for the application and records what the source keeps.
class FakeMemory : public tvq::IMethodMemory {
 public:
  bool Recall(const std::wstring& className, const std::wstring&,
              MethodChoice& choice) const override {
    recalledClass = className;
    if (kept) choice = *kept;
    return kept.has_value();
  }
  void Remember(const std::wstring&, const std::wstring& executable,
                const MethodChoice& choice) override {
    rememberedExecutable = executable;
    remembered.push_back(choice);
  }

  std::optional<MethodChoice> kept;
  mutable std::wstring recalledClass;
  std::wstring rememberedExecutable;
  std::vector<MethodChoice> remembered;
};

void FillSolid(HDC dc, const RECT& client, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
}

// How a test window answers the two copies.
enum class Draws { kAlike, kGpu, kOneColour, kNoPrint };

// A frameless window (the whole picture is its client area) that counts what PrintWindow asks.
struct MethodWindow {
  MethodWindow(Draws draws, std::wstring className) : prints(std::make_shared<std::atomic<int>>()) {
    TestWindowOptions options;
    options.title = L"tvq method " + std::to_wstring(GetCurrentProcessId());
    options.style = WS_POPUP;
    options.rect = {900, 700, 1140, 880};
    options.className = std::move(className);
    if (draws == Draws::kOneColour) std::fill_n(options.quadrants, 4, kSolid);
    if (draws == Draws::kGpu) options = tvqtest::DrawnByGpu(options);
    if (draws == Draws::kNoPrint) {
      options.print = [](HDC dc, const RECT& client) { FillSolid(dc, client, kBlack); };
    }
    const auto print = options.print;
    const TestWindowOptions pattern = options;
    options.print = [counter = prints, print, pattern](HDC dc, const RECT& client) {
      ++*counter;
      if (print) {
        print(dc, client);
      } else {
        tvqtest::FillQuadrants(dc, client, pattern.quadrants);
      }
    };
    window = std::make_unique<TestWindow>(options);
    EXPECT_TRUE(draws == Draws::kGpu ? window->WaitUntilShownSolid(kBlack)
                                     : window->WaitUntilShown());
  }

  // Copies the window as a window source does: a picture made anew at its outer size.
  bool Capture(tvq::WindowCaptureMethod& method) {
    picture.Destroy();
    picture.Create(240, 180, 24);
    return method.Copy(window->Handle(), 240, 180, picture);
  }
  bool ShowsPattern() const {
    return tvqtest::PixelAt(picture, 5, 5) == window->ClientColorAt(5, 5) &&
           tvqtest::PixelAt(picture, 234, 174) == window->ClientColorAt(234, 174);
  }

  std::shared_ptr<std::atomic<int>> prints;
  std::unique_ptr<TestWindow> window;
  CImage picture;
};

// As the window source starts it for a window it takes.
void Start(tvq::WindowCaptureMethod& method, const MethodWindow& target) {
  const tvq::WindowCandidate described = tvq::DescribeWindow(target.window->Handle());
  method.Start(described.className, described.executable);
}

TEST(WindowCaptureMethod, StartsByClassOrMemoryAndTurnsToWhatGivesAPicture) {
  const std::wstring kOwn;  // the tests' own window class
  const struct {
    const char* name;
    Draws draws;
    std::wstring className;
    std::optional<MethodChoice> kept;
    CaptureMethod running;  // after three captures
    bool pattern;           // the window's own pattern, else black
    int prints;             // PrintWindow calls over the three captures
    std::vector<MethodChoice> remembered;
  } rows[] = {
      {"ordinary window", Draws::kAlike, kOwn, {}, CaptureMethod::kStandard, true, 0, {}},
      {"drawn by the GPU", Draws::kGpu, kOwn, {}, CaptureMethod::kFullContent, true, 3,
       {{CaptureMode::kAutomatic, CaptureMethod::kFullContent}}},
      {"Chromium's class", Draws::kAlike, L"Chrome_WidgetWin_1", {}, CaptureMethod::kFullContent,
       true, 3, {}},
      {"Firefox's class", Draws::kAlike, L"MozillaWindowClass", {}, CaptureMethod::kFullContent,
       true, 3, {}},
      {"GPU class that prints black", Draws::kNoPrint, L"Chrome_WidgetWin_1", {},
       CaptureMethod::kStandard, true, 1, {{CaptureMode::kAutomatic, CaptureMethod::kStandard}}},
      {"kept: automatic, full content", Draws::kAlike, kOwn,
       MethodChoice{CaptureMode::kAutomatic, CaptureMethod::kFullContent},
       CaptureMethod::kFullContent, true, 3, {}},
      {"kept: standard chosen", Draws::kGpu, kOwn,
       MethodChoice{CaptureMode::kStandard, CaptureMethod::kFullContent}, CaptureMethod::kStandard,
       false, 0, {}},
      // Both copies one colour: the other is tried once, not on every capture.
      {"one colour both ways", Draws::kOneColour, kOwn, {}, CaptureMethod::kStandard, true, 1, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MethodWindow target(row.draws, row.className);
    FakeMemory memory;
    memory.kept = row.kept;
    tvq::WindowCaptureMethod method;
    method.SetMemory(&memory);
    Start(method, target);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(target.Capture(method));
    EXPECT_EQ(row.running, method.RunningMethod());
    EXPECT_EQ(row.pattern, target.ShowsPattern());
    EXPECT_EQ(!row.pattern || row.draws == Draws::kOneColour, tvq::IsOneColour(target.picture));
    EXPECT_EQ(row.prints, target.prints->load());
    EXPECT_EQ(row.remembered, memory.remembered);
    EXPECT_EQ(row.className.empty() ? L"TessavueCaptureTestWindow" : row.className,
              memory.recalledClass);
    if (!memory.remembered.empty()) {
      EXPECT_EQ(L"capture_tests.exe", memory.rememberedExecutable);
    }
  }
}

TEST(WindowCaptureMethod, AChosenModeRunsFromTheNextCaptureAndIsKept) {
  MethodWindow target(Draws::kGpu, L"");
  FakeMemory memory;
  tvq::WindowCaptureMethod method;
  method.SetMemory(&memory);
  Start(method, target);
  const struct {
    CaptureMode mode;
    bool pattern;
    MethodChoice kept;
  } steps[] = {
      {CaptureMode::kStandard, false, {CaptureMode::kStandard, CaptureMethod::kStandard}},
      // Automatic begins with the method that ran and finds its way to the picture again.
      {CaptureMode::kAutomatic, true, {CaptureMode::kAutomatic, CaptureMethod::kFullContent}},
      {CaptureMode::kFullContent, true, {CaptureMode::kFullContent, CaptureMethod::kFullContent}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(static_cast<int>(step.mode));
    method.SetMode(step.mode);
    ASSERT_TRUE(target.Capture(method));
    EXPECT_EQ(step.mode, method.Mode());
    EXPECT_EQ(step.pattern, target.ShowsPattern());
    ASSERT_FALSE(memory.remembered.empty());
    EXPECT_EQ(step.kept, memory.remembered.back());
  }
  // Another window starts over from what is kept for its own application (nothing).
  MethodWindow other(Draws::kAlike, L"TessavueOtherTestWindow");
  Start(method, other);
  EXPECT_EQ(CaptureMode::kAutomatic, method.Mode());
  EXPECT_EQ(CaptureMethod::kStandard, method.RunningMethod());
}

TEST(BlankPicture, OneColourOnlyWhenNoSampledPixelDiffers) {
  const struct {
    const char* name;
    RECT other;  // painted in another colour; empty for none
    bool blank;
  } rows[] = {
      {"all one colour", {0, 0, 0, 0}, true},
      {"caption strip", {0, 0, 1280, 24}, false},
      {"last column", {1279, 0, 1280, 720}, false},
      {"last row", {0, 719, 1280, 720}, false},
      {"block of the sample step", {644, 364, 644 + tvq::kBlankSampleStep, 372}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CImage picture;
    ASSERT_TRUE(picture.Create(1280, 720, 24));
    tvqtest::FillRect24(picture, 0, 0, 1280, 720, kSolid);
    tvqtest::FillRect24(picture, row.other.left, row.other.top, row.other.right, row.other.bottom,
                        kBlack);
    EXPECT_EQ(row.blank, tvq::IsOneColour(picture));
  }
  EXPECT_FALSE(tvq::IsOneColour(CImage()));
}

}  // namespace
