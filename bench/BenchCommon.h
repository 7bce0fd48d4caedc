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

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
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

}  // namespace tvqbench
