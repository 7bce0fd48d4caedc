#include "manager/capture/CCaptureWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/capture/BoxDriver.h"
#include "tests/capture/ScriptedMessageBox.h"
#include "tests/common/TestWindow.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Pixels24.h"

namespace {

using tvqtest::AskedBox;
using tvqtest::ScriptedMessageBox;
using tvqtest::TestWindow;
using tvqtest::TestWindowOptions;

constexpr const wchar_t* kCaption = L"キャプチャするウインドウの選択";

// Titles unique to this process, so windows of anything else on the desktop are told apart.
std::wstring UniqueTitle(const wchar_t* name) {
  return L"tvq " + std::wstring(name) + L" " + std::to_wstring(GetCurrentProcessId());
}

TestWindowOptions Options(const wchar_t* name, RECT rect = {900, 700, 1140, 880}) {
  TestWindowOptions options;
  options.title = UniqueTitle(name);
  options.rect = rect;
  return options;
}

void BringToTop(const TestWindow& window) {
  SetWindowPos(window.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Yes for the window with this title, No for every other one.
ScriptedMessageBox::Rule YesFor(const std::wstring& title) {
  return [title](const AskedBox& box) { return box.text == title ? IDYES : IDNO; };
}

// A target window under one that stands for the Manager's own window (where the user just pressed
// the key), and a source whose scripted boxes answer Yes for the target only (or by the rule).
struct Scene {
  explicit Scene(const TestWindowOptions& targetOptions = Options(L"target"),
                 ScriptedMessageBox::Rule rule = nullptr)
      : target(std::make_unique<TestWindow>(targetOptions)),
        top(Options(L"top", {100, 100, 300, 260})),
        boxes(rule ? rule : YesFor(targetOptions.title)) {
    BringToTop(*target);
    BringToTop(top);
    source.SetMessageBox(boxes.Fn());
  }

  std::unique_ptr<TestWindow> target;
  TestWindow top;
  ScriptedMessageBox boxes;
  CCaptureWindow source;
};

// Checks that the picture holds the window whole: its outer size, and the client pattern at the
// client area's place inside the frame.
void ExpectWholeWindow(const CImage& picture, const TestWindow& window) {
  RECT outer;
  ASSERT_TRUE(GetWindowRect(window.Handle(), &outer));
  ASSERT_EQ(outer.right - outer.left, picture.Width());
  ASSERT_EQ(outer.bottom - outer.top, picture.Height());
  RECT client;
  GetClientRect(window.Handle(), &client);
  POINT origin = {0, 0};
  ClientToScreen(window.Handle(), &origin);
  const int offsetX = origin.x - outer.left;
  const int offsetY = origin.y - outer.top;
  // The frame and caption come first: the client area does not start at the picture's corner.
  EXPECT_GT(offsetY, 0);
  // Next to every edge of every quadrant, so a copy shifted by even a few pixels shows.
  const int midX = client.right / 2;
  const int midY = client.bottom / 2;
  const int right = client.right;
  const int bottom = client.bottom;
  for (int x : {1, midX - 2, midX + 1, right - 2}) {
    for (int y : {1, midY - 2, midY + 1, bottom - 2}) {
      SCOPED_TRACE(testing::Message() << "client " << x << "," << y);
      EXPECT_EQ(window.ClientColorAt(x, y), tvqtest::PixelAt(picture, offsetX + x, offsetY + y));
    }
  }
}

TEST(WindowChooser, OffersOnlyVisibleNonToolWindowsInZOrderBelowTheTopOne) {
  TestWindow bottom(Options(L"bottom"));
  TestWindowOptions hiddenOptions = Options(L"hidden");
  hiddenOptions.visible = false;
  TestWindow hidden(hiddenOptions);
  TestWindowOptions toolOptions = Options(L"tool");
  toolOptions.exStyle = WS_EX_TOOLWINDOW;
  TestWindow tool(toolOptions);
  TestWindowOptions untitledOptions = Options(L"");
  untitledOptions.title.clear();
  TestWindow untitled(untitledOptions);
  TestWindow middle(Options(L"middle"));
  // Stands for the Manager's own window, where the user just pressed the key.
  TestWindow top(Options(L"top"));
  for (const TestWindow* w : {&bottom, &hidden, &tool, &untitled, &middle, &top}) BringToTop(*w);
  ASSERT_EQ(top.Handle(), GetTopWindow(GetDesktopWindow()));

  ScriptedMessageBox boxes(tvqtest::AlwaysAnswer(IDNO));
  CCaptureWindow source;
  source.SetMessageBox(boxes.Fn());
  EXPECT_FALSE(source.Select());

  std::vector<std::wstring> offered;
  for (const AskedBox& box : boxes.Asked()) {
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION), box.type);
    offered.push_back(box.text);
  }
  const std::vector<std::wstring> ours = {UniqueTitle(L"bottom"), UniqueTitle(L"hidden"),
                                          UniqueTitle(L"tool"), UniqueTitle(L"middle"),
                                          UniqueTitle(L"top")};
  std::vector<std::wstring> oursOffered;
  for (const std::wstring& text : offered) {
    if (std::find(ours.begin(), ours.end(), text) != ours.end()) oursOffered.push_back(text);
  }
  EXPECT_EQ((std::vector<std::wstring>{UniqueTitle(L"middle"), UniqueTitle(L"bottom")}), oursOffered);
  // The visible untitled window is asked about with an empty text, between middle and bottom.
  const auto middleAt = std::find(offered.begin(), offered.end(), UniqueTitle(L"middle"));
  ASSERT_NE(offered.end(), middleAt);
  ASSERT_NE(offered.end(), middleAt + 1);
  EXPECT_EQ(L"", *(middleAt + 1));
  EXPECT_EQ(nullptr, source.Window());
  EXPECT_EQ(nullptr, source.Picture().Bitmap());
}

// The boxes come and go while the user answers them, and the windows' order changes meanwhile
// (a closed box hands the activation on, a program raises its window): every window open at the
// key press is asked about once, in the order it had then, unless it closed meanwhile.
TEST(WindowChooser, AsksAboutTheWindowsOfTheKeyPressOnceEachWhateverTheOrderDoesMeanwhile) {
  using Windows = std::vector<std::unique_ptr<TestWindow>>;
  const struct {
    const char* name;
    size_t during;  // the window whose box is open when it happens
    std::function<void(Windows&)> meanwhile;
    std::vector<size_t> asked;
  } rows[] = {
      {"the asked window sinks to the bottom", 0,
       [](Windows& w) {
         SetWindowPos(w[0]->Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
       },
       {0, 1, 2}},
      {"the last window rises to the top", 0, [](Windows& w) { BringToTop(*w[2]); }, {0, 1, 2}},
      {"the asked window rises to the top", 1, [](Windows& w) { BringToTop(*w[1]); }, {0, 1, 2}},
      {"a window further down closes", 0, [](Windows& w) { w[1]->Close(); }, {0, 2}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Windows windows;
    std::vector<std::wstring> titles;
    for (const wchar_t* name : {L"first", L"second", L"third"}) {
      windows.push_back(std::make_unique<TestWindow>(Options(name)));
      titles.push_back(UniqueTitle(name));
    }
    TestWindow top(Options(L"top"));
    // The X server may hand the focus to the window under the pointer a moment later, which
    // raises it: the order is set again until it holds.
    const auto ordered = [&] {
      for (size_t i = windows.size(); i-- > 0;) BringToTop(*windows[i]);
      BringToTop(top);
      HWND expected = top.Handle();
      for (const auto& window : windows) {
        HWND next = GetWindow(expected, GW_HWNDNEXT);
        while (next != nullptr && next != window->Handle() && !IsWindowVisible(next)) {
          next = GetWindow(next, GW_HWNDNEXT);
        }
        if (next != window->Handle()) return false;
        expected = next;
      }
      return true;
    };
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ASSERT_TRUE(tvqtest::WaitUntil(ordered, 5000));

    std::vector<size_t> asked;
    ScriptedMessageBox boxes([&](const AskedBox& box) {
      const auto at = std::find(titles.begin(), titles.end(), box.text);
      if (at == titles.end()) return IDNO;
      asked.push_back(static_cast<size_t>(at - titles.begin()));
      if (asked.back() == row.during) row.meanwhile(windows);
      return IDNO;
    });
    CCaptureWindow source;
    source.SetMessageBox(boxes.Fn());
    EXPECT_FALSE(source.Select());
    EXPECT_EQ(row.asked, asked);
  }
}

TEST(WindowChooser, CancelEndsTheChoiceAtOnce) {
  TestWindow first(Options(L"first"));
  TestWindow second(Options(L"second"));
  TestWindow top(Options(L"top"));
  for (const TestWindow* w : {&first, &second, &top}) BringToTop(*w);

  ScriptedMessageBox boxes(tvqtest::AlwaysAnswer(IDCANCEL));
  CCaptureWindow source;
  source.SetMessageBox(boxes.Fn());
  EXPECT_FALSE(source.Select());
  EXPECT_EQ(1u, boxes.Asked().size());
  EXPECT_EQ(nullptr, source.Window());
}

TEST(WindowChooser, YesCapturesTheWholeWindowAtItsOuterSize) {
  Scene scene;
  const TestWindow& target = *scene.target;
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(target.WaitUntilShown());
  ASSERT_TRUE(source.Select());
  EXPECT_EQ(target.Handle(), source.Window());
  EXPECT_EQ(target.Options().title, source.Title());
  EXPECT_EQ(target.Options().title, source.SectionName());
  EXPECT_EQ(240, source.Picture().Width());
  EXPECT_EQ(180, source.Picture().Height());
  EXPECT_EQ(24, source.Picture().BitsPerPixel());

  ASSERT_TRUE(source.Capture());
  ExpectWholeWindow(source.Picture(), target);
}

TEST(WindowCapture, FollowsAResizeAtTheNextCapture) {
  Scene scene;
  const TestWindow& target = *scene.target;
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(source.Select());

  SetWindowPos(target.Handle(), nullptr, 0, 0, 300, 220, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(target.WaitUntilShown());
  ASSERT_TRUE(source.Capture());
  EXPECT_EQ(300, source.Picture().Width());
  EXPECT_EQ(220, source.Picture().Height());
  ExpectWholeWindow(source.Picture(), target);
}

TEST(WindowCapture, ClosedWindowFreezesThePictureAndCaptureFails) {
  Scene scene;
  std::unique_ptr<TestWindow>& target = scene.target;
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(target->WaitUntilShown());
  ASSERT_TRUE(source.Select());
  ASSERT_TRUE(source.Capture());
  const HBITMAP before = source.Picture().Bitmap();
  const COLORREF pixel = tvqtest::PixelAt(source.Picture(), 120, 120);
  const std::wstring title = target->Options().title;

  target.reset();
  EXPECT_FALSE(source.Capture());
  EXPECT_EQ(before, source.Picture().Bitmap());
  EXPECT_EQ(pixel, tvqtest::PixelAt(source.Picture(), 120, 120));
  EXPECT_EQ(title, source.Title());
}

TEST(WindowCapture, RetitledWindowReportsItsNewTitle) {
  Scene scene;
  const TestWindow& target = *scene.target;
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(source.Select());

  const std::wstring renamed = UniqueTitle(L"renamed ウインドウ");
  SetWindowTextW(target.Handle(), renamed.c_str());
  ASSERT_TRUE(source.Capture());
  EXPECT_EQ(renamed, source.Title());
  EXPECT_EQ(renamed, source.SectionName());
  EXPECT_EQ(renamed, source.DisplayName());
}

TEST(WindowCapture, LongTitlesAreCutToTheField) {
  TestWindowOptions options = Options(L"long");
  options.title = std::wstring(1500, L'x');
  Scene scene(options, YesFor(std::wstring(1023, L'x')));
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(source.Select());
  EXPECT_EQ(std::wstring(1023, L'x'), source.Title());
}

TEST(WindowChooser, ASecondSelectWhileOneWaitsDoesNotStart) {
  Scene scene;  // its own source and boxes stay unused
  const TestWindow& target = *scene.target;

  CCaptureWindow source;
  bool nestedResult = true;
  size_t boxesBeforeNested = 0;
  std::shared_ptr<ScriptedMessageBox> boxes;
  boxes = std::make_shared<ScriptedMessageBox>([&](const AskedBox& box) {
    if (box.text != target.Options().title) return IDNO;
    // The user presses the key again while this box is open.
    boxesBeforeNested = boxes->Asked().size();
    EXPECT_TRUE(source.IsSelecting());
    nestedResult = source.Select();
    EXPECT_EQ(boxesBeforeNested, boxes->Asked().size());
    return IDYES;
  });
  source.SetMessageBox(boxes->Fn());
  ASSERT_TRUE(source.Select());
  EXPECT_FALSE(nestedResult);
  EXPECT_FALSE(source.IsSelecting());
  EXPECT_EQ(target.Handle(), source.Window());
  EXPECT_NE(nullptr, source.Picture().Bitmap());
}

// The production path: real boxes without owner, answered by pressing their buttons.
TEST(WindowChooser, RealBoxesAskWithYesNoCancelAndYesChooses) {
  Scene scene;  // its own source and boxes stay unused
  const TestWindow& target = *scene.target;

  const std::wstring title = target.Options().title;
  tvqtest::BoxDriver driver(kCaption, [&](const tvqtest::SeenBox& box) {
    return box.text == title ? IDYES : IDNO;
  });
  CCaptureWindow source;
  ASSERT_TRUE(source.Select());
  EXPECT_EQ(target.Handle(), source.Window());
  const std::vector<tvqtest::SeenBox> seen = driver.Seen();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(title, seen.back().text);
  for (const tvqtest::SeenBox& box : seen) {
    EXPECT_TRUE(box.hasYes && box.hasNo && box.hasCancel);
    EXPECT_FALSE(box.hasOk);
  }
}

TEST(WindowChooser, RealBoxCancelGivesFalse) {
  Scene scene;  // its own source and boxes stay unused
  tvqtest::BoxDriver driver(kCaption, [](const tvqtest::SeenBox&) { return IDCANCEL; });
  CCaptureWindow source;
  EXPECT_FALSE(source.Select());
  EXPECT_EQ(1u, driver.Seen().size());
  EXPECT_EQ(nullptr, source.Window());
}

TEST(WindowSource, MovingKeepsTheChosenWindowAndPicture) {
  Scene scene;
  const TestWindow& target = *scene.target;
  CCaptureWindow& source = scene.source;
  ASSERT_TRUE(source.Select());
  const HBITMAP bitmap = source.Picture().Bitmap();

  std::vector<CCaptureWindow> grown;
  grown.push_back(std::move(source));
  grown.resize(40);
  EXPECT_EQ(target.Handle(), grown[0].Window());
  EXPECT_EQ(target.Options().title, grown[0].Title());
  EXPECT_EQ(bitmap, grown[0].Picture().Bitmap());
  EXPECT_TRUE(grown[0].Capture());
  EXPECT_EQ(nullptr, grown[39].Window());
}

}  // namespace
