#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// Small helpers shared by the benchmark programs: timing, medians and the result table. Every
// figure is printed next to a reference measured in the same run, and appended to the CSV file
// named by the TVQ_BENCH_CSV environment variable (figure,value,unit,reference,ratio).
namespace tvqbench {

inline double NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// CPU time (kernel and user) this process has used so far.
inline double OwnCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// A QueryPerformanceCounter value (from any process of this machine) on NowMs's scale.
inline double QpcToMs(long long counter) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

inline double Mean(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  double sum = 0.0;
  for (double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

struct Figure {
  std::string name;
  double value;
  std::string unit;
  double reference;
  std::string referenceName;
};

inline void PrintTable(const char* title, const std::vector<Figure>& figures) {
  std::printf("\n%s\n", title);
  std::printf("%-48s %14s %-8s %14s %8s  %s\n", "figure", "value", "unit", "reference", "ratio",
              "reference is");
  for (const Figure& f : figures) {
    const double ratio = f.reference != 0.0 ? f.value / f.reference : 0.0;
    std::printf("%-48s %14.3f %-8s %14.3f %8.3f  %s\n", f.name.c_str(), f.value, f.unit.c_str(),
                f.reference, ratio, f.referenceName.c_str());
  }
  std::fflush(stdout);
  char path[MAX_PATH] = "";
  if (GetEnvironmentVariableA("TVQ_BENCH_CSV", path, MAX_PATH) == 0) return;
  FILE* csv = std::fopen(path, "a");
  if (csv == nullptr) return;
  for (const Figure& f : figures) {
    const double ratio = f.reference != 0.0 ? f.value / f.reference : 0.0;
    std::fprintf(csv, "%s,%.6f,%s,%.6f,%.6f\n", f.name.c_str(), f.value, f.unit.c_str(),
                 f.reference, ratio);
  }
  std::fclose(csv);
}

inline bool QuickMode(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--quick") return true;
  return false;
}

// The output sizes every benchmark runs at.
struct OutputSize {
  int width;
  int height;
};
inline const OutputSize kOutputSizes[] = {{640, 480}, {1024, 768}, {1920, 1080}};

inline std::string SizeLabel(const OutputSize& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// A fresh folder under the temporary folder for one benchmark's files (left for inspection).
inline std::wstring MakeBenchFolder(const std::wstring& name) {
  wchar_t base[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, base);
  const std::wstring folder = std::wstring(base) + L"tvq_bench_" + name + L"_" +
                              std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// "Tessavue.ini" in folder with the output size and rate, as a user would configure them.
inline std::wstring WriteSettingsFile(const std::wstring& folder, const OutputSize& size,
                                      double framePerSecond) {
  const std::wstring path = folder + L"\\Tessavue.ini";
  DeleteFileW(path.c_str());
  WritePrivateProfileStringW(L"Tessavue", L"MaxNumOfCaptureDev", L"8", path.c_str());
  WritePrivateProfileStringW(L"Video", L"Width", std::to_wstring(size.width).c_str(),
                             path.c_str());
  WritePrivateProfileStringW(L"Video", L"Height", std::to_wstring(size.height).c_str(),
                             path.c_str());
  WritePrivateProfileStringW(L"Video", L"FramePerSecond",
                             std::to_wstring(framePerSecond).c_str(), path.c_str());
  return path;
}

}  // namespace tvqbench
