// The slots, compositing tick, keys and status text as the Manager's window drives them: key and
// timer messages go through the real window procedure of an in-process CManagerApp.
#include "manager/app/CManagerApp.h"
#include "manager/app/CPreviewGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "channel/ChannelNames.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "tests/common/TestWindow.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/TempDir.h"
#include "tests/common/Pixels24.h"
#include "tests/common/PrivateRegistry.h"
#include "tests/capture/FakeVideoDevice.h"
#include "tests/capture/RegisteredFilter.h"
#include "tests/composition/MenuDriver.h"
#include "filter/FilterIdentity.h"

namespace {

using tvqtest::PixelAt;

using tvqtest::TempDir;

constexpr COLORREF kTargetColor = RGB(200, 40, 90);
const wchar_t kTargetTitle[] = L"TVQ wiring target";

HWND MakeTarget() {
  return tvqtest::MakeWindowHere(
      tvqtest::SolidWindow(kTargetTitle, WS_POPUP | WS_VISIBLE, {20, 20, 100, 80}, kTargetColor));
}

// Ctrl as the keyboard state of this thread reports it to GetKeyState.
void HoldCtrl(bool down) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = down ? 0x80 : 0;
  SetKeyboardState(state);
}

bool TimerFires(HWND window, UINT_PTR id, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      if (msg.wParam == id) return true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_TIMER);
  }
  return false;
}

class ManagerWiring : public testing::Test {
 protected:
  void SetUp() override {
    tvqtest::WriteTextFile(folder.File(L"Tessavue.ini"),
                           "[Video]\r\nWidth=64\r\nHeight=48\r\nFramePerSecond=15\r\n");
    // The target exists first: the window chooser skips the window on top, the Manager's.
    target = MakeTarget();
    ASSERT_NE(nullptr, target);
    ASSERT_TRUE(app.CreateMainWindow(SW_SHOW));
    window = app.Window();
    app.Slots().WindowSource(0).SetMessageBox([](const wchar_t* text, const wchar_t*, UINT) {
      return std::wstring(text) == kTargetTitle ? IDYES : IDNO;
    });
    // Nothing published by an earlier case: the channel starts as zeros for this Manager.
    BITMAPINFOHEADER none = {};
    app.FormatChannel().Write(&none, sizeof(none), INFINITE);
    std::int64_t interval = 0;
    app.IntervalChannel().Write(&interval, sizeof(interval), INFINITE);
  }

  void TearDown() override {
    HoldCtrl(false);
    if (IsWindow(window)) DestroyWindow(window);
    DestroyWindow(target);
  }

  void Key(UINT key, int times = 1) {
    for (int i = 0; i < times; ++i) {
      SendMessageW(window, WM_KEYDOWN, key, 0);
      SendMessageW(window, WM_KEYUP, key, 0);
    }
  }

  void Timer(UINT_PTR id) { SendMessageW(window, WM_TIMER, id, 0); }

  // One capture of slot 1 and one compositing tick.
  void CaptureAndCompose() {
    Timer(tvq::CaptureTimerId(0));
    Timer(tvq::kCompositingTimerId);
  }

  std::wstring Painted() {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    return app.StatusText().ToString();
  }

  TempDir folder;
  // No filter reads this channel: names of its own keep it away from a Manager that runs.
  CManagerApp app{GetModuleHandleW(nullptr), folder.File(L"TessavueManager.exe"), L"TVQTest "};
  HWND window = nullptr;
  HWND target = nullptr;
};

TEST_F(ManagerWiring, WFillsTheSelectedSlotAndTheTickDrawsIt) {
  Key('W');
  ASSERT_EQ(tvq::kWindowSlot, app.Slots().Kind(0));
  EXPECT_TRUE(TimerFires(window, tvq::CaptureTimerId(0), 2000));
  CaptureAndCompose();
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 32, 24));
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 1, 1));
  const std::wstring text = Painted();
  EXPECT_NE(std::wstring::npos,
            text.find(L"64×48（15.00fps）\n----\n【入力映像】\n◆  1. TVQ wiring target\n"
                      L"　　　《入力中／Dev(Window)／Pos(x:0,y:0)／Size(w:64/h:48)／"
                      L"Trim(l:0,t:0,r:0,b:0)／Fps(5.0)／方式(自動：標準)》\n　  2. （未設定）\n"))
      << text.size();
}

TEST_F(ManagerWiring, SpacePausesAndBlanksAndRBlanks) {
  Key('W');
  CaptureAndCompose();
  ASSERT_EQ(kTargetColor, PixelAt(app.Canvas(), 32, 24));
  Key(VK_SPACE);
  EXPECT_FALSE(app.Slots().IsActive(0));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(app.Canvas(), 32, 24));
  CaptureAndCompose();
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(app.Canvas(), 32, 24));
  EXPECT_NE(std::wstring::npos, Painted().find(L"《停止中／"));
  Key(VK_SPACE);
  CaptureAndCompose();
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 32, 24));
  Key('R');
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(app.Canvas(), 32, 24));
}

