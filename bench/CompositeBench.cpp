// Compositing tick cost: the Manager's tick (follow the channel, draw every active slot with
// HALFTONE scaling, publish the canvas) with 1, 4 and 8 active slots holding pictures of the sizes
// a desktop, a window and a camera give, as a share of the frame budget at 30 frames per second.
//
// Then one second of the Manager as it runs: 30 ticks a second with the slots' captures at their
// rates in between, once with every capture changing its whole slot and every tick publishing the
// whole canvas (before) and once following the pixels that changed (after), both through the
// slots' layers; tick cost (median and 95th percentile), drawing part, the process's CPU time per
// second and the memory of layers and remembered pictures. The desktop holds still (the bench's
// screen), a window's capture moves a block across its picture, a camera's frame differs whole
// every time, as real ones do. Besides the 1, 4 and 8 slot settings, a live scene: the desktop
// over the whole canvas at its default rate and a window in a corner captured 30 times a second.
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "manager/app/Settings.h"
#include "manager/capture/CImage.h"
#include "manager/capture/FrameBuffer.h"
#include "manager/capture/WindowBlit.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/TimerInterval.h"

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
    if (m_placements[slot].CapturePerSecond <= 0.0) {
      m_placements[slot].CapturePerSecond = tvq::DefaultCaptureRate(kind);
    }
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

// A presenter's live scene: slot 0 the desktop over the whole canvas at its default rate, slot 1
// an 800 x 600 window in the bottom-right corner captured 30 times a second.
constexpr int kLiveScene = -1;

void FillLiveScene(BenchSlots& slots) {
  CImage& desktop = slots.Fill(0, tvq::kDesktopSlot, SCIInfo{});
  desktop.Create(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 24);
  FillFromScreen(desktop);
  SCIInfo corner;
  corner.Pos_x = corner.Pos_y = 0.7;
  corner.Width = corner.Height = 0.28;
  corner.CapturePerSecond = 30.0;
  CImage& window = slots.Fill(1, tvq::kWindowSlot, corner);
  window.Create(800, 600, 24);
  FillFromScreen(window);
}

// Every slot a desktop picture over the whole canvas: the most memory layers can take.
void FillFullCanvasSlots(BenchSlots& slots, int count) {
  for (int slot = 0; slot < count; ++slot) {
    CImage& picture = slots.Fill(slot, tvq::kDesktopSlot, SCIInfo{});
    picture.Create(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 24);
    FillFromScreen(picture);
  }
}

// The Manager's compositing state at one output size: canvas, channel objects of its own (so that
// no filter or Manager running meanwhile takes part), slots and the compositor.
struct BenchManager {
  // active: the number of slots in the grid, or kLiveScene. layered: through the slots' layers;
  // follow: captures compared and only changed rows published.
  BenchManager(const tvqbench::OutputSize& size, int active, bool layered = true,
               bool follow = true)
      : settings(tvq::LoadStartupSettings(tvqbench::WriteSettingsFile(
            tvqbench::MakeBenchFolder(L"composite"), size, 30.0))),
        slots(settings.slotCount),
        compositor(canvas, format, interval, pixels, settings.width, settings.height),
        rate(settings.framePerSecond) {
    const std::wstring suffix = L"_Bench_" + std::to_wstring(GetCurrentProcessId());
    canvas.Create(settings.width, settings.height, 24);
    format.Create((std::wstring(tvq::kFormatObjectName) + suffix).c_str(),
                  tvq::kFormatObjectSize);
    interval.Create((std::wstring(tvq::kIntervalObjectName) + suffix).c_str(),
                    tvq::kIntervalObjectSize);
    pixels.Create((std::wstring(tvq::kPixelObjectName) + suffix).c_str(),
                  static_cast<int>(canvas.BufferBytes()));
    compositor.DrawThroughLayers(layered);
    compositor.FollowChangedPixels(follow);
    if (active == kLiveScene) {
      FillLiveScene(slots);
    } else {
      FillSlots(slots, active);
    }
    compositor.Tick(slots, rate);  // the first tick pays for the scaler's set-up
  }

  // One tick; drawEveryTick keeps the old behaviour of drawing every active slot each time.
  void Tick(bool drawEveryTick) {
    if (drawEveryTick) compositor.MarkChanged();
    compositor.Tick(slots, rate);
  }

