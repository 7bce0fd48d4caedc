// Scenes in an in-process CManagerApp driven through its window procedure: switching keeps the
// sources both scenes use (the same objects, the same camera graph), moves them between slots,
// closes the rest, and publishes the new scene whole on the next tick (or after a new camera's
// first frame, or as a fade); the store is written a few times a second at most; the status text
// names the scene and a global key another process holds.
#include "manager/app/CManagerApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "manager/app/CSceneMenu.h"
#include "manager/app/CSceneStore.h"
#include "manager/app/TimerIds.h"
#include "tests/capture/FakeVideoDevice.h"
#include "tests/capture/RegisteredFilter.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Ffmpeg.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"
#include "resources/Resource.h"

namespace {

using tvqtest::TempDir;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr COLORREF kRed = RGB(220, 30, 40);
constexpr COLORREF kBlue = RGB(20, 50, 230);
const wchar_t kRedTitle[] = L"TVQ scene red";
const wchar_t kBlueTitle[] = L"TVQ scene blue";
const wchar_t kCamera[] = L"TVQ scene camera";
// The bottom-right quarter, where a scene's second slot lies.
const SCIInfo kCorner = {0.5, 0.5, 0.5, 0.5, 0, 0, 0, 0, 5.0};
const SCIInfo kWhole = {0.0, 0.0, 1.0, 1.0, 0, 0, 0, 0, 5.0};

// Keeps Ctrl+Alt+3 from the Manager until killed, as another program would.
int HoldCtrlAlt3(const std::vector<std::wstring>& args) {
  if (args.size() != 1 || !RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, '3')) return 2;
  HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[0].c_str());
  if (held == nullptr) return 3;
  SetEvent(held);
  for (;;) Sleep(1000);
}
const tvqtest::ChildMode kHolderMode(L"hold-ctrl-alt-3", &HoldCtrlAlt3);

// Right of the Manager's window, so that nothing covers them.
tvqtest::TestWindowOptions Solid(const wchar_t* title, int top, COLORREF color) {
  return tvqtest::SolidWindow(title, WS_POPUP | WS_VISIBLE, {1000, top, 1100, top + 80}, color);
}

class SceneSwitch : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(red.WaitUntilShown());
    ASSERT_TRUE(blue.WaitUntilShown());
  }
  void TearDown() override { Stop(); }

  void Start() {
    tvqtest::WriteTextFile(folder.File(L"Tessavue.ini"),
                           "[Tessavue]\r\nMaxNumOfCaptureDev=3\r\nRestoreSlots=1\r\n[Video]\r\n"
                           "Width=64\r\nHeight=48\r\nFramePerSecond=15\r\n");
    app = std::make_unique<CManagerApp>(GetModuleHandleW(nullptr),
                                        folder.File(L"TessavueManager.exe"), L"TVQTest ");
    ASSERT_TRUE(app->CreateMainWindow(SW_SHOW));
  }
  void Stop() {
    if (app && IsWindow(app->Window())) DestroyWindow(app->Window());
    app.reset();
  }

  void Send(UINT message, WPARAM wParam) { SendMessageW(app->Window(), message, wParam, 0); }
  void Hotkey(CHotkeys::Action action, int number) {
    Send(WM_HOTKEY, CHotkeys::IdOf(action, number));
  }
  void Tick() { Send(WM_TIMER, tvq::kCompositingTimerId); }
  void CaptureAll() {
    for (int slot = 0; slot < 3; ++slot) Send(WM_TIMER, tvq::CaptureTimerId(slot));
  }
  // What a client would get now: the pixel object, read as a picture (top row 0).
  COLORREF Published(int x, int y) {
    std::vector<BYTE> frame(static_cast<size_t>(kWidth) * 3 * kHeight);
    if (!app->PixelChannel().Read(frame.data(), static_cast<int>(frame.size()), 1000)) {
      return CLR_INVALID;
    }
    const BYTE* p = &frame[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 3];
    return RGB(p[2], p[1], p[0]);
  }
  // The colours a client sees in the top-left corner and in the bottom-right quarter.
  std::pair<COLORREF, COLORREF> Shown() { return {Published(4, 4), Published(56, 40)}; }

  // Slot 1 whole, slot 2 in the corner (whatever the windows' placement files say).
  void Fill(HWND whole, HWND corner) {
    ASSERT_TRUE(app->FillSlotWithWindow(0, whole));
    ASSERT_TRUE(app->FillSlotWithWindow(1, corner));
    app->Slots().Placement(0) = kWhole;
    app->Slots().Placement(1) = kCorner;
  }
  void Empty() {
    for (int slot = 0; slot < 3; ++slot) {
      app->Keys().Select(slot);
      Send(WM_KEYDOWN, VK_DELETE);
    }
  }
  std::wstring Painted() {
    InvalidateRect(app->Window(), nullptr, TRUE);
    UpdateWindow(app->Window());
    return app->MainWindow().PaintedText();
  }
  std::wstring StorePath() const { return folder.File(L"Scenes.ini"); }

  TempDir folder;
  tvqtest::TestWindow red{Solid(kRedTitle, 40, kRed)};
  tvqtest::TestWindow blue{Solid(kBlueTitle, 300, kBlue)};
  std::unique_ptr<CManagerApp> app;
};

