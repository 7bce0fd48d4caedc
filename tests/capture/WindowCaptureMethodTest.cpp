#include "manager/capture/WindowCaptureMethod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manager/capture/CImage.h"
#include "manager/capture/WindowCandidates.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TestWindow.h"

namespace {

using tvq::CaptureMethod;
using tvq::CaptureMode;
using tvq::MethodChoice;

// Hands out what a row says was kept for the application and records what the source keeps.
struct FakeMemory : tvq::IMethodMemory {
  bool Recall(const std::wstring&, const std::wstring&, MethodChoice& choice) const override {
    if (kept) choice = *kept;
    return kept.has_value();
  }
  void Remember(const std::wstring&, const std::wstring&, const MethodChoice& choice) override {
    remembered.push_back(choice);
  }
  std::optional<MethodChoice> kept;
  std::vector<MethodChoice> remembered;
};

// How a window answers the two copies: both alike, black to its device context (as drawn by the
// GPU), one colour both ways, or black when printed.
enum class Draws { kAlike, kGpu, kOneColour, kNoPrint };

// A frameless window (its picture is all client area) that counts PrintWindow's requests.
std::unique_ptr<tvqtest::TestWindow> MakeWindow(Draws draws, std::wstring className,
                                                std::atomic<int>& prints) {
  tvqtest::TestWindowOptions options;
  options.title = L"tvq method";
  options.style = WS_POPUP;
  options.rect = {900, 700, 1140, 880};
  options.className = std::move(className);
  if (draws == Draws::kOneColour) std::fill_n(options.quadrants, 4, RGB(90, 160, 220));
  if (draws == Draws::kGpu) options = tvqtest::DrawnByGpu(options);
  COLORREF printed[4] = {};
  if (draws != Draws::kNoPrint) std::copy_n(options.quadrants, 4, printed);
  options.print = [&prints, printed](HDC dc, const RECT& client) {
    ++prints;
    tvqtest::FillQuadrants(dc, client, printed);
  };
  auto window = std::make_unique<tvqtest::TestWindow>(options);
  if (draws != Draws::kGpu) {
    EXPECT_TRUE(window->WaitUntilShown());
  }
  return window;
}

TEST(WindowCaptureMethod, StartsByClassOrMemoryAndTurnsToWhatGivesAPicture) {
  const std::wstring chromium = L"Chrome_WidgetWin_1";
  const MethodChoice autoFull{CaptureMode::kAutomatic, CaptureMethod::kFullContent};
  const MethodChoice autoStandard{CaptureMode::kAutomatic, CaptureMethod::kStandard};
  const MethodChoice standard{CaptureMode::kStandard, CaptureMethod::kStandard};
  const struct {
    const char* name;
    Draws draws;
    std::wstring className;  // empty: the tests' own
    std::optional<MethodChoice> kept;
    std::optional<CaptureMode> chosen;  // by the user, before the captures
    CaptureMethod running;              // after three captures
    bool pattern;                       // the last picture shows the window's own pattern
    int prints;
    std::vector<MethodChoice> remembered;
  } rows[] = {
      {"ordinary", Draws::kAlike, L"", {}, {}, CaptureMethod::kStandard, true, 0, {}},
      {"drawn by the GPU", Draws::kGpu, L"", {}, {}, CaptureMethod::kFullContent, true, 3,
       {autoFull}},
      {"Chromium's class", Draws::kAlike, chromium, {}, {}, CaptureMethod::kFullContent, true, 3,
       {}},
      {"GPU class that prints black", Draws::kNoPrint, chromium, {}, {}, CaptureMethod::kStandard,
       true, 1, {autoStandard}},
      {"kept: standard chosen", Draws::kGpu, L"", standard, {}, CaptureMethod::kStandard, false, 0,
       {}},
      {"standard chosen now", Draws::kGpu, L"", {}, CaptureMode::kStandard,
       CaptureMethod::kStandard, false, 0, {standard}},
      {"automatic chosen after standard", Draws::kGpu, L"", standard, CaptureMode::kAutomatic,
       CaptureMethod::kFullContent, true, 3, {autoStandard, autoFull}},
      // Both copies one colour: the other is tried once, not on every capture.
      {"one colour both ways", Draws::kOneColour, L"", {}, {}, CaptureMethod::kStandard, true, 1,
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::atomic<int> prints{0};
    const auto target = MakeWindow(row.draws, row.className, prints);
    FakeMemory memory;
    memory.kept = row.kept;
    tvq::WindowCaptureMethod method;
    method.SetMemory(&memory);
    // As the window source starts it for a window it takes.
    const tvq::WindowCandidate described = tvq::DescribeWindow(target->Handle());
    method.Start(described.className, described.executable);
    if (row.chosen) method.SetMode(*row.chosen);
    CImage picture;
    for (int i = 0; i < 3; ++i) {
      picture.Destroy();
      ASSERT_TRUE(picture.Create(240, 180, 24));
      ASSERT_TRUE(method.Copy(target->Handle(), 240, 180, picture));
    }
    EXPECT_EQ(row.running, method.RunningMethod());
    EXPECT_EQ(row.pattern, tvqtest::PixelAt(picture, 5, 5) == target->ClientColorAt(5, 5) &&
                               tvqtest::PixelAt(picture, 234, 174) ==
                                   target->ClientColorAt(234, 174));
    EXPECT_EQ(row.prints, prints.load());
    EXPECT_EQ(row.remembered, memory.remembered);
  }
}

}  // namespace
