#include "manager/capture/CCaptureVideo.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "manager/capture/CaptureText.h"
#include "manager/capture/SelectGuard.h"


using Microsoft::WRL::ComPtr;

namespace {

constexpr const wchar_t* kErrorCaption = L"CCaptureVideo";
constexpr size_t kErrorUnits = 100;
constexpr size_t kDeviceQuestionUnits = 3072;
constexpr size_t kPinTextUnits = 1024;
constexpr DWORD kGraphContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

std::wstring ReadBagText(IPropertyBag& bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  // Devices may lack a property ("DevicePath" of software devices); it then reads as empty.
  if (SUCCEEDED(bag.Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return text;
}

}  // namespace

CCaptureVideo::CCaptureVideo()
    : m_friendlyName{},
      m_description{},
      m_devicePath{},
      m_outputPinCount(0),
      m_chosenOutputPin(0),
      m_relatedOutputPin(0),
      m_inputPinCount(0),
      m_chosenInputPin(0),
      m_relatedInputPin(0),
      m_mediaType{},
      m_formatHeader(nullptr),
      m_lastResult(0),
      m_messageBox(&tvq::ShowOwnerlessMessageBox),
      m_selecting(false),
      m_comInitialized(SUCCEEDED(CoInitialize(nullptr))) {}

CCaptureVideo::~CCaptureVideo() {
  ReleaseGraph();
  if (m_comInitialized) CoUninitialize();
}

CCaptureVideo::CCaptureVideo(CCaptureVideo&& other) noexcept : CCaptureVideo() {
  TakeFrom(other);
}

CCaptureVideo& CCaptureVideo::operator=(CCaptureVideo&& other) noexcept {
  if (this != &other) {
    ReleaseGraph();
    TakeFrom(other);
  }
  return *this;
}

void CCaptureVideo::TakeFrom(CCaptureVideo& other) {
  m_graph = std::move(other.m_graph);
  m_builder = std::move(other.m_builder);
  m_control = std::move(other.m_control);
  m_device = std::move(other.m_device);
  std::memcpy(m_friendlyName, other.m_friendlyName, sizeof(m_friendlyName));
  std::memcpy(m_description, other.m_description, sizeof(m_description));
  std::memcpy(m_devicePath, other.m_devicePath, sizeof(m_devicePath));
  m_outputPinCount = other.m_outputPinCount;
  m_chosenOutputPin = other.m_chosenOutputPin;
  m_relatedOutputPin = other.m_relatedOutputPin;
  m_inputPinCount = other.m_inputPinCount;
  m_chosenInputPin = other.m_chosenInputPin;
  m_relatedInputPin = other.m_relatedInputPin;
  m_grabberFilter = std::move(other.m_grabberFilter);
  m_grabber = std::move(other.m_grabber);
  // The format block moves with its owner, so the header pointer into it stays valid.
  ClearMediaType();
  m_mediaType = other.m_mediaType;
  other.m_mediaType = AM_MEDIA_TYPE{};
  m_renderer = std::move(other.m_renderer);
  m_videoWindow = std::move(other.m_videoWindow);
  m_formatHeader = std::exchange(other.m_formatHeader, nullptr);
  m_frameBuffer = std::move(other.m_frameBuffer);
  picture = std::move(other.picture);
  m_lastResult = std::exchange(other.m_lastResult, 0);
  m_messageBox = other.m_messageBox;
  other.ClearFields();
}

bool CCaptureVideo::Select() {
  if (m_selecting) return false;
  ReleaseGraph();
  bool running = false;
  {
    tvq::SelectGuard guard(m_selecting);
    if (BuildGraph()) {
      // The grabber only buffers; Capture polls its copy.
      m_grabber->SetBufferSamples(TRUE);
      m_control->Run();
      running = true;
    }
  }
  if (!running) ReleaseGraph();
  return running;
}

bool CCaptureVideo::BuildGraph() {
  if (!CreateGraph() || !ChooseDevice() || !RouteCrossbar() || !AddSampleGrabber() ||
      !AddRenderer()) {
    return false;
  }
  // Settings made in these frames, such as the capture pin's format, are in force when the
  // stream is connected; a device or pin without pages is reported and passed over.
  ShowDeviceProperties();
  ShowPinProperties(PINDIR_OUTPUT);
  ShowPinProperties(PINDIR_INPUT);
  return RenderCaptureStream() && PrepareFrameBuffer();
}

bool CCaptureVideo::Capture() {
  if (!m_grabber || m_formatHeader == nullptr || m_frameBuffer.Data() == nullptr) return false;
  // Before the first sample, or when a sample does not fit, the previous frame is drawn again.
  m_frameBuffer.CopyLatest(*m_grabber.Get());
  m_frameBuffer.DrawInto(picture, *m_formatHeader);
  return true;
}

void CCaptureVideo::ReleaseGraph() {
  if (m_selecting) return;
  // Releasing the graph manager's references ends the graph; it is not stopped first.
  m_graph.Reset();
  m_builder.Reset();
  m_control.Reset();
  m_device.Reset();
  m_grabberFilter.Reset();
  m_grabber.Reset();
  m_renderer.Reset();
  m_videoWindow.Reset();
  m_frameBuffer.Free();
  m_friendlyName[0] = L'\0';
  m_description[0] = L'\0';
  m_devicePath[0] = L'\0';
  ClearMediaType();
  m_formatHeader = nullptr;
  m_lastResult = 0;
}

void CCaptureVideo::ClearFields() {
  ReleaseGraph();
  m_outputPinCount = 0;
  m_chosenOutputPin = 0;
  m_relatedOutputPin = 0;
  m_inputPinCount = 0;
  m_chosenInputPin = 0;
  m_relatedInputPin = 0;
  picture.Destroy();
}

void CCaptureVideo::ClearMediaType() {
  // The connected type's format block and object are ours to free.
  if (m_mediaType.cbFormat != 0 || m_mediaType.pbFormat != nullptr) {
    CoTaskMemFree(m_mediaType.pbFormat);
  }
  if (m_mediaType.pUnk != nullptr) m_mediaType.pUnk->Release();
  m_mediaType = AM_MEDIA_TYPE{};
}

bool CCaptureVideo::CheckResult() {
  if (m_lastResult == 0) return true;
  const std::wstring text = tvq::FitText(L"ErrorCode: " + tvq::HexCode(m_lastResult), kErrorUnits);
  Ask(text.c_str(), kErrorCaption, MB_OK);
  return false;
}

bool CCaptureVideo::Fail(HRESULT code) {
  m_lastResult = code;
  return CheckResult();
}

int CCaptureVideo::Ask(const wchar_t* text, const wchar_t* caption, UINT type) {
  return tvq::AskUser(m_messageBox, text, caption, type);
}

const wchar_t* CCaptureVideo::SectionName() const {
  return m_devicePath[0] != L'\0' ? m_devicePath : m_friendlyName;
}

bool CCaptureVideo::CreateGraph() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kGraphContext, IID_IGraphBuilder,
                                reinterpret_cast<void**>(m_graph.ReleaseAndGetAddressOf()));
  if (hr != S_OK) return Fail(hr);
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, kGraphContext,
                        IID_ICaptureGraphBuilder2,
                        reinterpret_cast<void**>(m_builder.ReleaseAndGetAddressOf()));
  if (hr == S_OK) hr = m_builder->SetFiltergraph(m_graph.Get());
  if (hr != S_OK) return Fail(hr);
  m_lastResult = m_graph.As(&m_control);
  return CheckResult();
}