TEST_F(SceneSwitch, SharedSourcesGoOnInTheirNewSlotsAndTheNextTickShowsTheSceneWhole) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Fill(red.Handle(), blue.Handle()));
  Hotkey(CHotkeys::Action::kSave, 1);
  Empty();
  ASSERT_NO_FATAL_FAILURE(Fill(blue.Handle(), red.Handle()));
  app->Keys().Select(2);
  Send(WM_KEYDOWN, 'D');
  Send(WM_KEYDOWN, VK_SPACE);
  Hotkey(CHotkeys::Action::kSave, 2);
  CaptureAll();
  Tick();
  ASSERT_EQ(std::make_pair(kBlue, kRed), Shown());

  struct Row {
    int scene;
    HWND slot1;
    HWND slot2;
    int desktopKind;
    std::pair<COLORREF, COLORREF> shown;
  };
  const Row rows[] = {
      {1, red.Handle(), blue.Handle(), tvq::kEmptySlot, {kRed, kBlue}},
      {2, blue.Handle(), red.Handle(), tvq::kDesktopSlot, {kBlue, kRed}},
      {2, blue.Handle(), red.Handle(), tvq::kDesktopSlot, {kBlue, kRed}},
      {1, red.Handle(), blue.Handle(), tvq::kEmptySlot, {kRed, kBlue}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scene);
    const ICaptureSource* first = app->Slots().Source(0);
    const ICaptureSource* second = app->Slots().Source(1);
    Hotkey(CHotkeys::Action::kSwitch, row.scene);
    EXPECT_EQ(row.slot1, app->Slots().Source(0)->CapturedWindow());
    EXPECT_EQ(row.slot2, app->Slots().Source(1)->CapturedWindow());
    // The very source objects: each window's capture went on, in the other slot if need be.
    const bool moved = app->Slots().Source(0) != first;
    EXPECT_EQ(moved ? second : first, app->Slots().Source(0));
    EXPECT_EQ(moved ? first : second, app->Slots().Source(1));
    EXPECT_EQ(kCorner.Pos_x, app->Slots().Placement(1).Pos_x);
    EXPECT_EQ(row.desktopKind, app->Slots().Kind(2));
    if (row.desktopKind != tvq::kEmptySlot) {
      EXPECT_FALSE(app->Slots().IsActive(2));
    }
    // One tick after the key: the new scene whole, nothing of the old one left.
    Tick();
    EXPECT_EQ(row.shown, Shown());
    EXPECT_EQ(row.scene, app->Scenes().Store().CurrentSceneNumber());
  }
  // An empty scene is refused: the slots stay as they are.
  Send(WM_KEYDOWN, '7');
  EXPECT_EQ(1, app->Scenes().Store().CurrentSceneNumber());
  EXPECT_EQ(red.Handle(), app->Slots().Source(0)->CapturedWindow());
}

