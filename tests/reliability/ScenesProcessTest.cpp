// Scenes in the real Manager, as a user in a call meets them: the Manager minimized, another
// window holding the focus, another program holding Ctrl+Alt+3, real key presses (xdotool)
// saving two scenes and switching between them while a client streams. Every frame the client
// receives shows one scene or the other, never a mix or black; after a close and a start the
// current scene is back and the other is still in the store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "channel/ChannelNames.h"
#include "common/Lifetime.h"
#include "manager/app/CSceneStore.h"
#include "tests/common/RealKeys.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"
#include "tests/filter/FilterTestSupport.h"
#include "tests/reliability/FrameChecker.h"
#include "tests/reliability/GuardedSink.h"
#include "tests/reliability/RealManager.h"

namespace {

using tvqtest::RealManager;

constexpr DWORD kTimeoutMs = 15000;
constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kStride = (kWidth * 3 + 3) / 4 * 4;
constexpr COLORREF kRed = RGB(210, 30, 40);
constexpr COLORREF kBlue = RGB(30, 40, 220);
const wchar_t kRedTitle[] = L"TVQ scenes red";
const wchar_t kBlueTitle[] = L"TVQ scenes blue";
const POINT kFocusPoint = {1100, 750};

// Points of a picture (top row 0) that tell the scenes apart: scene 1 is the red window whole
// with the blue one in the bottom-right quarter; scene 2 the blue window whole, red paused.
constexpr POINT kPoints[] = {{20, 20}, {140, 20}, {20, 100}, {140, 100}};
constexpr COLORREF kScenes[2][4] = {{kRed, kRed, kRed, kBlue}, {kBlue, kBlue, kBlue, kBlue}};

bool Near(const BYTE* bgr, COLORREF color) {
  return std::abs(bgr[2] - GetRValue(color)) < 12 && std::abs(bgr[1] - GetGValue(color)) < 12 &&
         std::abs(bgr[0] - GetBValue(color)) < 12;
}

// 1 or 2 for a bottom-up 160 x 120 frame of one scene; -1 for anything else (a mix, black).
int SceneOf(const BYTE* frame, size_t size) {
  if (size < static_cast<size_t>(kStride) * kHeight) return -1;
  for (int scene = 0; scene < 2; ++scene) {
    bool all = true;
    for (int i = 0; i < 4 && all; ++i) {
      const POINT p = kPoints[i];
      all = Near(frame + static_cast<size_t>(kHeight - 1 - p.y) * kStride + p.x * 3,
                 kScenes[scene][i]);
    }
    if (all) return scene + 1;
  }
  return -1;
}

int ReceivedScene(const tvqtest::ReceivedSample& s) {
  return SceneOf(s.data, static_cast<size_t>(s.size));
}

// The frame in the pixel object now, as the Manager published it.
int PublishedScene() {
  tvq::UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, tvq::kPixelObjectName));
  if (!mapping) return -1;
  tvq::UniqueMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, kStride * kHeight));
  return view ? SceneOf(static_cast<const BYTE*>(view.Get()), kStride * kHeight) : -1;
}

// Keeps Ctrl+Alt+3 from the Manager until killed, as another program would.
int HoldCtrlAlt3(const std::vector<std::wstring>& args) {
  HANDLE held = args.size() == 1 ? OpenEventW(EVENT_MODIFY_STATE, FALSE, args[0].c_str()) : nullptr;
  if (held == nullptr || !RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, '3')) return 2;
  SetEvent(held);
  for (;;) Sleep(1000);
}
const tvqtest::ChildMode kHolderMode(L"hold-ctrl-alt-3", &HoldCtrlAlt3);

tvqtest::TestWindowOptions Solid(const wchar_t* title, RECT rect, COLORREF color) {
  return tvqtest::SolidWindow(title, WS_POPUP | WS_VISIBLE, rect, color);
}

class ScenesProcess : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(red.WaitUntilShown());
    ASSERT_TRUE(blue.WaitUntilShown());
    ASSERT_TRUE(focus.WaitUntilShown());
    tvqtest::WriteTextFile(folder.File(L"TVQ_CaptureWindow.ini"),
                           "[TVQ scenes blue]\r\nPos_x=0.5\r\nPos_y=0.5\r\nWidth=0.5\r\n"
                           "Height=0.5\r\n");
  }

  std::unique_ptr<RealManager> StartManager() {
    auto manager = std::make_unique<RealManager>(folder.Path(), settings);
    EXPECT_TRUE(manager->Start(false));
    return manager;
  }
  // Real keys while the Manager is minimized and another window has the focus.
  void PressFromElsewhere(RealManager& manager, const wchar_t* keys) {
    ShowWindow(manager.Window(), SW_MINIMIZE);
    tvqtest::RealClickAt(kFocusPoint);
    ASSERT_TRUE(tvqtest::PressRealKeys(keys));
  }
  bool StoreHolds(int scene) const {
    tvq::CSceneStore store(appData.StorePath());
    store.Load();
    return !store.SceneAt(scene).IsEmpty();
  }

  tvqtest::TempDir folder;
  tvqtest::UserFolderRedirect appData{folder.File(L"AppData")};
  std::string settings = "[Tessavue]\r\nMaxNumOfCaptureDev=3\r\nRestoreSlots=1\r\n" +
                         tvqtest::VideoSection(kWidth, kHeight, "15");
  tvqtest::TestWindow red{Solid(kRedTitle, {1000, 40, 1160, 160}, kRed)};
  tvqtest::TestWindow blue{Solid(kBlueTitle, {1000, 300, 1160, 420}, kBlue)};
  tvqtest::TestWindow focus{Solid(L"TVQ scenes focus", {1000, 700, 1200, 800}, RGB(90, 90, 90))};
};