  tvq::StartupSettings settings;
  CImage canvas;
  CSharedMemory format;
  CSharedMemory interval;
  CSharedMemory pixels;
  BenchSlots slots;
  CCompositor compositor;
  double rate;
};

// Every slot stretched straight onto the canvas on every tick: the full cost of a drawing.
double TickMs(const tvqbench::OutputSize& size, int active, int runs, int ticks) {
  BenchManager manager(size, active, false);
  std::vector<double> perTick;
  for (int run = 0; run < runs; ++run) {
    const double start = tvqbench::NowMs();
    for (int i = 0; i < ticks; ++i) manager.Tick(true);
    perTick.push_back((tvqbench::NowMs() - start) / ticks);
  }
  return tvqbench::Median(perTick);
}

// ---------------------------------------------------------------------------------------------
// One second of the Manager at 30 ticks a second, captures included

constexpr int kTicksPerSecond = 30;
// The compositing timer's interval at 30 frames per second, truncated as the Manager does.
constexpr int kTickIntervalMs = 1000 / kTicksPerSecond;

// The slots' sources at their default capture rates, each timer started at its own moment. A
// desktop copies the screen, a window an 800 x 600 area of it through the same window blit, a
// camera draws a 640 x 480 frame from its sample buffer, as the real sources do.
class BenchCaptures {
 public:
  explicit BenchCaptures(BenchManager& manager) : m_manager(manager) {
    m_cameraHeader = BITMAPINFOHEADER{};
    m_cameraHeader.biSize = sizeof(m_cameraHeader);
    m_cameraHeader.biWidth = 640;
    m_cameraHeader.biHeight = 480;
    m_cameraHeader.biPlanes = 1;
    m_cameraHeader.biBitCount = 24;
    const long frameBytes = tvq::FrameBuffer::ImageBytes(m_cameraHeader);
    m_cameraFrame.Allocate(frameBytes, frameBytes);
    for (int slot = 0; slot < manager.slots.SlotCount(); ++slot) {
      const double rate = manager.slots.Placement(slot).CapturePerSecond;
      m_intervalMs.push_back(tvq::TimerIntervalMs(rate, rate));
      m_nextMs.push_back(37.0 * slot);
    }
  }

  // Runs every capture due up to nowMs and tells the compositor which slots changed, as the
  // Manager's capture timers do. Adds the time spent to spentMs.
  void RunDue(double nowMs, double& spentMs) {
    const double start = tvqbench::NowMs();
    for (int slot = 0; slot < m_manager.slots.SlotCount(); ++slot) {
      if (m_manager.slots.Kind(slot) == tvq::kEmptySlot) continue;
      for (; m_nextMs[slot] <= nowMs; m_nextMs[slot] += m_intervalMs[slot]) {
        Capture(slot);
        m_manager.compositor.MarkSlotCaptured(m_manager.slots, slot);
      }
    }
    spentMs += tvqbench::NowMs() - start;
  }

 private:
  void Capture(int slot) {
    CImage& picture = *m_manager.slots.Picture(slot);
    switch (m_manager.slots.Kind(slot)) {
      case tvq::kCameraSlot:
        m_cameraFrame.DrawInto(picture, m_cameraHeader);
        AddNoise(picture, ++m_frames);
        break;
      case tvq::kWindowSlot:
        tvq::CopyWindowArea(GetDesktopWindow(), 0, 0, 800, 600, picture);
        MoveBlock(picture);
        break;
      default:
        tvq::CopyWindowArea(GetDesktopWindow(), 0, 0, picture.Width(), picture.Height(), picture);
        break;
    }
  }

  // A 120 x 120 block that moves on with every capture, as a playing video's corner would.
  void MoveBlock(CImage& picture) {
    HDC dc = picture.BorrowDC();
    const int x = (m_captures * 23) % (picture.Width() - 120);
    const int y = (m_captures * 11) % (picture.Height() - 120);
    PatBlt(dc, x, y, 120, 120, (m_captures & 1) ? WHITENESS : BLACKNESS);
    picture.ReturnDC();
    ++m_captures;
  }

