#include "tests/reliability/ClientGraph.h"

#include "channel/FrameGeometry.h"
#include "filter/FilterIdentity.h"
#include "manager/capture/SampleGrabber.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/UnownedCom.h"
#include "tests/filter/DeviceList.h"
#include "tests/reliability/FramePattern.h"

namespace tvqtest {

using Microsoft::WRL::ComPtr;

HRESULT RegisterFilterDll() {
  const ServerDll dll;
  return dll.IsLoaded() ? dll.Register() : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

HRESULT FilterDllCanUnloadNow() {
  HMODULE dll = GetModuleHandleW(L"TVQDirectShowFilter.dll");
  if (dll == nullptr) return S_OK;
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  return canUnload != nullptr ? canUnload() : E_NOINTERFACE;
}

// Counts and checks the samples the grabber passes on. Owned by the graph object; the grabber's
// references do not decide its lifetime.
namespace {

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION found = PINDIR_INPUT;
    if (SUCCEEDED(pin->QueryDirection(&found)) && found == direction) return pin;
  }
  return nullptr;
}

}  // namespace

class GrabberCallback final : public UnownedCom<ISampleGrabberCB> {
 public:
  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    BYTE* data = nullptr;
    if (sample == nullptr || FAILED(sample->GetPointer(&data))) return S_OK;
    const long length = sample->GetActualDataLength();
    const int width = m_width;
    const int height = m_height;
    if (length != static_cast<long>(tvq::FrameBytes24(width, height))) ++m_wrongSizes;
    if (PatternSeed(data, static_cast<size_t>(length), width, height) >= 0) {
      m_sawGood = true;
      ++m_good;
    } else if (m_sawGood) {
      ++m_bad;
    }
    ++m_frames;
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  std::atomic<int> m_width{0};
  std::atomic<int> m_height{0};
  std::atomic<bool> m_sawGood{false};
  std::atomic<LONG> m_frames{0};
  std::atomic<LONG> m_good{0};
  std::atomic<LONG> m_bad{0};
  std::atomic<LONG> m_wrongSizes{0};
};

ClientGraph::ClientGraph() : m_callback(new GrabberCallback) {}

ClientGraph::~ClientGraph() {
  Release();
  delete m_callback;
}

HRESULT ClientGraph::Build(Wiring wiring) {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&m_graph));
  if (FAILED(hr)) return hr;
  hr = m_graph.As(&m_control);
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&m_camera));
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&m_grabberFilter));
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&m_renderer));
  if (FAILED(hr)) return hr;

  ComPtr<ISampleGrabber> grabber;
  hr = m_grabberFilter.As(&grabber);
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE wanted{};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  grabber->SetMediaType(&wanted);
  grabber->SetBufferSamples(FALSE);
  grabber->SetOneShot(FALSE);
  grabber->SetCallback(m_callback, 0);

  for (auto& [filter, name] : {std::pair{m_camera.Get(), L"Camera"},
                               std::pair{m_grabberFilter.Get(), L"Grabber"},
                               std::pair{m_renderer.Get(), L"Renderer"}}) {
    hr = m_graph->AddFilter(filter, name);
    if (FAILED(hr)) return hr;
  }
  hr = Wire(wiring);
  if (FAILED(hr)) return hr;
  return FindPins();
}

HRESULT ClientGraph::Wire(Wiring wiring) {
  if (wiring == Wiring::Direct) {
    ComPtr<IPin> cameraOut = FirstPin(m_camera.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> grabberIn = FirstPin(m_grabberFilter.Get(), PINDIR_INPUT);
    ComPtr<IPin> grabberOut = FirstPin(m_grabberFilter.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> rendererIn = FirstPin(m_renderer.Get(), PINDIR_INPUT);
    if (!cameraOut || !grabberIn || !grabberOut || !rendererIn) return E_FAIL;
    const HRESULT hr = m_graph->ConnectDirect(cameraOut.Get(), grabberIn.Get(), nullptr);
    if (FAILED(hr)) return hr;
    return m_graph->ConnectDirect(grabberOut.Get(), rendererIn.Get(), nullptr);
  }
  ComPtr<ICaptureGraphBuilder2> builder;
  HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&builder));
  if (FAILED(hr)) return hr;
  hr = builder->SetFiltergraph(m_graph.Get());
  if (FAILED(hr)) return hr;
  return builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_camera.Get(),
                               m_grabberFilter.Get(), m_renderer.Get());
}

