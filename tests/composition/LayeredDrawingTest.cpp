#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "channel/CSharedMemory.h"
#include "manager/capture/CImage.h"
#include "manager/capture/CImageFile.h"
#include "manager/capture/TextRendering.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/LayeredDrawing.h"
#include "tests/common/ComApartment.h"
#include "tests/common/ImageFiles.h"
#include "tests/common/Pixels24.h"
#include "tests/common/TempDir.h"
#include "tests/composition/FakeSlotTable.h"

namespace {

constexpr int kMaxWidth = 64;
constexpr int kMaxHeight = 48;
constexpr int kSlots = 4;

enum class Op { Fill, Place, Trim, Capture, Resize, Patch, Renew, Pause, Resume, R, Header, Empty,
                Still };

struct Step {
  Op op;
  int slot = 0;
  double a = 0, b = 0, c = 0, d = 0;
};

Step Fill(int s, int kind, double w, double h) { return {Op::Fill, s, 1.0 * kind, w, h}; }
// A picture with alpha (premultiplied, 32 bits a pixel), as image and text slots give: noise,
// a transparent PNG decoded by the image source's decoder, or a text drawn with outline and box.
enum Alpha { kNoise = 32, kPng = 1, kText = 2 };
Step FillAlpha(int s, double w, double h, Alpha made = kNoise) {
  return {Op::Fill, s, 1.0 * tvq::kImageSlot, w, h, 1.0 * made};
}

// A PNG with a clear hole, a half-transparent ring and an opaque, shaded middle.
const std::wstring& TransparentPng() {
  static tvqtest::TempDir dir;
  static const std::wstring path = dir.File(L"ring.png");
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    tvqtest::WriteImage(path, GUID_ContainerFormatPng, 48, 36, [](int x, int y) {
      const int d = (x - 24) * (x - 24) + (y - 18) * (y - 18);
      const BYTE alpha = d < 16 ? 0 : d < 120 ? 255 : d < 300 ? 128 : 40;
      return tvqtest::Bgra(static_cast<BYTE>(x * 5), static_cast<BYTE>(y * 7), 200, alpha);
    });
  }
  return path;
}

void MakeAlpha(CImage& picture, Alpha made, int width, int height, std::uint32_t seed);
Step Place(int s, double x, double y, double w, double h) { return {Op::Place, s, x, y, w, h}; }
Step Trim(int s, double l, double t, double r, double b) { return {Op::Trim, s, l, t, r, b}; }
Step Resize(int s, double w, double h) { return {Op::Resize, s, 0, w, h}; }
Step Header(double w, double h) { return {Op::Header, 0, w, h}; }
Step Capture(int slot) { return {Op::Capture, slot}; }
// A capture that changed only this rectangle of the picture.
Step Patch(int s, double x, double y, double w, double h) { return {Op::Patch, s, x, y, w, h}; }
Step Do(Op op, int slot = 0) { return {op, slot}; }

BYTE Noise(int i, int y, std::uint32_t seed) {
  const std::uint32_t h = (i * 2654435761u) ^ (y * 40503u) ^ (seed * 2246822519u);
  return static_cast<BYTE>((h >> 13) ^ (h >> 5));
}

// Noise, so that every interpolated pixel depends on its neighbours; only inside the rectangle
// when one is given. A picture with alpha gets premultiplied noise, a quarter of it clear and a
// quarter opaque.
void Paint(CImage& picture, std::uint32_t seed, int x = 0, int top = 0, int w = -1, int h = -1) {
  if (w < 0) {
    w = picture.Width();
    h = picture.Height();
  }
  const int bytes = picture.BitsPerPixel() / 8;
  for (int y = top; y < top + h; ++y) {
    BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    for (int i = bytes * x; i < bytes * (x + w); ++i) row[i] = Noise(i, y, seed);
    if (bytes != 4) continue;
    for (int i = 4 * x; i < 4 * (x + w); i += 4) {
      const int alpha = row[i + 3] < 64 ? 0 : row[i + 3] >= 192 ? 255 : row[i + 3];
      for (int c = 0; c < 4; ++c) row[i + c] = static_cast<BYTE>(row[i + c] * alpha / 255);
      row[i + 3] = static_cast<BYTE>(alpha);
    }
  }
}