  // A sensor's noise: no two frames alike anywhere (a byte in every 48 of every row changes).
  static void AddNoise(CImage& picture, int frame) {
    GdiFlush();
    const int rowBytes = picture.Width() * picture.BitsPerPixel() / 8;
    for (int y = 0; y < picture.Height(); ++y) {
      BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
      for (int i = 0; i < rowBytes; i += 48) row[i] = static_cast<BYTE>(row[i] + frame);
    }
  }

  BenchManager& m_manager;
  int m_captures = 0;
  int m_frames = 0;
  BITMAPINFOHEADER m_cameraHeader;
  tvq::FrameBuffer m_cameraFrame;
  std::vector<double> m_intervalMs;
  std::vector<double> m_nextMs;
};

struct SecondCost {
  std::vector<double> tickMs;  // wall time of each compositing tick
  double captureMs = 0.0;  // wall time of the second's captures
  double cpuMs = 0.0;      // the process's CPU time for the whole second
  int drawnTicks = 0;
  // Ticks that drew nothing: the channel's part of a tick, measured in the same conditions.
  std::vector<double> undrawnTickMs;
};

// The second's ticks and captures run back to back: the CPU time is what they cost, idle time
// between the timer messages left out.
SecondCost RunSecond(BenchManager& manager, BenchCaptures& captures, double secondStartMs) {
  SecondCost cost;
  const double cpuStart = tvqbench::OwnCpuMs();
  for (int i = 0; i < kTicksPerSecond; ++i) {
    captures.RunDue(secondStartMs + i * kTickIntervalMs, cost.captureMs);
    const double start = tvqbench::NowMs();
    manager.Tick(false);
    const double tickMs = tvqbench::NowMs() - start;
    cost.tickMs.push_back(tickMs);
    if (manager.compositor.DrewLastTick()) {
      ++cost.drawnTicks;
    } else {
      cost.undrawnTickMs.push_back(tickMs);
    }
  }
  cost.cpuMs = tvqbench::OwnCpuMs() - cpuStart;
  return cost;
}

// The same simulated seconds, alternating between drawing straight onto the canvas and drawing
// through layers, so that both see the same load of the machine. CPU time is summed over all
// seconds (the process clock is coarse), tick times are taken over every tick of every second.
struct Comparison {
  std::vector<double> ticksBefore, ticksAfter;
  double cpuBefore, cpuAfter, captureMs;
  int drawnAfter;
  double layerBytes;
  double rememberedBytes;
  std::vector<double> channelTickMs;
};

Comparison CompareSeconds(const tvqbench::OutputSize& size, int active, int seconds) {
  BenchManager before(size, active, true, false);
  BenchManager after(size, active, true, true);
  BenchCaptures beforeCaptures(before);
  BenchCaptures afterCaptures(after);
  std::vector<double> captureMs;
  Comparison result{};
  for (int second = 0; second < seconds; ++second) {
    const double startMs = second * kTicksPerSecond * static_cast<double>(kTickIntervalMs);
    const SecondCost b = RunSecond(before, beforeCaptures, startMs);
    const SecondCost a = RunSecond(after, afterCaptures, startMs);
    result.ticksBefore.insert(result.ticksBefore.end(), b.tickMs.begin(), b.tickMs.end());
    result.ticksAfter.insert(result.ticksAfter.end(), a.tickMs.begin(), a.tickMs.end());
    captureMs.push_back((a.captureMs + b.captureMs) / 2.0);
    result.cpuBefore += b.cpuMs / seconds;
    result.cpuAfter += a.cpuMs / seconds;
    result.drawnAfter += a.drawnTicks;
    result.channelTickMs.insert(result.channelTickMs.end(), a.undrawnTickMs.begin(),
                                a.undrawnTickMs.end());
  }
  result.captureMs = tvqbench::Median(captureMs);
  result.drawnAfter /= seconds;
  result.layerBytes = static_cast<double>(after.compositor.LayerBytes());
  result.rememberedBytes = static_cast<double>(after.compositor.RememberedBytes());
  return result;
}

// A tick with no slot at all: format and interval reads and the publication only.
double ChannelOnlyTickMs(const tvqbench::OutputSize& size, int ticks) {
  BenchManager manager(size, 0);
  const double start = tvqbench::NowMs();
  for (int i = 0; i < ticks; ++i) manager.Tick(true);
  return (tvqbench::NowMs() - start) / ticks;
}

std::string SettingLabel(const tvqbench::OutputSize& size, int active) {
  const std::string scene = active == kLiveScene ? "live scene" : std::to_string(active) + " slots";
  return scene + " " + tvqbench::SizeLabel(size);
}