TEST_F(SceneSwitch, ACameraBothScenesUseStaysOpenAndANewOneIsWaitedForBeforeTheCut) {
  const COLORREF quadrants[4] = {RGB(10, 200, 20), RGB(10, 200, 20), RGB(10, 200, 20),
                                 RGB(10, 200, 20)};
  tvqtest::RegisteredFilter filter{kWidth, kHeight, 15};
  tvqtest::FakeVideoDevice camera{tvq::CLSID_TessavueFilter, kCamera};
  tvqtest::PublishedFrame green{tvqtest::QuadrantFrame(kWidth, kHeight, quadrants)};
  ASSERT_NO_FATAL_FAILURE(Start());
  tvq::CameraRequest request;
  request.friendlyName = kCamera;
  ASSERT_TRUE(app->FillSlotWithCamera(0, request));
  ASSERT_TRUE(app->FillSlotWithWindow(1, red.Handle()));
  app->Slots().Placement(1) = kCorner;
  Hotkey(CHotkeys::Action::kSave, 1);
  app->Keys().Select(1);
  Send(WM_KEYDOWN, VK_DELETE);
  ASSERT_TRUE(app->FillSlotWithWindow(1, blue.Handle()));
  Hotkey(CHotkeys::Action::kSave, 2);
  const BITMAPINFOHEADER* graph = app->Slots().Camera(0).FormatHeader();
  ASSERT_NE(nullptr, graph);
  for (int scene : {1, 2, 1}) {
    SCOPED_TRACE(scene);
    Hotkey(CHotkeys::Action::kSwitch, scene);
    EXPECT_EQ(graph, app->Slots().Camera(0).FormatHeader()) << "the camera was opened again";
  }

  // Scene 3 has the blue window alone; back to scene 1 the camera opens anew, and clients keep
  // scene 3 until its first frame is there.
  app->Keys().Select(0);
  Send(WM_KEYDOWN, VK_DELETE);
  ASSERT_TRUE(app->FillSlotWithWindow(0, blue.Handle()));
  app->Slots().Placement(0) = kWhole;
  app->Keys().Select(1);
  Send(WM_KEYDOWN, VK_DELETE);
  Hotkey(CHotkeys::Action::kSave, 3);
  CaptureAll();
  Tick();
  ASSERT_EQ(std::make_pair(kBlue, kBlue), Shown());
  Hotkey(CHotkeys::Action::kSwitch, 1);
  ASSERT_EQ(tvq::kCameraSlot, app->Slots().Kind(0));
  Tick();
  if (!app->Slots().Source(0)->HasCaptured()) {
    EXPECT_EQ(std::make_pair(kBlue, kBlue), Shown()) << "a frame without the camera's picture";
  }
  ASSERT_TRUE(tvqtest::WaitUntil(
      [&] {
        CaptureAll();
        return app->Slots().Source(0)->HasCaptured();
      },
      5000));
  Tick();
  EXPECT_EQ(std::make_pair(RGB(10, 200, 20), kRed), Shown());
}

TEST_F(SceneSwitch, AFadeBlendsFromTheOldPictureAndHoldsNothingOnceOver) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(app->FillSlotWithWindow(0, red.Handle()));
  Hotkey(CHotkeys::Action::kSave, 1);
  Empty();
  ASSERT_TRUE(app->FillSlotWithWindow(0, blue.Handle()));
  Hotkey(CHotkeys::Action::kSave, 2);
  app->Scenes().SetTransition({true, 400});
  CaptureAll();
  Tick();
  ASSERT_EQ(kBlue, Published(30, 20));
  EXPECT_EQ(0u, app->Compositor()->FadeBytes());
  Hotkey(CHotkeys::Action::kSwitch, 1);
  bool between = false;
  ASSERT_TRUE(tvqtest::WaitUntil(
      [&] {
        CaptureAll();
        Tick();
        const COLORREF shown = Published(30, 20);
        between = between || (GetRValue(shown) > GetRValue(kBlue) + 20 &&
                              GetRValue(shown) < GetRValue(kRed) - 20);
        return shown == kRed;
      },
      3000));
  EXPECT_TRUE(between) << "no frame between the two scenes";
  EXPECT_FALSE(app->Compositor()->IsFading());
  EXPECT_EQ(0u, app->Compositor()->FadeBytes());
}