// One Manager's canvas, private channel objects and slots; the test plays the filter.
struct Scene {
  // The reference draws every slot straight onto the canvas on every tick and publishes it whole.
  Scene(const std::wstring& name, bool layered)
      : reference(!layered),
        compositor(canvas, format, interval, pixels, kMaxWidth, kMaxHeight),
        slots(kSlots) {
    const std::wstring prefix = L"TVQTest_Layers_" + name;
    canvas.Create(kMaxWidth, kMaxHeight, 24);
    bytes = static_cast<int>(canvas.BufferBytes());
    format.Create((prefix + L"_BIH").c_str(), 40);
    interval.Create((prefix + L"_TimePerFrame").c_str(), 8);
    pixels.Create((prefix + L"_Data").c_str(), bytes);
    filterPixels.Create((prefix + L"_Data").c_str(), bytes);
    compositor.DrawThroughLayers(layered);
    compositor.FollowChangedPixels(layered);
  }

  void Apply(const Step& step, std::uint32_t seed) {
    CImage& picture = slots.OwnPicture(step.slot);
    SCIInfo& info = slots.Placement(step.slot);
    switch (step.op) {
      case Op::Fill:
        slots.Fill(step.slot, int(step.a));
        picture.Destroy();
        if (step.d != 0) {
          MakeAlpha(picture, static_cast<Alpha>(step.d), int(step.b), int(step.c), seed);
        } else {
          picture.Create(int(step.b), int(step.c), 24);
          Paint(picture, seed);
        }
        compositor.MarkSlotChanged(step.slot);
        break;
      case Op::Resize: {  // also a window that changed its size: its picture is made anew
        const int bits = picture.BitsPerPixel();
        picture.Destroy();
        picture.Create(int(step.b), int(step.c), bits);
      }
        [[fallthrough]];
      case Op::Capture:
        Paint(picture, seed);
        compositor.MarkSlotCaptured(slots, step.slot);
        break;
      case Op::Patch:
        Paint(picture, seed, int(step.a), int(step.b), int(step.c), int(step.d));
        compositor.MarkSlotCaptured(slots, step.slot);
        break;
      case Op::Renew:  // a window captured again as it was: the same pixels in a new bitmap
        Renew(picture);
        compositor.MarkSlotCaptured(slots, step.slot);
        break;
      case Op::Place:
        info.Pos_x = step.a, info.Pos_y = step.b, info.Width = step.c, info.Height = step.d;
        break;
      case Op::Trim:
        info.TrimLeft = int(step.a), info.TrimTop = int(step.b);
        info.TrimRight = int(step.c), info.TrimBottom = int(step.d);
        break;
      case Op::Resume:
        slots.SetActive(step.slot, true);
        break;
      case Op::Pause:  // as Space does: the slot stops and the canvas is blanked
        slots.SetActive(step.slot, false);
        [[fallthrough]];
      case Op::R:
        compositor.ClearCanvas();
        break;
      case Op::Header: {
        const BITMAPINFOHEADER header = tvqtest::BitmapHeader(LONG(step.a), LONG(step.b), 24);
        format.Write(&header, sizeof(header), INFINITE);
        break;
      }
      case Op::Empty:
        slots.Fill(step.slot, tvq::kEmptySlot);
        slots.SetActive(step.slot, false);
        compositor.MarkSlotChanged(step.slot);
        break;
      case Op::Still:
        break;
    }
  }

  static void Renew(CImage& picture) {
    const BYTE* bytes = picture.LowestAddress();
    std::vector<BYTE> kept(bytes, bytes + picture.BufferBytes());
    const int width = picture.Width(), height = picture.Height(), bits = picture.BitsPerPixel();
    picture.Destroy();
    picture.Create(width, height, bits);
    std::copy(kept.begin(), kept.end(), picture.LowestAddress());
  }

