#include "manager/composition/CSlots.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/Lifetime.h"
#include "manager/app/Settings.h"
#include "manager/app/TimerIds.h"
#include "tests/common/ImageFiles.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestWindow.h"

namespace {

using tvqtest::TempDir;

HWND MakeWindow(const std::wstring& title, bool visible) {
  return tvqtest::MakeWindowHere(tvqtest::SolidWindow(
      title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), {10, 10, 130, 100}, RGB(255, 255, 255)));
}

// Pumps this thread's messages until the given timer fires on the window.
bool TimerFires(HWND window, UINT_PTR id, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER && msg.wParam == id) return true;
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return false;
}

// Answers Yes for the window whose title is wanted, No for every other.
tvq::MessageBoxFn YesFor(const std::wstring& wanted) {
  return [wanted](const wchar_t* text, const wchar_t*, UINT) {
    return wanted == text ? IDYES : IDNO;
  };
}

class Slots : public testing::Test {
 protected:
  void SetUp() override {
    main = MakeWindow(L"TVQ slots test main", false);
    ASSERT_NE(nullptr, main);
    timers.SetWindow(main);
    ASSERT_TRUE(slots.Reset(8));
  }
  void TearDown() override {
    if (IsWindow(main)) DestroyWindow(main);
  }

  std::wstring File(const wchar_t* name) const { return dir.File(name); }

  // A window chooser never offers the window on top: the one the user pressed the key in.
  HWND MakeTarget(const std::wstring& title) {
    HWND target = MakeWindow(title, true);
    SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return target;
  }

  TempDir dir;
  HWND main = nullptr;
  tvq::CPlacementFiles files{dir.File(L"TessavueManager.exe")};
  tvq::CCaptureTimers timers;
  CSlots slots{files, timers};
};

TEST_F(Slots, ResetMakesEveryConfiguredSlotEmptyAndInactive) {
  EXPECT_EQ(8, slots.SlotCount());
  ASSERT_TRUE(slots.Reset(40));
  EXPECT_EQ(40, slots.SlotCount());
  for (int slot = 0; slot < 40; ++slot) {
    EXPECT_EQ(tvq::kEmptySlot, slots.Kind(slot));
    EXPECT_FALSE(slots.IsActive(slot));
    EXPECT_EQ(nullptr, slots.Picture(slot));
    EXPECT_FALSE(slots.CaptureTick(slot));
  }
  // Slots above 32 have their own sources.
  ASSERT_TRUE(slots.Fill(39, tvq::kDesktopSlot));
  EXPECT_EQ(&slots.Desktop(39).Picture(), slots.Picture(39));
  EXPECT_EQ(nullptr, slots.Desktop(38).Picture().Bitmap());
}

TEST_F(Slots, ADesktopWithoutSavedEntryCoversTheCanvasAtFivePerSecond) {
  ASSERT_TRUE(slots.Fill(2, tvq::kDesktopSlot));
  EXPECT_EQ(tvq::kDesktopSlot, slots.Kind(2));
  EXPECT_TRUE(slots.IsActive(2));
  const SCIInfo& info = slots.Placement(2);
  EXPECT_EQ(0.0, info.Pos_x);
  EXPECT_EQ(0.0, info.Pos_y);
  EXPECT_EQ(1.0, info.Width);
  EXPECT_EQ(1.0, info.Height);
  EXPECT_EQ(0, info.TrimLeft + info.TrimTop + info.TrimRight + info.TrimBottom);
  EXPECT_EQ(5.0, info.CapturePerSecond);
  EXPECT_EQ(200u, slots.CaptureIntervalMs(2));
  CImage* picture = slots.Picture(2);
  ASSERT_NE(nullptr, picture);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), picture->Width());
  EXPECT_TRUE(slots.CaptureTick(2));
  EXPECT_TRUE(TimerFires(main, tvq::CaptureTimerId(2), 2000));
  EXPECT_TRUE(slots.SourceName(2).empty());
}

TEST_F(Slots, FillingAnOccupiedSlotOrAnUnknownKindChangesNothing) {
  ASSERT_TRUE(slots.Fill(0, tvq::kDesktopSlot));
  slots.Placement(0).Pos_x = 0.5;
  EXPECT_FALSE(slots.Fill(0, tvq::kDesktopSlot));
  EXPECT_FALSE(slots.Fill(0, tvq::kWindowSlot));
  EXPECT_EQ(0.5, slots.Placement(0).Pos_x);
  EXPECT_FALSE(slots.Fill(1, 99));
  EXPECT_FALSE(slots.Fill(1, tvq::kEmptySlot));
  EXPECT_FALSE(slots.Fill(8, tvq::kDesktopSlot));
  EXPECT_FALSE(slots.Fill(-1, tvq::kDesktopSlot));
  EXPECT_EQ(tvq::kEmptySlot, slots.Kind(1));
}