TEST_F(ManagerWiring, MenuKeysPlaceTheSlotWithCtrlForFineSteps) {
  Key('W');
  Key(VK_RETURN, 2);  // menu, "move"
  Key(VK_RIGHT, 10);  // Pos_x 0.5
  HoldCtrl(true);
  Key(VK_DOWN, 10);  // Pos_y 0.05 in fine steps
  HoldCtrl(false);
  EXPECT_NEAR(0.5, app.Slots().Placement(0).Pos_x, 1e-12);
  EXPECT_NEAR(0.05, app.Slots().Placement(0).Pos_y, 1e-12);
  CaptureAndCompose();
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(app.Canvas(), 20, 24));
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 40, 24));
  EXPECT_NE(std::wstring::npos, Painted().find(L"◇  1. TVQ wiring target\n"));
  // Ten steps of 0.05 add up to 0.49999999999999994, and pixels are truncated: x 31, not 32.
  EXPECT_NE(std::wstring::npos, app.StatusText().ToString().find(L"Pos(x:31,y:2)"));
  EXPECT_NE(std::wstring::npos, app.StatusText().ToString().find(L"├◇移動\n"));
}

TEST_F(ManagerWiring, ARateKeyedDownBelowZeroKeepsTheCaptureTimerRunning) {
  Key('W');
  Key(VK_RETURN);
  Key(VK_UP);  // the capture rate row
  Key(VK_RETURN);
  Key(VK_DOWN, 6);  // 5 per second down to -1
  EXPECT_EQ(-1.0, app.Slots().Placement(0).CapturePerSecond);
  EXPECT_EQ(200u, app.Slots().CaptureIntervalMs(0));
  EXPECT_TRUE(TimerFires(window, tvq::CaptureTimerId(0), 2000));
  EXPECT_NE(std::wstring::npos, Painted().find(L"Fps(-1.0)／方式(自動：標準)》"));
}

TEST_F(ManagerWiring, TheCanvasFollowsThePublishedFormatAndRate) {
  Key('W');
  BITMAPINFOHEADER header = tvqtest::BitmapHeader(32, 24, 24);
  ASSERT_TRUE(app.FormatChannel().Write(&header, sizeof(header), INFINITE));
  std::int64_t interval = 333333;
  ASSERT_TRUE(app.IntervalChannel().Write(&interval, sizeof(interval), INFINITE));
  ValidateRect(window, nullptr);
  CaptureAndCompose();
  EXPECT_EQ(32, app.Canvas().Width());
  EXPECT_EQ(24, app.Canvas().Height());
  EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "a new size repaints the window";
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 31, 23));
  EXPECT_NE(std::wstring::npos, Painted().find(L"32×24（30.00fps）\n"));

  // A header no filter could write (larger than configured, top-down) changes nothing.
  header.biWidth = 640;
  header.biHeight = 480;
  ASSERT_TRUE(app.FormatChannel().Write(&header, sizeof(header), INFINITE));
  Timer(tvq::kCompositingTimerId);
  EXPECT_EQ(32, app.Canvas().Width());
  header.biWidth = 16;
  header.biHeight = -12;
  ASSERT_TRUE(app.FormatChannel().Write(&header, sizeof(header), INFINITE));
  Timer(tvq::kCompositingTimerId);
  EXPECT_EQ(24, app.Canvas().Height());
}

TEST_F(ManagerWiring, DeleteAndClosingTheWindowSaveTheOccupiedSlots) {
  Key('W');
  Key(VK_RETURN, 2);
  Key(VK_RIGHT, 3);
  Key(VK_BACK);
  EXPECT_EQ(tvq::kWindowSlot, app.Slots().Kind(0)) << "Delete is refused while the menu is open";
  Key(VK_DELETE);
  EXPECT_EQ(tvq::kWindowSlot, app.Slots().Kind(0));
  Key(VK_BACK);
  Key(VK_DELETE);
  EXPECT_EQ(tvq::kEmptySlot, app.Slots().Kind(0));
  const std::wstring windowFile = folder.File(tvq::kWindowFileName);
  EXPECT_EQ(L"0.1500000000000000",
            tvq::FormatDecimal(tvq::ReadDecimal(windowFile, kTargetTitle, L"Pos_x", -1)));

  // The desktop in slot 3; closing the window saves it, empty slots write nothing.
  Key(VK_DOWN, 2);
  Key('D');
  ASSERT_EQ(tvq::kDesktopSlot, app.Slots().Kind(2));
  app.Slots().Placement(2).Width = 0.25;
  DestroyWindow(window);
  EXPECT_EQ(tvq::kEmptySlot, app.Slots().Kind(2));
  EXPECT_EQ(0.25, tvq::ReadDecimal(folder.File(tvq::kDesktopFileName), L"Desktop", L"Width", -1));
  EXPECT_FALSE(tvqtest::FileExists(folder.File(tvq::kCameraFileName)));
}

// While the window is minimized the slot shows its last picture (not the caption's remnant, not
// black); once restored, the live window.
TEST_F(ManagerWiring, AMinimizedWindowKeepsTheLastPictureUntilRestored) {
  Key('W');
  CaptureAndCompose();
  ASSERT_EQ(kTargetColor, PixelAt(app.Canvas(), 32, 24));
  ShowWindow(target, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(target));
  tvqtest::RepaintSolid(target, RGB(30, 200, 90));
  CaptureAndCompose();
  EXPECT_EQ(80, app.Slots().Picture(0)->Width());
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 32, 24));
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 1, 46));
  ShowWindow(target, SW_RESTORE);
  UpdateWindow(target);
  CaptureAndCompose();
  EXPECT_EQ(RGB(30, 200, 90), PixelAt(app.Canvas(), 32, 24));
}

