#include "tests/reliability/ClientGraph.h"

#include "channel/FrameGeometry.h"
#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/ComStub.h"
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
class GrabberCallback final : public ComStub<ISampleGrabberCB> {
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
  ComPtr<IBaseFilter> camera;
  HRESULT hr = CoCreateInstance(tvq::CLSID_TessavueFilter, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&camera));
  if (SUCCEEDED(hr)) hr = m_client.AddSource(camera.Get(), L"Camera");
  if (SUCCEEDED(hr)) hr = m_client.Render(m_callback, wiring);
  return FAILED(hr) ? hr : FindPins();
}

HRESULT ClientGraph::FindPins() {
  m_cameraOut = FirstPin(Camera(), PINDIR_OUTPUT);
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
  if (!m_client.Control()) return E_UNEXPECTED;
  HRESULT hr = m_client.Control()->Run();
  FILTER_STATE state = State_Stopped;
  if (FAILED(hr) || FAILED(Camera()->GetState(0, &state)) || state != State_Stopped) return hr;
  // Wine's graph reports success even when a filter refused to leave the stopped state; the
  // camera itself tells why it stays stopped.
  hr = Camera()->Pause();
  if (SUCCEEDED(hr)) {
    Camera()->Stop();
    hr = E_FAIL;
  }
  return hr;
}

HRESULT ClientGraph::Stop() {
  return m_client.Control() ? m_client.Control()->Stop() : E_UNEXPECTED;
}

HRESULT ClientGraph::Disconnect() {
  if (!m_client.Graph() || !m_cameraOut || !m_cameraPeer) return E_UNEXPECTED;
  const HRESULT hr = m_client.Graph()->Disconnect(m_cameraOut.Get());
  if (FAILED(hr)) return hr;
  return m_client.Graph()->Disconnect(m_cameraPeer.Get());
}

HRESULT ClientGraph::Reconnect() {
  if (!m_client.Graph() || !m_cameraOut || !m_cameraPeer) return E_UNEXPECTED;
  return m_client.Graph()->ConnectDirect(m_cameraOut.Get(), m_cameraPeer.Get(), nullptr);
}

void ClientGraph::Release() {
  m_config.Reset();
  m_cameraOut.Reset();
  m_cameraPeer.Reset();
  m_client.Release();
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
