// Delivery, CPU and latency as a client application sees them: the stamped build of the Manager
// (every published frame carries a counter and its publication time) runs from a folder of its
// own with the output size in its settings file; a DirectShow client graph (virtual camera,
// Sample Grabber, Null Renderer) asks for one rate at a time and records when each sample arrives,
// the time stamp it carries and the Manager's stamp in its pixels. Two kinds of client:
// - clocked: the graph's default clock, so the renderer holds every sample until its time stamp
//   (this measures the stamps);
// - arrival: no reference clock (SetSyncSource(NULL)), so samples are taken as they come, as
//   ffmpeg's dshow input, browsers and call applications do (this measures the pacing).
#include <windows.h>
#include <winternl.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "filter/FilterIdentity.h"
#include "manager/capture/SampleGrabber.h"
#include "manager/composition/CCompositor.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD kStartTimeoutMs = 15000;

// One client run: the output size and rate the settings file gives (the most a client may ask
// for, and the Manager's tick rate), what the client asks for, for how long, and how it clocks.
struct Run {
  tvqbench::OutputSize size;
  double settingsRate;
  int rate;
  double seconds;
  bool arrival;
};

std::vector<Run> PlannedRuns(bool quick) {
  std::vector<Run> runs;
  if (quick) {
    runs.push_back({{1024, 768}, 60.0, 60, 6.0, false});
    runs.push_back({{1024, 768}, 60.0, 60, 6.0, true});
    return runs;
  }
  for (const tvqbench::OutputSize& size : tvqbench::kOutputSizes) {
    for (int rate : {5, 15, 30, 60}) runs.push_back({size, 60.0, rate, 10.0, false});
  }
  const tvqbench::OutputSize arrivalSizes[] = {{640, 480}, {1920, 1080}};
  for (const tvqbench::OutputSize& size : arrivalSizes) {
    for (int rate : {5, 15, 30, 60}) runs.push_back({size, 60.0, rate, 60.0, true});
  }
  runs.push_back({{1920, 1080}, 120.0, 120, 60.0, true});
  return runs;
}

std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// CPU time of another process from the system's process list: Wine answers GetProcessTimes for
// another process with the caller's own times.
double OtherProcessCpuMs(DWORD processId) {
  std::vector<BYTE> buffer(1 << 20);
  ULONG length = 0;
  if (NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                               static_cast<ULONG>(buffer.size()), &length) != 0) {
    return 0.0;
  }
  for (size_t offset = 0;;) {
    const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[offset]);
    if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
      return static_cast<double>(entry->KernelTime.QuadPart + entry->UserTime.QuadPart) / 10000.0;
    }
    if (entry->NextEntryOffset == 0) return 0.0;
    offset += entry->NextEntryOffset;
  }
}

std::wstring StoredIniFilePath() {
  wchar_t buffer[MAX_PATH + 1] = L"";
  DWORD bytes = MAX_PATH * sizeof(wchar_t);
  RegGetValueW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, tvq::kIniFilePathValue,
               RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer, &bytes);
  return buffer;
}

// The Manager started from a copy in its own folder, so that its settings file is the bench's.
class ManagerProcess {
 public:
  bool Start(const std::wstring& folder) {
    const std::wstring exe = folder + L"\\TessavueManager.exe";
    const std::wstring built = ExecutableFolder() + L"\\TessavueManagerStamped.exe";
    if (!CopyFileW(built.c_str(), exe.c_str(), FALSE)) return false;
    const std::wstring iniPath = folder + L"\\Tessavue.ini";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &m_info)) {
      return false;
    }
    // The Manager names its settings file in the registry once its start-up sequence ran.
    const double end = tvqbench::NowMs() + kStartTimeoutMs;
    while (StoredIniFilePath() != iniPath) {
      if (tvqbench::NowMs() > end || WaitForSingleObject(m_info.hProcess, 0) == WAIT_OBJECT_0) {
        return false;
      }
      Sleep(20);
    }
    return true;
  }

  DWORD Id() const { return m_info.dwProcessId; }

  // Closes its window as a user would; kills it only if it does not end.
  void Stop() {
    if (m_info.hProcess == nullptr) return;
    EnumWindows(&CloseIfOurs, reinterpret_cast<LPARAM>(this));
    if (WaitForSingleObject(m_info.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(m_info.hProcess, 1);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
    m_info = PROCESS_INFORMATION{};
  }

  ~ManagerProcess() { Stop(); }

 private:
  static BOOL CALLBACK CloseIfOurs(HWND window, LPARAM param) {
    auto* self = reinterpret_cast<ManagerProcess*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == self->m_info.dwProcessId) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
  }

  PROCESS_INFORMATION m_info{};
};

