// Delivery, CPU and latency as a client application sees them: the Manager runs from a folder of
// its own with the output size in its settings file and stamps every published frame (bench
// mode); a DirectShow client graph (virtual camera, Sample Grabber, Null Renderer) asks for 5, 15,
// 30 and 60 frames per second in turn and records when each sample and each stamp arrives.
#include <windows.h>
#include <winternl.h>
#include <wrl/client.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/ChannelNames.h"
#include "filter/FilterIdentity.h"
#include "manager/capture/SampleGrabber.h"
#include "manager/composition/CCompositor.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr int kRates[] = {5, 15, 30, 60};
constexpr int kQuickRates[] = {15, 60};
// The most the client may ask for: the settings' rate, which is also the Manager's tick rate.
constexpr double kSettingsRate = 60.0;
constexpr DWORD kStartTimeoutMs = 15000;

std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

double FileTimeMs(const FILETIME& t) {
  return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
         10000.0;
}

double OwnCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  return FileTimeMs(kernel) + FileTimeMs(user);
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
    if (!CopyFileW((ExecutableFolder() + L"\\TessavueManager.exe").c_str(), exe.c_str(), FALSE)) {
      return false;
    }
    const std::wstring iniPath = folder + L"\\Tessavue.ini";
    SetEnvironmentVariableW(tvq::kBenchStampVariable, L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"";
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                        0, nullptr, folder.c_str(), &startup, &m_info);
    SetEnvironmentVariableW(tvq::kBenchStampVariable, nullptr);
    if (!started) return false;
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

// Arrival time of every sample and the stamp it carried; written on the camera's worker thread,
// read after the graph stopped.
class Recorder : public ISampleGrabberCB {
 public:
  explicit Recorder(size_t capacity) : m_arrivals(capacity), m_stamps(capacity) {}
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
    if (!m_recording) return S_OK;
    const size_t index = m_count;
    if (index >= m_arrivals.size()) return S_OK;
    BYTE* data = nullptr;
    tvq::BenchStamp stamp{};
    if (SUCCEEDED(sample->GetPointer(&data)) && sample->GetActualDataLength() >=
                                                    static_cast<long>(sizeof(stamp))) {
      std::memcpy(&stamp, data, sizeof(stamp));
    }
    m_arrivals[index] = now;
    m_stamps[index] = stamp;
    m_count = index + 1;
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  void SetRecording(bool recording) { m_recording = recording; }
  size_t Count() const { return m_count; }
  const std::vector<double>& Arrivals() const { return m_arrivals; }
  const std::vector<tvq::BenchStamp>& Stamps() const { return m_stamps; }

 private:
  std::atomic<bool> m_recording{false};
  std::atomic<size_t> m_count{0};
  std::vector<double> m_arrivals;
  std::vector<tvq::BenchStamp> m_stamps;
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

// One client graph run at one rate; false when the graph could not be built or run.
bool RecordClient(const tvqbench::OutputSize& size, int rate, double seconds, Recorder& recorder,
                  DWORD manager, double* clientCpuMs, double* managerCpuMs) {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> camera, grabberFilter, renderer;
  ComPtr<ICaptureGraphBuilder2> builder;
  ComPtr<ISampleGrabber> grabber;
  ComPtr<IMediaControl> control;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&graph))) ||
      FAILED(CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&camera))) ||
      FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&grabberFilter))) ||
      FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&renderer))) ||
      FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&builder))) ||
      FAILED(grabberFilter.As(&grabber)) || FAILED(graph.As(&control))) {
    return false;
  }
  if (FAILED(AskFor(camera.Get(), size, rate))) return false;
  grabber->SetCallback(&recorder, 0);
  graph->AddFilter(camera.Get(), L"Camera");
  graph->AddFilter(grabberFilter.Get(), L"Grabber");
  graph->AddFilter(renderer.Get(), L"Renderer");
  builder->SetFiltergraph(graph.Get());
  if (FAILED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                   grabberFilter.Get(), renderer.Get())) ||
      FAILED(control->Run())) {
    return false;
  }
  Sleep(1000);  // past the start: the first samples and the Manager's canvas change
  const double clientStart = OwnCpuMs();
  const double managerStart = OtherProcessCpuMs(manager);
  recorder.SetRecording(true);
  Sleep(static_cast<DWORD>(seconds * 1000.0));
  recorder.SetRecording(false);
  *clientCpuMs = OwnCpuMs() - clientStart;
  *managerCpuMs = OtherProcessCpuMs(manager) - managerStart;
  control->Stop();
  grabber->SetCallback(nullptr, 0);
  return true;
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
};