// A window that paints black into its own device context and its content only when asked to
// print itself, as a window drawn by the GPU: its slot shows the content within a second of the
// fill, and the next start takes it with the method that worked.
TEST_F(ManagerWiring, AWindowDrawnByTheGpuShowsItsContentAndTheNextStartKeepsTheMethod) {
  tvqtest::TestWindowOptions options;
  options.title = L"TVQ drawn by the GPU";
  options.style = WS_POPUP;
  options.rect = {1000, 820, 1160, 940};
  tvqtest::TestWindow gpuWindow(tvqtest::DrawnByGpu(options));
  const ULONGLONG filled = GetTickCount64();
  ASSERT_TRUE(app.FillSlotWithWindow(0, gpuWindow.Handle()));
  // The real timers: the slot's first capture and a compositing tick after it.
  EXPECT_TRUE(tvqtest::WaitUntil([&] {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return PixelAt(app.Canvas(), 16, 12) == options.quadrants[0] &&
           PixelAt(app.Canvas(), 48, 36) == options.quadrants[3];
  }, 5000));
  EXPECT_LT(GetTickCount64() - filled, 1000u);
  EXPECT_NE(std::wstring::npos, Painted().find(L"／方式(自動：全内容描画)》"));

  DestroyWindow(window);
  CManagerApp second{GetModuleHandleW(nullptr), folder.File(L"TessavueManager.exe"), L"TVQTest "};
  ASSERT_TRUE(second.CreateMainWindow(SW_SHOW));
  ASSERT_TRUE(second.FillSlotWithWindow(0, gpuWindow.Handle()));
  // Before its first capture.
  RedrawWindow(second.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_NE(std::wstring::npos,
            second.StatusText().ToString().find(L"／方式(自動：全内容描画)》"));
}

// Real mouse input through the input queue, as the user's hand gives it: the pointer moves in
// screen coordinates and the Manager's window gets what lies under it, or what it captured.
class ManagerMouse : public ManagerWiring {
 protected:
  void SetUp() override {
    ManagerWiring::SetUp();
    if (HasFatalFailure()) return;
    // Clear of the target window, which lies at the top left of the screen.
    SetWindowPos(window, HWND_TOP, 200, 150, 800, 600, SWP_SHOWWINDOW);
    ASSERT_TRUE(tvqtest::WaitUntil([&] {
      SetForegroundWindow(window);
      Pump();
      return GetForegroundWindow() == window;
    }, 5000));
    Key('W');
  }
  void TearDown() override {
    Input(VK_SHIFT, KEYEVENTF_KEYUP);
    Input(0, MOUSEEVENTF_LEFTUP);
    ManagerWiring::TearDown();
  }

  // A key (key != 0) or a mouse event, then what it queued is handled.
  void Input(WORD key, DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = key != 0 ? INPUT_KEYBOARD : INPUT_MOUSE;
    if (key != 0) input.ki = KEYBDINPUT{key, 0, flags, 0, 0};
    else input.mi = MOUSEINPUT{dx, dy, 0, flags, 0, 0};
    SendInput(1, &input, sizeof(input));
    Pump();
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

  // An absolute move to a point of the client area; true once the pointer is there.
  bool MoveTo(POINT at) {
    ClientToScreen(window, &at);
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    // Rounded up, so that scaling back down lands on the pixel itself.
    Input(0, MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (at.x * 65536 + width - 1) / width,
          (at.y * 65536 + height - 1) / height);
    return tvqtest::WaitUntil([&] {
      Pump();
      POINT now{};
      return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
    }, 2000);
  }
  void Click(POINT at) {
    ASSERT_TRUE(MoveTo(at));
    Input(0, MOUSEEVENTF_LEFTDOWN);
    Input(0, MOUSEEVENTF_LEFTUP);
  }

  // Press at from, four moves to to, release there.
  void Drag(POINT from, POINT to, bool shift = false, bool escape = false) {
    ASSERT_TRUE(MoveTo(from));
    if (shift) Input(VK_SHIFT, 0);
    Input(0, MOUSEEVENTF_LEFTDOWN);
    ASSERT_EQ(window, GetCapture()) << "a press on a slot captures the mouse";
    for (LONG step = 1; step <= 4; ++step) {
      ASSERT_TRUE(
          MoveTo({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4}));
    }
    if (escape) Input(VK_ESCAPE, 0);
    // Wine takes the modifiers of a pointer move from the X server, which never saw this Shift:
    // it is pressed again for the release, whose state decides the final placement.
    if (shift) Input(VK_SHIFT, 0);
    Input(0, MOUSEEVENTF_LEFTUP);
    Input(VK_SHIFT, KEYEVENTF_KEYUP);
    EXPECT_EQ(nullptr, GetCapture());
  }

  CPreviewGeometry Geometry() {
    RECT client{};
    GetClientRect(window, &client);
    return CPreviewGeometry(client, app.Canvas().Width(), app.Canvas().Height());
  }
  // The point of the preview at these fractions of the canvas.
  POINT InPreview(double x, double y) {
    const RECT preview = Geometry().Preview();
    return {preview.left + static_cast<LONG>(x * (preview.right - preview.left)),
            preview.top + static_cast<LONG>(y * (preview.bottom - preview.top))};
  }
  void Place(int slot, double x, double y, double width, double height) {
    SCIInfo& info = app.Slots().Placement(slot);
    info.Pos_x = x;
    info.Pos_y = y;
    info.Width = width;
    info.Height = height;
  }
  COLORREF OnScreen(POINT at) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    const COLORREF color = GetPixel(dc, at.x, at.y);
    ReleaseDC(window, dc);
    return color;
  }
  std::vector<BYTE> Published() {
    app.Compositor()->MarkChanged();
    Timer(tvq::kCompositingTimerId);
    std::vector<BYTE> frame(app.PixelChannel().Size());
    EXPECT_TRUE(app.PixelChannel().Read(frame.data(), static_cast<int>(frame.size()), INFINITE));
    return frame;
  }
};

// From (0.25, 0.25, 0.5, 0.5), by fractions of the preview, that is of the canvas; the results
// may differ by one preview pixel from the pointer's exact fractions.
TEST_F(ManagerMouse, DragsMoveAndResizeTheSlotAsThePointerGoes) {
  const struct {
    const char* name;
    double grabX, grabY, byX, byY;  // 0.745 is inside the bottom-right corner's margin
    bool shift, escape;
    double x, y, width, height;
  } cases[] = {
      {"move", 0.5, 0.5, 0.25, 0.25, false, false, 0.5, 0.5, 0.5, 0.5},
      {"move beyond the window", 0.5, 0.5, 0.75, -0.25, false, false, 1.0, 0.0, 0.5, 0.5},
      {"bottom-right corner", 0.745, 0.745, 0.125, 0.25, false, false, 0.25, 0.25, 0.625, 0.75},
      {"top-left corner", 0.252, 0.252, -0.125, 0.125, false, false, 0.125, 0.375, 0.625, 0.375},
      {"shift keeps proportions", 0.745, 0.745, 0.25, 0.05, true, false, 0.25, 0.25, 0.75, 0.75},
      {"escape puts it back", 0.5, 0.5, 0.25, 0.25, false, true, 0.25, 0.25, 0.5, 0.5},
  };
  const double pixel = Geometry().DeltaX(1) + Geometry().DeltaY(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Place(0, 0.25, 0.25, 0.5, 0.5);
    Drag(InPreview(c.grabX, c.grabY), InPreview(c.grabX + c.byX, c.grabY + c.byY), c.shift,
         c.escape);
    const SCIInfo& info = app.Slots().Placement(0);
    EXPECT_NEAR(c.x, info.Pos_x, pixel);
    EXPECT_NEAR(c.y, info.Pos_y, pixel);
    EXPECT_NEAR(c.width, info.Width, pixel);
    EXPECT_NEAR(c.height, info.Height, pixel);
    EXPECT_TRUE(!c.shift || info.Width == info.Height);
    EXPECT_TRUE(!c.escape || info.Pos_x == 0.25);
  }
  EXPECT_NE(std::wstring::npos, Painted().find(L"Pos(x:16,y:12)／Size(w:32/h:24)"));

  // A window that takes the capture ends the drag: hovering afterwards moves nothing.
  ASSERT_TRUE(MoveTo(InPreview(0.5, 0.5)));
  Input(0, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(MoveTo(InPreview(0.6, 0.5)));
  SetCapture(target);
  Input(0, MOUSEEVENTF_LEFTUP);
  ReleaseCapture();
  ASSERT_TRUE(MoveTo(InPreview(0.9, 0.9)));
  EXPECT_NEAR(0.35, app.Slots().Placement(0).Pos_x, pixel);
  EXPECT_EQ(0.25, app.Slots().Placement(0).Pos_y);
}

TEST_F(ManagerMouse, AClickSelectsTheTopmostSlotUnderThePointerOrItsStatusLine) {
  Key(VK_DOWN);
  Key('D');  // slot 2 above slot 1
  Place(0, 0, 0, 0.5, 0.5);
  Place(1, 0.25, 0.25, 0.5, 0.5);
  Key(VK_DOWN, 2);
  const std::wstring text = Painted();
  TEXTMETRICW metrics{};
  HDC dc = GetDC(window);
  GetTextMetricsW(dc, &metrics);
  ReleaseDC(window, dc);
  const LONG line = std::count(text.begin(), text.begin() + text.find(L"  3. "), L'\n');
  const struct {
    const char* name;
    POINT at;
    int selected;
  } cases[] = {
      {"where only slot 1 lies", InPreview(0.1, 0.1), 0},
      {"where both lie", InPreview(0.4, 0.4), 1},
      {"where no slot is", InPreview(0.9, 0.9), 1},
      {"on slot 3's line", {20, line * metrics.tmHeight + metrics.tmHeight / 2}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Click(c.at);
    EXPECT_EQ(c.selected, app.Keys().SelectedSlot());
  }
  // With slot 3's menu open the selection stays, but that slot can be moved.
  Key('D');
  Key(VK_RETURN);
  Place(2, 0.8, 0.8, 0.1, 0.1);
  Click(InPreview(0.4, 0.4));
  EXPECT_EQ(2, app.Keys().SelectedSlot());
  Drag(InPreview(0.85, 0.85), InPreview(0.6, 0.85));
  EXPECT_NEAR(0.55, app.Slots().Placement(2).Pos_x, 2 * Geometry().DeltaX(1));
  EXPECT_EQ(0.25, app.Slots().Placement(1).Pos_x);
}

// The outline is the window's only: the channel's frame is the same byte for byte.
TEST_F(ManagerMouse, TheSelectionsOutlineNeverReachesThePublishedFrame) {
  constexpr COLORREF kOutlineColor = RGB(255, 160, 0);
  Place(0, 0.25, 0.25, 0.5, 0.5);
  Key(VK_DOWN);  // an empty slot selected: nothing outlined
  CaptureAndCompose();
  const RECT slot = Geometry().SlotRect(app.Slots().Placement(0));
  const POINT edge{slot.left, (slot.top + slot.bottom) / 2};
  EXPECT_NE(kOutlineColor, OnScreen(edge));
  const std::vector<BYTE> unselected = Published();

  Click(InPreview(0.5, 0.5));
  ASSERT_EQ(0, app.Keys().SelectedSlot());
  EXPECT_EQ(kOutlineColor, OnScreen(edge));
  EXPECT_EQ(kTargetColor, OnScreen(POINT{slot.left + 6, edge.y}));
  EXPECT_TRUE(unselected == Published());
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 16, 24));
}

// A slot's menu opened and walked with real input. Our filter is listed as a camera under a test
// name, a real source; an entry named as our own camera is listed too, which the menu leaves out.
class ManagerMenu : public ManagerMouse {
 protected:
  using Entry = tvqtest::MenuDriver::Entry;

  void SetUp() override {
    TVQ_SKIP_UNLESS_REAL_REGISTRY_ALLOWED();
    ManagerMouse::SetUp();
  }

  // Walks path once a right click at a client point (or, without one, Shift+F10) opened the menu.
  bool Walk(std::optional<POINT> at, std::vector<std::wstring> path,
            std::function<void()> beforePick = {}) {
    tvqtest::MenuDriver driver(std::move(path), std::move(beforePick));
    if (at) {
      EXPECT_TRUE(MoveTo(*at));
      Input(0, MOUSEEVENTF_RIGHTDOWN);
      Input(0, MOUSEEVENTF_RIGHTUP);
    } else {
      Input(VK_SHIFT, 0);
      Input(VK_F10, 0);
      Input(VK_F10, KEYEVENTF_KEYUP);
      Input(VK_SHIFT, KEYEVENTF_KEYUP);
    }
    const bool walked = driver.Finished();
    seen = driver.Seen();
    return walked;
  }

  static std::vector<std::wstring> Texts(const std::vector<Entry>& entries) {
    std::vector<std::wstring> texts;
    for (const Entry& entry : entries) texts.push_back(entry.text);
    return texts;
  }

  int LineHeight() {
    TEXTMETRICW metrics{};
    HDC dc = GetDC(window);
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
  }
  // The line of the slot's entry in the status text as last painted.
  int LineOf(int slot) {
    const std::wstring text = app.StatusText().ToString();
    const std::wstring head = std::to_wstring(slot + 1) + L". ";
    return static_cast<int>(std::count(text.begin(), text.begin() + text.find(head), L'\n'));
  }
  POINT StatusLineOf(int slot) {
    Painted();
    return {20, LineOf(slot) * LineHeight() + LineHeight() / 2};
  }
  // The pixels the window shows on one line of the status text, left half.
  std::vector<BYTE> ShownLine(int line) {
    RECT client{};
    GetClientRect(window, &client);
    CImage copy;
    copy.Create(client.right / 2, LineHeight(), 24);
    HDC dc = GetDC(window);
    BitBlt(copy.BorrowDC(), 0, 0, copy.Width(), copy.Height(), dc, 0, line * LineHeight(), SRCCOPY);
    copy.ReturnDC();
    ReleaseDC(window, dc);
    return std::vector<BYTE>(copy.LowestAddress(), copy.LowestAddress() + copy.BufferBytes());
  }

  bool ShowsTheTestCamera(int slot) {
    return tvqtest::WaitUntil([&] {
      Timer(tvq::CaptureTimerId(slot));
      app.Compositor()->MarkChanged();
      Timer(tvq::kCompositingTimerId);
      return PixelAt(app.Canvas(), 8, 6) == kQuadrants[0] &&
             PixelAt(app.Canvas(), 56, 42) == kQuadrants[3];
    }, 10000);
  }

  static constexpr const wchar_t* kTestCamera = L"TVQ test camera";
  static constexpr COLORREF kQuadrants[4] = {RGB(230, 30, 30), RGB(30, 220, 40), RGB(20, 40, 230),
                                             RGB(240, 220, 10)};
  std::vector<std::vector<Entry>> seen;
  // The Manager records its own settings file for the filter, which then delivers its size.
  tvqtest::RegisteredFilter filter{64, 48, 15};
  // Registered again under the filter's class: the entry keeps its server, with another name.
  tvqtest::FakeVideoDevice testCamera{tvq::CLSID_TessavueFilter, kTestCamera};
  tvqtest::FakeVideoDevice ownCamera{tvqtest::kFakeDeviceA, L"Tessavue Filter"};
  tvqtest::PublishedFrame frame{tvqtest::QuadrantFrame(64, 48, kQuadrants)};
};

TEST_F(ManagerMenu, PicksFromAnEmptySlotsListsFillItWithoutAskingAsTheKeysWould) {
  // Slot 1's window leaves a placement behind for the window picked from the list.
  Place(0, 0.5, 0.5, 0.5, 0.5);
  Key(VK_DELETE);
  const struct {
    const char* name;
    int slot;
    bool onStatusLine;
    std::vector<std::wstring> path;
    int kind;
    std::wstring source;
  } cases[] = {
      {"a window, on the status line", 1, true, {L"ウインドウ", kTargetTitle}, tvq::kWindowSlot,
       kTargetTitle},
      {"the desktop, in the preview", 2, false, {L"デスクトップ"}, tvq::kDesktopSlot, L""},
      {"the test camera, on the status line", 3, true, {L"カメラ", kTestCamera},
       tvq::kCameraSlot, kTestCamera},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.onStatusLine) {
      while (app.Keys().SelectedSlot() != c.slot) Key(VK_DOWN);
    }
    // Slot 2's picture takes the preview's bottom-right quarter only.
    const POINT at = c.onStatusLine ? StatusLineOf(c.slot) : InPreview(0.1, 0.1);
    ASSERT_TRUE(Walk(at, c.path));
    EXPECT_EQ(c.slot, app.Keys().SelectedSlot());
    ASSERT_EQ(c.kind, app.Slots().Kind(c.slot));
    EXPECT_TRUE(app.Slots().IsActive(c.slot));
    EXPECT_EQ(c.source, app.Slots().SourceName(c.slot));
    // The scenes follow every slot's own entries.
    EXPECT_EQ((std::vector<std::wstring>{L"カメラ", L"ウインドウ", L"デスクトップ", L"画像...",
                                         L"テキスト...", L"", L"シーン"}),
              Texts(seen[0]));
  }
  // The window took the placement it was saved with, and the frame shows it there once the
  // desktop and the camera above it are paused.
  EXPECT_EQ(0.5, app.Slots().Placement(1).Pos_x);
  Timer(tvq::CaptureTimerId(1));
  app.Slots().SetActive(2, false);
  app.Slots().SetActive(3, false);
  // A real tick may already have drawn the camera there, and a pause leaves the canvas as it is:
  // R blanks it, and the tick draws only what is active.
  Key('R');
  Timer(tvq::kCompositingTimerId);
  EXPECT_EQ(kTargetColor, PixelAt(app.Canvas(), 48, 36));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(app.Canvas(), 16, 12));
  app.Slots().SetActive(3, true);
  EXPECT_TRUE(ShowsTheTestCamera(3));
  // Our own camera is never offered, nor the Manager's own window.
  EXPECT_EQ(std::vector<std::wstring>{kTestCamera}, Texts(seen[1]));
  EXPECT_NE(std::wstring::npos, Painted().find(L"◆  4. TVQ test camera\n"));
}