bool CCaptureVideo::ChooseDevice() {
  ComPtr<ICreateDevEnum> deviceEnum;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, reinterpret_cast<void**>(deviceEnum.GetAddressOf()));
  if (hr != S_OK) return Fail(hr);
  ComPtr<IEnumMoniker> monikers;
  hr = deviceEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  // An empty category is S_FALSE with no enumerator: not a failure of the call, but no device.
  if (SUCCEEDED(hr) && !monikers) {
    Ask(L"ビデオキャプチャーデバイスが見つかりません", L"Vidtessa", MB_OK | MB_ICONERROR);
    return false;
  }
  if (hr != S_OK) return Fail(hr);

  monikers->Reset();
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ReadDeviceTexts(*moniker.Get());
    const int answer = AskAboutDevice();
    if (answer == IDNO) continue;
    if (answer != IDYES) return false;
    hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                               reinterpret_cast<void**>(m_device.ReleaseAndGetAddressOf()));
    if (hr != S_OK) return Fail(hr);
    break;
  }
  if (!m_device) return false;
  m_lastResult = m_graph->AddFilter(m_device.Get(), L"Device Filter");
  return CheckResult();
}

void CCaptureVideo::ReadDeviceTexts(IMoniker& moniker) {
  ComPtr<IPropertyBag> bag;
  std::wstring friendlyName, description, devicePath;
  if (SUCCEEDED(moniker.BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      reinterpret_cast<void**>(bag.GetAddressOf())))) {
    friendlyName = ReadBagText(*bag.Get(), L"FriendlyName");
    description = ReadBagText(*bag.Get(), L"Description");
    devicePath = ReadBagText(*bag.Get(), L"DevicePath");
  }
  tvq::CopyText(m_friendlyName, kTextUnits, friendlyName.c_str());
  tvq::CopyText(m_description, kTextUnits, description.c_str());
  tvq::CopyText(m_devicePath, kTextUnits, devicePath.c_str());
}