// Per sample: arrival time, the sample's time stamp, the Manager's stamp in its pixels, and how
// long the client took to take it (copying it into a buffer of its own, as a client does).
// Written on the camera's worker thread, read after the graph stopped.
struct Arrival {
  double arrivalMs;
  double stampMs;
  tvq::BenchStamp published;
  double receiveMs;
};

class Recorder : public ISampleGrabberCB {
 public:
  explicit Recorder(size_t capacity) : m_arrivals(capacity) {}
  virtual ~Recorder() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_ISampleGrabberCB) return E_NOINTERFACE;
    *ppv = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    const double now = tvqbench::NowMs();
    if (!m_recording || m_count >= m_arrivals.size()) return S_OK;
    Arrival a{now, 0.0, {}, 0.0};
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) a.stampMs = static_cast<double>(start) / 1e4;
    BYTE* data = nullptr;
    const long length = sample->GetActualDataLength();
    if (SUCCEEDED(sample->GetPointer(&data)) && length >= static_cast<long>(sizeof(a.published))) {
      std::memcpy(&a.published, data, sizeof(a.published));
      m_copy.resize(static_cast<size_t>(length));
      std::memcpy(m_copy.data(), data, static_cast<size_t>(length));
    }
    a.receiveMs = tvqbench::NowMs() - now;
    m_arrivals[m_count] = a;
    m_count = m_count + 1;
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  void SetRecording(bool recording) { m_recording = recording; }
  std::vector<Arrival> Recorded() const {
    return std::vector<Arrival>(m_arrivals.begin(), m_arrivals.begin() + m_count);
  }

 private:
  std::atomic<bool> m_recording{false};
  std::atomic<size_t> m_count{0};
  std::vector<Arrival> m_arrivals;
  std::vector<BYTE> m_copy;
};

ComPtr<IPin> OutputPin(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  if (SUCCEEDED(filter->EnumPins(&pins))) pins->Next(1, &pin, nullptr);
  return pin;
}

// Asks the camera for the size and rate as ffmpeg's -video_size and -framerate do.
HRESULT AskFor(IBaseFilter* camera, const tvqbench::OutputSize& size, int rate) {
  ComPtr<IAMStreamConfig> config;
  ComPtr<IPin> pin = OutputPin(camera);
  if (!pin || FAILED(pin.As(&config))) return E_NOINTERFACE;
  AM_MEDIA_TYPE* mt = nullptr;
  HRESULT hr = config->GetFormat(&mt);
  if (FAILED(hr)) return hr;
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
  vih->bmiHeader.biWidth = size.width;
  vih->bmiHeader.biHeight = size.height;
  vih->AvgTimePerFrame = 10000000 / rate;
  hr = config->SetFormat(mt);
  CoTaskMemFree(mt->pbFormat);
  CoTaskMemFree(mt);
  return hr;
}

struct ClientGraph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> camera, grabberFilter, renderer;
  ComPtr<ISampleGrabber> grabber;
  ComPtr<IMediaControl> control;
};

HRESULT CreateFilters(ClientGraph& g) {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&g.graph));
  if (SUCCEEDED(hr)) hr = CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr,
                                           CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&g.camera));
  if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&g.grabberFilter));
  if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&g.renderer));
  if (SUCCEEDED(hr)) hr = g.grabberFilter.As(&g.grabber);
  if (SUCCEEDED(hr)) hr = g.graph.As(&g.control);
  return hr;
}