  std::vector<BYTE> TickAndRead() {
    if (reference) compositor.MarkChanged();
    compositor.Tick(slots, rate);
    std::vector<BYTE> published(bytes);
    filterPixels.Read(published.data(), bytes, INFINITE);
    return published;
  }

  bool reference;
  CImage canvas;
  CSharedMemory format, interval, pixels, filterPixels;
  int bytes = 0;
  double rate = 30.0;
  CCompositor compositor;
  FakeSlotTable slots;
};

void MakeAlpha(CImage& picture, Alpha made, int width, int height, std::uint32_t seed) {
  if (made == kPng) {
    std::wstring problem;
    EXPECT_EQ(S_OK, CImageFile().Decode(TransparentPng(), width, height, 0, picture, problem));
    EXPECT_EQ(32, picture.BitsPerPixel());
    return;
  }
  if (made == kText) {
    tvq::TextStyle style;
    style.outlinePercent = 10;
    style.box = true;
    style.boxOpacityPercent = 40;
    EXPECT_TRUE(tvq::RenderText(L"字幕 Caption", style, width, height, picture));
    return;
  }
  picture.Create(width, height, 32);
  Paint(picture, seed);
}

struct Sequence {
  const char* name;
  std::vector<Step> steps;
};

// Slot 0 is a large picture over the whole canvas, slot 1 a small one upscaled, slot 2 a camera.
const std::vector<Step> kBase = {Fill(0, tvq::kDesktopSlot, 150, 90),
                                 Fill(1, tvq::kWindowSlot, 37, 23), Place(1, 0.5, 0.5, 0.4, 0.4),
                                 Fill(2, tvq::kCameraSlot, 64, 48), Place(2, 0.3, 0.2, 0.5, 0.5)};

