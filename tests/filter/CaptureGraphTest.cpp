// The platform's own graph uses the filter as a video input device.

#include <strmif.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "filter/FilterIdentity.h"
#include "filter/VideoFormat.h"
#include "tests/filter/CaptureGraph.h"
#include "tests/filter/DeviceList.h"
#include "tests/filter/FilterTestSupport.h"

namespace {

using Microsoft::WRL::ComPtr;
using tvqtest::CaptureGraph;
using tvqtest::SeenSample;

class PlatformCaptureGraph : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Result()));
    ASSERT_TRUE(m_dll.IsLoaded());
    ASSERT_EQ(S_OK, m_dll.Register());
    ASSERT_EQ(S_OK, m_graph.AddDevice(tvq::kFilterName));
  }

  HRESULT AskFor(LONG width, LONG height, REFERENCE_TIME interval) {
    ComPtr<IAMStreamConfig> config;
    const HRESULT hr = m_graph.StreamConfig(&config);
    return FAILED(hr) ? hr : tvqtest::AskFor(config.Get(), width, height, interval);
  }

  static void ExpectFrameTimes(const std::vector<SeenSample>& samples, REFERENCE_TIME interval) {
    for (size_t n = 0; n < samples.size(); ++n) {
      EXPECT_EQ(static_cast<REFERENCE_TIME>(n) * interval, samples[n].start) << "sample " << n;
      EXPECT_EQ(static_cast<REFERENCE_TIME>(n + 1) * interval, samples[n].stop) << "sample " << n;
    }
  }

  // Samples per second from the third sample on: the first is produced at Pause and held by the
  // renderer until the graph runs, which says nothing about the pace.
  static double MeasuredRate(const std::vector<SeenSample>& samples) {
    if (samples.size() < 4) return 0.0;
    const double ms = static_cast<double>(samples.back().arrivalMs - samples[2].arrivalMs);
    return ms > 0 ? 1000.0 * static_cast<double>(samples.size() - 3) / ms : 0.0;
  }

  tvqtest::ScopedSettings m_settings{tvqtest::VideoSection(640, 480, "15")};
  tvqtest::ComApartment m_com;
  tvqtest::ServerDll m_dll;
  CaptureGraph m_graph;
};

TEST_F(PlatformCaptureGraph, RendersTheCapturePinAndDeliversStampedSamples) {
  ASSERT_EQ(S_OK, m_graph.Render());
  ASSERT_TRUE(SUCCEEDED(m_graph.Run()));
  ASSERT_TRUE(m_graph.WaitForSamples(20, 10000)) << "samples arrived: " << m_graph.Samples().size();
  m_graph.Stop();
  const std::vector<SeenSample> samples = m_graph.Samples();
  std::printf("measured rate at 15 frames per second: %.2f samples per second\n",
              MeasuredRate(samples));
  ExpectFrameTimes(samples, 666666);
  for (const SeenSample& s : samples) EXPECT_EQ(921600, s.size);
}

TEST_F(PlatformCaptureGraph, ChosenSizeAndRateAreDeliveredAndStampsRestartAfterStop) {
  ASSERT_EQ(S_OK, AskFor(320, 240, 1000000));
  ASSERT_EQ(S_OK, m_graph.Render());
  ASSERT_TRUE(SUCCEEDED(m_graph.Run()));
  ASSERT_TRUE(m_graph.WaitForSamples(12, 10000));
  m_graph.Stop();
  std::vector<SeenSample> samples = m_graph.Samples();
  std::printf("measured rate at 10 frames per second: %.2f samples per second\n",
              MeasuredRate(samples));
  ExpectFrameTimes(samples, 1000000);
  for (const SeenSample& s : samples) EXPECT_EQ(230400, s.size);

  // Stop put the offer back to the defaults, but the connection keeps its size: the Manager is
  // told the connection's picture, so every sample still holds one whole picture.
  m_graph.ClearSamples();
  ASSERT_TRUE(SUCCEEDED(m_graph.Run()));
  ASSERT_TRUE(m_graph.WaitForSamples(3, 10000));
  const tvqtest::Published published = tvqtest::ReadPublished();
  m_graph.Stop();
  samples = m_graph.Samples();
  ExpectFrameTimes(samples, 666666);
  for (const SeenSample& s : samples) EXPECT_EQ(230400, s.size);
  EXPECT_EQ(320, published.header.biWidth);
  EXPECT_EQ(240, published.header.biHeight);
  EXPECT_EQ(666666, published.interval);

  AM_MEDIA_TYPE connection{};
  ASSERT_EQ(S_OK, m_graph.SourcePin()->ConnectionMediaType(&connection));
  EXPECT_EQ(320, reinterpret_cast<VIDEOINFOHEADER*>(connection.pbFormat)->bmiHeader.biWidth);
  CoTaskMemFree(connection.pbFormat);
}

TEST_F(PlatformCaptureGraph, PublishesTheChosenFormatWhenItStarts) {
  ASSERT_EQ(S_OK, AskFor(320, 240, 1000000));
  ASSERT_EQ(S_OK, m_graph.Render());
  tvqtest::ClearPublished();
  ASSERT_TRUE(SUCCEEDED(m_graph.Run()));
  const tvqtest::Published published = tvqtest::ReadPublished();
  m_graph.Stop();
  EXPECT_EQ(320, published.header.biWidth);
  EXPECT_EQ(240, published.header.biHeight);
  EXPECT_EQ(1000000, published.interval);
}

}  // namespace
