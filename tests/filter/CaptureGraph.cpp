#include "tests/filter/CaptureGraph.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <string>

#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/UnownedCom.h"
#include "tests/filter/DeviceList.h"
#include "manager/capture/SampleGrabber.h"


namespace tvqtest {

using Microsoft::WRL::ComPtr;

// Owned by the CaptureGraph, which outlives the grabber's use of it.
class CaptureGraph::Recorder final : public UnownedCom<ISampleGrabberCB> {
 public:
  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    SeenSample seen;
    seen.arrivalMs = GetTickCount64();
    sample->GetTime(&seen.start, &seen.stop);
    seen.size = sample->GetActualDataLength();
    std::lock_guard<std::mutex> guard(lock);
    samples.push_back(seen);
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

  std::mutex lock;
  std::vector<SeenSample> samples;
};

namespace {

HRESULT MakeGrabber(ISampleGrabberCB* callback, IBaseFilter** grabber) {
  ComPtr<IBaseFilter> filter;
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&filter));
  if (FAILED(hr)) return hr;
  ComPtr<ISampleGrabber> control;
  hr = filter.As(&control);
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = MEDIASUBTYPE_RGB24;
  hr = control->SetMediaType(&mt);
  if (SUCCEEDED(hr)) hr = control->SetBufferSamples(FALSE);
  if (SUCCEEDED(hr)) hr = control->SetCallback(callback, 0);
  if (SUCCEEDED(hr)) *grabber = filter.Detach();
  return hr;
}

}  // namespace

CaptureGraph::CaptureGraph() : m_recorder(new Recorder) {
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_graph));
  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                   IID_PPV_ARGS(&m_builder));
  if (m_graph) m_graph.As(&m_control);
  if (m_builder && m_graph) m_builder->SetFiltergraph(m_graph.Get());
}

CaptureGraph::~CaptureGraph() {
  if (m_control) m_control->Stop();
  m_control.Reset();
  m_source.Reset();
  m_grabber.Reset();
  m_renderer.Reset();
  m_builder.Reset();
  m_graph.Reset();
  delete m_recorder;
}

HRESULT CaptureGraph::AddDevice(const wchar_t* friendlyName) {
  if (!m_graph || !m_builder) return E_FAIL;
  HRESULT hr = BindByName(CLSID_VideoInputDeviceCategory, friendlyName,
                          m_source.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  return m_graph->AddFilter(m_source.Get(), friendlyName);
}

HRESULT CaptureGraph::StreamConfig(IAMStreamConfig** config) {
  return m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_source.Get(),
                                  IID_IAMStreamConfig, reinterpret_cast<void**>(config));
}

HRESULT CaptureGraph::Render() {
  HRESULT hr = MakeGrabber(m_recorder, m_grabber.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_grabber.Get(), L"Sample Grabber");
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(m_renderer.ReleaseAndGetAddressOf()));
  }
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_renderer.Get(), L"Null Renderer");
  if (FAILED(hr)) return hr;
  return m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_source.Get(),
                                 m_grabber.Get(), m_renderer.Get());
}

HRESULT CaptureGraph::Run() { return m_control ? m_control->Run() : E_FAIL; }

HRESULT CaptureGraph::Stop() { return m_control ? m_control->Stop() : E_FAIL; }

std::vector<SeenSample> CaptureGraph::Samples() {
  std::lock_guard<std::mutex> guard(m_recorder->lock);
  return m_recorder->samples;
}

void CaptureGraph::ClearSamples() {
  std::lock_guard<std::mutex> guard(m_recorder->lock);
  m_recorder->samples.clear();
}

bool CaptureGraph::WaitForSamples(size_t count, DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        std::lock_guard<std::mutex> guard(m_recorder->lock);
        return m_recorder->samples.size() >= count;
      },
      timeoutMs);
}

IPin* CaptureGraph::SourcePin() const {
  ComPtr<IPin> pin;
  if (m_source) m_source->FindPin(L"1", &pin);
  return pin.Get();  // the filter keeps it alive
}

DirectGraph::DirectGraph() {
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_graph));
  if (m_graph) m_graph.As(&m_control);
  if (m_graph) m_graph.As(&m_filter);
}

HRESULT DirectGraph::Build() {
  if (!m_graph) return E_FAIL;
  ComPtr<IBaseFilter> source;
  ComPtr<IBaseFilter> renderer;
  HRESULT hr = CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&source));
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&renderer));
  }
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(source.Get(), L"Tessavue Filter");
  if (SUCCEEDED(hr)) hr = m_graph->AddFilter(renderer.Get(), L"Null Renderer");
  ComPtr<IPin> out;
  ComPtr<IPin> in;
  if (SUCCEEDED(hr)) hr = source->FindPin(L"1", &out);
  ComPtr<IEnumPins> pins;
  if (SUCCEEDED(hr)) hr = renderer->EnumPins(&pins);
  if (SUCCEEDED(hr)) hr = pins->Next(1, &in, nullptr) == S_OK ? S_OK : E_FAIL;
  if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(out.Get(), in.Get(), nullptr);
  if (SUCCEEDED(hr)) m_source = source;
  return hr;
}

HRESULT DirectGraph::Run() { return m_control ? m_control->Run() : E_FAIL; }

HRESULT DirectGraph::RunNow() { return m_filter ? m_filter->Run(0) : E_FAIL; }

HRESULT DirectGraph::Stop() { return m_control ? m_control->Stop() : E_FAIL; }

HRESULT DirectGraph::State(DWORD timeoutMs, OAFilterState* state) {
  return m_control ? m_control->GetState(static_cast<LONG>(timeoutMs), state) : E_FAIL;
}

FILTER_STATE DirectGraph::SourceState() {
  FILTER_STATE state = State_Running;
  if (m_source) m_source->GetState(0, &state);
  return state;
}

}  // namespace tvqtest
