#include "manager/capture/CameraGraph.h"

#include <cstdlib>
#include <utility>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace tvq {

namespace {

constexpr DWORD kGraphContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

}  // namespace

bool CameraGraph::Create(CameraPrompt& prompt) {
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kGraphContext, IID_IGraphBuilder,
                                reinterpret_cast<void**>(graph.GetAddressOf()));
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<ICaptureGraphBuilder2> builder;
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, kGraphContext,
                        IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(builder.GetAddressOf()));
  if (hr == S_OK) hr = builder->SetFiltergraph(graph.Get());
  if (hr != S_OK) return prompt.Report(hr);
  ComPtr<IMediaControl> control;
  if (!prompt.Report(graph.As(&control))) return false;
  m_graph = std::move(graph);
  m_builder = std::move(builder);
  m_control = std::move(control);
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
  hr = renderer->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(videoWindow.GetAddressOf()));
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
  if (!format.IsSet() || !config) return false;
  int count = 0;
  int capsSize = 0;
  if (config->GetNumberOfCapabilities(&count, &capsSize) != S_OK) return false;
  std::vector<BYTE> caps(static_cast<size_t>(capsSize > 0 ? capsSize : 1));
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* offered = nullptr;
    // GetStreamCaps may answer S_FALSE for an index past the end: compare with S_OK.
    if (config->GetStreamCaps(i, &offered, caps.data()) != S_OK || offered == nullptr) continue;
    UniqueMediaType type(offered);
    if (type.Get()->formattype != FORMAT_VideoInfo || type.Get()->pbFormat == nullptr ||
        type.Get()->cbFormat < sizeof(VIDEOINFOHEADER) || type.Get()->subtype != format.subtype) {
      continue;
    }
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.Get()->pbFormat);
    if (info->bmiHeader.biWidth != format.width || labs(info->bmiHeader.biHeight) != format.height) {
      continue;
    }
    if (format.interval > 0) info->AvgTimePerFrame = format.interval;
    if (config->SetFormat(type.Get()) == S_OK) return true;
  }
  return false;
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

void CameraGraph::Run() {
  // The grabber only buffers; its owner polls the copy.
  m_grabber->SetBufferSamples(TRUE);
  m_control->Run();
}

void CameraGraph::Release() {
  m_graph.Reset();
  m_builder.Reset();
  m_control.Reset();
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
