#include "manager/capture/CameraGraph.h"

#include <cstdlib>
#include <utility>

#include "manager/capture/CaptureFormatRequest.h"
#include "manager/capture/GraphEvents.h"

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

constexpr DWORD kGraphContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
// How long a start may take before the camera counts as running; a later failure is still seen
// through the graph's events.
constexpr LONG kRunWaitMs = 2000;

}  // namespace

bool CameraGraph::Create(CameraPrompt& prompt) {
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kGraphContext, IID_IGraphBuilder,
                                reinterpret_cast<void**>(graph.GetAddressOf()));
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<ICaptureGraphBuilder2> builder;
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, kGraphContext,
                        IID_ICaptureGraphBuilder2,
                        reinterpret_cast<void**>(builder.GetAddressOf()));
  if (hr == S_OK) hr = builder->SetFiltergraph(graph.Get());
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<IMediaControl> control;
  if (!prompt.Report(graph.As(&control))) return false;
  ComPtr<IMediaEvent> events;
  if (!prompt.Report(graph.As(&events))) return false;
  m_graph = std::move(graph);
  m_builder = std::move(builder);
  m_control = std::move(control);
  m_events = std::move(events);
  m_stopped = false;
  return true;
}

bool CameraGraph::AddDevice(ComPtr<IBaseFilter> device, CameraPrompt& prompt) {
  if (!prompt.Report(m_graph->AddFilter(device.Get(), L"Device Filter"))) return false;
  m_device = std::move(device);
  return true;
}

ComPtr<IAMCrossbar> CameraGraph::FindCrossbar() const {
  ComPtr<IAMCrossbar> crossbar;
  const HRESULT hr = m_builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, m_device.Get(),
                                              IID_IAMCrossbar,
                                              reinterpret_cast<void**>(crossbar.GetAddressOf()));
  if (FAILED(hr)) return nullptr;
  return crossbar;
}

bool CameraGraph::AddSampleGrabber(CameraPrompt& prompt) {
  ComPtr<IBaseFilter> filter;
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, kGraphContext, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter.GetAddressOf()));
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<ISampleGrabber> grabber;
  hr = filter.As(&grabber);
  if (hr != S_OK) return prompt.Report(hr);
  // No format block: any RGB24 size the device offers will do.
  AM_MEDIA_TYPE wanted = {};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  wanted.formattype = FORMAT_VideoInfo;
  hr = grabber->SetMediaType(&wanted);
  if (hr != S_OK) return prompt.Report(hr);
  if (!prompt.Report(m_graph->AddFilter(filter.Get(), L"Sample Grabber"))) return false;
  m_grabberFilter = std::move(filter);
  m_grabber = std::move(grabber);
  return true;
}

bool CameraGraph::AddRenderer(CameraPrompt& prompt) {
  ComPtr<IBaseFilter> renderer;
  HRESULT hr = CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IBaseFilter, reinterpret_cast<void**>(renderer.GetAddressOf()));
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<IVideoWindow> videoWindow;
  // control.h has no uuid declaration for IVideoWindow: ask with its IID.
  hr = renderer->QueryInterface(IID_IVideoWindow,
                                reinterpret_cast<void**>(videoWindow.GetAddressOf()));
  if (hr != S_OK) return prompt.Report(hr);
  // Left unconnected: the capture stream ends at the grabber.
  hr = m_graph->AddFilter(renderer.Get(), L"VMR9");
  if (hr != S_OK) return prompt.Report(hr);
  m_renderer = std::move(renderer);
  m_videoWindow = std::move(videoWindow);
  return true;
}

ComPtr<IAMStreamConfig> CameraGraph::CaptureConfig() const {
  ComPtr<IAMStreamConfig> config;
  if (FAILED(m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_device.Get(),
                                      IID_IAMStreamConfig,
                                      reinterpret_cast<void**>(config.GetAddressOf())))) {
    return nullptr;
  }
  return config;
}

bool CameraGraph::RequestCaptureFormat(const CameraFormat& format) {
  ComPtr<IAMStreamConfig> config = CaptureConfig();
  return config && tvq::RequestCaptureFormat(*config.Get(), format);
}

