#include "manager/app/CSlotKeys.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/composition/FakeSlotTable.h"

namespace {

// Records what the keys asked for; filling and clearing change the table as the real slots do.
class RecordingActions : public ISlotKeyActions {
 public:
  explicit RecordingActions(FakeSlotTable& table) : m_table(table) {}

  bool FillSlot(int slot, int kind) override {
    calls.push_back(L"fill " + std::to_wstring(slot) + L" " + std::to_wstring(kind));
    if (m_table.Kind(slot) != tvq::kEmptySlot) return false;
    m_table.Fill(slot, kind);
    return true;
  }
  bool SaveAndClearSlot(int slot) override {
    calls.push_back(L"clear slot " + std::to_wstring(slot));
    return true;
  }
  void RestartCaptureTimer(int slot) override {
    calls.push_back(L"timer " + std::to_wstring(slot));
  }
  void ClearCanvas() override { calls.push_back(L"clear canvas"); }

  std::vector<std::wstring> calls;

 private:
  FakeSlotTable& m_table;
};

class SlotKeys : public testing::Test {
 protected:
  SlotKeys() : table(8), actions(table), keys(table, actions) {}

  void Press(UINT key, int times = 1, bool ctrl = false) {
    for (int i = 0; i < times; ++i) keys.OnKeyDown(key, ctrl);
  }

  // Selects the slot, fills it with a camera and opens its menu with the cursor on row.
  void EditRow(int row) {
    table.Fill(keys.SelectedSlot(), tvq::kCameraSlot);
    Press(VK_RETURN);
    Press(VK_DOWN, row);
    Press(VK_RETURN);
    ASSERT_EQ(CSlotKeys::Mode::Editing, keys.CurrentMode());
    ASSERT_EQ(row + 1, keys.EditField());
    actions.calls.clear();
  }

  SCIInfo& Info() { return table.Placement(keys.SelectedSlot()); }

