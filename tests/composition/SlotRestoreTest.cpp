// Slots recorded in the user's store (taken over from "Tessavue.ini" on the first start without
// one) and brought back by the real start-up of an in-process CManagerApp: hand-edited records,
// waiting slots and their timer, and the keys that change what is recorded. Windows are the
// test's own; no camera is registered here, so a recorded camera always waits.
#include "manager/app/CManagerApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "manager/app/CSceneStore.h"
#include "manager/app/TimerIds.h"
#include "tests/common/ImageFiles.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"

namespace {

using tvqtest::TempDir;

const wchar_t kTitle[] = L"TVQ restore target";

HWND MakeTarget(const wchar_t* title = kTitle) {
  return tvqtest::MakeWindowHere(
      tvqtest::SolidWindow(title, WS_POPUP | WS_VISIBLE, {20, 20, 100, 80}, RGB(10, 200, 30)));
}

std::string Settings(const std::string& records, int slots = 3, const char* restore = "1") {
  return std::string("[Tessavue]\r\nMaxNumOfCaptureDev=") + std::to_string(slots) +
         "\r\nRestoreSlots=" + restore +
         "\r\n[Video]\r\nWidth=64\r\nHeight=48\r\nFramePerSecond=15\r\n" + records;
}

std::string WindowRecord(int slot, const std::string& title, const char* paused = "0") {
  return "[Slot" + std::to_string(slot) + "]\r\nKind=Window\r\nPaused=" + paused +
         "\r\nTitle=" + title + "\r\n";
}

class SlotRestore : public testing::Test {
 protected:
  void TearDown() override {
    Stop();
    for (HWND target : targets) DestroyWindow(target);
  }

  // A settings file of records and no store: the first start of an updated Manager.
  void Start(const std::string& settings) {
    if (!settings.empty()) {
      tvqtest::WriteTextFile(Ini(), settings);
      DeleteFileW(Store().c_str());
    }
    app = std::make_unique<CManagerApp>(GetModuleHandleW(nullptr),
                                        folder.File(L"TessavueManager.exe"), L"TVQTest ");
    ASSERT_TRUE(app->CreateMainWindow(SW_SHOW));
  }
  void Stop() {
    if (app && IsWindow(app->Window())) DestroyWindow(app->Window());
    app.reset();
  }
  void Key(UINT key) {
    SendMessageW(app->Window(), WM_KEYDOWN, key, 0);
    SendMessageW(app->Window(), WM_KEYUP, key, 0);
  }
  void Poll() { SendMessageW(app->Window(), WM_TIMER, tvq::kWaitingTimerId, 0); }
  std::wstring Painted() {
    InvalidateRect(app->Window(), nullptr, TRUE);
    UpdateWindow(app->Window());
    return app->StatusText().ToString();
  }
  bool Waits(int slot) const { return app->Waits().WaitingFor(slot) != nullptr; }
  std::wstring Ini() const { return folder.File(L"Tessavue.ini"); }
  std::wstring Store() const { return folder.File(L"Scenes.ini"); }
  // The slot as the store on disk keeps it for the next start.
  tvq::SlotRecord Recorded(int slot) const {
    tvq::CSceneStore store(Store());
    store.Load();
    const tvq::SceneSlot* kept = store.CurrentSlots().SlotAt(slot);
    return kept != nullptr ? kept->record : tvq::SlotRecord();
  }