const Sequence kSequences[] = {
    {"overlaps and captures",
     {Capture(1), Capture(2), Do(Op::Still), Capture(0), Place(1, 0.1, 0.6, 0.3, 0.3), Capture(1),
      Place(2, 0.4, 0.4, 0.6, 0.6), Do(Op::Still)}},
    {"partly and wholly outside",
     {Place(1, -0.1, -0.1, 0.5, 0.5), Capture(1), Capture(0), Place(1, 1.2, 0.3, 0.3, 0.3),
      Capture(0), Place(1, 0.7, 0.7, 0.5, 0.5), Capture(1), Capture(2),
      Place(1, 0.1, 0.1, 0.3, 0.3), Capture(2)}},
    {"negative and zero sizes",
     {Place(1, 0.6, 0.5, -0.3, 0.4), Capture(1), Capture(2), Place(1, 0.5, 0.5, 0.4, 0), Capture(0),
      Place(2, 0.3, 0.2, 0, 0.5), Capture(2), Place(1, 0.5, 0.5, 0.4, 0.4), Capture(1)}},
    {"trims beyond the picture",
     {Trim(1, 40, 0, 0, 0), Capture(1), Capture(2), Trim(1, 5, 3, -6, 0), Capture(1),
      Trim(1, 0, -4, 0, 30), Capture(0), Trim(1, 18, 11, 18, 11), Capture(1), Trim(1, 2, 1, 3, 4),
      Capture(2)}},
    {"pause, resume and R",
     {Do(Op::Pause, 1), Capture(2), Do(Op::Resume, 1), Capture(1), Do(Op::R), Do(Op::Still),
      Do(Op::Pause, 0), Capture(1), Do(Op::Resume, 0), Capture(2)}},
    {"canvas size from the channel",
     {Header(40, 30), Capture(1), Do(Op::Still), Header(kMaxWidth, kMaxHeight), Capture(2),
      Header(13, 7), Capture(0)}},
    {"a window changing its size",
     {Resize(1, 50, 20), Capture(2), Resize(1, 12, 40), Resize(1, 1, 1), Capture(0),
      Resize(1, 37, 23)}},
    {"side by side, then overlapping",
     {Place(0, 0, 0, 0.45, 0.5), Place(2, 0.5, 0, 0.5, 0.4), Place(1, 0.1, 0.6, 0.3, 0.3),
      Capture(0), Capture(1), Capture(2), Do(Op::Still), Place(1, 0.3, 0.3, 0.4, 0.4), Capture(2),
      Capture(0), Place(1, 0.1, 0.6, 0.3, 0.3), Capture(1), Place(1, 0.6, 0.2, -0.3, 0.4),
      Capture(2), Place(1, 0.5, 0.6, 0.3, 0.3), Capture(0)}},
    {"emptied and refilled",
     {Do(Op::Empty, 1), Capture(0), Do(Op::Empty, 2), Fill(1, tvq::kWindowSlot, 80, 60), Capture(1),
      Fill(2, tvq::kCameraSlot, 64, 48), Do(Op::Empty, 0), Capture(2),
      Fill(0, tvq::kDesktopSlot, 20, 20)}},
    {"one pixel and a band at each edge",
     {Patch(0, 75, 45, 1, 1), Patch(1, 18, 11, 1, 1), Patch(2, 63, 47, 1, 1), Do(Op::Still),
      Patch(0, 0, 0, 150, 2), Patch(0, 0, 87, 150, 3), Patch(1, 0, 0, 2, 23),
      Patch(1, 35, 0, 2, 23),
      Patch(2, 0, 0, 64, 1), Patch(2, 0, 47, 64, 1), Patch(2, 0, 0, 1, 48), Patch(2, 63, 0, 1, 48),
      Patch(0, 0, 0, 1, 1), Patch(0, 149, 89, 1, 1), Do(Op::Renew, 1), Do(Op::Renew, 0)}},
    {"changes under overlapping slots",
     {Patch(1, 0, 0, 10, 8), Patch(0, 60, 40, 40, 30), Patch(2, 40, 30, 24, 18),
      Patch(0, 70, 45, 3, 3), Patch(1, 5, 5, 1, 1), Patch(0, 100, 60, 1, 1),
      Patch(1, 30, 20, 7, 3)}},
    {"changes in the trimmed-away part",
     {Trim(1, 6, 4, 7, 5), Capture(1), Patch(1, 0, 0, 3, 23), Patch(1, 33, 0, 4, 23),
      Patch(1, 0, 0, 37, 1), Patch(1, 0, 20, 37, 3), Patch(1, 5, 3, 2, 2), Patch(1, 29, 17, 2, 2),
      Trim(0, 30, 20, 30, 20), Capture(0), Patch(0, 0, 0, 27, 90), Patch(0, 31, 21, 1, 1)}},
    {"partial changes of a window that changes size",
     {Patch(1, 3, 3, 5, 5), Resize(1, 50, 20), Patch(1, 40, 10, 2, 2), Do(Op::Renew, 1),
      Resize(1, 12, 40), Patch(1, 0, 39, 12, 1), Resize(1, 37, 23), Patch(1, 36, 22, 1, 1)}},
    {"a canvas size change between partial changes",
     {Patch(0, 20, 20, 10, 10), Header(40, 30), Patch(0, 60, 30, 5, 5), Patch(2, 1, 1, 3, 3),
      Header(kMaxWidth, kMaxHeight), Patch(1, 10, 10, 4, 4), Header(13, 7),
      Patch(0, 0, 0, 150, 5)}},
    {"partial changes where a whole stretch is needed",
     {Place(1, -0.1, -0.1, 0.5, 0.5), Patch(1, 2, 2, 3, 3), Place(1, 0.6, 0.5, -0.3, 0.4),
      Patch(1, 30, 4, 2, 2), Trim(2, 5, 3, -6, 0), Patch(2, 60, 10, 4, 4), Do(Op::Pause, 0),
      Patch(0, 3, 3, 9, 9), Do(Op::Resume, 0), Patch(0, 9, 9, 2, 2), Do(Op::R),
      Patch(1, 1, 1, 1, 1)}},
    {"pictures at their own size, overlapped and alone",
     {Fill(3, tvq::kDesktopSlot, 36, 28), Place(3, 0.25, 0.25, 0.5, 0.5), Trim(3, 2, 2, 2, 2),
      Capture(3), Patch(3, 10, 10, 1, 1), Patch(3, 2, 2, 32, 1), Patch(3, 33, 2, 1, 24),
      Patch(3, 20, 25, 14, 1), Patch(0, 70, 40, 2, 2), Do(Op::Empty, 0), Do(Op::Empty, 1),
      Do(Op::Empty, 2), Patch(3, 5, 5, 3, 3), Patch(3, 2, 25, 32, 1), Patch(3, 17, 13, 1, 1),
      Patch(3, 0, 0, 1, 1), Do(Op::Renew, 3)}},
    {"pictures with alpha over and under the others, trimmed and mirrored",
     {FillAlpha(3, 40, 30), Place(3, 0.2, 0.1, 0.5, 0.6), Capture(1), Capture(3), Do(Op::Still),
      Patch(3, 5, 5, 4, 4), Capture(0), Trim(3, 3, 2, 4, 1), Capture(2),
      Place(3, 0.7, 0.1, -0.5, 0.6), Capture(3), Place(3, 0.2, 0.9, 0.5, -0.6), Capture(1),
      Trim(3, 30, 0, 20, 0), Capture(3), Trim(3, -4, -3, 2, 0), Place(3, -0.1, 0.5, 0.6, 0.7),
      Capture(0), Do(Op::Empty, 0), FillAlpha(0, 64, 48), Capture(3), Do(Op::Pause, 3),
      Capture(0), Do(Op::Resume, 3), Resize(3, 20, 60), Place(3, 0.05, 0.05, 0.3, 0.3),
      Capture(1), Do(Op::Empty, 1), Capture(3), Do(Op::R), Capture(0)}},
    {"a window, a desktop, a transparent PNG and a text overlapping, trimmed and mirrored",
     {FillAlpha(3, 48, 36, kPng), Place(3, 0.1, 0.2, 0.75, 0.75), FillAlpha(2, 64, 20, kText),
      Place(2, 0.2, 0.6, 0.8, 0.3), Capture(1), Capture(0), Trim(3, 4, 2, 3, 5), Capture(1),
      Place(3, 0.9, 0.2, -0.75, 0.75), Capture(0), Place(2, 0.2, 0.9, 0.8, -0.3), Capture(1),
      Trim(2, 3, 0, 2, 1), Do(Op::Still), FillAlpha(2, 51, 14, kText), Capture(0),
      Place(3, 0.3, 0.1, 0.5, 0.5), Do(Op::Pause, 1), Capture(0), Do(Op::Resume, 1)}},
    {"strong shrinking and enlarging",
     {Fill(3, tvq::kDesktopSlot, 400, 300), Place(3, 0.05, 0.6, 0.2, 0.2), Patch(3, 200, 150, 1, 1),
      Patch(3, 0, 0, 400, 1), Patch(3, 399, 0, 1, 300), Place(1, 0, 0, 1, 1), Resize(1, 5, 4),
      Patch(1, 2, 2, 1, 1), Patch(1, 0, 0, 1, 1), Patch(1, 4, 3, 1, 1), Patch(3, 100, 70, 30, 1)}},
};