  FakeSlotTable table;
  RecordingActions actions;
  CSlotKeys keys;
};

using Calls = std::vector<std::wstring>;

TEST_F(SlotKeys, StartsBrowsingOnTheFirstSlot) {
  EXPECT_EQ(0, keys.SelectedSlot());
  EXPECT_FALSE(keys.IsMenuOpen());
  EXPECT_EQ(0, keys.MenuCursor());
  EXPECT_EQ(0, keys.EditField());
  EXPECT_EQ(CSlotKeys::Mode::Browsing, keys.CurrentMode());
}

TEST_F(SlotKeys, BrowsingUpAndDownWrapAroundTheSlots) {
  Press(VK_UP);
  EXPECT_EQ(7, keys.SelectedSlot());
  Press(VK_DOWN);
  EXPECT_EQ(0, keys.SelectedSlot());
  Press(VK_DOWN, 7);
  EXPECT_EQ(7, keys.SelectedSlot());
  Press(VK_DOWN);
  EXPECT_EQ(0, keys.SelectedSlot());
  Press(VK_LEFT);
  Press(VK_RIGHT);
  EXPECT_EQ(0, keys.SelectedSlot());
  EXPECT_TRUE(actions.calls.empty());
}

TEST_F(SlotKeys, EnterOpensTheMenuOnlyOnAnOccupiedSlot) {
  Press(VK_RETURN);
  EXPECT_FALSE(keys.IsMenuOpen());
  Press(VK_BACK);  // nothing in browsing mode
  EXPECT_EQ(CSlotKeys::Mode::Browsing, keys.CurrentMode());

  table.Fill(0, tvq::kWindowSlot);
  Press(VK_RETURN);
  EXPECT_TRUE(keys.IsMenuOpen());
  EXPECT_EQ(0, keys.MenuCursor());
  EXPECT_EQ(CSlotKeys::Mode::Menu, keys.CurrentMode());
}

TEST_F(SlotKeys, MenuCursorWrapsAndTheSelectionStays) {
  table.Fill(3, tvq::kDesktopSlot);
  Press(VK_DOWN, 3);
  Press(VK_RETURN);
  Press(VK_UP);
  EXPECT_EQ(4, keys.MenuCursor());
  Press(VK_DOWN);
  EXPECT_EQ(0, keys.MenuCursor());
  Press(VK_DOWN, 2);
  EXPECT_EQ(2, keys.MenuCursor());
  Press(VK_LEFT);
  Press(VK_RIGHT);
  EXPECT_EQ(2, keys.MenuCursor());
  EXPECT_EQ(3, keys.SelectedSlot());
}

TEST_F(SlotKeys, EnterPicksTheRowAndBackspaceStepsBackOneModeAtATime) {
  table.Fill(0, tvq::kCameraSlot);
  Press(VK_RETURN);
  Press(VK_DOWN);
  Press(VK_RETURN);
  EXPECT_EQ(2, keys.EditField());
  Press(VK_RETURN);  // the picked row stays picked
  EXPECT_EQ(2, keys.EditField());
  EXPECT_EQ(CSlotKeys::Mode::Editing, keys.CurrentMode());
  Press(VK_BACK);
  EXPECT_EQ(CSlotKeys::Mode::Menu, keys.CurrentMode());
  EXPECT_EQ(1, keys.MenuCursor());
  Press(VK_BACK);
  EXPECT_EQ(CSlotKeys::Mode::Browsing, keys.CurrentMode());
  Press(VK_RETURN);  // opening again puts the cursor back on the first row
  EXPECT_EQ(0, keys.MenuCursor());
}

TEST_F(SlotKeys, DeleteWorksOnlyWhileBrowsing) {
  table.Fill(0, tvq::kCameraSlot);
  Press(VK_RETURN);
  Press(VK_DELETE);
  Press(VK_RETURN);
  Press(VK_DELETE);
  EXPECT_TRUE(actions.calls.empty());
  Press(VK_BACK, 2);
  Press(VK_DOWN);
  Press(VK_DELETE);
  EXPECT_EQ(Calls{L"clear slot 1"}, actions.calls);
}

TEST_F(SlotKeys, FillKeysAskForTheirKindInEveryMode) {
  Press('C');
  EXPECT_EQ(tvq::kCameraSlot, table.Kind(0));
  Press(VK_DOWN);
  Press('W');
  Press(VK_DOWN);
  Press('D');
  EXPECT_EQ(tvq::kWindowSlot, table.Kind(1));
  EXPECT_EQ(tvq::kDesktopSlot, table.Kind(2));
  Press(VK_RETURN);
  Press('C');  // refused by the occupied slot
  Press(VK_RETURN);
  Press('W');
  EXPECT_EQ(tvq::kDesktopSlot, table.Kind(2));
  EXPECT_EQ((Calls{L"fill 0 1", L"fill 1 2", L"fill 2 3", L"fill 2 1", L"fill 2 2"}),
            actions.calls);
  // Keys are taken by virtual-key code: lower-case character codes are other keys.
  actions.calls.clear();
  Press('c');
  Press('r');
  Press('X');
  Press(VK_ESCAPE);
  EXPECT_TRUE(actions.calls.empty());
}

TEST_F(SlotKeys, RClearsTheCanvasInEveryMode) {
  Press('R');
  table.Fill(0, tvq::kCameraSlot);
  Press(VK_RETURN);
  Press('R');
  Press(VK_RETURN);
  Press('R');
  EXPECT_EQ(Calls(3, L"clear canvas"), actions.calls);
}

TEST_F(SlotKeys, SpacePausesWithABlankCanvasAndResumesWithout) {
  table.Fill(0, tvq::kCameraSlot);
  Press(VK_SPACE);
  EXPECT_FALSE(table.IsActive(0));
  EXPECT_EQ(Calls{L"clear canvas"}, actions.calls);
  Press(VK_SPACE);
  EXPECT_TRUE(table.IsActive(0));
  EXPECT_EQ(Calls{L"clear canvas"}, actions.calls);
  // Also while editing, and on an empty slot only the flag flips.
  Press(VK_RETURN, 2);
  Press(VK_SPACE);
  EXPECT_FALSE(table.IsActive(0));
  Press(VK_BACK, 2);
  Press(VK_DOWN);
  Press(VK_SPACE);
  EXPECT_TRUE(table.IsActive(1));
  EXPECT_EQ(tvq::kEmptySlot, table.Kind(1));
  EXPECT_EQ((Calls{L"clear canvas", L"clear canvas"}), actions.calls);
}

struct ArrowCase {
  int row;
  UINT key;
  bool ctrl;
  SCIInfo expected;
};

SCIInfo With(double SCIInfo::*field, double value) {
  SCIInfo info;
  info.CapturePerSecond = 15.0;
  info.*field = value;
  return info;
}

SCIInfo WithTrim(std::int32_t SCIInfo::*field, std::int32_t value) {
  SCIInfo info;
  info.CapturePerSecond = 15.0;
  info.*field = value;
  return info;
}

TEST_F(SlotKeys, EveryArrowOfEveryRowChangesItsValue) {
  const ArrowCase cases[] = {
      {0, VK_UP, false, With(&SCIInfo::Pos_y, -0.05)},
      {0, VK_DOWN, false, With(&SCIInfo::Pos_y, 0.05)},
      {0, VK_LEFT, false, With(&SCIInfo::Pos_x, -0.05)},
      {0, VK_RIGHT, false, With(&SCIInfo::Pos_x, 0.05)},
      {0, VK_RIGHT, true, With(&SCIInfo::Pos_x, 0.1 * 0.05)},
      {1, VK_UP, false, With(&SCIInfo::Height, 0.95)},
      {1, VK_DOWN, false, With(&SCIInfo::Height, 1.05)},
      {1, VK_LEFT, false, With(&SCIInfo::Width, 0.95)},
      {1, VK_RIGHT, false, With(&SCIInfo::Width, 1.05)},
      {1, VK_DOWN, true, With(&SCIInfo::Height, 1.0 + 0.1 * 0.05)},
      {2, VK_UP, false, WithTrim(&SCIInfo::TrimTop, 1)},
      {2, VK_DOWN, false, WithTrim(&SCIInfo::TrimTop, -1)},
      {2, VK_LEFT, false, WithTrim(&SCIInfo::TrimLeft, 1)},
      {2, VK_RIGHT, false, WithTrim(&SCIInfo::TrimLeft, -1)},
      {2, VK_UP, true, WithTrim(&SCIInfo::TrimTop, 1)},  // a trim always moves one pixel
      {3, VK_UP, false, WithTrim(&SCIInfo::TrimBottom, -1)},
      {3, VK_DOWN, false, WithTrim(&SCIInfo::TrimBottom, 1)},
      {3, VK_LEFT, false, WithTrim(&SCIInfo::TrimRight, -1)},
      {3, VK_RIGHT, false, WithTrim(&SCIInfo::TrimRight, 1)},
      {3, VK_RIGHT, true, WithTrim(&SCIInfo::TrimRight, 1)},
      {4, VK_UP, false, With(&SCIInfo::CapturePerSecond, 16.0)},
      {4, VK_DOWN, false, With(&SCIInfo::CapturePerSecond, 14.0)},
      {4, VK_UP, true, With(&SCIInfo::CapturePerSecond, 15.0 + 0.1)},
      {4, VK_DOWN, true, With(&SCIInfo::CapturePerSecond, 15.0 - 0.1)},
      {4, VK_LEFT, false, With(&SCIInfo::CapturePerSecond, 15.0)},
      {4, VK_RIGHT, false, With(&SCIInfo::CapturePerSecond, 15.0)},
  };
  int slot = 0;
  for (const ArrowCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " key " << c.key << " ctrl " << c.ctrl);
    // A fresh slot for every case, so each starts from the placement of a new camera.
    Press(VK_BACK, 2);
    Press(VK_DOWN);
    slot = keys.SelectedSlot();
    table.Placement(slot) = SCIInfo();
    table.Placement(slot).CapturePerSecond = 15.0;
    EditRow(c.row);
    Press(c.key, 1, c.ctrl);
    const SCIInfo& got = table.Placement(slot);
    EXPECT_DOUBLE_EQ(c.expected.Pos_x, got.Pos_x);
    EXPECT_DOUBLE_EQ(c.expected.Pos_y, got.Pos_y);
    EXPECT_DOUBLE_EQ(c.expected.Width, got.Width);
    EXPECT_DOUBLE_EQ(c.expected.Height, got.Height);
    EXPECT_EQ(c.expected.TrimLeft, got.TrimLeft);
    EXPECT_EQ(c.expected.TrimTop, got.TrimTop);
    EXPECT_EQ(c.expected.TrimRight, got.TrimRight);
    EXPECT_EQ(c.expected.TrimBottom, got.TrimBottom);
    EXPECT_DOUBLE_EQ(c.expected.CapturePerSecond, got.CapturePerSecond);
    const bool restarts = c.row == 4 && (c.key == VK_UP || c.key == VK_DOWN);
    EXPECT_EQ(restarts ? Calls{L"timer " + std::to_wstring(slot)} : Calls{}, actions.calls);
    // Slots are reused once the eight have been used.
    table.SetActive(slot, false);
    table.Fill(slot, tvq::kEmptySlot);
  }
}

