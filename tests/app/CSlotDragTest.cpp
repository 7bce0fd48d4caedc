#include "manager/app/CSlotDrag.h"

#include <gtest/gtest.h>

#include "manager/app/CPreviewGeometry.h"
#include "manager/app/CSlotHitTest.h"
#include "manager/composition/SlotLayout.h"
#include "tests/composition/FakeSlotTable.h"

namespace {

using namespace tvq;

// An 800 x 600 client area: the preview is 400 x 300 at (400, 300); the canvas is 1024 x 768.
const CPreviewGeometry kGeometry(RECT{0, 0, 800, 600}, 1024, 768);

SCIInfo Place(double x, double y, double width, double height) {
  SCIInfo info = PlacedAt(x, y, width, height);
  info.TrimLeft = 7;  // the mouse never touches trims
  return info;
}

// Slot 3 is paused, slot 4 is 4 x 3 pixels, slot 5 was flipped by the keys.
TEST(SlotHitTest, TheHighestActiveSlotUnderThePointerItsEdgesAndTheirCursor) {
  FakeSlotTable table(5);
  const SCIInfo places[] = {Place(0, 0, 1, 1), Place(0.5, 0.5, 0.25, 0.25),
                            Place(0.5, 0.5, 0.5, 0.5), Place(0, 0, 0.01, 0.01),
                            Place(0.8, 0.1, -0.3, 0.1)};
  for (int slot = 0; slot < 5; ++slot) {
    table.Fill(slot, kWindowSlot);
    table.Placement(slot) = places[slot];
  }
  table.SetActive(2, false);
  const struct {
    POINT point;
    int onlySlot, slot;
    unsigned edges;
    LPCWSTR cursor;
  } cases[] = {
      {{100, 100}, -1, -1, kNoEdge, IDC_SIZEALL},  // outside the preview
      {{410, 310}, -1, 0, kNoEdge, IDC_SIZEALL},
      {{401, 598}, -1, 0, kLeftEdge | kBottomEdge, IDC_SIZENESW},
      {{799, 450}, -1, 0, kRightEdge, IDC_SIZEWE},
      {{600, 450}, -1, 1, kLeftEdge | kTopEdge, IDC_SIZENWSE},
      {{650, 451}, -1, 1, kTopEdge, IDC_SIZENS},
      {{750, 550}, -1, 0, kNoEdge, IDC_SIZEALL},  // not the paused slot
      {{402, 301}, -1, 3, kNoEdge, IDC_SIZEALL},  // a tiny slot's middle still moves it
      {{650, 340}, -1, 4, kNoEdge, IDC_SIZEALL},
      {{601, 340}, -1, 4, kLeftEdge, IDC_SIZEWE},
      // Handles reach 4 pixels out of slot 1 (600, 450)-(700, 525), over slot 0's inside.
      {{700, 525}, -1, 1, kRightEdge | kBottomEdge, IDC_SIZENWSE},  // the corner point itself
      {{703, 528}, -1, 1, kRightEdge | kBottomEdge, IDC_SIZENWSE},
      {{596, 446}, -1, 1, kLeftEdge | kTopEdge, IDC_SIZENWSE},
      {{703, 446}, -1, 1, kRightEdge | kTopEdge, IDC_SIZENESW},
      {{596, 528}, -1, 1, kLeftEdge | kBottomEdge, IDC_SIZENESW},
      {{597, 480}, -1, 1, kLeftEdge, IDC_SIZEWE},
      {{703, 480}, -1, 1, kRightEdge, IDC_SIZEWE},
      {{650, 447}, -1, 1, kTopEdge, IDC_SIZENS},
      {{650, 528}, -1, 1, kBottomEdge, IDC_SIZENS},
      {{704, 529}, -1, 0, kNoEdge, IDC_SIZEALL},  // one pixel beyond the handles
      {{703, 528}, 0, 0, kNoEdge, IDC_SIZEALL},   // slot 1 cannot be grabbed
      {{650, 362}, -1, 4, kBottomEdge, IDC_SIZENS},
      // The topmost slot's handles before the handles of the one below.
      {{397, 298}, -1, 3, kLeftEdge | kTopEdge, IDC_SIZENWSE},
      // Just outside the preview, an outline on the canvas's border is still grabbed.
      {{397, 450}, -1, 0, kLeftEdge, IDC_SIZEWE},
      {{802, 602}, -1, 0, kRightEdge | kBottomEdge, IDC_SIZENWSE},
      {{395, 450}, -1, -1, kNoEdge, IDC_SIZEALL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y << " only " << c.onlySlot);
    const SlotHit hit = HitTestSlots(table, kGeometry, c.point, 4, c.onlySlot);
    EXPECT_EQ(c.slot, hit.slot);
    EXPECT_EQ(c.edges, hit.edges);
    EXPECT_EQ(c.cursor, CursorForEdges(hit.edges));
  }
}

// From (0.25, 0.25, 0.5, 0.5), grabbed at (600, 450); 100 pixels are 0.25 across, 75 down.
TEST(SlotDrag, NeverShrinksBelowOneCanvasPixelNorFlips) {
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
      {"off the canvas", start, kNoEdge, {-200, -150}, true, Place(-0.25, -0.25, 0.5, 0.5)},
      {"left past the right", start, kLeftEdge, {400, 30}, false,
       Place(0.75 - kPixelX, 0.25, kPixelX, 0.5)},
      {"bottom past the top", start, kBottomEdge, {0, -300}, false,
       Place(0.25, 0.25, 0.5, kPixelY)},
      {"shift: height leads", start, kLeftEdge | kTopEdge, {-40, -150}, true,
       Place(-0.25, -0.25, 1, 1)},
      {"shift: past the corner", start, kRightEdge | kTopEdge, {-400, 300}, true,
       Place(0.25, 0.75 - kPixelY, kPixelY, kPixelY)},
      {"shift on an edge", start, kRightEdge, {100, 40}, true, Place(0.25, 0.25, 0.75, 0.5)},
      {"flipped by the keys", Place(0.75, 0.25, -0.5, 0.5), kLeftEdge, {100, 0}, false,
       Place(0.75, 0.25, -0.25, 0.5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CSlotDrag drag;
    drag.Begin(3, c.edges, POINT{600, 450}, c.from);
    const SCIInfo got = drag.Follow(POINT{600 + c.by.x, 450 + c.by.y}, c.shift, kGeometry);
    EXPECT_NEAR(c.expected.Pos_x, got.Pos_x, 1e-12);
    EXPECT_NEAR(c.expected.Pos_y, got.Pos_y, 1e-12);
    EXPECT_NEAR(c.expected.Width, got.Width, 1e-12);
    EXPECT_NEAR(c.expected.Height, got.Height, 1e-12);
    EXPECT_GE(FractionToPixels(got.Width < 0 ? -got.Width : got.Width, 1024), 1);
    EXPECT_GE(FractionToPixels(got.Height, 768), 1);
    EXPECT_EQ(7, got.TrimLeft);
  }
}

// Only the preview pixels that show what a tick drew are repainted: a row whose area is too small
// would leave stale pixels in the preview.
TEST(PreviewGeometry, ACanvasAreaRepaintsThePreviewPixelsThatShowItAndTheirNeighbours) {
  const struct {
    const char* name;
    RECT area;
    RECT shown;
  } cases[] = {
      {"the whole canvas", {0, 0, 1024, 768}, {400, 300, 800, 600}},
      {"one pixel in the middle", {512, 384, 513, 385}, {598, 448, 603, 453}},
      {"the top-left corner", {0, 0, 10, 10}, {400, 300, 406, 306}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RECT shown = kGeometry.Shows(c.area);
    EXPECT_TRUE(EqualRect(&c.shown, &shown)) << shown.left << "," << shown.top << ","
                                             << shown.right << "," << shown.bottom;
  }
  // Before the canvas exists the whole preview is repainted.
  const RECT whole = CPreviewGeometry(RECT{0, 0, 800, 600}, 0, 0).Shows(RECT{1, 1, 2, 2});
  const RECT preview{400, 300, 800, 600};
  EXPECT_TRUE(EqualRect(&preview, &whole));
}

}  // namespace
