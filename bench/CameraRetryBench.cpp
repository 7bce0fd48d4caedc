// A camera that is there but does not start (another program runs it): what one try to open it
// costs the window's thread, against opening a camera that starts and against the compositing
// interval; and what the tries cost over a minute with the restore's back-off, against a try on
// every waiting poll (once a second). The camera is our own filter, registered from next to this
// program; the single-instance mutex held here keeps its graphs from starting, as a second client
// would.
#include <objbase.h>

#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/ChannelNames.h"
#include "common/Lifetime.h"
#include "filter/FilterIdentity.h"
#include "manager/capture/CCaptureVideo.h"
#include "manager/composition/RetryBackoff.h"

namespace {

std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// The filter finds its settings through the registry; without them it would ask for a file.
bool RegisterCamera(const std::wstring& settingsPath) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegSetValueExW(key, tvq::kIniFilePathValue, 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(settingsPath.c_str()),
                 static_cast<DWORD>((settingsPath.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  HMODULE dll = LoadLibraryW((ExecutableFolder() + L"\\TVQDirectShowFilter.dll").c_str());
  if (dll == nullptr) return false;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  const bool registered = entry != nullptr && SUCCEEDED(entry());
  FreeLibrary(dll);
  return registered;
}

// Milliseconds of each Open; every one must end as expected.
bool TimeOpenings(CCaptureVideo& camera, int runs, bool starts, std::vector<double>& times) {
  tvq::CameraRequest request;
  request.friendlyName = tvq::kFilterName;
  for (int run = 0; run < runs; ++run) {
    const double start = tvqbench::NowMs();
    const bool opened = camera.Open(request);
    times.push_back(tvqbench::NowMs() - start);
    camera.ReleaseGraph();
    if (opened != starts) return false;
  }
  return true;
}

class SteppedClock : public tvq::ITickClock {
 public:
  ULONGLONG NowMs() const override { return now; }
  ULONGLONG now = 0;
};

// Tries over a minute of waiting polls, one a second, each of them failing.
int TriesPerMinute() {
  SteppedClock clock;
  tvq::RetryBackoff backoff(clock);
  int tries = 0;
  for (int second = 0; second < 60; ++second) {
    clock.now = second * 1000ull;
    if (!backoff.IsDue()) continue;
    ++tries;
    backoff.Failed();
  }
  return tries;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = tvqbench::QuickMode(argc, argv) ? 5 : 21;
  if (FAILED(CoInitialize(nullptr))) return 1;
  const std::wstring folder = tvqbench::MakeBenchFolder(L"camera_retry");
  if (!RegisterCamera(tvqbench::WriteSettingsFile(folder, {640, 480}, 30))) {
    std::printf("camera retry: the filter could not be registered\n");
    return 1;
  }
  CCaptureVideo camera;
  std::vector<double> starting;
  std::vector<double> failing;
  bool expected = TimeOpenings(camera, runs, true, starting);
  {
    tvq::UniqueKernelHandle inUse(CreateMutexW(nullptr, FALSE, tvq::kSingleInstanceMutexName));
    expected = expected && TimeOpenings(camera, runs, false, failing);
  }
  if (!expected) {
    std::printf("camera retry: a camera opened other than expected\n");
    return 1;
  }
  const double frameMs = 1000.0 / 30.0;
  const double failed = tvqbench::Median(failing);
  const int tries = TriesPerMinute();
  const std::vector<tvqbench::Figure> figures = {
      {"camera open, starts (640x480)", tvqbench::Median(starting), "ms", frameMs,
       "frame at 30 fps"},
      {"camera open, does not start", failed, "ms", frameMs, "frame at 30 fps"},
      {"camera open, does not start, max", tvqbench::Percentile(failing, 100.0), "ms", frameMs,
       "frame at 30 fps"},
      {"tries per minute, back-off", double(tries), "tries", 60.0, "a try every poll"},
      {"window thread per minute on tries, back-off", tries * failed, "ms", 60.0 * failed,
       "a try every poll"},
  };
  tvqbench::PrintTable("A camera that does not start, tried again by the restore", figures);
  CoUninitialize();
  return 0;
}