TEST_F(Slots, SaveAndClearStopsTheTimerAndTheNextDesktopSlotGetsThePlacement) {
  ASSERT_TRUE(slots.Fill(0, tvq::kDesktopSlot));
  SCIInfo& info = slots.Placement(0);
  info.Pos_x = 0.15000000000000002;
  info.Height = 0.5;
  info.TrimLeft = -5;
  info.CapturePerSecond = 7.5;
  ASSERT_TRUE(slots.SaveAndClear(0));
  EXPECT_EQ(tvq::kEmptySlot, slots.Kind(0));
  EXPECT_FALSE(slots.IsActive(0));
  EXPECT_EQ(nullptr, slots.Picture(0));
  EXPECT_FALSE(KillTimer(main, tvq::CaptureTimerId(0))) << "the capture timer was stopped";
  EXPECT_FALSE(slots.SaveAndClear(0));

  const std::wstring file = File(tvq::kDesktopFileName);
  EXPECT_EQ(L"0.1500000000000000", tvq::FormatDecimal(tvq::ReadDecimal(file, L"Desktop",
                                                                       L"Pos_x", -1)));
  ASSERT_TRUE(slots.Fill(5, tvq::kDesktopSlot));
  EXPECT_NEAR(0.15, slots.Placement(5).Pos_x, 1e-15);
  EXPECT_EQ(0.5, slots.Placement(5).Height);
  EXPECT_EQ(-5, slots.Placement(5).TrimLeft);
  EXPECT_EQ(7.5, slots.Placement(5).CapturePerSecond);
  EXPECT_EQ(133u, slots.CaptureIntervalMs(5));
}

TEST_F(Slots, APausedSlotKeepsItsTimerButNeitherCapturesNorShows) {
  ASSERT_TRUE(slots.Fill(1, tvq::kDesktopSlot));
  slots.SetActive(1, false);
  EXPECT_EQ(nullptr, slots.Picture(1));
  EXPECT_FALSE(slots.CaptureTick(1));
  EXPECT_TRUE(TimerFires(main, tvq::CaptureTimerId(1), 2000));
}

TEST_F(Slots, AWindowSlotUsesTheChosenWindowAndItsTitle) {
  const std::wstring title = L"TVQ slot window ウインドウ";
  HWND target = MakeTarget(title);
  ASSERT_NE(nullptr, target);
  slots.WindowSource(3).SetMessageBox(YesFor(title));
  ASSERT_TRUE(slots.Fill(3, tvq::kWindowSlot));
  EXPECT_EQ(title, slots.SourceName(3));
  EXPECT_EQ(5.0, slots.Placement(3).CapturePerSecond);
  ASSERT_NE(nullptr, slots.Picture(3));
  EXPECT_TRUE(slots.CaptureTick(3));

  // Saved under the title the window has when the slot is cleared.
  const std::wstring renamed = L"TVQ renamed window";
  SetWindowTextW(target, renamed.c_str());
  slots.CaptureTick(3);
  slots.Placement(3).Width = 0.25;
  ASSERT_TRUE(slots.SaveAndClear(3));
  EXPECT_EQ(0.25, tvq::ReadDecimal(File(tvq::kWindowFileName), renamed.c_str(), L"Width", -1));
  DestroyWindow(target);
}

TEST_F(Slots, ACancelledWindowChoiceLeavesTheSlotEmpty) {
  slots.WindowSource(0).SetMessageBox([](const wchar_t*, const wchar_t*, UINT) {
    return IDCANCEL;
  });
  HWND target = MakeTarget(L"TVQ offered window");
  EXPECT_FALSE(slots.Fill(0, tvq::kWindowSlot));
  EXPECT_EQ(tvq::kEmptySlot, slots.Kind(0));
  EXPECT_FALSE(KillTimer(main, tvq::CaptureTimerId(0)));
  DestroyWindow(target);
}

TEST_F(Slots, ACameraThatCannotBeOpenedLeavesTheSlotEmptyAndFree) {
  // A bare prefix has no video input device; whatever the source asks is answered No.
  slots.Camera(4).SetMessageBox([](const wchar_t*, const wchar_t*, UINT) { return IDNO; });
  EXPECT_FALSE(slots.Fill(4, tvq::kCameraSlot));
  EXPECT_EQ(tvq::kEmptySlot, slots.Kind(4));
  EXPECT_FALSE(slots.Camera(4).HasGraph());
  ASSERT_TRUE(slots.Fill(4, tvq::kDesktopSlot));
}

