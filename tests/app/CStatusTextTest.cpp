#include "manager/app/CStatusText.h"

#include <gtest/gtest.h>

#include <string>

#include "manager/app/CSlotKeys.h"
#include "tests/composition/FakeSlotTable.h"

namespace {

const std::wstring kTop = L"【ステータス】\n";
const std::wstring kSlotList = L"----\n【入力映像】\n";
const std::wstring kUsage =
    L"----\n【使い方】\n"
    L"［↑↓］：カーソル移動\n"
    L"［C］：カメラ映像入力\n"
    L"［W］：ウインドウ映像入力\n"
    L"［D］：デスクトップ映像入力\n"
    L"［I］：画像入力\n"
    L"［T］：テキスト入力\n"
    L"［SPACE］：映像の一時停止／入力再開\n"
    L"［ENTER］：メニューを開く\n"
    L"［BACKSPACE］：メニューを閉じる\n"
    L"［DELETE］：映像入力の削除\n"
    L"［R］：映像のリフレッシュ\n";

class NoActions : public ISlotKeyActions {
 public:
  bool FillSlot(int, int) override { return false; }
  bool SaveAndClearSlot(int) override { return false; }
  void RestartCaptureTimer(int) override {}
  void ClearCanvas() override {}
};

class StatusText : public testing::Test {
 protected:
  explicit StatusText(int slots = 8) : table(slots), keys(table, actions) {}

  std::wstring Build(int width = 1024, int height = 768, double rate = 15.0) {
    text.Build(width, height, rate, table, keys);
    return text.ToString();
  }

  // Fills slot 0 the way a first-time camera is filled.
  void FillCamera() {
    table.Fill(0, tvq::kCameraSlot, L"USB Camera");
    table.Placement(0).CapturePerSecond = 15.0;
  }

  FakeSlotTable table;
  NoActions actions;
  CSlotKeys keys;
  CStatusText text;
};

std::wstring EmptySlots(int from, int to) {
  std::wstring lines;
  for (int n = from; n <= to; ++n) {
    wchar_t head[16];
    swprintf(head, 16, L"　%3d. ", n);
    lines += head;
    lines += L"（未設定）\n";
  }
  return lines;
}

const std::wstring kCameraDetail =
    L"　　　《入力中／Dev(Camera)／Pos(x:0,y:0)／Size(w:1024/h:768)／Trim(l:0,t:0,r:0,b:0)／"
    L"Fps(15.0)》\n";

TEST_F(StatusText, FreshStartShowsTheOutputEightEmptySlotsAndTheKeys) {
  EXPECT_EQ(kTop + L"1024×768（15.00fps）\n" + kSlotList + L"◆  1. （未設定）\n" +
                EmptySlots(2, 8) + kUsage,
            Build());
}

TEST_F(StatusText, NegotiatedFormatAndRateAreShown) {
  const std::wstring built = Build(640, 480, 10000000.0 / 333333);
  EXPECT_EQ(kTop + L"640×480（30.00fps）\n", built.substr(0, kTop.size() + 18));
}

TEST_F(StatusText, ACameraSlotShowsItsNameAndPlacement) {
  FillCamera();
  EXPECT_EQ(kTop + L"1024×768（15.00fps）\n" + kSlotList + L"◆  1. USB Camera\n" +
                kCameraDetail + EmptySlots(2, 8) + kUsage,
            Build());
}

TEST_F(StatusText, APausedSlotReadsStopped) {
  FillCamera();
  keys.OnKeyDown(VK_SPACE, false);
  const std::wstring built = Build();
  EXPECT_NE(std::wstring::npos,
            built.find(L"◆  1. USB Camera\n　　　《停止中／Dev(Camera)／Pos(x:0,y:0)"));
}

TEST_F(StatusText, WindowAndDesktopSlotsAndTheirPlacementInPixels) {
  table.Fill(1, tvq::kWindowSlot, L"メモ帳");
  SCIInfo& window = table.Placement(1);
  window.Pos_x = 0.25;
  window.Pos_y = 0.5;
  window.Width = 0.333;
  window.Height = 0.5;
  window.TrimLeft = -5;
  window.TrimTop = 1;
  window.TrimRight = 2;
  window.TrimBottom = 3;
  window.CapturePerSecond = 5.0;
  table.Fill(2, tvq::kDesktopSlot);
  SCIInfo& desktop = table.Placement(2);
  desktop.Pos_x = -0.01;
  desktop.CapturePerSecond = 4.96;
  table.SetActive(2, false);
  EXPECT_EQ(kTop + L"1024×768（15.00fps）\n" + kSlotList + L"◆  1. （未設定）\n" +
                L"　  2. メモ帳\n"
                L"　　　《入力中／Dev(Window)／Pos(x:256,y:384)／Size(w:340/h:384)／"
                L"Trim(l:-5,t:1,r:2,b:3)／Fps(5.0)》\n"
                L"　  3. デスクトップ\n"
                L"　　　《停止中／Dev(Desktop)／Pos(x:-10,y:0)／Size(w:1024/h:768)／"
                L"Trim(l:0,t:0,r:0,b:0)／Fps(5.0)》\n" +
                EmptySlots(4, 8) + kUsage,
            Build());
}

const std::wstring kMenuHead = kTop + L"1024×768（15.00fps）\n" + kSlotList +
                               L"◇  1. USB Camera\n" + kCameraDetail;

TEST_F(StatusText, OpenMenuMarksTheSlotAndTheCursorRow) {
  FillCamera();
  keys.OnKeyDown(VK_RETURN, false);
  keys.OnKeyDown(VK_UP, false);
  EXPECT_EQ(kMenuHead +
                L"　　　├　移動\n"
                L"　　　├　サイズ\n"
                L"　　　├　トリム（上左）\n"
                L"　　　├　トリム（下右）\n"
                L"　　　└◆キャプチャレート\n" +
                EmptySlots(2, 8) + kUsage,
            Build());
}

TEST_F(StatusText, EditedRowIsPickedAndFollowedByItsHelpLine) {
  FillCamera();
  keys.OnKeyDown(VK_RETURN, false);
  keys.OnKeyDown(VK_DOWN, false);
  keys.OnKeyDown(VK_RETURN, false);
  EXPECT_EQ(kMenuHead +
                L"　　　├　移動\n"
                L"　　　├◇サイズ\n"
                L"　　　│└◆［↑↓］高さ／［←→］幅\n"
                L"　　　├　トリム（上左）\n"
                L"　　　├　トリム（下右）\n"
                L"　　　└　キャプチャレート\n" +
                EmptySlots(2, 8) + kUsage,
            Build());
}

TEST_F(StatusText, EveryRowHasItsOwnHelpLine) {
  FillCamera();
  keys.OnKeyDown(VK_RETURN, false);
  const wchar_t* help[] = {
      L"├◇移動\n　　　│└◆［↑↓］上下／［←→］左右\n",
      L"├◇サイズ\n　　　│└◆［↑↓］高さ／［←→］幅\n",
      L"├◇トリム（上左）\n　　　│└◆［↑↓］上端／［←→］左端\n",
      L"├◇トリム（下右）\n　　　│└◆［↑↓］下端／［←→］右端\n",
      L"└◇キャプチャレート\n　　　　└◆［↑↓］増減\n",
  };
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    keys.OnKeyDown(VK_RETURN, false);
    const std::wstring built = Build();
    EXPECT_NE(std::wstring::npos, built.find(help[row]));
    EXPECT_EQ(built.find(L"└◆［"), built.rfind(L"└◆［")) << "one help line only";
    keys.OnKeyDown(VK_BACK, false);
    keys.OnKeyDown(VK_DOWN, false);
  }
}