void AddFigures(const tvqbench::OutputSize& size, int rate, const Recorder& recorder,
                double clientCpuMs, double managerCpuMs, Tables& tables) {
  const size_t count = recorder.Count();
  const std::string label = " @" + std::to_string(rate) + " " + tvqbench::SizeLabel(size);
  const double interval = 1000.0 / rate;
  const std::string requested = "requested interval";
  if (count < 2) {
    tables.delivery.push_back({"delivered fps" + label, 0.0, "fps", double(rate), "requested"});
    return;
  }
  std::vector<double> intervals;
  std::vector<double> latencies;
  std::int64_t lastCounter = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) intervals.push_back(recorder.Arrivals()[i] - recorder.Arrivals()[i - 1]);
    const tvq::BenchStamp& stamp = recorder.Stamps()[i];
    // The first arrival of each counter value: later samples repeat a frame already seen.
    if (stamp.counter > lastCounter) {
      lastCounter = stamp.counter;
      latencies.push_back((recorder.Arrivals()[i] - tvqbench::QpcToMs(stamp.publishedQpc)) /
                          interval);
    }
  }
  const double span = recorder.Arrivals()[count - 1] - recorder.Arrivals()[0];
  const double frames = static_cast<double>(count);
  tables.delivery.push_back(
      {"delivered fps" + label, (frames - 1) * 1000.0 / span, "fps", double(rate), "requested"});
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
  if (latencies.empty()) return;  // a Manager without the bench stamp
  tables.latency.push_back({"latency median" + label, tvqbench::Median(latencies), "frames", 1.0,
                            "one frame interval"});
  tables.latency.push_back({"latency p95" + label, tvqbench::Percentile(latencies, 95),
                            "frames", 1.0, "one frame interval"});
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

}  // namespace

int main(int argc, char** argv) {
  const bool quick = tvqbench::QuickMode(argc, argv);
  const double seconds = quick ? 8.0 : 10.0;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (!RegisterCamera()) {
    std::printf("the virtual camera could not be registered\n");
    return 1;
  }
  Tables tables;
  std::vector<tvqbench::OutputSize> sizes(std::begin(tvqbench::kOutputSizes),
                                          std::end(tvqbench::kOutputSizes));
  if (quick) sizes = {{1024, 768}};
  std::vector<int> rates(std::begin(kRates), std::end(kRates));
  if (quick) rates.assign(std::begin(kQuickRates), std::end(kQuickRates));
  int status = 0;
  for (const tvqbench::OutputSize& size : sizes) {
    const std::wstring folder = tvqbench::MakeBenchFolder(L"delivery");
    tvqbench::WriteSettingsFile(folder, size, kSettingsRate);
    ManagerProcess manager;
    if (!manager.Start(folder)) {
      std::printf("the Manager did not start at %s\n", tvqbench::SizeLabel(size).c_str());
      status = 1;
      continue;
    }
    for (int rate : rates) {
      Recorder recorder(static_cast<size_t>(rate * seconds * 2 + 100));
      double clientCpu = 0.0;
      double managerCpu = 0.0;
      if (!RecordClient(size, rate, seconds, recorder, manager.Id(), &clientCpu,
                        &managerCpu)) {
        std::printf("the client graph failed at %d fps %s\n", rate,
                    tvqbench::SizeLabel(size).c_str());
        status = 1;
        continue;
      }
      AddFigures(size, rate, recorder, clientCpu, managerCpu, tables);
    }
    manager.Stop();
  }
  tvqbench::PrintTable("Delivery: what a client receives (ratio against the requested rate)",
                       tables.delivery);
  tvqbench::PrintTable("CPU time per delivered frame (ratio = share of one core)", tables.cpu);
  tvqbench::PrintTable("End-to-end latency from the Manager's publication to the client",
                       tables.latency);
  CoUninitialize();
  return status;
}