// Another program holds Ctrl+Alt+3 from before the start: only that key is named, once; the
// others are registered (real key presses reach them in ScenesProcessTest).
TEST_F(SceneSwitch, HeldSpaceWritesAFewTimesAndTheStatusNamesTheSceneAndAKeyTakenElsewhere) {
  const std::wstring eventName = L"TVQ hot key held " + std::to_wstring(GetCurrentProcessId());
  tvq::UniqueKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  tvqtest::ChildProcess holder = tvqtest::ChildProcess::StartSelf(L"hold-ctrl-alt-3", {eventName});
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.Get(), 10000));
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(std::vector<std::wstring>{L"Ctrl+Alt+3"}, app->Scenes().Hotkeys().Refused());
  ASSERT_TRUE(app->FillSlotWithWindow(0, red.Handle()));
  const int before = app->Scenes().Store().WriteCount();
  const ULONGLONG start = GetTickCount64();
  for (int repeat = 0; repeat < 60; ++repeat) Send(WM_KEYDOWN, VK_SPACE);
  // Every message, the store's timer included, for one second.
  while (GetTickCount64() < start + 1000) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  EXPECT_LE(app->Scenes().Store().WriteCount() - before, 4);
  EXPECT_FALSE(app->Scenes().Store().HasChanges()) << "the last change was never written";

  app->Scenes().Rename(4, L"プレゼン \U0001F3AC");
  Hotkey(CHotkeys::Action::kSave, 4);
  const std::wstring text = Painted();
  EXPECT_NE(std::wstring::npos, text.find(L"【シーン】\n現在：4. プレゼン \U0001F3AC（カット）\n"
                                          L"［1～9］：シーン切り替え\n"
                                          L"［Ctrl+Alt+1～9］：どこからでもシーン切り替え\n"));
  const std::wstring named = L"ホットキー Ctrl+Alt+3 は他のプログラムが使用中のため使えません\n";
  ASSERT_NE(std::wstring::npos, text.find(named));
  EXPECT_EQ(text.find(named), text.rfind(named));
}

