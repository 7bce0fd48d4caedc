#include "manager/app/CSlotDrag.h"

#include <gtest/gtest.h>

#include "manager/app/CPreviewGeometry.h"
#include "manager/app/CSlotHitTest.h"
#include "manager/composition/SlotLayout.h"
#include "tests/composition/FakeSlotTable.h"

namespace {

using namespace tvq;

// An 800 x 600 client area: the preview is 400 x 300 at (400, 300); the canvas is 1024 x 768.
const RECT kClient{0, 0, 800, 600};
const CPreviewGeometry kGeometry(kClient, 1024, 768);
constexpr int kMargin = 4;

SCIInfo Place(double x, double y, double width, double height) {
  SCIInfo info;
  info.Pos_x = x;
  info.Pos_y = y;
  info.Width = width;
  info.Height = height;
  info.TrimLeft = 7;
  return info;
}

TEST(SlotHitTest, TheHighestActiveSlotUnderThePointerAndItsEdges) {
  FakeSlotTable table(5);
  const SCIInfo places[] = {Place(0, 0, 1, 1), Place(0.5, 0.5, 0.25, 0.25),
                            Place(0.5, 0.5, 0.5, 0.5), Place(0, 0, 0.01, 0.01),
                            Place(0.8, 0.1, -0.3, 0.1)};
  for (int slot = 0; slot < 5; ++slot) {
    table.Fill(slot, kWindowSlot);
    table.Placement(slot) = places[slot];
  }
  table.SetActive(2, false);  // paused: not drawn, so not grabbed
  const struct {
    POINT point;
    int onlySlot;
    int slot;
    unsigned edges;
  } cases[] = {
      {{100, 100}, -1, -1, kNoEdge},                // outside the preview
      {{410, 310}, -1, 0, kNoEdge},                 // slot 1 (index 0), inside
      {{401, 598}, -1, 0, kLeftEdge | kBottomEdge}, // its bottom-left corner
      {{799, 450}, -1, 0, kRightEdge},
      {{650, 480}, -1, 1, kNoEdge},                 // slot 2 above slot 1
      {{600, 450}, -1, 1, kLeftEdge | kTopEdge},
      {{699, 524}, -1, 1, kRightEdge | kBottomEdge},
      {{650, 451}, -1, 1, kTopEdge},
      {{750, 550}, -1, 0, kNoEdge},                 // the paused slot is not there
      {{402, 301}, -1, 3, kNoEdge},                 // 4 x 3 pixels: its middle still moves it
      {{650, 340}, -1, 4, kNoEdge},                 // a flipped slot is found where it is drawn
      {{601, 340}, -1, 4, kLeftEdge},
      {{650, 480}, 0, 0, kNoEdge},                  // only the slot whose menu is open
      {{100, 100}, 0, -1, kNoEdge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y << " only " << c.onlySlot);
    const SlotHit hit = HitTestSlots(table, kGeometry, c.point, kMargin, c.onlySlot);
    EXPECT_EQ(c.slot, hit.slot);
    EXPECT_EQ(c.edges, hit.edges);
  }
}

TEST(SlotHitTest, EveryPartHasItsCursor) {
  const struct {
    unsigned edges;
    LPCWSTR cursor;
  } cases[] = {{kNoEdge, IDC_SIZEALL},
               {kLeftEdge, IDC_SIZEWE},
               {kRightEdge, IDC_SIZEWE},
               {kTopEdge, IDC_SIZENS},
               {kBottomEdge, IDC_SIZENS},
               {kLeftEdge | kTopEdge, IDC_SIZENWSE},
               {kRightEdge | kBottomEdge, IDC_SIZENWSE},
               {kRightEdge | kTopEdge, IDC_SIZENESW},
               {kLeftEdge | kBottomEdge, IDC_SIZENESW}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edges);
    EXPECT_EQ(c.cursor, CursorForEdges(c.edges));
  }
}

// From (0.25, 0.25, 0.5, 0.5): 500..700 x 375..525 in the preview; 100 pixels are 0.25 across,
// 75 pixels 0.25 down.
TEST(SlotDrag, FollowsThePointerFromTheStartWithoutShrinkingOrFlipping) {
  constexpr double kPixelX = 1.0 / 1024;
  constexpr double kPixelY = 1.0 / 768;
  const SCIInfo start = Place(0.25, 0.25, 0.5, 0.5);
  const struct {
    const char* name;
    SCIInfo from;
    unsigned edges;
    POINT by;
    bool shift;
    SCIInfo expected;
  } cases[] = {
      {"move", start, kNoEdge, {100, 75}, false, Place(0.5, 0.5, 0.5, 0.5)},
      {"move off the canvas", start, kNoEdge, {-200, -150}, true, Place(-0.25, -0.25, 0.5, 0.5)},
      {"bottom-right", start, kRightEdge | kBottomEdge, {100, 75}, false,
       Place(0.25, 0.25, 0.75, 0.75)},
      {"top-left", start, kLeftEdge | kTopEdge, {100, -75}, false, Place(0.5, 0, 0.25, 0.75)},
      {"left past the right", start, kLeftEdge, {400, 30}, false,
       Place(0.75 - kPixelX, 0.25, kPixelX, 0.5)},
      {"bottom past the top", start, kBottomEdge, {0, -300}, false,
       Place(0.25, 0.25, 0.5, kPixelY)},
      {"shift: width leads", start, kRightEdge | kBottomEdge, {100, 0}, true,
       Place(0.25, 0.25, 0.75, 0.75)},
      {"shift: height leads", start, kLeftEdge | kTopEdge, {-40, -150}, true,
       Place(-0.25, -0.25, 1, 1)},
      {"shift: no smaller than a pixel", start, kRightEdge | kTopEdge, {-400, 300}, true,
       Place(0.25, 0.75 - kPixelY, kPixelY, kPixelY)},
      {"shift on an edge", start, kRightEdge, {100, 40}, true, Place(0.25, 0.25, 0.75, 0.5)},
      {"flipped by the keys", Place(0.75, 0.25, -0.5, 0.5), kLeftEdge, {100, 0}, false,
       Place(0.75, 0.25, -0.25, 0.5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CSlotDrag drag;
    const POINT from{600, 450};
    drag.Begin(3, c.edges, from, c.from);
    ASSERT_TRUE(drag.IsActive());
    const SCIInfo got = drag.Follow(POINT{from.x + c.by.x, from.y + c.by.y}, c.shift, kGeometry);
    EXPECT_NEAR(c.expected.Pos_x, got.Pos_x, 1e-12);
    EXPECT_NEAR(c.expected.Pos_y, got.Pos_y, 1e-12);
    EXPECT_NEAR(c.expected.Width, got.Width, 1e-12);
    EXPECT_NEAR(c.expected.Height, got.Height, 1e-12);
    EXPECT_GE(FractionToPixels(got.Width < 0 ? -got.Width : got.Width, 1024), 1);
    EXPECT_GE(FractionToPixels(got.Height, 768), 1);
    EXPECT_EQ(7, got.TrimLeft);
    EXPECT_EQ(c.from.Pos_x, drag.Original().Pos_x);
    drag.End();
    EXPECT_FALSE(drag.IsActive());
  }
}

}  // namespace