  TempDir folder;
  std::vector<HWND> targets;
  std::unique_ptr<CManagerApp> app;
};

TEST_F(SlotRestore, BadRecordsNeitherCrashNorAskAndAreLeftAsTheyAre) {
  struct Row {
    const char* name;
    std::string records;
    int slots;
    int kinds[3];
    bool waits[3];
  };
  const std::string longTitle(5000, 'x');
  const std::wstring png = folder.File(L"logo.png");
  CoInitialize(nullptr);
  ASSERT_EQ(S_OK, tvqtest::WriteImage(png, GUID_ContainerFormatPng, 8, 8,
                                      [](int, int) { return tvqtest::Bgra(9, 9, 9, 99); }));
  CoUninitialize();
  tvqtest::WriteTextFile(folder.File(L"note.png"), "no picture");
  const auto path = [&](const wchar_t* name) {
    const std::wstring file = folder.File(name);
    return "Path=" + std::string(file.begin(), file.end()) + "\r\n";
  };
  const Row rows[] = {
      {"an image and a text", "[Slot1]\r\nKind=Image\r\n" + path(L"logo.png") +
                                  "[Slot2]\r\nKind=Text\r\nText=\\sName\\r\\nTitle\r\n"
                                  "Style=Size=900;Color=zz\r\n",
       3, {4, 5, 0}, {false, false, false}},
      {"an image not there yet, one that is no picture",
       "[Slot1]\r\nKind=Image\r\n" + path(L"later.png") + "[Slot2]\r\nKind=Image\r\n" +
           path(L"note.png"),
       3, {0, 0, 0}, {true, false, false}},
      {"an empty text and one too long",
       "[Slot1]\r\nKind=Text\r\nText=\r\n[Slot3]\r\nKind=Text\r\nText=" +
           std::string(3000, 'x') + "\r\n",
       3, {0, 0, 0}, {false, false, false}},
      {"unknown kind", "[Slot1]\r\nKind=Projector\r\nTitle=TVQ restore target\r\n", 3,
       {0, 0, 0}, {false, false, false}},
      {"empty title", WindowRecord(1, ""), 3, {0, 0, 0}, {false, false, false}},
      {"5000-character title", WindowRecord(1, longTitle), 3, {0, 0, 0}, {true, false, false}},
      {"camera of 0 x 0 not there",
       "[Slot1]\r\nKind=Camera\r\nFriendlyName=Gone camera\r\nWidth=0\r\nHeight=0\r\n", 3,
       {0, 0, 0}, {true, false, false}},
      {"camera of 100000 x 100000 not there",
       "[Slot2]\r\nKind=Camera\r\nDevicePath=\\\\?\\usb#gone\r\nWidth=100000\r\n"
       "Height=100000\r\nSubtype=nonsense\r\nFrameInterval=-5\r\n",
       3, {0, 0, 0}, {false, true, false}},
      {"our own camera", "[Slot1]\r\nKind=Camera\r\nFriendlyName=Tessavue Filter\r\n", 3,
       {0, 0, 0}, {false, false, false}},
      {"section cut short", "[Slot1]\r\nKind=Camera\r\n[Slot2]\r\nKind=Window\r\n[Slot3]\r\n", 3,
       {0, 0, 0}, {false, false, false}},
      {"the same window twice", WindowRecord(1, "TVQ restore target") +
                                    WindowRecord(3, "TVQ restore target", "1"),
       3, {2, 0, 0}, {false, false, true}},
      {"more records than slots", "[Slot1]\r\nKind=Desktop\r\nPaused=yes\r\n" +
                                      WindowRecord(2, "TVQ restore target") +
                                      "[Slot3]\r\nKind=Desktop\r\n",
       2, {3, 2, 0}, {false, false, false}},
  };
  targets.push_back(MakeTarget());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string settings = Settings(row.records, row.slots);
    ASSERT_NO_FATAL_FAILURE(Start(settings));
    ASSERT_EQ(row.slots, app->Slots().SlotCount());
    Poll();
    for (int slot = 0; slot < row.slots; ++slot) {
      EXPECT_EQ(row.kinds[slot], app->Slots().Kind(slot)) << "slot " << slot + 1;
      EXPECT_EQ(row.waits[slot], Waits(slot)) << "slot " << slot + 1;
    }
    // "Paused=yes" is no 1: the desktop runs.
    if (row.kinds[0] == tvq::kDesktopSlot) {
      EXPECT_TRUE(app->Slots().IsActive(0));
    }
    EXPECT_NE(std::wstring::npos, Painted().find(L"【使い方】"));
    // Closing records what the occupied slots hold, and nothing else.
    Stop();
    const std::wstring after = tvqtest::ReadTextFile(Ini());
    if (row.kinds[0] == tvq::kEmptySlot && row.kinds[1] == tvq::kEmptySlot) {
      EXPECT_EQ(std::wstring(settings.begin(), settings.end()), after);
    }
  }
}