void AddSecondFigures(const tvqbench::OutputSize& size, int active, int seconds,
                      std::vector<tvqbench::Figure>& figures) {
  const Comparison c = CompareSeconds(size, active, seconds);
  // The drawing part of a tick is what it costs beyond a tick that drew nothing.
  const double channelMs = c.channelTickMs.empty() ? ChannelOnlyTickMs(size, kTicksPerSecond)
                                                   : tvqbench::Median(c.channelTickMs);
  const double medianBefore = tvqbench::Median(c.ticksBefore);
  const double medianAfter = tvqbench::Median(c.ticksAfter);
  const double p95Before = tvqbench::Percentile(c.ticksBefore, 95.0);
  const std::string label = SettingLabel(size, active);
  figures.push_back({"tick median before " + label, medianBefore, "ms", kBudgetAt30Ms,
                     "frame budget at 30 fps"});
  figures.push_back({"tick median after " + label, medianAfter, "ms", medianBefore,
                     "tick median before"});
  figures.push_back({"tick p95 before " + label, p95Before, "ms", kBudgetAt30Ms,
                     "frame budget at 30 fps"});
  figures.push_back({"tick p95 after " + label, tvqbench::Percentile(c.ticksAfter, 95.0), "ms",
                     p95Before, "tick p95 before"});
  figures.push_back({"drawing per tick after " + label,
                     tvqbench::Mean(c.ticksAfter) - channelMs, "ms",
                     tvqbench::Mean(c.ticksBefore) - channelMs, "drawing per tick before"});
  figures.push_back({"ticks drawn per second " + label, static_cast<double>(c.drawnAfter),
                     "ticks", kTicksPerSecond, "ticks per second"});
  figures.push_back({"captures per second " + label, c.captureMs, "ms", 1000.0, "one second"});
  figures.push_back({"Manager CPU per second before " + label, c.cpuBefore, "ms", 1000.0,
                     "one core"});
  figures.push_back({"Manager CPU per second after " + label, c.cpuAfter, "ms", c.cpuBefore,
                     "CPU per second before"});
  figures.push_back({"layer memory after " + label, c.layerBytes / (1024.0 * 1024.0), "MiB",
                     static_cast<double>(size.width) * size.height * 3 / (1024.0 * 1024.0),
                     "one canvas"});
  figures.push_back({"remembered pictures after " + label,
                     c.rememberedBytes / (1024.0 * 1024.0), "MiB",
                     static_cast<double>(size.width) * size.height * 3 / (1024.0 * 1024.0),
                     "one canvas"});
}

// The layers' memory with 8 slots each over the whole canvas.
void AddLayerMemoryFigure(const tvqbench::OutputSize& size,
                          std::vector<tvqbench::Figure>& figures) {
  BenchManager manager(size, 0, true);
  FillFullCanvasSlots(manager.slots, 8);
  manager.Tick(true);
  const double canvasMiB = static_cast<double>(manager.canvas.BufferBytes()) / (1024.0 * 1024.0);
  figures.push_back({"layer memory 8 full-canvas slots " + tvqbench::SizeLabel(size),
                     static_cast<double>(manager.compositor.LayerBytes()) / (1024.0 * 1024.0),
                     "MiB", canvasMiB, "one canvas"});
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

  const int seconds = quick ? 1 : 3;
  std::vector<tvqbench::Figure> perSecond;
  for (const tvqbench::OutputSize& size : {tvqbench::OutputSize{1280, 720},
                                           tvqbench::OutputSize{1920, 1080}}) {
    AddSecondFigures(size, kLiveScene, seconds, perSecond);
  }
  for (const tvqbench::OutputSize& size : {tvqbench::OutputSize{640, 480},
                                           tvqbench::OutputSize{1920, 1080}}) {
    for (int active : {1, 4, 8}) AddSecondFigures(size, active, seconds, perSecond);
  }
  AddLayerMemoryFigure(tvqbench::OutputSize{1920, 1080}, perSecond);
  tvqbench::PrintTable(
      "One second at 30 ticks/s with captures at their rates: every capture and tick whole "
      "(before) and following the changed pixels (after), both through layers; ratio "
      "after/before",
      perSecond);
  return 0;
}