// Camera -> Sample Grabber -> Null Renderer through the capture graph builder, as a capture
// application builds it; an arrival client then drops the graph's reference clock.
HRESULT BuildClient(const Run& run, Recorder& recorder, ClientGraph& g) {
  HRESULT hr = CreateFilters(g);
  if (SUCCEEDED(hr)) hr = AskFor(g.camera.Get(), run.size, run.rate);
  if (FAILED(hr)) return hr;
  g.grabber->SetCallback(&recorder, 0);
  g.graph->AddFilter(g.camera.Get(), L"Camera");
  g.graph->AddFilter(g.grabberFilter.Get(), L"Grabber");
  g.graph->AddFilter(g.renderer.Get(), L"Renderer");
  ComPtr<ICaptureGraphBuilder2> builder;
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&builder));
  if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(g.graph.Get());
  if (SUCCEEDED(hr)) {
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, g.camera.Get(),
                               g.grabberFilter.Get(), g.renderer.Get());
  }
  if (FAILED(hr) || !run.arrival) return hr;
  ComPtr<IMediaFilter> clocking;
  hr = g.graph.As(&clocking);
  return SUCCEEDED(hr) ? clocking->SetSyncSource(nullptr) : hr;
}

// One client graph run at one rate; false when the graph could not be built or run.
bool RecordClient(const Run& run, Recorder& recorder, DWORD manager, double* clientCpuMs,
                  double* managerCpuMs) {
  ClientGraph g;
  if (FAILED(BuildClient(run, recorder, g)) || FAILED(g.control->Run())) return false;
  Sleep(1000);  // past the start: the first samples and the Manager's canvas change
  const double clientStart = tvqbench::OwnCpuMs();
  const double managerStart = OtherProcessCpuMs(manager);
  recorder.SetRecording(true);
  Sleep(static_cast<DWORD>(run.seconds * 1000.0));
  recorder.SetRecording(false);
  *clientCpuMs = tvqbench::OwnCpuMs() - clientStart;
  *managerCpuMs = OtherProcessCpuMs(manager) - managerStart;
  g.control->Stop();
  g.grabber->SetCallback(nullptr, 0);
  return true;
}

// What the pin's fill costs at this size: one read of the whole pixel object, as the pin reads
// it, while the Manager keeps writing it. Median of 30 reads.
double FillMs(const tvqbench::OutputSize& size) {
  const int bytes = static_cast<int>(tvq::FrameBytes24(size.width, size.height));
  CSharedMemory pixels;
  // The Manager made the section already, so this opens it at the Manager's size.
  if (!pixels.Create(tvq::kPixelObjectName, bytes)) return 0.0;
  std::vector<BYTE> sample(static_cast<size_t>(bytes));
  std::vector<double> times;
  for (int i = 0; i < 30; ++i) {
    const double start = tvqbench::NowMs();
    pixels.Read(sample.data(), bytes, INFINITE);
    times.push_back(tvqbench::NowMs() - start);
  }
  pixels.Close();
  return tvqbench::Median(times);
}

