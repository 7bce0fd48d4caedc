#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <wrl/client.h>

#include <mutex>
#include <vector>

#include "tests/common/GrabberGraph.h"

namespace tvqtest {

// What one delivered sample looked like when the Sample Grabber saw it.
struct SeenSample {
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  long size = 0;
  ULONGLONG arrivalMs = 0;
};

// A capture graph as a client application builds it from a video input device: the filter found
// by its friendly name through the system device enumerator, rendered by the capture graph
// builder into a Sample Grabber that records every sample, then a Null Renderer.
// COM must be initialised on the calling thread.
class CaptureGraph {
 public:
  CaptureGraph();
  ~CaptureGraph();
  CaptureGraph(const CaptureGraph&) = delete;
  CaptureGraph& operator=(const CaptureGraph&) = delete;

  // Finds and adds the device; S_OK or the failing step's result.
  HRESULT AddDevice(const wchar_t* friendlyName);
  // The source's capture pin's stream configuration, found through its pin category.
  HRESULT StreamConfig(IAMStreamConfig** config);
  HRESULT Render();

  HRESULT Run();
  HRESULT Stop();

  std::vector<SeenSample> Samples();
  void ClearSamples();
  // Waits until at least count samples have arrived; false after timeoutMs.
  bool WaitForSamples(size_t count, DWORD timeoutMs);

  IBaseFilter* Source() const { return m_client.Source(); }
  IPin* SourcePin() const;

 private:
  class Recorder;

  Recorder* m_recorder;  // owned; lives as long as the graph may call it
  GrabberGraph m_client;
};

// The simplest client: the filter created by its class identifier and connected straight to a
// Null Renderer.
class DirectGraph {
 public:
  DirectGraph();
  HRESULT Build();
  // IMediaControl::Run, which may finish the change asynchronously (Wine then answers S_FALSE and
  // reports a failed change through State).
  HRESULT Run();
  // IMediaFilter::Run of the graph: the change with its result.
  HRESULT RunNow();
  HRESULT Stop();
  HRESULT State(DWORD timeoutMs, OAFilterState* state);
  // The filter's own state.
  FILTER_STATE SourceState();

 private:
  Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
  Microsoft::WRL::ComPtr<IMediaControl> m_control;
  Microsoft::WRL::ComPtr<IMediaFilter> m_filter;
  Microsoft::WRL::ComPtr<IBaseFilter> m_source;
};

}  // namespace tvqtest
