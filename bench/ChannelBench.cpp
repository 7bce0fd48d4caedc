// Channel throughput: one Write plus one Read of a whole frame through the shared frame channel,
// against a plain memcpy of the same bytes twice in this process (the floor for the two copies
// every frame takes).
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/CSharedMemory.h"
#include "channel/FrameGeometry.h"

namespace {

struct Size {
  int width;
  int height;
};

double MedianOf(int runs, int iterations, const std::function<void()>& body) {
  std::vector<double> perIteration;
  for (int run = 0; run < runs; ++run) {
    const double start = tvqbench::NowMs();
    for (int i = 0; i < iterations; ++i) body();
    perIteration.push_back((tvqbench::NowMs() - start) / iterations);
  }
  return tvqbench::Median(perIteration);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = tvqbench::QuickMode(argc, argv);
  const int runs = quick ? 3 : 9;
  const int iterations = quick ? 20 : 60;
  std::vector<tvqbench::Figure> figures;
  for (Size size : {Size{640, 480}, Size{1024, 768}, Size{1920, 1080}}) {
    const int bytes = static_cast<int>(tvq::FrameBytes24(size.width, size.height));
    const std::wstring name = L"TVQ_Bench_Channel_" + std::to_wstring(GetCurrentProcessId()) +
                              L"_" + std::to_wstring(size.width);
    CSharedMemory writer;
    CSharedMemory reader;
    writer.Create(name.c_str(), bytes);
    reader.Create(name.c_str(), bytes);
    std::vector<unsigned char> canvas(bytes, 0x5A);
    std::vector<unsigned char> sample(bytes, 0);
    std::vector<unsigned char> middle(bytes, 0);

    const double channel = MedianOf(runs, iterations, [&] {
      writer.Write(canvas.data(), bytes, INFINITE);
      reader.Read(sample.data(), bytes, INFINITE);
    });
    const double memcpyTwice = MedianOf(runs, iterations, [&] {
      std::memcpy(middle.data(), canvas.data(), bytes);
      std::memcpy(sample.data(), middle.data(), bytes);
    });
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    figures.push_back({"channel write+read " + label, channel, "ms", memcpyTwice, "2 x memcpy"});
    figures.push_back({"channel throughput " + label, bytes / 1e6 / (channel / 1000.0), "MB/s",
                       bytes / 1e6 / (memcpyTwice / 1000.0), "2 x memcpy"});
  }
  tvqbench::PrintTable("Channel: one frame written by the Manager and read by the filter", figures);
  return 0;
}