int CCaptureVideo::AskAboutDevice() {
  const std::wstring question = tvq::FitText(
      std::wstring(L"FriendlyName:") + m_friendlyName + L"\nDescription:" + m_description +
          L"\nDevicePath:" + m_devicePath + L"\nをビデオキャプチャーデバイスとして使用しますか？",
      kDeviceQuestionUnits);
  return Ask(question.c_str(), L"ビデオキャプチャデバイスの選択", MB_YESNOCANCEL | MB_ICONQUESTION);
}

bool CCaptureVideo::RouteCrossbar() {
  ComPtr<IAMCrossbar> crossbar;
  const HRESULT hr = m_builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, m_device.Get(),
                                              IID_IAMCrossbar,
                                              reinterpret_cast<void**>(crossbar.GetAddressOf()));
  // Most devices have no crossbar upstream: nothing to route.
  if (FAILED(hr) || !crossbar) return true;
  return RouteCrossbar(*crossbar.Get());
}

bool CCaptureVideo::RouteCrossbar(IAMCrossbar& crossbar) {
  m_outputPinCount = -1;
  m_inputPinCount = -1;
  crossbar.get_PinCounts(&m_outputPinCount, &m_inputPinCount);
  if (!ChooseCrossbarPin(crossbar, false) || !ChooseCrossbarPin(crossbar, true)) return false;
  // The chosen pair routes the picture; the related pair routes the sound that goes with it.
  HRESULT hr = crossbar.CanRoute(m_chosenOutputPin, m_chosenInputPin);
  if (hr != S_OK) return Fail(hr);
  hr = crossbar.CanRoute(m_relatedOutputPin, m_relatedInputPin);
  if (hr != S_OK) return Fail(hr);
  hr = crossbar.Route(m_chosenOutputPin, m_chosenInputPin);
  if (hr != S_OK) return Fail(hr);
  hr = crossbar.Route(m_relatedOutputPin, m_relatedInputPin);
  if (hr != S_OK) return Fail(hr);
  return true;
}

