#include "tests/filter/CaptureGraph.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <string>

#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/ComStub.h"
#include "tests/filter/DeviceList.h"

namespace tvqtest {

using Microsoft::WRL::ComPtr;

// Owned by the CaptureGraph, which outlives the grabber's use of it.
class CaptureGraph::Recorder final : public ComStub<ISampleGrabberCB> {
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

CaptureGraph::CaptureGraph() : m_recorder(new Recorder) {}

CaptureGraph::~CaptureGraph() {
  m_client.Release();
  delete m_recorder;
}

HRESULT CaptureGraph::AddDevice(const wchar_t* friendlyName) {
  Microsoft::WRL::ComPtr<IBaseFilter> source;
  const HRESULT hr = BindByName(CLSID_VideoInputDeviceCategory, friendlyName, &source);
  return FAILED(hr) ? hr : m_client.AddSource(source.Get(), friendlyName);
}

HRESULT CaptureGraph::StreamConfig(IAMStreamConfig** config) {
  ICaptureGraphBuilder2* builder = m_client.Builder();
  if (builder == nullptr) return E_FAIL;
  return builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_client.Source(),
                                IID_IAMStreamConfig, reinterpret_cast<void**>(config));
}

HRESULT CaptureGraph::Render() {
  return m_client.Render(m_recorder, GrabberGraph::Wiring::CaptureGraphBuilder);
}

HRESULT CaptureGraph::Run() { return m_client.Control() ? m_client.Control()->Run() : E_FAIL; }

HRESULT CaptureGraph::Stop() { return m_client.Control() ? m_client.Control()->Stop() : E_FAIL; }

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
  if (Source() != nullptr) Source()->FindPin(L"1", &pin);
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
  if (SUCCEEDED(hr)) in = FirstPin(renderer.Get(), PINDIR_INPUT);
  if (SUCCEEDED(hr) && !in) hr = E_FAIL;
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
