// Compositing tick cost: the Manager's tick (follow the channel, draw every active slot with
// HALFTONE scaling, publish the canvas) with 1, 4 and 8 active slots holding pictures of the sizes
// a desktop, a window and a camera give, as a share of the frame budget at 30 frames per second.
//
// Then one second of the Manager as it runs: 30 ticks a second with the slots' captures at their
// default rates in between, once drawing the slots on every tick (as before) and once drawing only
// when something changed; tick cost, drawing part and the process's CPU time per second.
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

// The Manager's compositing state at one output size: canvas, channel objects of its own (so that
// no filter or Manager running meanwhile takes part), slots and the compositor.
struct BenchManager {
  BenchManager(const tvqbench::OutputSize& size, int active)
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
    FillSlots(slots, active);
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

double TickMs(const tvqbench::OutputSize& size, int active, int runs, int ticks) {
  BenchManager manager(size, active);
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

double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

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
      const int kind = manager.slots.Kind(slot);
      const double rate = kind == tvq::kCameraSlot ? tvq::kDefaultCameraCaptureRate
                                                   : tvq::kDefaultWindowCaptureRate;
      m_intervalMs.push_back(tvq::TimerIntervalMs(rate, rate));
      m_nextMs.push_back(37.0 * slot);
    }
  }

  // Runs every capture due up to nowMs; true when any ran. Adds the time spent to spentMs.
  bool RunDue(double nowMs, double& spentMs) {
    bool ran = false;
    const double start = tvqbench::NowMs();
    for (int slot = 0; slot < m_manager.slots.SlotCount(); ++slot) {
      if (m_manager.slots.Kind(slot) == tvq::kEmptySlot) continue;
      for (; m_nextMs[slot] <= nowMs; m_nextMs[slot] += m_intervalMs[slot]) {
        Capture(slot);
        ran = true;
      }
    }
    spentMs += tvqbench::NowMs() - start;
    return ran;
  }

 private:
  void Capture(int slot) {
    CImage& picture = *m_manager.slots.Picture(slot);
    switch (m_manager.slots.Kind(slot)) {
      case tvq::kCameraSlot: m_cameraFrame.DrawInto(picture, m_cameraHeader); break;
      case tvq::kWindowSlot:
        tvq::CopyWindowArea(GetDesktopWindow(), 0, 0, 800, 600, picture);
        break;
      default:
        tvq::CopyWindowArea(GetDesktopWindow(), 0, 0, picture.Width(), picture.Height(), picture);
        break;
    }
  }

  BenchManager& m_manager;
  BITMAPINFOHEADER m_cameraHeader;
  tvq::FrameBuffer m_cameraFrame;
  std::vector<double> m_intervalMs;
  std::vector<double> m_nextMs;
};

struct SecondCost {
  double tickMs = 0.0;     // mean wall time of one compositing tick
  double captureMs = 0.0;  // wall time of the second's captures
  double cpuMs = 0.0;      // the process's CPU time for the whole second
  int drawnTicks = 0;
  // Ticks that drew nothing: the channel's part of a tick, measured in the same conditions.
  std::vector<double> undrawnTickMs;
};

// The second's ticks and captures run back to back: the CPU time is what they cost, idle time
// between the timer messages left out.
SecondCost RunSecond(BenchManager& manager, BenchCaptures& captures, double secondStartMs,
                     bool drawEveryTick) {
  SecondCost cost;
  const double cpuStart = CpuMs();
  double tickTotal = 0.0;
  for (int i = 0; i < kTicksPerSecond; ++i) {
    if (captures.RunDue(secondStartMs + i * kTickIntervalMs, cost.captureMs)) {
      manager.compositor.MarkChanged();
    }
    const double start = tvqbench::NowMs();
    manager.Tick(drawEveryTick);
    const double tickMs = tvqbench::NowMs() - start;
    tickTotal += tickMs;
    if (manager.compositor.DrewLastTick()) {
      ++cost.drawnTicks;
    } else {
      cost.undrawnTickMs.push_back(tickMs);
    }
  }
  cost.cpuMs = CpuMs() - cpuStart;
  cost.tickMs = tickTotal / kTicksPerSecond;
  return cost;
}