// Asks about each crossbar pin of one direction until one is answered Yes. Output pins can be
// cancelled; input pins are Yes or No only.
bool CCaptureVideo::ChooseCrossbarPin(IAMCrossbar& crossbar, bool input) {
  const long count = input ? m_inputPinCount : m_outputPinCount;
  const std::wstring caption = tvq::FitText(
      std::wstring(input ? L"入力ピンの選択（" : L"出力ピンの選択（") + m_friendlyName + L"）",
      kPinTextUnits);
  for (long i = 0; i < count; ++i) {
    long related = -1;
    long type = -1;
    crossbar.get_CrossbarPinInfo(input ? TRUE : FALSE, i, &related, &type);
    const std::wstring question = tvq::FitText(
        std::wstring(input ? L"入力ピン（" : L"出力ピン（") + std::to_wstring(i + 1) + L"/" +
            std::to_wstring(count) + L"）: " + PhysicalTypeName(type) + L" を選択しますか？\n" +
            (input ? L"Related: " : L"関連ピン: ") + std::to_wstring(related),
        kPinTextUnits);
    const int answer = Ask(question.c_str(), caption.c_str(),
                           (input ? MB_YESNO : MB_YESNOCANCEL) | MB_ICONQUESTION);
    if (answer == IDYES) {
      (input ? m_chosenInputPin : m_chosenOutputPin) = i;
      (input ? m_relatedInputPin : m_relatedOutputPin) = related;
      return true;
    }
    if (!input && answer != IDNO) return false;
  }
  return false;
}

const wchar_t* CCaptureVideo::PhysicalTypeName(long type) {
  switch (type) {
    case PhysConn_Video_Tuner: return L"Video Tuner";
    case PhysConn_Video_Composite: return L"Video Composite";
    case PhysConn_Video_SVideo: return L"S-Video";
    case PhysConn_Video_RGB: return L"Video RGB";
    case PhysConn_Video_YRYBY: return L"Video YRYBY";
    case PhysConn_Video_SerialDigital: return L"Video Serial Digital";
    case PhysConn_Video_ParallelDigital: return L"Video Parallel Digital";
    case PhysConn_Video_SCSI: return L"Video SCSI";
    case PhysConn_Video_AUX: return L"Video AUX";
    case PhysConn_Video_1394: return L"Video 1394";
    case PhysConn_Video_USB: return L"Video USB";
    case PhysConn_Video_VideoDecoder: return L"Video Decoder";
    case PhysConn_Video_VideoEncoder: return L"Video Encoder";
    case PhysConn_Audio_Tuner: return L"Audio Tuner";
    case PhysConn_Audio_Line: return L"Audio Line";
    case PhysConn_Audio_Mic: return L"Audio Microphone";
    case PhysConn_Audio_AESDigital: return L"Audio AES/EBU Digital";
    case PhysConn_Audio_SPDIFDigital: return L"Audio S/PDIF";
    case PhysConn_Audio_SCSI: return L"Audio SCSI";
    case PhysConn_Audio_AUX: return L"Audio AUX";
    case PhysConn_Audio_1394: return L"Audio 1394";
    case PhysConn_Audio_USB: return L"Audio USB";
    case PhysConn_Audio_AudioDecoder: return L"Audio Decoder";
    default: return L"Unknown Type";
  }
}

bool CCaptureVideo::AddSampleGrabber() {
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, kGraphContext, IID_IBaseFilter,
                                reinterpret_cast<void**>(m_grabberFilter.ReleaseAndGetAddressOf()));
  if (hr != S_OK) return Fail(hr);
  hr = m_grabberFilter.As(&m_grabber);
  if (hr != S_OK) return Fail(hr);
  ClearMediaType();
  m_mediaType.majortype = MEDIATYPE_Video;
  m_mediaType.subtype = MEDIASUBTYPE_RGB24;
  m_mediaType.formattype = FORMAT_VideoInfo;
  hr = m_grabber->SetMediaType(&m_mediaType);
  if (hr != S_OK) return Fail(hr);
  m_lastResult = m_graph->AddFilter(m_grabberFilter.Get(), L"Sample Grabber");
  return CheckResult();
}