HRESULT ClientGraph::FindPins() {
  m_cameraOut = FirstPin(m_camera.Get(), PINDIR_OUTPUT);
  if (!m_cameraOut) return E_FAIL;
  const HRESULT hr = m_cameraOut.As(&m_config);
  if (FAILED(hr)) return hr;
  return m_cameraOut->ConnectedTo(&m_cameraPeer);
}

HRESULT ClientGraph::Run() {
  NewRun();
  AM_MEDIA_TYPE mt{};
  if (m_cameraOut && SUCCEEDED(m_cameraOut->ConnectionMediaType(&mt))) {
    if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
      m_callback->m_width = vih->bmiHeader.biWidth;
      m_callback->m_height = vih->bmiHeader.biHeight;
    }
    CoTaskMemFree(mt.pbFormat);
  }
  if (!m_control) return E_UNEXPECTED;
  HRESULT hr = m_control->Run();
  FILTER_STATE state = State_Stopped;
  if (FAILED(hr) || FAILED(m_camera->GetState(0, &state)) || state != State_Stopped) return hr;
  // Wine's graph reports success even when a filter refused to leave the stopped state; the
  // camera itself tells why it stays stopped.
  hr = m_camera->Pause();
  if (SUCCEEDED(hr)) {
    m_camera->Stop();
    hr = E_FAIL;
  }
  return hr;
}

HRESULT ClientGraph::Stop() { return m_control ? m_control->Stop() : E_UNEXPECTED; }

HRESULT ClientGraph::Disconnect() {
  if (!m_graph || !m_cameraOut || !m_cameraPeer) return E_UNEXPECTED;
  const HRESULT hr = m_graph->Disconnect(m_cameraOut.Get());
  if (FAILED(hr)) return hr;
  return m_graph->Disconnect(m_cameraPeer.Get());
}

HRESULT ClientGraph::Reconnect() {
  if (!m_graph || !m_cameraOut || !m_cameraPeer) return E_UNEXPECTED;
  return m_graph->ConnectDirect(m_cameraOut.Get(), m_cameraPeer.Get(), nullptr);
}

void ClientGraph::Release() {
  if (m_control) m_control->Stop();
  if (m_grabberFilter) {
    ComPtr<ISampleGrabber> grabber;
    if (SUCCEEDED(m_grabberFilter.As(&grabber))) grabber->SetCallback(nullptr, 0);
  }
  m_config.Reset();
  m_cameraOut.Reset();
  m_cameraPeer.Reset();
  m_control.Reset();
  if (m_graph) {
    for (IBaseFilter* filter : {m_camera.Get(), m_grabberFilter.Get(), m_renderer.Get()}) {
      if (filter != nullptr) m_graph->RemoveFilter(filter);
    }
  }
  m_graph.Reset();
  m_camera.Reset();
  m_grabberFilter.Reset();
  m_renderer.Reset();
}

LONG ClientGraph::Frames() const { return m_callback->m_frames; }
LONG ClientGraph::GoodFrames() const { return m_callback->m_good; }
LONG ClientGraph::BadFrames() const { return m_callback->m_bad; }
LONG ClientGraph::WrongSizes() const { return m_callback->m_wrongSizes; }

bool ClientGraph::WaitForFrames(LONG count, DWORD timeoutMs) const {
  return WaitUntil([&] { return m_callback->m_frames >= count; }, timeoutMs);
}

bool ClientGraph::WaitForGoodFrames(LONG count, DWORD timeoutMs) const {
  return WaitUntil([&] { return m_callback->m_good >= count; }, timeoutMs);
}

void ClientGraph::NewRun() { m_callback->m_sawGood = false; }

}  // namespace tvqtest