double StandardDeviation(const std::vector<double>& values) {
  if (values.size() < 2) return 0.0;
  double mean = 0.0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double sum = 0.0;
  for (double v : values) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

struct Tables {
  std::vector<tvqbench::Figure> delivery;
  std::vector<tvqbench::Figure> cpu;
  std::vector<tvqbench::Figure> latency;
  std::vector<tvqbench::Figure> arrival;
  std::vector<tvqbench::Figure> arrivalLatency;
};

std::string Label(const Run& run) {
  return " @" + std::to_string(run.rate) + " " + tvqbench::SizeLabel(run.size);
}

std::vector<double> Intervals(const std::vector<Arrival>& arrivals) {
  std::vector<double> intervals;
  for (size_t i = 1; i < arrivals.size(); ++i) {
    intervals.push_back(arrivals[i].arrivalMs - arrivals[i - 1].arrivalMs);
  }
  return intervals;
}

double DeliveredFps(const std::vector<Arrival>& arrivals) {
  const double span = arrivals.back().arrivalMs - arrivals.front().arrivalMs;
  return span > 0.0 ? static_cast<double>(arrivals.size() - 1) * 1000.0 / span : 0.0;
}

// Latency of each Manager frame (first arrival of each counter value), in requested intervals.
std::vector<double> Latencies(const std::vector<Arrival>& arrivals, double intervalMs) {
  std::vector<double> latencies;
  std::int64_t lastCounter = 0;
  for (const Arrival& a : arrivals) {
    if (a.published.counter <= lastCounter) continue;  // a frame already seen
    lastCounter = a.published.counter;
    latencies.push_back((a.arrivalMs - tvqbench::QpcToMs(a.published.publishedQpc)) /
                        intervalMs);
  }
  return latencies;
}

void AddLatency(const std::string& label, const std::vector<double>& latencies,
                std::vector<tvqbench::Figure>& table) {
  if (latencies.empty()) return;
  table.push_back({"latency median" + label, tvqbench::Median(latencies), "frames", 1.0,
                   "one frame interval"});
  table.push_back({"latency p95" + label, tvqbench::Percentile(latencies, 95), "frames", 1.0,
                   "one frame interval"});
}

void AddClockedFigures(const Run& run, const std::vector<Arrival>& arrivals, double clientCpuMs,
                       double managerCpuMs, Tables& tables) {
  const std::string label = Label(run);
  const double interval = 1000.0 / run.rate;
  const std::string requested = "requested interval";
  const std::vector<double> intervals = Intervals(arrivals);
  const double frames = static_cast<double>(arrivals.size());
  tables.delivery.push_back(
      {"delivered fps" + label, DeliveredFps(arrivals), "fps", double(run.rate), "requested"});
  tables.delivery.push_back({"interval median" + label, tvqbench::Median(intervals), "ms",
                             interval, requested});
  tables.delivery.push_back({"interval p95" + label, tvqbench::Percentile(intervals, 95), "ms",
                             interval, requested});
  tables.delivery.push_back({"interval std dev" + label, StandardDeviation(intervals), "ms",
                             interval, requested});
  tables.cpu.push_back({"client CPU per frame" + label, clientCpuMs / frames, "ms", interval,
                        requested});
  tables.cpu.push_back({"Manager CPU per frame" + label, managerCpuMs / frames, "ms", interval,
                        requested});
  AddLatency(label, Latencies(arrivals, interval), tables.latency);
}

// How far the stamps moved from the arrival times over the run: at its end, and at most.
void StampDrift(const std::vector<Arrival>& arrivals, double* endMs, double* maxMs) {
  const Arrival& first = arrivals.front();
  *maxMs = 0.0;
  for (const Arrival& a : arrivals) {
    const double drift = (a.arrivalMs - first.arrivalMs) - (a.stampMs - first.stampMs);
    *maxMs = std::max(*maxMs, std::fabs(drift));
    *endMs = drift;
  }
}

void AddArrivalFigures(const Run& run, const std::vector<Arrival>& arrivals, double fillMs,
                       Tables& tables) {
  const std::string label = Label(run) + " arrival";
  const double interval = 1000.0 / run.rate;
  const std::string requested = "requested interval";
  const std::vector<double> intervals = Intervals(arrivals);
  std::vector<double> receives;
  for (const Arrival& a : arrivals) receives.push_back(a.receiveMs);
  double driftEnd = 0.0, driftMax = 0.0;
  StampDrift(arrivals, &driftEnd, &driftMax);
  const double fps = DeliveredFps(arrivals);
  auto& t = tables.arrival;
  t.push_back({"delivered fps" + label, fps, "fps", double(run.rate), "requested"});
  for (double p : {50.0, 95.0, 99.0}) {
    t.push_back({"interval p" + std::to_string(int(p)) + label,
                 tvqbench::Percentile(intervals, p), "ms", interval, requested});
  }
  t.push_back({"stamp drift at end" + label, driftEnd, "ms", interval, requested});
  t.push_back({"stamp drift max" + label, driftMax, "ms", interval, requested});
  t.push_back({"fill per sample" + label, fillMs, "ms", interval, requested});
  t.push_back({"delivery per sample" + label, tvqbench::Median(receives), "ms", interval,
               requested});
  AddLatency(label, Latencies(arrivals, interval), tables.arrivalLatency);
}

bool RegisterCamera() {
  HMODULE dll = LoadLibraryW((ExecutableFolder() + L"\\TVQDirectShowFilter.dll").c_str());
  if (dll == nullptr) return false;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  const bool registered = entry != nullptr && SUCCEEDED(entry());
  FreeLibrary(dll);
  return registered;
}

// Runs one client and adds its figures; false when its graph failed.
bool MeasureRun(const Run& run, DWORD manager, Tables& tables) {
  Recorder recorder(static_cast<size_t>(run.rate * run.seconds * 2 + 100));
  double clientCpu = 0.0;
  double managerCpu = 0.0;
  if (!RecordClient(run, recorder, manager, &clientCpu, &managerCpu)) return false;
  const std::vector<Arrival> arrivals = recorder.Recorded();
  if (arrivals.size() < 2) {
    tables.delivery.push_back({"delivered fps" + Label(run), 0.0, "fps", double(run.rate),
                               "requested"});
    return true;
  }
  if (run.arrival) {
    AddArrivalFigures(run, arrivals, FillMs(run.size), tables);
  } else {
    AddClockedFigures(run, arrivals, clientCpu, managerCpu, tables);
  }
  return true;
}

// The runs that share a Manager (same size and settings rate) from first.
std::vector<Run> SameManager(const std::vector<Run>& runs, size_t first) {
  std::vector<Run> group;
  for (size_t i = first; i < runs.size(); ++i) {
    const Run& r = runs[i];
    if (r.size.width != runs[first].size.width || r.size.height != runs[first].size.height ||
        r.settingsRate != runs[first].settingsRate) {
      break;
    }
    group.push_back(r);
  }
  return group;
}

int MeasureAll(const std::vector<Run>& runs, Tables& tables) {
  int status = 0;
  for (size_t first = 0; first < runs.size();) {
    const std::vector<Run> group = SameManager(runs, first);
    first += group.size();
    const std::wstring folder = tvqbench::MakeBenchFolder(L"delivery");
    tvqbench::WriteSettingsFile(folder, group[0].size, group[0].settingsRate);
    ManagerProcess manager;
    if (!manager.Start(folder)) {
      std::printf("the Manager did not start at %s\n", tvqbench::SizeLabel(group[0].size).c_str());
      status = 1;
      continue;
    }
    for (const Run& run : group) {
      if (MeasureRun(run, manager.Id(), tables)) continue;
      std::printf("the client graph failed at%s\n", Label(run).c_str());
      status = 1;
    }
    manager.Stop();
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (!RegisterCamera()) {
    std::printf("the virtual camera could not be registered\n");
    return 1;
  }
  Tables tables;
  const int status = MeasureAll(PlannedRuns(tvqbench::QuickMode(argc, argv)), tables);
  tvqbench::PrintTable("Delivery to a clocked client (renderer on the graph clock; ratio against "
                       "the requested rate)", tables.delivery);
  tvqbench::PrintTable("CPU time per delivered frame (ratio = share of one core)", tables.cpu);
  tvqbench::PrintTable("End-to-end latency from the Manager's publication to the client",
                       tables.latency);
  tvqbench::PrintTable("Delivery to an arrival client (no reference clock; ratio against the "
                       "request)", tables.arrival);
  tvqbench::PrintTable("End-to-end latency to the arrival client", tables.arrivalLatency);
  CoUninitialize();
  return status;
}
