// Window capture methods: a 1280 x 720 window captured 30 times a second by the window source,
// with the standard copy of its device context and with PrintWindow (full content), each fixed
// and automatic; cost per capture (median and 95th percentile, picture made anew included) and
// the process's CPU time per second. The window lives on a thread of this process, so a
// PrintWindow's repaint of the window is counted here too, as the target program would pay it.
// Then the blank check alone on a 1280 x 720 picture, one colour (every sample read) and with
// content (early exit).
//
// Under Wine, PrintWindow ignores PW_RENDERFULLCONTENT and has the window print itself
// (WM_PRINT); on Windows 10 and 11 the desktop compositor answers it for windows drawn by the
// GPU, which cannot be measured here.
#include <windows.h>

#include <atomic>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchCommon.h"
#include "manager/capture/BlankPicture.h"
#include "manager/capture/CCaptureWindow.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr double kIntervalMs = 1000.0 / 30.0;
constexpr wchar_t kClassName[] = L"TVQBenchCaptureWindow";

// What the window shows: sixteen bands of colour and a line of text in each, painted anew for
// every WM_PAINT and WM_PRINTCLIENT. A window "drawn by the GPU" paints black on WM_PAINT.
void PaintContent(HDC dc, const RECT& client) {
  const int bands = 16;
  for (int i = 0; i < bands; ++i) {
    RECT band = {0, client.bottom * i / bands, client.right, client.bottom * (i + 1) / bands};
    HBRUSH brush = CreateSolidBrush(RGB(i * 15, 255 - i * 15, (i * 97) % 256));
    FillRect(dc, &band, brush);
    DeleteObject(brush);
    DrawTextW(dc, L"Tessavue window capture bench", -1, &band, DT_SINGLELINE | DT_VCENTER);
  }
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool gpu = GetWindowLongPtrW(window, GWLP_USERDATA) != 0;
  RECT client;
  GetClientRect(window, &client);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (gpu) {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      } else {
        PaintContent(dc, client);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintContent(reinterpret_cast<HDC>(wParam), client);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The window on a thread of its own that serves its messages, as another program's would.
class BenchWindow {
 public:
  explicit BenchWindow(bool drawnByGpu) {
    m_thread = std::thread([this, drawnByGpu] { Run(drawnByGpu); });
    while (m_window.load() == nullptr) Sleep(1);
  }
  ~BenchWindow() {
    PostMessageW(m_window, WM_CLOSE, 0, 0);
    m_thread.join();
  }
  HWND Handle() const { return m_window; }

 private:
  void Run(bool drawnByGpu) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &BenchWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly for the second window: the class stays
    HWND window = CreateWindowExW(0, kClassName, L"TVQ bench window", WS_POPUP, 0, 0, kWidth,
                                  kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, drawnByGpu ? 1 : 0);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    m_window = window;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }

  std::atomic<HWND> m_window{nullptr};
  std::thread m_thread;
};

struct CaptureCost {
  std::vector<double> perCaptureMs;
  double cpuPerSecondMs = 0.0;
  tvq::CaptureMethod settled = tvq::CaptureMethod::kStandard;
};

// One second of captures paced at 30 a second, as the slot's timer would, added to cost.
void MeasureSecond(bool drawnByGpu, tvq::CaptureMode mode, CaptureCost& cost) {
  BenchWindow window(drawnByGpu);
  CCaptureWindow source;
  source.Attach(window.Handle());
  source.SetMode(mode);
  for (int i = 0; i < 5; ++i) source.Capture();  // settles the automatic method
  const double cpuStart = tvqbench::OwnCpuMs();
  const double start = tvqbench::NowMs();
  for (int i = 0; i < 30; ++i) {
    const double due = start + i * kIntervalMs;
    while (tvqbench::NowMs() < due) Sleep(1);
    const double before = tvqbench::NowMs();
    source.Capture();
    cost.perCaptureMs.push_back(tvqbench::NowMs() - before);
  }
  cost.cpuPerSecondMs += tvqbench::OwnCpuMs() - cpuStart;
  cost.settled = source.RunningMethod();
}

double BlankCheckUs(bool oneColour, int runs) {
  CImage picture;
  picture.Create(kWidth, kHeight, 24);
  // The ninth pixel of the top row (Bits()) differs: the first sampled after the corner.
  if (!oneColour) picture.Bits()[tvq::kBlankSampleStep * 3] = 0xFF;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double before = tvqbench::NowMs();
    tvq::IsOneColour(picture);
    times.push_back((tvqbench::NowMs() - before) * 1000.0);
  }
  return tvqbench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = tvqbench::QuickMode(argc, argv);
  const int seconds = quick ? 1 : 10;
  const struct {
    const char* name;
    bool drawnByGpu;
    tvq::CaptureMode mode;
  } rows[] = {
      {"standard, ordinary", false, tvq::CaptureMode::kStandard},
      {"full content, ordinary", false, tvq::CaptureMode::kFullContent},
      {"automatic, ordinary", false, tvq::CaptureMode::kAutomatic},
      {"automatic, GPU-like", true, tvq::CaptureMode::kAutomatic},
  };
  // The rows take turns second by second, so that all of them see the same load.
  std::vector<CaptureCost> costs(std::size(rows));
  for (int second = 0; second < seconds; ++second) {
    for (size_t i = 0; i < std::size(rows); ++i) {
      MeasureSecond(rows[i].drawnByGpu, rows[i].mode, costs[i]);
    }
  }
  std::vector<tvqbench::Figure> figures;
  const double standardMedian = tvqbench::Median(costs[0].perCaptureMs);
  const double standardCpu = costs[0].cpuPerSecondMs / seconds;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const CaptureCost& cost = costs[i];
    const std::string method =
        cost.settled == tvq::CaptureMethod::kStandard ? " (std)" : " (full)";
    const std::string label = std::string(rows[i].name) + method;
    figures.push_back({"capture median " + label, tvqbench::Median(cost.perCaptureMs), "ms",
                       standardMedian, "standard capture median"});
    figures.push_back({"capture p95 " + label, tvqbench::Percentile(cost.perCaptureMs, 95.0),
                       "ms", kIntervalMs, "interval at 30/s"});
    figures.push_back({"CPU per second " + label, cost.cpuPerSecondMs / seconds, "ms",
                       standardCpu, "standard CPU per second"});
  }
  const int runs = quick ? 20 : 200;
  const double blank = BlankCheckUs(true, runs);
  figures.push_back({"blank check, one colour", blank, "us", standardMedian * 1000.0,
                     "standard capture median"});
  figures.push_back({"blank check, content", BlankCheckUs(false, runs), "us", blank,
                     "blank check, one colour"});
  tvqbench::PrintTable(
      "Window capture methods, a 1280x720 window at 30 captures a second (std: standard copy "
      "of the device context, full: PrintWindow full content; GPU-like: paints black, prints "
      "its content)",
      figures);
  return 0;
}