TEST_F(ManagerMenu, AnOccupiedSlotsMenuDoesWhatItsKeysDo) {
  const std::vector<std::wstring> rows = {
      L"映像の一時停止\tSPACE", L"キャプチャ方式", L"", L"移動", L"サイズ", L"トリム（上左）",
      L"トリム（下右）", L"キャプチャレート", L"", L"映像のリフレッシュ\tR", L""};
  // Esc closes the menu and changes nothing.
  ASSERT_TRUE(Walk(std::nullopt, {L""}));
  std::vector<std::wstring> expected = rows;
  expected.insert(expected.end(), {L"映像入力の削除\tDELETE", L"", L"シーン"});
  EXPECT_EQ(expected, Texts(seen[0]));
  EXPECT_TRUE(app.Slots().IsActive(0));
  EXPECT_EQ(CSlotKeys::Mode::Browsing, app.Keys().CurrentMode());

  ASSERT_TRUE(Walk(std::nullopt, {L"映像の一時停止"}));
  EXPECT_FALSE(app.Slots().IsActive(0));
  ASSERT_TRUE(Walk(InPreview(0.5, 0.5), {L"入力再開"}));
  EXPECT_TRUE(app.Slots().IsActive(0));

  // An editing row, then the context-menu key: the row is checked and Delete refused.
  ASSERT_TRUE(Walk(InPreview(0.5, 0.5), {L"サイズ"}));
  EXPECT_EQ(2, app.Keys().EditField());
  tvqtest::MenuDriver driver({L"メニューを閉じる"});
  Input(VK_APPS, 0);
  Input(VK_APPS, KEYEVENTF_KEYUP);
  ASSERT_TRUE(driver.Finished());
  // The scenes' separator and submenu follow the slot's own entries.
  ASSERT_EQ(15u, driver.Seen()[0].size());
  EXPECT_TRUE(driver.Seen()[0][4].checked);
  EXPECT_EQ(L"メニューを閉じる\tBACKSPACE", driver.Seen()[0][11].text);
  EXPECT_EQ(L"映像入力の削除\tDELETE", driver.Seen()[0][12].text);
  EXPECT_TRUE(driver.Seen()[0][12].greyed);
  EXPECT_EQ(CSlotKeys::Mode::Browsing, app.Keys().CurrentMode());

  // The window's copying methods, the chosen one checked; a pick runs from the next capture.
  ASSERT_TRUE(Walk(InPreview(0.5, 0.5), {L"キャプチャ方式", L"全内容描画"}));
  EXPECT_EQ((std::vector<std::wstring>{L"自動", L"標準", L"全内容描画"}), Texts(seen[1]));
  EXPECT_TRUE(seen[1][0].checked);
  EXPECT_EQ(tvq::CaptureMode::kFullContent, app.Slots().WindowSource(0).Mode());
  EXPECT_NE(std::wstring::npos, Painted().find(L"Fps(5.0)／方式(全内容描画)》"));

  ASSERT_TRUE(Walk(InPreview(0.5, 0.5), {L"映像入力の削除"}));
  EXPECT_EQ(tvq::kEmptySlot, app.Slots().Kind(0));
}