TEST_F(Slots, ASlotBeingFilledCannotBeFilledAgainMeanwhile) {
  const std::wstring title = L"TVQ window chosen slowly";
  HWND target = MakeTarget(title);
  bool nestedFill = true;
  slots.WindowSource(6).SetMessageBox([&](const wchar_t* text, const wchar_t*, UINT) {
    if (title != text) return IDNO;
    // The user presses D on the same slot while the question waits.
    nestedFill = slots.Fill(6, tvq::kDesktopSlot);
    return IDYES;
  });
  ASSERT_TRUE(slots.Fill(6, tvq::kWindowSlot));
  EXPECT_FALSE(nestedFill);
  EXPECT_EQ(tvq::kWindowSlot, slots.Kind(6));
  DestroyWindow(target);
}

TEST_F(Slots, AChoiceFinishedAfterTheMainWindowClosedFillsNothing) {
  const std::wstring title = L"TVQ window chosen too late";
  HWND target = MakeTarget(title);
  slots.WindowSource(0).SetMessageBox([&](const wchar_t* text, const wchar_t*, UINT) {
    if (title != text) return IDNO;
    DestroyWindow(main);
    return IDYES;
  });
  EXPECT_FALSE(slots.Fill(0, tvq::kWindowSlot));
  EXPECT_EQ(tvq::kEmptySlot, slots.Kind(0));
  DestroyWindow(target);
}

TEST_F(Slots, ACaptureRateOfZeroOrBelowStillGivesAWorkingTimer) {
  ASSERT_TRUE(slots.Fill(0, tvq::kDesktopSlot));
  for (double rate : {0.0, -2.0, 1e-9}) {
    SCOPED_TRACE(rate);
    slots.Placement(0).CapturePerSecond = rate;
    slots.RestartCaptureTimer(0);
    EXPECT_EQ(rate, slots.Placement(0).CapturePerSecond) << "the rate keeps what was set";
    EXPECT_EQ(200u, slots.CaptureIntervalMs(0));
    EXPECT_TRUE(TimerFires(main, tvq::CaptureTimerId(0), 2000));
  }
  slots.Placement(0).CapturePerSecond = 16.0;
  slots.RestartCaptureTimer(0);
  EXPECT_EQ(62u, slots.CaptureIntervalMs(0));
  // An empty slot gets no timer.
  slots.RestartCaptureTimer(1);
  EXPECT_FALSE(KillTimer(main, tvq::CaptureTimerId(1)));
}

TEST(SlotSectionName, LongNamesAreCutSafelyAt255Characters) {
  const std::wstring exact(255, L'a');
  EXPECT_EQ(exact, CSlots::SafeSectionName(exact.c_str()));
  EXPECT_EQ(exact, CSlots::SafeSectionName((exact + L"bcdef").c_str()));
  // A surrogate pair across the limit is dropped whole, not cut in half.
  const std::wstring pair = std::wstring(254, L'a') + L"\xD83D\xDE00" + L"tail";
  EXPECT_EQ(std::wstring(254, L'a'), CSlots::SafeSectionName(pair.c_str()));
  EXPECT_EQ(L"two lines", CSlots::SafeSectionName(L"two\nlines"));
  EXPECT_EQ(L"", CSlots::SafeSectionName(nullptr));
}

TEST_F(Slots, AWindowWithAVeryLongTitleIsSavedAndFoundUnderTheCutName) {
  const std::wstring title = std::wstring(300, L'x') + L"end";
  HWND target = MakeTarget(title);
  ASSERT_NE(nullptr, target);
  slots.WindowSource(0).SetMessageBox(YesFor(title));
  ASSERT_TRUE(slots.Fill(0, tvq::kWindowSlot));
  slots.Placement(0).Pos_y = 0.75;
  ASSERT_TRUE(slots.SaveAndClear(0));
  EXPECT_EQ(0.75, tvq::ReadDecimal(File(tvq::kWindowFileName), std::wstring(255, L'x').c_str(),
                                   L"Pos_y", -1));
  slots.WindowSource(1).SetMessageBox(YesFor(title));
  ASSERT_TRUE(slots.Fill(1, tvq::kWindowSlot));
  EXPECT_EQ(0.75, slots.Placement(1).Pos_y);
  DestroyWindow(target);
}

