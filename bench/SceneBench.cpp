// Switching scenes in an in-process Manager (the real CManagerApp, its window, slots, restore and
// compositor; a private channel): two windows of one solid colour each, scene 1 the first whole
// with the second in the bottom-right quarter, scene 2 the other way round.
//
// - Switch latency: a scene's global key (WM_HOTKEY, as the system delivers it) and then
//   compositing ticks until the published pixel object shows the new scene whole; in ticks
//   (median and worst of 20 switches) against the two ticks allowed, with both sources open
//   (only moved between slots) and with one window opened anew by the switch.
// - A fade: the tick's cost (median) and the process's CPU time per second while a 2-second fade
//   runs, against the same scene standing still at the same 30 ticks a second (no captures in
//   either, so that the figures are the fade's own).
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "manager/app/CManagerApp.h"
#include "manager/app/TimerIds.h"
#include "manager/composition/CanvasFade.h"

namespace {

constexpr COLORREF kColors[2] = {RGB(220, 30, 40), RGB(20, 50, 230)};
constexpr int kSwitches = 20;
constexpr int kTickLimit = 10;

LRESULT CALLBACK SolidProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const COLORREF color = static_cast<COLORREF>(GetWindowLongPtrW(window, GWLP_USERDATA));
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &paint.rcPaint, brush);
  DeleteObject(brush);
  EndPaint(window, &paint);
  return 0;
}

// Right of the Manager's window, where nothing covers it.
HWND SolidWindow(const wchar_t* title, int top, COLORREF color) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &SolidProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TVQSceneBenchWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, title, WS_POPUP | WS_VISIBLE, 1000,
                                top, 200, 150, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(color));
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  return window;
}

int NextRun() {
  static int runs = 0;
  return ++runs;
}

class SceneBench {
 public:
  SceneBench(const tvqbench::OutputSize& size, const std::wstring& folder)
      : m_size(size),
        // Channel objects of each run's own: a section keeps the size it was first made with.
        m_app(GetModuleHandleW(nullptr), folder + L"\\TessavueManager.exe",
              L"TVQBench " + std::to_wstring(NextRun()) + L" ") {
    tvqbench::WriteSettingsFile(folder, size, 30.0);
    m_windows[0] = SolidWindow(L"TVQ scene bench one", 40, kColors[0]);
    m_windows[1] = SolidWindow(L"TVQ scene bench two", 300, kColors[1]);
    m_app.CreateMainWindow(SW_SHOWNOACTIVATE);
  }
  ~SceneBench() {
    DestroyWindow(m_app.Window());
    for (HWND window : m_windows) DestroyWindow(window);
  }

  // Scene n + 1: window n whole, the other in the corner (or absent).
  void SaveScenes(bool secondInBoth) {
    for (int scene = 0; scene < 2; ++scene) {
      Empty();
      m_app.FillSlotWithWindow(0, m_windows[scene]);
      m_app.Slots().Placement(0) = SCIInfo{0.0, 0.0, 1.0, 1.0, 0, 0, 0, 0, 30.0};
      if (secondInBoth) {
        m_app.FillSlotWithWindow(1, m_windows[1 - scene]);
        m_app.Slots().Placement(1) = SCIInfo{0.5, 0.5, 0.5, 0.5, 0, 0, 0, 0, 30.0};
      }
      // Their first captures, as their timers would make them.
      Send(WM_TIMER, tvq::CaptureTimerId(0));
      Send(WM_TIMER, tvq::CaptureTimerId(1));
      Send(WM_HOTKEY, CHotkeys::IdOf(CHotkeys::Action::kSave, scene + 1));
    }
  }

  // Ticks from the key to the first published frame of the scene, for each switch.
  std::vector<double> SwitchTicks() {
    std::vector<double> ticks;
    for (int i = 0; i < kSwitches; ++i) {
      const int scene = i % 2;
      Send(WM_HOTKEY, CHotkeys::IdOf(CHotkeys::Action::kSwitch, scene + 1));
      int tick = 0;
      while (tick < kTickLimit && PublishedCorner() != kColors[scene]) {
        Send(WM_TIMER, tvq::kCompositingTimerId);
        ++tick;
      }
      ticks.push_back(tick);
      for (int settle = 0; settle < 3; ++settle) Send(WM_TIMER, tvq::kCompositingTimerId);
    }
    return ticks;
  }