TEST_F(ManagerMenu, AWindowClosedWhileTheMenuWasOpenFillsNothingAndTheTextSaysSo) {
  tvqtest::TestWindowOptions options;
  options.title = L"TVQ short-lived";
  options.rect = {40, 700, 200, 800};
  tvqtest::TestWindow shortLived(options);
  ASSERT_TRUE(shortLived.WaitUntilShown());
  ASSERT_TRUE(Walk(StatusLineOf(1), {L"ウインドウ", L"TVQ short-lived"},
                   [&] { shortLived.Close(); }));
  EXPECT_EQ(tvq::kEmptySlot, app.Slots().Kind(1));
  const std::wstring notice = app.MainWindow().SlotMenu().Notice();
  EXPECT_EQ(L"----\n【お知らせ】\nウインドウ「TVQ short-lived」は閉じられたため、スロット 2 には"
            L"入力しませんでした\n", notice);
  Key(VK_DOWN);  // any key: the notice has been read
  EXPECT_EQ(L"", app.MainWindow().SlotMenu().Notice());
}

// The key's release goes to the question box, not to the Manager's window: the fill itself must
// repaint the slot's line, with no further key.
TEST_F(ManagerMenu, RealKeysWAndCAnsweredInTheBoxesShowTheFilledSlotAtOnce) {
  const struct {
    WORD key;
    int slot;
    std::vector<std::wstring> captions;
    std::wstring yes;  // the start of the text answered Yes
    std::wstring source;
  } cases[] = {
      {'W', 1, {L"キャプチャするウインドウの選択"}, kTargetTitle, kTargetTitle},
      {'C', 2, {L"ビデオキャプチャデバイスの選択", L"CCaptureVideo"},
       L"FriendlyName:TVQ test camera\n", kTestCamera},
  };
  wchar_t text[4096] = L"";
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<char>(c.key));
    while (app.Keys().SelectedSlot() != c.slot) Key(VK_DOWN);
    Painted();
    const int line = LineOf(c.slot);
    const std::vector<BYTE> before = ShownLine(line);
    // The key goes to the foreground window, and the W key passes over the top one: both must be
    // the Manager's. With the pointer over another window the X server may hand that one the
    // focus, so the pointer rests on the Manager.
    ASSERT_TRUE(MoveTo({4, 4}));
    SetForegroundWindow(window);
    ASSERT_TRUE(tvqtest::WaitUntil([&] {
      Pump();
      return GetForegroundWindow() == window && GetTopWindow(nullptr) == window;
    }, 5000));
    // A hand that lets go of the key only once the box is up, then clicks the answer.
    std::atomic<bool> done{false};
    std::thread hand([&] {
      bool released = false;
      for (; !done; Sleep(5)) {
        for (const std::wstring& caption : c.captions) {
          HWND box = FindWindowW(L"#32770", caption.c_str());
          if (box == nullptr || !IsWindowVisible(box)) continue;
          if (!released) tvqtest::PressKey(c.key, true);
          released = true;
          const bool yes = GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 4096) > 0 &&
                           std::wstring(text).rfind(c.yes, 0) == 0;
          RECT button{};
          GetWindowRect(GetDlgItem(box, caption == L"CCaptureVideo" ? IDOK : yes ? IDYES : IDNO),
                        &button);
          tvqtest::ClickAt({(button.left + button.right) / 2, (button.top + button.bottom) / 2});
          tvqtest::WaitUntil([box] { return !IsWindow(box); }, 5000);
        }
      }
    });
    Input(c.key, 0);  // returns once the last box is answered
    done = true;
    hand.join();
    ASSERT_EQ(c.source, app.Slots().SourceName(c.slot));
    Pump();
    const std::vector<BYTE> shown = ShownLine(line);
    EXPECT_TRUE(before != shown) << "the line still shows the empty slot";
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(ShownLine(line) == shown) << "the line is not what a full repaint shows";
  }
}