// Every published frame of each sequence, drawn through layers and drawn directly, byte for byte.
TEST(LayeredDrawing, PublishesTheSameFramesAsDrawingDirectly) {
  tvqtest::ComApartment com;
  int row = 0;
  for (const Sequence& sequence : kSequences) {
    SCOPED_TRACE(sequence.name);
    const std::wstring name = std::to_wstring(row++);
    Scene direct(L"Direct" + name, false);
    Scene layered(L"Layered" + name, true);
    std::vector<Step> steps = kBase;
    steps.insert(steps.end(), sequence.steps.begin(), sequence.steps.end());
    for (size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "step " << i);
      direct.Apply(steps[i], static_cast<std::uint32_t>(i));
      layered.Apply(steps[i], static_cast<std::uint32_t>(i));
      ASSERT_EQ(direct.TickAndRead(), layered.TickAndRead());
    }
  }
}

// A PNG of one colour at several opacities over a solid window slot, drawn either way: every
// channel within one of the exact blend (colour x alpha + window x (1 - alpha)), and the window
// alone around it.
TEST(LayeredDrawing, APictureWithAlphaBlendsOverTheSlotBeneathWithinOneOfTheExactBlend) {
  tvqtest::ComApartment com;
  tvqtest::TempDir dir;
  constexpr COLORREF kWindow = RGB(40, 160, 220);
  constexpr COLORREF kCard = RGB(250, 30, 90);
  for (const int alpha : {128, 1, 200, 255}) {
    const std::wstring png = dir.File(L"card" + std::to_wstring(alpha) + L".png");
    ASSERT_EQ(S_OK, tvqtest::WriteImage(png, GUID_ContainerFormatPng, 20, 10, [&](int, int) {
      return tvqtest::Bgra(GetRValue(kCard), GetGValue(kCard), GetBValue(kCard), BYTE(alpha));
    }));
    for (const bool layered : {false, true}) {
      SCOPED_TRACE(testing::Message() << "alpha " << alpha << (layered ? ", layered" : ""));
      Scene scene(L"Blend" + std::to_wstring(alpha) + (layered ? L"L" : L"D"), layered);
      scene.Apply(Fill(0, tvq::kWindowSlot, 30, 20), 0);
      tvqtest::FillRect24(scene.slots.OwnPicture(0), 0, 0, 30, 20, kWindow);
      scene.slots.Fill(1, tvq::kImageSlot);
      scene.slots.Placement(1) = PlacedAt(0.25, 0.25, 0.5, 0.5);
      std::wstring problem;
      ASSERT_EQ(S_OK, CImageFile().Decode(png, 32, 24, 0, scene.slots.OwnPicture(1), problem));
      scene.compositor.MarkSlotChanged(1);
      scene.TickAndRead();
      const COLORREF blended = tvqtest::PixelAt(scene.canvas, 30, 20);
      const auto exact = [alpha](int card, int window) {
        return (card * alpha + window * (255 - alpha)) / 255.0;
      };
      EXPECT_NEAR(exact(GetRValue(kCard), GetRValue(kWindow)), GetRValue(blended), 1.0);
      EXPECT_NEAR(exact(GetGValue(kCard), GetGValue(kWindow)), GetGValue(blended), 1.0);
      EXPECT_NEAR(exact(GetBValue(kCard), GetBValue(kWindow)), GetBValue(blended), 1.0);
      EXPECT_EQ(kWindow, tvqtest::PixelAt(scene.canvas, 5, 5));
      EXPECT_EQ(kWindow, tvqtest::PixelAt(scene.canvas, 50, 40));
    }
  }
}

