#include "tests/common/GrabberGraph.h"

#include <uuids.h>

#include <initializer_list>

namespace tvqtest {

using Microsoft::WRL::ComPtr;

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  ComPtr<IEnumPins> pins;
  if (filter == nullptr || FAILED(filter->EnumPins(&pins))) return nullptr;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION found = PINDIR_INPUT;
    if (SUCCEEDED(pin->QueryDirection(&found)) && found == direction) return pin;
  }
  return nullptr;
}

HRESULT GrabberGraph::MakeGraph() {
  if (m_graph) return S_OK;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&m_graph));
  if (SUCCEEDED(hr)) hr = m_graph.As(&m_control);
  if (FAILED(hr)) m_graph.Reset();
  return hr;
}

HRESULT GrabberGraph::AddSource(IBaseFilter* source, const wchar_t* name) {
  HRESULT hr = MakeGraph();
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(source, name);
  if (SUCCEEDED(hr)) m_source = source;
  return hr;
}

ICaptureGraphBuilder2* GrabberGraph::Builder() {
  if (!m_builder && SUCCEEDED(MakeGraph()) &&
      SUCCEEDED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&m_builder))) &&
      FAILED(m_builder->SetFiltergraph(m_graph.Get()))) {
    m_builder.Reset();
  }
  return m_builder.Get();
}

HRESULT GrabberGraph::AddGrabberAndRenderer(ISampleGrabberCB* callback) {
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(m_grabber.ReleaseAndGetAddressOf()));
  ComPtr<ISampleGrabber> control;
  if (SUCCEEDED(hr)) hr = m_grabber.As(&control);
  AM_MEDIA_TYPE wanted{};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  if (SUCCEEDED(hr)) hr = control->SetMediaType(&wanted);
  if (SUCCEEDED(hr)) hr = control->SetBufferSamples(FALSE);
  if (SUCCEEDED(hr)) hr = control->SetOneShot(FALSE);
  if (SUCCEEDED(hr)) hr = control->SetCallback(callback, 0);
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_grabber.Get(), L"Sample Grabber");
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(m_renderer.ReleaseAndGetAddressOf()));
  }
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_renderer.Get(), L"Null Renderer");
  return hr;
}

HRESULT GrabberGraph::Connect(Wiring wiring) {
  if (wiring == Wiring::CaptureGraphBuilder) {
    if (Builder() == nullptr) return E_FAIL;
    return m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_source.Get(),
                                   m_grabber.Get(), m_renderer.Get());
  }
  ComPtr<IPin> sourceOut = FirstPin(m_source.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> grabberIn = FirstPin(m_grabber.Get(), PINDIR_INPUT);
  ComPtr<IPin> grabberOut = FirstPin(m_grabber.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> rendererIn = FirstPin(m_renderer.Get(), PINDIR_INPUT);
  if (!sourceOut || !grabberIn || !grabberOut || !rendererIn) return E_FAIL;
  const HRESULT hr = m_graph->ConnectDirect(sourceOut.Get(), grabberIn.Get(), nullptr);
  if (FAILED(hr)) return hr;
  return m_graph->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr);
}

HRESULT GrabberGraph::Render(ISampleGrabberCB* callback, Wiring wiring) {
  if (!m_graph || !m_source) return E_UNEXPECTED;
  const HRESULT hr = AddGrabberAndRenderer(callback);
  return FAILED(hr) ? hr : Connect(wiring);
}

void GrabberGraph::Release() {
  if (m_control) m_control->Stop();
  ComPtr<ISampleGrabber> grabber;
  if (m_grabber && SUCCEEDED(m_grabber.As(&grabber))) grabber->SetCallback(nullptr, 0);
  if (m_graph) {
    for (IBaseFilter* filter : {m_source.Get(), m_grabber.Get(), m_renderer.Get()}) {
      if (filter != nullptr) m_graph->RemoveFilter(filter);
    }
  }
  m_control.Reset();
  m_builder.Reset();
  m_graph.Reset();
  m_source.Reset();
  m_grabber.Reset();
  m_renderer.Reset();
}

}  // namespace tvqtest