// The same script on two Managers, one drawing the slots on every tick as it always did and one
// drawing only when something changed: every frame they publish must be the same, byte for byte.
// The desktop slot sees the whole screen, so the Manager's window is kept off it and every change
// of the screen is waited for before anything captures it.
class SkippedDrawing : public testing::Test {
 protected:
  struct Run {
    std::vector<std::vector<BYTE>> frames;
    std::vector<bool> drawn;
  };

  void SetUp() override {
    target = MakeTarget();
    tvqtest::TestWindowOptions options;
    options.title = L"TVQ pattern";
    options.style = WS_POPUP;
    options.rect = {300, 200, 460, 320};
    pattern = std::make_unique<tvqtest::TestWindow>(options);
    ASSERT_TRUE(pattern->WaitUntilShown());
  }
  void TearDown() override { DestroyWindow(target); }

  // The target's picture changes as another program's window would repaint itself.
  void Recolor(COLORREF color) {
    tvqtest::RepaintSolid(target, color);
    UpdateWindow(target);
    ASSERT_TRUE(tvqtest::WaitUntil([&] {
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // lets the window reach the screen
      HDC screen = GetDC(nullptr);
      const COLORREF shown = GetPixel(screen, 60, 50);
      ReleaseDC(nullptr, screen);
      return shown == color;
    }, 5000));
  }