bool CCaptureVideo::AddRenderer() {
  HRESULT hr = CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IBaseFilter,
                                reinterpret_cast<void**>(m_renderer.ReleaseAndGetAddressOf()));
  if (hr != S_OK) return Fail(hr);
  // control.h has no uuid declaration for IVideoWindow: ask with its IID.
  hr = m_renderer->QueryInterface(IID_IVideoWindow,
                                  reinterpret_cast<void**>(m_videoWindow.ReleaseAndGetAddressOf()));
  if (hr != S_OK) return Fail(hr);
  // Left unconnected: the capture stream ends at the grabber.
  hr = m_graph->AddFilter(m_renderer.Get(), L"VMR9");
  if (hr != S_OK) return Fail(hr);
  return true;
}

bool CCaptureVideo::ShowDeviceProperties() {
  ComPtr<ISpecifyPropertyPages> pages;
  const HRESULT hr = m_device.As(&pages);
  if (hr != S_OK) return Fail(hr);
  FILTER_INFO info = {};
  m_device->QueryFilterInfo(&info);
  ShowPropertyFrame(*pages.Get(), m_device.Get(), info.achName);
  if (info.pGraph != nullptr) info.pGraph->Release();
  return true;
}

bool CCaptureVideo::ShowPinProperties(PIN_DIRECTION direction) {
  ComPtr<IEnumPins> pins;
  if (m_device->EnumPins(&pins) != S_OK) return false;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION pinDirection;
    if (pin->QueryDirection(&pinDirection) != S_OK || pinDirection != direction) continue;
    ComPtr<ISpecifyPropertyPages> pages;
    // One pin without pages ends this direction: the rest of its pins are not shown.
    const HRESULT hr = pin.As(&pages);
    if (hr != S_OK) return Fail(hr);
    PIN_INFO info = {};
    pin->QueryPinInfo(&info);
    ShowPropertyFrame(*pages.Get(), pin.Get(), info.achName);
    if (info.pFilter != nullptr) info.pFilter->Release();
  }
  return true;
}

// A modal property frame without owner for one object.
void CCaptureVideo::ShowPropertyFrame(ISpecifyPropertyPages& pages, IUnknown* object,
                                      const wchar_t* caption) {
  CAUUID pageList = {};
  if (pages.GetPages(&pageList) != S_OK) return;
  OleCreatePropertyFrame(nullptr, 0, 0, caption, 1, &object, pageList.cElems, pageList.pElems, 0,
                         0, nullptr);
  CoTaskMemFree(pageList.pElems);
}

bool CCaptureVideo::RenderCaptureStream() {
  const HRESULT hr = m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, nullptr, m_device.Get(),
                                             nullptr, m_grabberFilter.Get());
  if (hr != S_OK) return Fail(hr);
  return true;
}

bool CCaptureVideo::PrepareFrameBuffer() {
  ClearMediaType();
  m_formatHeader = nullptr;
  const HRESULT hr = m_grabber->GetConnectedMediaType(&m_mediaType);
  if (hr != S_OK) return Fail(hr);
  if (m_mediaType.formattype != FORMAT_VideoInfo || m_mediaType.pbFormat == nullptr ||
      m_mediaType.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return Fail(VFW_E_INVALIDMEDIATYPE);
  }
  m_formatHeader = &reinterpret_cast<VIDEOINFOHEADER*>(m_mediaType.pbFormat)->bmiHeader;
  // The frame is drawn from the buffer as the header lays it out, so a sample must hold at least
  // that much; the buffer also takes the stated sample size when the device pads its samples.
  const long imageBytes = tvq::FrameBuffer::ImageBytes(*m_formatHeader);
  if (imageBytes == 0) return Fail(VFW_E_INVALIDMEDIATYPE);
  const long sampleBytes = static_cast<long>(m_mediaType.lSampleSize);
  if (!m_frameBuffer.Allocate(std::max(imageBytes, sampleBytes), imageBytes)) {
    return Fail(E_OUTOFMEMORY);
  }
  picture.Destroy();
  picture.Create(m_formatHeader->biWidth, m_formatHeader->biHeight, m_formatHeader->biBitCount);
  return true;
}