TEST_F(SlotRestore, AWaitingWindowShowsAsWaitingAndFillsPausedOnceItOpens) {
  ASSERT_NO_FATAL_FAILURE(Start(Settings(WindowRecord(2, "TVQ restore target", "1") +
                                         "[Slot3]\r\nKind=Camera\r\nFriendlyName=Gone cam\r\n")));
  EXPECT_NE(std::wstring::npos,
            Painted().find(L"◆  1. （未設定）\n　  2. TVQ restore target\n"
                           L"　　　《待機中／Dev(Window)》\n　  3. Gone cam\n"
                           L"　　　《待機中／Dev(Camera)》\n----\n"));
  EXPECT_EQ(1, app->StatusText().SlotOfLine(5));
  EXPECT_EQ(2, app->StatusText().SlotOfLine(7));

  targets.push_back(MakeTarget());
  Poll();
  ASSERT_EQ(tvq::kWindowSlot, app->Slots().Kind(1));
  EXPECT_EQ(targets.back(), app->Slots().WindowSource(1).Window());
  EXPECT_FALSE(app->Slots().IsActive(1));
  EXPECT_FALSE(Waits(1));
  EXPECT_NE(std::wstring::npos, Painted().find(L"《停止中／Dev(Window)"));

  // Delete on the waiting camera forgets it; the next start leaves the slot empty.
  Key(VK_UP);
  Key(VK_DELETE);
  EXPECT_FALSE(Waits(2));
  Stop();
  EXPECT_EQ(tvq::kEmptySlot, Recorded(2).kind);
  ASSERT_NO_FATAL_FAILURE(Start(""));
  EXPECT_FALSE(Waits(2));
  EXPECT_EQ(tvq::kWindowSlot, app->Slots().Kind(1));
  EXPECT_FALSE(app->Slots().IsActive(1));
}

TEST_F(SlotRestore, KeysAreRecordedAndAClosedWindowWaitsForItsTitleKeepingItsPicture) {
  const wchar_t title[] = L" TVQ \"spaced\" target ";
  targets.push_back(MakeTarget(title));
  ASSERT_NO_FATAL_FAILURE(Start(Settings("")));
  ASSERT_TRUE(app->FillSlotWithWindow(0, targets.back()));
  Key(VK_DOWN);
  Key('D');
  Key(VK_SPACE);
  Stop();
  EXPECT_EQ(tvq::kDesktopSlot, Recorded(1).kind);
  EXPECT_TRUE(Recorded(1).paused);

  ASSERT_NO_FATAL_FAILURE(Start(""));
  ASSERT_EQ(tvq::kWindowSlot, app->Slots().Kind(0));
  EXPECT_STREQ(title, app->Slots().WindowSource(0).Title());
  ASSERT_EQ(tvq::kDesktopSlot, app->Slots().Kind(1));
  EXPECT_FALSE(app->Slots().IsActive(1));

  SendMessageW(app->Window(), WM_TIMER, tvq::CaptureTimerId(0), 0);
  DestroyWindow(targets.back());
  Poll();
  EXPECT_TRUE(Waits(0));
  EXPECT_NE(nullptr, app->Slots().Picture(0)) << "the last picture stays";
  EXPECT_NE(std::wstring::npos, Painted().find(L"《待機中／Dev(Window)／Pos(x:0,y:0)"));
  targets.push_back(MakeTarget(title));
  Poll();
  EXPECT_FALSE(Waits(0));
  EXPECT_EQ(targets.back(), app->Slots().WindowSource(0).Window());
  // The new window looks as the closed one did (a slide show started again): its captures bring
  // no change, and the slot must still show it rather than a picture made blank in between.
  for (UINT_PTR timer : {tvq::kCompositingTimerId, tvq::CaptureTimerId(0),
                         tvq::kCompositingTimerId}) {
    SendMessageW(app->Window(), WM_TIMER, timer, 0);
  }
  EXPECT_EQ(RGB(10, 200, 30), tvqtest::PixelAt(app->Canvas(), 32, 24));
}

TEST_F(SlotRestore, WithoutTheKeyNothingIsRecordedOrBroughtBack) {
  targets.push_back(MakeTarget());
  for (const char* value : {"", "0", "2"}) {
    SCOPED_TRACE(value);
    const std::string settings = Settings(WindowRecord(2, "TVQ restore target"), 3, value);
    ASSERT_NO_FATAL_FAILURE(Start(settings));
    EXPECT_EQ(tvq::kEmptySlot, app->Slots().Kind(1));
    Key('D');
    Stop();
    EXPECT_EQ(std::wstring(settings.begin(), settings.end()), tvqtest::ReadTextFile(Ini()));
  }
}

}  // namespace
