// Compositing tick cost: the Manager's tick (follow the channel, draw every active slot with
// HALFTONE scaling, publish the canvas) with 1, 4 and 8 active slots holding pictures of the sizes
// a desktop, a window and a camera give, as a share of the frame budget at 30 frames per second.
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "manager/app/Settings.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/CImage.h"
#include "manager/composition/ISlotTable.h"

namespace {

constexpr double kBudgetAt30Ms = 1000.0 / 30.0;

// Source pictures: the screen as the desktop source captures it, a window and a webcam picture.
struct SourceKind {
  int kind;
  int width;
  int height;
};

class BenchSlots : public ISlotTable {
 public:
  explicit BenchSlots(int count) : m_kinds(count, tvq::kEmptySlot), m_placements(count),
                                   m_pictures(count) {}

  CImage& Fill(int slot, int kind, const SCIInfo& placement) {
    m_kinds[slot] = kind;
    m_placements[slot] = placement;
    return m_pictures[slot];
  }

  int SlotCount() const override { return static_cast<int>(m_kinds.size()); }
  int Kind(int slot) const override { return m_kinds[slot]; }
  bool IsActive(int slot) const override { return m_kinds[slot] != tvq::kEmptySlot; }
  void SetActive(int, bool) override {}
  SCIInfo& Placement(int slot) override { return m_placements[slot]; }
  const SCIInfo& Placement(int slot) const override { return m_placements[slot]; }
  CImage* Picture(int slot) override {
    return m_kinds[slot] == tvq::kEmptySlot ? nullptr : &m_pictures[slot];
  }
  std::wstring SourceName(int) const override { return std::wstring(); }

 private:
  std::vector<int> m_kinds;
  std::vector<SCIInfo> m_placements;
  std::vector<CImage> m_pictures;
};

// Fills a picture with what is on the screen, so the scaler works on real content.
void FillFromScreen(CImage& picture) {
  HDC screen = GetDC(nullptr);
  HDC dc = picture.BorrowDC();
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, 0, 0, picture.Width(), picture.Height(), screen, 0, 0,
             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), SRCCOPY);
  picture.ReturnDC();
  ReleaseDC(nullptr, screen);
}

// Slot 0 covers the canvas; the others sit in a 3 x 3 grid over it, with a few trims, cycling
// through desktop, window and camera pictures.
void FillSlots(BenchSlots& slots, int active) {
  const SourceKind kinds[] = {
      {tvq::kDesktopSlot, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
      {tvq::kWindowSlot, 800, 600},
      {tvq::kCameraSlot, 640, 480}};
  for (int slot = 0; slot < active; ++slot) {
    const SourceKind& source = kinds[slot % 3];
    SCIInfo placement;
    if (slot > 0) {
      placement.Pos_x = ((slot - 1) % 3) / 3.0;
      placement.Pos_y = ((slot - 1) / 3) / 3.0;
      placement.Width = 1.0 / 3.0;
      placement.Height = 1.0 / 3.0;
      placement.TrimLeft = placement.TrimRight = 8;
      placement.TrimTop = 30;
    }
    CImage& picture = slots.Fill(slot, source.kind, placement);
    picture.Create(source.width, source.height, 24);
    FillFromScreen(picture);
  }
}

double TickMs(const tvqbench::OutputSize& size, int active, int runs, int ticks) {
  const std::wstring folder = tvqbench::MakeBenchFolder(L"composite");
  const tvq::StartupSettings settings =
      tvq::LoadStartupSettings(tvqbench::WriteSettingsFile(folder, size, 30.0));

  // Channel objects of its own, so that no filter or Manager running meanwhile takes part.
  const std::wstring suffix = L"_Bench_" + std::to_wstring(GetCurrentProcessId());
  CImage canvas;
  canvas.Create(settings.width, settings.height, 24);
  CSharedMemory format;
  CSharedMemory interval;
  CSharedMemory pixels;
  format.Create((std::wstring(tvq::kFormatObjectName) + suffix).c_str(), tvq::kFormatObjectSize);
  interval.Create((std::wstring(tvq::kIntervalObjectName) + suffix).c_str(),
                  tvq::kIntervalObjectSize);
  pixels.Create((std::wstring(tvq::kPixelObjectName) + suffix).c_str(),
                static_cast<int>(canvas.BufferBytes()));

  BenchSlots slots(settings.slotCount);
  FillSlots(slots, active);
  CCompositor compositor(canvas, format, interval, pixels, settings.width, settings.height);
  double rate = settings.framePerSecond;
  compositor.Tick(slots, rate);  // the first tick pays for the scaler's set-up

  std::vector<double> perTick;
  for (int run = 0; run < runs; ++run) {
    const double start = tvqbench::NowMs();
    for (int i = 0; i < ticks; ++i) compositor.Tick(slots, rate);
    perTick.push_back((tvqbench::NowMs() - start) / ticks);
  }
  return tvqbench::Median(perTick);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = tvqbench::QuickMode(argc, argv);
  const int runs = quick ? 3 : 7;
  const int ticks = quick ? 5 : 20;
  std::vector<tvqbench::Figure> figures;
  for (const tvqbench::OutputSize& size : tvqbench::kOutputSizes) {
    for (int active : {1, 4, 8}) {
      const double ms = TickMs(size, active, runs, ticks);
      figures.push_back({"compositing tick " + std::to_string(active) + " slots " +
                             tvqbench::SizeLabel(size),
                         ms, "ms", kBudgetAt30Ms, "frame budget at 30 fps"});
    }
  }
  tvqbench::PrintTable("Compositing tick (median per tick; ratio = share of the 30 fps budget)",
                       figures);
  return 0;
}