// What a user may pick by mistake, or a record may name, filled the way every fill ends: each is
// refused with a reason the status text shows, no box asks anything, and the desktop slot beside
// it goes on as it was.
TEST_F(Slots, FilesAndTextsNoSlotCanShowAreRefusedWithAReasonAndHarmNothing) {
  ASSERT_TRUE(slots.Fill(0, tvq::kDesktopSlot));
  const HBITMAP desktop = slots.Picture(0)->Bitmap();
  const std::wstring png = File(L"good.png");
  ASSERT_EQ(S_OK, tvqtest::WriteImage(png, GUID_ContainerFormatPng, 64, 64, [](int x, int y) {
    return tvqtest::Bgra(static_cast<BYTE>(x * 4), static_cast<BYTE>(y * 4), 90);
  }));
  DWORD drives = GetLogicalDrives();
  wchar_t drive = L'Z';
  while (drive > L'D' && (drives & (1u << (drive - L'A'))) != 0) --drive;
  std::wstring lines;
  for (int line = 0; line < 10000; ++line) lines += L"line " + std::to_wstring(line) + L"\r\n";
  const auto text = [&](const wchar_t* name, const char* bytes) {
    tvqtest::WriteTextFile(File(name), bytes);
    return File(name);
  };
  const auto copy = [&](const wchar_t* name) {
    CopyFileW(png.c_str(), File(name).c_str(), FALSE);
    return File(name);
  };
  const auto claiming = [&](const wchar_t* name, unsigned width, unsigned height) {
    tvqtest::WritePngClaiming(File(name), width, height);
    return File(name);
  };
  tvq::UniqueFileHandle held;
  const auto hold = [&](const std::wstring& path) {
    held.Reset(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return path;
  };
  const int image = tvq::kImageSlot;
  const struct {
    const char* name;
    std::function<std::wstring()> make;  // the image file, or the text for a text slot
    int kind;
    const wchar_t* says;
  } rows[] = {
      {"an empty file", [&] { return text(L"empty.png", ""); }, image, L"ファイルが空です"},
      {"a PNG cut short", [&] { tvqtest::CutFile(copy(L"cut.png"), 120); return File(L"cut.png"); },
       image, L"画像として読めません"},
      {"text named .png", [&] { return text(L"note.png", "not a picture\r\n"); }, image,
       L"画像として読めません"},
      {"a folder", [&] { return dir.Path(); }, image, L"フォルダーは開けません"},
      {"a drive that is not there", [&] { return std::wstring(1, drive) + L":\\logo.png"; },
       image, L"ファイルが見つかりません"},
      {"a header of 30000 x 30000", [&] { return claiming(L"huge.png", 30000, 30000); }, image,
       L"画像が大きすぎます（30000×30000"},
      {"a header of 1000000 x 1", [&] { return claiming(L"long.png", 1000000, 1); }, image,
       L"画像が大きすぎます（1000000×1"},
      {"a file another program holds", [&] { return hold(copy(L"held.png")); }, image,
       L"ほかのプログラムが使用中"},
      {"an empty text", [] { return std::wstring(L" \r\n　"); }, tvq::kTextSlot,
       L"テキストが空です"},
      {"100 KB of 10,000 lines", [&] { return lines; }, tvq::kTextSlot, L"テキストが長すぎます"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::wstring what = row.make();
    const bool filled = slots.FillQuietly(1, row.kind, [&](ICaptureSource& source) {
      return row.kind == tvq::kImageSlot ? static_cast<CCaptureImage&>(source).Open(what)
                                         : static_cast<CCaptureText&>(source).Open(what, {});
    });
    EXPECT_FALSE(filled);
    EXPECT_EQ(tvq::kEmptySlot, slots.Kind(1));
    EXPECT_NE(std::wstring::npos, slots.FillProblem().find(row.says))
        << testing::PrintToString(slots.FillProblem());
    EXPECT_EQ(tvq::kDesktopSlot, slots.Kind(0));
    ASSERT_NE(nullptr, slots.Picture(0));
    EXPECT_EQ(desktop, slots.Picture(0)->Bitmap());
  }
  held.Reset();
  // The same slot then takes a good file at once.
  EXPECT_TRUE(slots.FillQuietly(1, tvq::kImageSlot, [&](ICaptureSource& source) {
    return static_cast<CCaptureImage&>(source).Open(png);
  }));
  EXPECT_EQ(L"good.png", slots.SourceName(1));
  EXPECT_TRUE(slots.FillProblem().empty());
}

}  // namespace