// A capture of a small slot stretches and copies only that slot's rectangle; the layers of
// overlapping full-canvas slots take one canvas of memory each and go when their slots are
// emptied; a slot alone on the canvas needs none.
TEST(LayeredDrawing, ACaptureRedrawsOnlyItsSlotAndEmptiedSlotsFreeTheirLayers) {
  Scene scene(L"Areas", true);
  for (const Step& step : kBase) scene.Apply(step, 1);
  scene.TickAndRead();
  scene.Apply(Capture(1), 2);
  scene.TickAndRead();
  const std::vector<RECT>& areas = scene.compositor.ChangedAreas();
  ASSERT_EQ(1u, areas.size());
  EXPECT_EQ(32, areas[0].left);
  EXPECT_EQ(24, areas[0].top);
  EXPECT_EQ(57, areas[0].right);
  EXPECT_EQ(43, areas[0].bottom);
  scene.TickAndRead();
  EXPECT_TRUE(scene.compositor.ChangedAreas().empty()) << "a still scene draws nothing";

  for (int slot = 0; slot < kSlots; ++slot) {
    scene.Apply(Fill(slot, tvq::kDesktopSlot, 30, 20), slot);
    scene.Apply(Place(slot, 0, 0, 1, 1), 0);
  }
  scene.TickAndRead();
  EXPECT_EQ(kSlots * scene.canvas.BufferBytes(), scene.compositor.LayerBytes());
  for (int slot = 0; slot < kSlots; ++slot) scene.Apply(Do(Op::Empty, slot), 0);
  scene.TickAndRead();
  EXPECT_EQ(0u, scene.compositor.LayerBytes());

  // A lone slot is stretched straight onto the canvas, as without layers: no copy, no memory.
  scene.Apply(Fill(0, tvq::kDesktopSlot, 30, 20), 3);
  scene.Apply(Place(0, 0, 0, 1, 1), 0);
  scene.TickAndRead();
  scene.Apply(Capture(0), 4);
  scene.TickAndRead();
  EXPECT_EQ(0u, scene.compositor.LayerBytes());
}