  // 30 ticks a second for one second, and no captures: what a fade itself costs, against a tick
  // with nothing to do; the tick's median cost and the CPU time the process spent.
  void RunSecond(double& tickMs, double& cpuMs) {
    std::vector<double> costs;
    const double cpuStart = tvqbench::OwnCpuMs();
    const double start = tvqbench::NowMs();
    for (int tick = 0; tick < 30; ++tick) {
      while (tvqbench::NowMs() < start + tick * 1000.0 / 30.0) Sleep(1);
      const double before = tvqbench::NowMs();
      Send(WM_TIMER, tvq::kCompositingTimerId);
      costs.push_back(tvqbench::NowMs() - before);

    }
    cpuMs = tvqbench::OwnCpuMs() - cpuStart;
    tickMs = tvqbench::Median(costs);
  }

  CManagerApp& App() { return m_app; }
  void Send(UINT message, WPARAM wParam) { SendMessageW(m_app.Window(), message, wParam, 0); }

 private:
  void Empty() {
    for (int slot = 0; slot < m_app.Slots().SlotCount(); ++slot) m_app.Slots().SaveAndClear(slot);
  }

  // The top-left pixel of the published frame: the whole slot's colour.
  COLORREF PublishedCorner() {
    const int stride = (m_size.width * 3 + 3) / 4 * 4;
    std::vector<BYTE> frame(static_cast<size_t>(stride) * m_size.height);
    if (!m_app.PixelChannel().Read(frame.data(), static_cast<int>(frame.size()), 1000)) return 0;
    const BYTE* p = &frame[static_cast<size_t>(m_size.height - 5) * stride + 12];
    return RGB(p[2], p[1], p[0]);
  }

  tvqbench::OutputSize m_size;
  HWND m_windows[2] = {};
  CManagerApp m_app;
};

void AddSwitchFigures(const tvqbench::OutputSize& size, bool bothOpen,
                      std::vector<tvqbench::Figure>& figures) {
  SceneBench bench(size, tvqbench::MakeBenchFolder(L"scene"));
  bench.SaveScenes(bothOpen);
  const std::vector<double> ticks = bench.SwitchTicks();
  const std::string label = tvqbench::SizeLabel(size) + (bothOpen ? " shared" : " opened anew");
  figures.push_back({"switch latency " + label + " median", tvqbench::Median(ticks), "ticks",
                     2.0, "two ticks allowed"});
  figures.push_back({"switch latency " + label + " worst", tvqbench::Percentile(ticks, 100),
                     "ticks", 2.0, "two ticks allowed"});
}

double BlendMs(const tvqbench::OutputSize& size);

void AddFadeFigures(const tvqbench::OutputSize& size, std::vector<tvqbench::Figure>& figures) {
  SceneBench bench(size, tvqbench::MakeBenchFolder(L"fade"));
  bench.SaveScenes(true);
  bench.Send(WM_HOTKEY, CHotkeys::IdOf(CHotkeys::Action::kSwitch, 1));
  double stillTick = 0.0, stillCpu = 0.0, fadeTick = 0.0, fadeCpu = 0.0;
  bench.RunSecond(stillTick, stillCpu);
  bench.App().Scenes().SetTransition({true, 2000});
  bench.Send(WM_HOTKEY, CHotkeys::IdOf(CHotkeys::Action::kSwitch, 2));
  bench.RunSecond(fadeTick, fadeCpu);
  const bool faded = bench.App().Compositor()->IsFading();
  const std::string label = tvqbench::SizeLabel(size);
  figures.push_back({"tick during a fade " + label, fadeTick, "ms", stillTick, "scene still"});
  figures.push_back({"CPU per second during a fade " + label, fadeCpu, "ms", stillCpu,
                     "scene still"});
  figures.push_back({"fade still running after 1 s " + label, faded ? 1.0 : 0.0, "yes=1", 1.0,
                     "2 s fade"});
  figures.push_back({"blend of one fading frame " + label, BlendMs(size), "ms", 1000.0 / 30.0,
                     "frame budget at 30 fps"});
}

// The blend alone, on a canvas of the size: median of 30.
double BlendMs(const tvqbench::OutputSize& size) {
  CImage canvas;
  canvas.Create(size.width, size.height, 24);
  CanvasFade fade;
  const double start = tvqbench::NowMs();
  fade.Start(canvas, 60000, start);
  std::vector<double> costs;
  for (int i = 0; i < 30; ++i) {
    const double before = tvqbench::NowMs();
    fade.Blend(canvas, before);
    costs.push_back(tvqbench::NowMs() - before);
  }
  return tvqbench::Median(costs);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = tvqbench::QuickMode(argc, argv);
  std::vector<tvqbench::Figure> figures;
  for (const tvqbench::OutputSize& size : tvqbench::kOutputSizes) {
    if (quick && size.width != 1024) continue;
    AddSwitchFigures(size, true, figures);
    AddSwitchFigures(size, false, figures);
    AddFadeFigures(size, figures);
  }
  tvqbench::PrintTable("Scenes: switch latency and a fade's cost (in-process Manager)", figures);
  return 0;
}