  Run Play(bool drawEveryTick) {
    TempDir folder;
    tvqtest::WriteTextFile(folder.File(L"Tessavue.ini"),
                           "[Video]\r\nWidth=64\r\nHeight=48\r\nFramePerSecond=15\r\n");
    CManagerApp app(GetModuleHandleW(nullptr), folder.File(L"TessavueManager.exe"));
    Run run;
    EXPECT_TRUE(app.CreateMainWindow(SW_SHOW));
    const HWND window = app.Window();
    SetWindowPos(window, nullptr, -3000, -3000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int slot : {0, 1}) {
      const std::wstring wanted = slot == 0 ? L"TVQ pattern" : kTargetTitle;
      app.Slots().WindowSource(slot).SetMessageBox(
          [wanted](const wchar_t* text, const wchar_t*, UINT) {
            return wanted == text ? IDYES : IDNO;
          });
    }
    BITMAPINFOHEADER header = {};
    app.FormatChannel().Write(&header, sizeof(header), INFINITE);
    std::int64_t interval = 0;
    app.IntervalChannel().Write(&interval, sizeof(interval), INFINITE);
    Recolor(kTargetColor);
    EXPECT_TRUE(pattern->WaitUntilShown());

    auto key = [&](UINT k, int times = 1) {
      for (int i = 0; i < times; ++i) SendMessageW(window, WM_KEYDOWN, k, 0);
    };
    auto capture = [&](int slot) {
      SendMessageW(window, WM_TIMER, tvq::CaptureTimerId(slot), 0);
    };
    auto ticks = [&](int count) {
      for (int i = 0; i < count; ++i) {
        ValidateRect(window, nullptr);
        if (drawEveryTick) app.Compositor()->MarkChanged();
        SendMessageW(window, WM_TIMER, tvq::kCompositingTimerId, 0);
        constexpr int kFrameBytes = 64 * 3 * 48;  // the pixel object keeps the start-up size
        std::vector<BYTE> frame(kFrameBytes);
        EXPECT_TRUE(app.PixelChannel().Read(frame.data(), kFrameBytes, INFINITE));
        run.frames.push_back(frame);
        run.drawn.push_back(app.Compositor()->DrewLastTick());
        EXPECT_EQ(run.drawn.back(), GetUpdateRect(window, nullptr, FALSE) != FALSE)
            << "the preview is repainted exactly when the canvas was drawn";
      }
    };

    key('W');  // slot 1: the pattern window
    capture(0);
    ticks(3);
    key(VK_DOWN);
    key('W');  // slot 2: the window that changes its picture, moved, shrunk and trimmed
    capture(1);
    ticks(2);
    key(VK_RETURN, 2);
    key(VK_RIGHT, 6);
    key(VK_DOWN, 4);
    ticks(2);
    key(VK_BACK);
    key(VK_DOWN);
    key(VK_RETURN);
    key(VK_LEFT, 10);
    key(VK_UP, 8);
    ticks(2);
    key(VK_BACK);
    key(VK_DOWN);
    key(VK_RETURN);
    key(VK_LEFT, 5);
    key(VK_UP, 3);
    key(VK_BACK, 2);
    ticks(2);
    Recolor(RGB(30, 160, 220));
    ticks(1);
    capture(1);
    ticks(2);
    key(VK_DOWN);
    key('D');  // slot 3: the desktop, shrunk to the top-left corner
    key(VK_RETURN);
    key(VK_DOWN);
    key(VK_RETURN);
    key(VK_LEFT, 12);
    key(VK_UP, 12);
    key(VK_BACK, 2);
    ticks(1);
    capture(2);
    ticks(2);
    key(VK_UP, 2);
    key(VK_SPACE);  // pauses slot 1 and blanks the canvas
    ticks(2);
    capture(0);
    ticks(1);
    key(VK_SPACE);
    ticks(2);
    key('R');
    ticks(2);
    header = tvqtest::BitmapHeader(32, 24, 24);
    app.FormatChannel().Write(&header, sizeof(header), INFINITE);
    ticks(2);
    capture(2);
    ticks(2);
    key(VK_DOWN);
    key(VK_DELETE);  // slot 2 emptied: its last picture stays on the canvas
    ticks(2);
    Recolor(kTargetColor);
    return run;
  }

  HWND target = nullptr;
  std::unique_ptr<tvqtest::TestWindow> pattern;
};

TEST_F(SkippedDrawing, PublishesTheFramesOfDrawingOnEveryTick) {
  const Run everyTick = Play(true);
  const Run skipping = Play(false);
  ASSERT_EQ(everyTick.frames.size(), skipping.frames.size());
  int drawn = 0;
  for (size_t i = 0; i < skipping.frames.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "tick " << i);
    EXPECT_TRUE(everyTick.drawn[i]);
    EXPECT_TRUE(everyTick.frames[i] == skipping.frames[i]);
    drawn += skipping.drawn[i] ? 1 : 0;
  }
  // Drawn after: two fills with their captures, move, size, trims, a capture, the desktop's fill
  // and placement, its capture, pause, resume, R, the new size, the removal. A paused slot
  // captures nothing, the desktop's last capture brings the screen as it was, and every other
  // tick has nothing new to draw.
  EXPECT_EQ(13, drawn);
}

}  // namespace