class StatusTextTenSlots : public StatusText {
 protected:
  StatusTextTenSlots() : StatusText(10) {}
};

TEST_F(StatusTextTenSlots, SlotNumbersAreRightAlignedInThreePlaces) {
  keys.OnKeyDown(VK_UP, false);
  const std::wstring built = Build();
  EXPECT_NE(std::wstring::npos, built.find(L"\n　  1. （未設定）\n"));
  EXPECT_NE(std::wstring::npos, built.find(L"\n　  9. （未設定）\n"));
  EXPECT_NE(std::wstring::npos, built.find(L"\n◆ 10. （未設定）\n"));
}

TEST_F(StatusText, AbsurdValuesStillGiveTheWholeLine) {
  FillCamera();
  table.Placement(0).CapturePerSecond = 1e300;
  table.Placement(0).Pos_x = 1e300;
  const std::wstring built = Build();
  EXPECT_NE(std::wstring::npos, built.find(L"Pos(x:2147483647,y:0)"));
  const size_t rate = built.find(L"Fps(1000000");
  ASSERT_NE(std::wstring::npos, rate);
  EXPECT_EQ(built.find(L"\n　  2. "), built.find(L".0)》\n　  2. ") + 4);
  EXPECT_GT(built.find(L".0)》\n　  2. "), rate + 300);
}

TEST_F(StatusText, RebuildingReplacesTheTextAndKeepsTheCapacity) {
  FillCamera();
  keys.OnKeyDown(VK_RETURN, false);
  const std::wstring withMenu = Build();
  const int capacity = text.Capacity();
  EXPECT_EQ(0, capacity % 32);
  EXPECT_GE(capacity, text.Length());
  keys.OnKeyDown(VK_BACK, false);
  const std::wstring without = Build();
  EXPECT_LT(without.size(), withMenu.size());
  EXPECT_EQ(capacity, text.Capacity());
  EXPECT_EQ(without, Build());
}

}  // namespace

namespace {

// Lines as DrawTextW lays them out: a slot's head, detail line and open menu rows are its own.
TEST_F(StatusText, EveryLineOfASlotsEntryNamesThatSlot) {
  FillCamera();
  table.Fill(2, tvq::kWindowSlot, L"Two\nlines");
  keys.Select(2);
  keys.OnKeyDown(VK_RETURN, false);
  Build();
  const struct {
    int line;
    int slot;
  } cases[] = {{-1, -1}, {0, -1}, {3, -1}, {4, 0}, {5, 0}, {6, 1}, {7, 2}, {8, 2},
               {9, 2},   {14, 2}, {15, 3}, {19, 7}, {20, -1}, {31, -1}, {500, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.slot, text.SlotOfLine(c.line));
  }
}

}  // namespace