TEST_F(SlotKeys, ThreeStepsRightMoveAFifteenthOfTheCanvas) {
  EditRow(0);
  Press(VK_RIGHT, 3);
  EXPECT_NEAR(0.15, Info().Pos_x, 1e-12);
  Press(VK_RIGHT, 1, true);
  EXPECT_NEAR(0.155, Info().Pos_x, 1e-12);
  Press(VK_LEFT, 2, true);
  EXPECT_NEAR(0.145, Info().Pos_x, 1e-12);
}

TEST_F(SlotKeys, CaptureRateGoesBelowZeroAndRestartsTheTimerEachTime) {
  EditRow(4);
  Info().CapturePerSecond = 1.0;
  Press(VK_DOWN, 3);
  // The rate keeps what the user set; turning it into a timer interval is the slots' business.
  EXPECT_DOUBLE_EQ(-2.0, Info().CapturePerSecond);
  EXPECT_EQ(Calls(3, L"timer 0"), actions.calls);
}

TEST_F(SlotKeys, TrimsStopAtTheEndsOfTheIntRange) {
  EditRow(2);
  Info().TrimTop = INT_MAX;
  Info().TrimLeft = INT_MIN;
  Press(VK_UP);
  Press(VK_RIGHT);
  EXPECT_EQ(INT_MAX, Info().TrimTop);
  EXPECT_EQ(INT_MIN, Info().TrimLeft);
  Press(VK_DOWN);
  EXPECT_EQ(INT_MAX - 1, Info().TrimTop);
}

}  // namespace