TEST_F(ScenesProcess, RealKeysSaveAndSwitchTwoScenesWhileAClientStreamsAndTheyComeBack) {
  const std::wstring eventName = L"TVQ hot key held " + std::to_wstring(GetCurrentProcessId());
  tvq::UniqueKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  tvqtest::ChildProcess holder = tvqtest::ChildProcess::StartSelf(L"hold-ctrl-alt-3", {eventName});
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.Get(), 10000));
  std::unique_ptr<RealManager> manager = StartManager();
  manager->PressKey('W');
  ASSERT_TRUE(manager->Choose(kRedTitle));
  manager->PressKey(VK_DOWN);
  manager->PressKey('W');
  ASSERT_TRUE(manager->Choose(kBlueTitle));
  ASSERT_TRUE(tvqtest::WaitUntil([] { return PublishedScene() == 1; }, kTimeoutMs));
  ASSERT_NO_FATAL_FAILURE(PressFromElsewhere(*manager, L"ctrl+alt+shift+1"));
  ASSERT_TRUE(tvqtest::WaitUntil([&] { return StoreHolds(1); }, kTimeoutMs));

  // Scene 2: the red window paused, the blue one moved to the top left and made whole.
  std::vector<UINT> keys = {VK_UP, VK_SPACE, VK_DOWN, VK_RETURN, VK_RETURN};
  keys.insert(keys.end(), 10, VK_LEFT);
  keys.insert(keys.end(), 10, VK_UP);
  keys.insert(keys.end(), {VK_BACK, VK_DOWN, VK_RETURN});
  keys.insert(keys.end(), 10, VK_RIGHT);
  keys.insert(keys.end(), 10, VK_DOWN);
  keys.insert(keys.end(), {VK_BACK, VK_BACK});
  for (UINT key : keys) manager->PressKey(key);
  ASSERT_TRUE(tvqtest::WaitUntil([] { return PublishedScene() == 2; }, kTimeoutMs));
  ASSERT_NO_FATAL_FAILURE(PressFromElsewhere(*manager, L"ctrl+alt+shift+2"));
  ASSERT_TRUE(tvqtest::WaitUntil([&] { return StoreHolds(2); }, kTimeoutMs));

  tvqtest::GuardedSink sink;
  tvqtest::IntegrityChecker checker(sink, &ReceivedScene);
  {
    tvqtest::LocalFilter client;
    ASSERT_TRUE(client.IsValid());
    ASSERT_EQ(S_OK, client.outputPin->Connect(&sink, nullptr));
    ASSERT_EQ(S_OK, client.filter->Run(0));
    ASSERT_TRUE(checker.WaitForGoodFrames(3, kTimeoutMs));
    for (int scene : {1, 2, 1}) {
      SCOPED_TRACE(scene);
      const std::wstring key = L"ctrl+alt+" + std::to_wstring(scene);
      ASSERT_NO_FATAL_FAILURE(PressFromElsewhere(*manager, key.c_str()));
      EXPECT_TRUE(tvqtest::WaitUntil([&] { return checker.LastId() == scene; }, kTimeoutMs));
      const LONG seen = checker.GoodInRun();
      EXPECT_TRUE(checker.WaitForGoodFrames(seen + 5, kTimeoutMs));
    }
    ASSERT_EQ(S_OK, client.filter->Stop());
    ASSERT_EQ(S_OK, client.outputPin->Disconnect());
    sink.Disconnect();
  }
  EXPECT_EQ(0, checker.Bad()) << "frames of neither scene (a mix, or black)";
  EXPECT_GE(checker.IdChanges(), 4);

  DWORD exitCode = 1;
  ASSERT_TRUE(manager->Close(&exitCode));
  EXPECT_EQ(0u, exitCode);
  manager = StartManager();
  EXPECT_TRUE(tvqtest::WaitUntil([] { return PublishedScene() == 1; }, kTimeoutMs))
      << "scene 1 did not come back";
  EXPECT_EQ(nullptr, manager->WaitForBox(0)) << "a start asked a question";
  ASSERT_TRUE(manager->Close(&exitCode));
  tvq::CSceneStore store(appData.StorePath());
  store.Load();
  EXPECT_EQ(1, store.CurrentSceneNumber());
  EXPECT_FALSE(store.SceneAt(2).IsEmpty());
}

}  // namespace