// Captures that change little draw and publish little: a change draws only the rows it reaches
// and the pixel object keeps every other row as it was; a change in the trimmed-away part or the
// same pixels in a new bitmap draw and write nothing; a new format from the filter gets the whole
// frame. The filter's copy is marked before every tick to see which rows the tick wrote.
TEST(LayeredDrawing, PartialChangesDrawAndPublishOnlyTheRowsTheyReach) {
  struct Row {
    const char* name;
    Step step;
    bool draws;
    int maxRows;  // published rows at most; the canvas height for the whole frame
  };
  const Row rows[] = {
      {"one pixel near the bottom", Patch(3, 21, 29, 1, 1), true, 16},
      {"the trimmed-away part", Patch(3, 0, 0, 2, 32), false, 0},
      {"the same pixels in a new bitmap", Do(Op::Renew, 3), false, 0},
      {"every pixel, as a camera brings", Capture(3), true, 24},
      {"a format from the filter", Header(kMaxWidth, kMaxHeight), false, kMaxHeight},
      {"one pixel of a scaled slot under another", Patch(0, 75, 45, 1, 1), true, 16},
  };
  Scene scene(L"Rows", true);
  for (const Step& step : {Fill(3, tvq::kDesktopSlot, 40, 32), Place(3, 0.25, 0.25, 0.5, 0.5),
                           Trim(3, 4, 4, 4, 4), Capture(3), Fill(0, tvq::kDesktopSlot, 150, 90),
                           Capture(0)}) {
    scene.Apply(step, 1);
  }
  scene.TickAndRead();
  const int pitch = CImage::RowBytes(kMaxWidth, 24);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<BYTE> marked(scene.bytes, 0x5A);
    scene.filterPixels.Write(marked.data(), scene.bytes, INFINITE);
    scene.Apply(row.step, 7);
    const std::vector<BYTE> published = scene.TickAndRead();
    EXPECT_EQ(row.draws, scene.compositor.DrewLastTick());
    int written = 0;
    for (int y = 0; y < kMaxHeight; ++y) {
      const BYTE* canvasRow = scene.canvas.Bits() + y * scene.canvas.Pitch();
      const BYTE* publishedRow = published.data() + (kMaxHeight - 1 - y) * pitch;
      const bool markedRow = std::equal(publishedRow, publishedRow + pitch, marked.begin());
      if (!markedRow) {
        ++written;
        EXPECT_TRUE(std::equal(canvasRow, canvasRow + 3 * kMaxWidth, publishedRow)) << y;
      }
    }
    EXPECT_LE(written, row.maxRows);
    if (row.maxRows == kMaxHeight) {
      EXPECT_EQ(kMaxHeight, written);
    }
    if (!row.draws) {
      EXPECT_TRUE(scene.compositor.ChangedAreas().empty());
    }
  }
}

}  // namespace
