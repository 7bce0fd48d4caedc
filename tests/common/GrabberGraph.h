#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <wrl/client.h>

#include "manager/capture/SampleGrabber.h"

namespace tvqtest {

// The first pin of a filter in a direction, or null.
Microsoft::WRL::ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

// The client side every graph test builds: a platform filter graph holding a source, the Sample
// Grabber (RGB24 video, every sample handed to a callback, none buffered) and a Null Renderer.
// The callback must outlive the graph; Release unhooks it first. COM must be initialised on the
// calling thread.
class GrabberGraph {
 public:
  enum class Wiring {
    // RenderStream of the capture graph builder, as most applications connect a webcam (it may
    // put a tee between the source and the grabber).
    CaptureGraphBuilder,
    // Source pin straight to the grabber's, and the grabber's to the renderer's.
    Direct,
  };

  GrabberGraph() = default;
  ~GrabberGraph() { Release(); }
  GrabberGraph(const GrabberGraph&) = delete;
  GrabberGraph& operator=(const GrabberGraph&) = delete;

  // Creates the graph if need be and adds the source to it.
  HRESULT AddSource(IBaseFilter* source, const wchar_t* name);
  // Adds grabber and renderer and connects the source through them.
  HRESULT Render(ISampleGrabberCB* callback, Wiring wiring);
  // Stops the graph, unhooks the callback and releases every object, filters removed first.
  void Release();

  IGraphBuilder* Graph() const { return m_graph.Get(); }
  IMediaControl* Control() const { return m_control.Get(); }
  IBaseFilter* Source() const { return m_source.Get(); }
  IBaseFilter* GrabberFilter() const { return m_grabber.Get(); }
  // The capture graph builder working on this graph (made on first use); null if it fails.
  ICaptureGraphBuilder2* Builder();

 private:
  HRESULT MakeGraph();
  HRESULT AddGrabberAndRenderer(ISampleGrabberCB* callback);
  HRESULT Connect(Wiring wiring);

  Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
  Microsoft::WRL::ComPtr<IMediaControl> m_control;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_builder;
  Microsoft::WRL::ComPtr<IBaseFilter> m_source;
  Microsoft::WRL::ComPtr<IBaseFilter> m_grabber;
  Microsoft::WRL::ComPtr<IBaseFilter> m_renderer;
};

}  // namespace tvqtest