TEST_F(SceneSwitch, TheScenesMenuListsChecksGreysAndCarriesItsCommands) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(app->FillSlotWithWindow(0, red.Handle()));
  const auto command = [&](UINT id) { Send(WM_COMMAND, id); };
  command(CSceneMenu::kSaveFirst + 5);
  command(CSceneMenu::kFadeFirst + 2);
  // The rename dialog, answered from another thread as a user would.
  std::thread user([] {
    HWND dialog = nullptr;
    // Shown only once its initial text is in: a text typed earlier would be overwritten.
    tvqtest::WaitUntil(
        [&] {
          dialog = FindWindowW(L"#32770", L"シーンの名前の変更");
          return dialog != nullptr && IsWindowVisible(dialog);
        },
        5000);
    SetDlgItemTextW(dialog, IDC_SCENE_NAME, L" 'スライド' & \"カメラ\" ");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  command(CSceneMenu::kRenameFirst + 5);
  user.join();
  HMENU popup = GetSubMenu(GetMenu(app->Window()), 1);
  SendMessageW(app->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
  wchar_t text[128] = L"";
  GetMenuStringW(popup, CSceneMenu::kSwitchFirst + 5, text, 128, MF_BYCOMMAND);
  EXPECT_STREQ(L"&5   'スライド' && \"カメラ\" \t5", text);
  for (int number = 1; number <= 9; ++number) {
    const UINT state = GetMenuState(popup, CSceneMenu::kSwitchFirst + number, MF_BYCOMMAND);
    EXPECT_EQ(number == 5, (state & MF_CHECKED) != 0) << number;
    EXPECT_EQ(number != 5, (state & MF_GRAYED) != 0) << number;
  }
  const tvq::CSceneStore& store = app->Scenes().Store();
  EXPECT_EQ(L" 'スライド' & \"カメラ\" ", store.SceneAt(5).name);
  EXPECT_TRUE(store.Transition().fade);
  EXPECT_EQ(1000, store.Transition().fadeMs);
  command(CSceneMenu::kCut);
  EXPECT_FALSE(store.Transition().fade);
  app->Keys().Select(0);
  Send(WM_KEYDOWN, VK_DELETE);
  command(CSceneMenu::kSwitchFirst + 5);
  EXPECT_EQ(red.Handle(), app->Slots().Source(0)->CapturedWindow());
}

TEST_F(SceneSwitch, DamagedStoresStartQuietlyLeaveTheFilesAloneAndGiveEmptyScenes) {
  struct Row {
    const char* name;
    std::string bytes;
    int current;
    bool scene2Filled;
  };
  auto utf16 = [](const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t c : text) bytes.append({static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)});
    return bytes;
  };
  std::mt19937 random(3);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::wstring longTitle = L"[Scene2.Slot1]\r\nKind=Window\r\nTitle=" +
                                 std::wstring(5000, L'x') + L"\r\n";
  const Row rows[] = {
      {"empty", "", 1, false},
      {"random bytes", noise, 1, false},
      {"random bytes behind the mark", "\xFF\xFE" + noise, 1, false},
      {"ANSI text", "[Scenes]\r\nCurrent=3\r\n", 1, false},
      {"10 MB", utf16(L"[Scenes]\r\nCurrent=2\r\n") + std::string(10 << 20, 'x'), 1, false},
      {"odd byte count", utf16(L"[Scenes]\r\nCurrent=4\r\n") + "\x01", 4, false},
      {"cut short", utf16(L"[Scenes]\r\nCurrent=2\r\n[Scene2.Slot1]\r\nKind=Desk"), 2, false},
      {"section unclosed", utf16(L"[Scene2.Slot1\r\nKind=Desktop\r\n"), 1, false},
      {"scene 0", utf16(L"[Scenes]\r\nCurrent=0\r\n[Scene0.Slot1]\r\nKind=Desktop\r\n"), 1, false},
      {"scene 10", utf16(L"[Scenes]\r\nCurrent=10\r\n"), 1, false},
      {"scene -1", utf16(L"[Scenes]\r\nCurrent=-1\r\n[Scene-1.Slot1]\r\nKind=Desktop\r\n"), 1,
       false},
      {"unknown kind", utf16(L"[Scene2.Slot1]\r\nKind=Hologram\r\n"), 1, false},
      {"5000-character title", utf16(longTitle), 1, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    tvqtest::WriteTextFile(StorePath(), row.bytes);
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string settings = tvqtest::ReadBytes(folder.File(L"Tessavue.ini"));
    EXPECT_EQ(row.current, app->Scenes().Store().CurrentSceneNumber());
    EXPECT_EQ(row.scene2Filled, !app->Scenes().Store().SceneAt(2).IsEmpty());
    // Switching to what there is asks nothing: a missing window is waited for.
    Send(WM_KEYDOWN, '2');
    EXPECT_EQ(row.scene2Filled, app->Waits().WaitingFor(0) != nullptr);
    Stop();
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", nullptr)) << "a message box";
    EXPECT_EQ(settings, tvqtest::ReadBytes(folder.File(L"Tessavue.ini")));
    // Written only after the switch, which changed the current scene.
    tvq::CSceneStore after(StorePath());
    after.Load();
    EXPECT_EQ(row.scene2Filled ? 2 : row.current, after.CurrentSceneNumber());
    EXPECT_EQ(row.scene2Filled, row.bytes != tvqtest::ReadBytes(StorePath()));
  }
}

}  // namespace