// The same simulated seconds, alternating between drawing every tick and drawing what changed,
// so that both see the same load of the machine. CPU time is summed over all seconds (the
// process clock is coarse), tick times are medians over the seconds.
struct Comparison {
  double tickBefore, tickAfter, cpuBefore, cpuAfter, captureMs;
  int drawnAfter;
  std::vector<double> channelTickMs;
};

Comparison CompareSeconds(const tvqbench::OutputSize& size, int active, int seconds) {
  BenchManager before(size, active);
  BenchManager after(size, active);
  BenchCaptures beforeCaptures(before);
  BenchCaptures afterCaptures(after);
  std::vector<double> ticksBefore, ticksAfter, captureMs;
  Comparison result{};
  for (int second = 0; second < seconds; ++second) {
    const double startMs = second * kTicksPerSecond * static_cast<double>(kTickIntervalMs);
    const SecondCost b = RunSecond(before, beforeCaptures, startMs, true);
    const SecondCost a = RunSecond(after, afterCaptures, startMs, false);
    ticksBefore.push_back(b.tickMs);
    ticksAfter.push_back(a.tickMs);
    captureMs.push_back((a.captureMs + b.captureMs) / 2.0);
    result.cpuBefore += b.cpuMs / seconds;
    result.cpuAfter += a.cpuMs / seconds;
    result.drawnAfter += a.drawnTicks;
    result.channelTickMs.insert(result.channelTickMs.end(), a.undrawnTickMs.begin(),
                                a.undrawnTickMs.end());
  }
  result.tickBefore = tvqbench::Median(ticksBefore);
  result.tickAfter = tvqbench::Median(ticksAfter);
  result.captureMs = tvqbench::Median(captureMs);
  result.drawnAfter /= seconds;
  return result;
}

// A tick with no slot at all: format and interval reads and the publication only.
double ChannelOnlyTickMs(const tvqbench::OutputSize& size, int ticks) {
  BenchManager manager(size, 0);
  const double start = tvqbench::NowMs();
  for (int i = 0; i < ticks; ++i) manager.Tick(true);
  return (tvqbench::NowMs() - start) / ticks;
}

void AddSecondFigures(const tvqbench::OutputSize& size, int active, int seconds,
                      std::vector<tvqbench::Figure>& figures) {
  const Comparison c = CompareSeconds(size, active, seconds);
  // The drawing part of a tick is what it costs beyond a tick that drew nothing.
  const double channelMs = c.channelTickMs.empty() ? ChannelOnlyTickMs(size, kTicksPerSecond)
                                                   : tvqbench::Median(c.channelTickMs);
  const std::string label = std::to_string(active) + " slots " + tvqbench::SizeLabel(size);
  figures.push_back({"tick before " + label, c.tickBefore, "ms", kBudgetAt30Ms,
                     "frame budget at 30 fps"});
  figures.push_back({"tick after " + label, c.tickAfter, "ms", c.tickBefore, "tick before"});
  figures.push_back({"drawing per tick after " + label, c.tickAfter - channelMs, "ms",
                     c.tickBefore - channelMs, "drawing per tick before"});
  figures.push_back({"channel part per tick " + label, channelMs, "ms", c.tickAfter,
                     "tick after"});
  figures.push_back({"ticks drawn per second after " + label, static_cast<double>(c.drawnAfter),
                     "ticks", kTicksPerSecond, "ticks per second"});
  figures.push_back({"captures per second " + label, c.captureMs, "ms", 1000.0, "one second"});
  figures.push_back({"Manager CPU per second before " + label, c.cpuBefore, "ms", 1000.0,
                     "one core"});
  figures.push_back({"Manager CPU per second after " + label, c.cpuAfter, "ms", c.cpuBefore,
                     "CPU per second before"});
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
  for (const tvqbench::OutputSize& size : {tvqbench::OutputSize{640, 480},
                                           tvqbench::OutputSize{1920, 1080}}) {
    for (int active : {1, 4, 8}) AddSecondFigures(size, active, seconds, perSecond);
  }
  tvqbench::PrintTable(
      "One second at 30 ticks/s with captures at default rates: drawing every tick (before) and "
      "only what changed (after); ratio after/before",
      perSecond);
  return 0;
}