CameraFormat CameraGraph::CaptureFormat() const {
  CameraFormat format;
  ComPtr<IAMStreamConfig> config = m_builder ? CaptureConfig() : nullptr;
  AM_MEDIA_TYPE* current = nullptr;
  if (!config || config->GetFormat(&current) != S_OK || current == nullptr) return format;
  UniqueMediaType type(current);
  if (type.Get()->formattype != FORMAT_VideoInfo || type.Get()->pbFormat == nullptr ||
      type.Get()->cbFormat < sizeof(VIDEOINFOHEADER)) {
    return format;
  }
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Get()->pbFormat);
  format.width = info->bmiHeader.biWidth;
  format.height = labs(info->bmiHeader.biHeight);
  format.subtype = type.Get()->subtype;
  format.interval = info->AvgTimePerFrame;
  return format;
}

bool CameraGraph::RenderCaptureStream(CameraPrompt& prompt) {
  const HRESULT hr = m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, nullptr, m_device.Get(),
                                             nullptr, m_grabberFilter.Get());
  if (hr != S_OK) return prompt.Report(hr);
  return true;
}

bool CameraGraph::ReadConnectedType(CameraPrompt& prompt) {
  m_connectedType.Reset();
  UniqueMediaType type(static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE))));
  if (!type) return prompt.Report(E_OUTOFMEMORY);
  *type.Get() = AM_MEDIA_TYPE{};
  const HRESULT hr = m_grabber->GetConnectedMediaType(type.Get());
  if (hr != S_OK) return prompt.Report(hr);
  const AM_MEDIA_TYPE& connected = *type.Get();
  if (connected.formattype != FORMAT_VideoInfo || connected.pbFormat == nullptr ||
      connected.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return prompt.Report(VFW_E_INVALIDMEDIATYPE);
  }
  m_connectedType = std::move(type);
  return true;
}

bool CameraGraph::Run(CameraPrompt& prompt) {
  // The grabber only buffers; its owner polls the copy.
  m_grabber->SetBufferSamples(TRUE);
  HRESULT hr = m_control->Run();
  // S_FALSE: the graph is still on its way to running, which GetState waits out. A live source
  // answers VFW_S_CANT_CUE there, and one still starting VFW_S_STATE_INTERMEDIATE: neither fails.
  if (hr == S_FALSE) {
    OAFilterState state = State_Stopped;
    hr = m_control->GetState(kRunWaitMs, &state);
  }
  if (FAILED(hr)) {
    StopEveryFilter();
    return prompt.Report(hr);
  }
  return true;
}

// A start that failed half-way leaves the filters that did start paused, while the graph counts
// itself stopped (Wine's does): its Stop then does nothing, and taking the graph down would never
// end, since a paused filter cannot be disconnected. Each filter is stopped on its own instead.
void CameraGraph::StopEveryFilter() {
  ComPtr<IEnumFilters> filters;
  if (m_graph->EnumFilters(filters.GetAddressOf()) != S_OK) return;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) filter->Stop();
}

bool CameraGraph::HasStopped() {
  if (!m_stopped && m_events) m_stopped = TakeStopEvents(*m_events.Get());
  return m_stopped;
}

void CameraGraph::Release() {
  m_graph.Reset();
  m_builder.Reset();
  m_control.Reset();
  m_events.Reset();
  m_stopped = false;
  m_device.Reset();
  m_grabberFilter.Reset();
  m_grabber.Reset();
  m_renderer.Reset();
  m_videoWindow.Reset();
  m_connectedType.Reset();
}

const BITMAPINFOHEADER* CameraGraph::ConnectedHeader() const {
  if (!m_connectedType) return nullptr;
  return &reinterpret_cast<const VIDEOINFOHEADER*>(m_connectedType.Get()->pbFormat)->bmiHeader;
}

long CameraGraph::ConnectedSampleSize() const {
  return m_connectedType ? static_cast<long>(m_connectedType.Get()->lSampleSize) : 0;
}

}  // namespace tvq
