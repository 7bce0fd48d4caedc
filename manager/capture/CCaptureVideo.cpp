#include "manager/capture/CCaptureVideo.h"

#include <algorithm>

#include "manager/capture/PropertyPages.h"
#include "manager/capture/SelectGuard.h"

CCaptureVideo::~CCaptureVideo() { ReleaseGraph(); }

bool CCaptureVideo::Select() {
  return BuildAndRun([this] { return BuildGraph(); });
}

bool CCaptureVideo::Open(const tvq::CameraRequest& request) {
  m_prompt.SetQuiet(true);
  const bool running = BuildAndRun([this, &request] { return BuildGraphQuietly(request); });
  m_prompt.SetQuiet(false);
  return running;
}

template <typename Build>
bool CCaptureVideo::BuildAndRun(Build build) {
  if (m_selecting) return false;
  ReleaseGraph();
  bool running = false;
  {
    tvq::SelectGuard guard(m_selecting);
    running = build() && m_graph.Run(m_prompt);
  }
  // The failing call's result stays readable.
  if (!running) Unselect();
  return running;
}

bool CCaptureVideo::BuildGraphQuietly(const tvq::CameraRequest& request) {
  Microsoft::WRL::ComPtr<IBaseFilter> device;
  if (!CreateGraph() ||
      !m_device.ChooseQuietly(request.devicePath, request.friendlyName, m_prompt, device) ||
      !m_graph.AddDevice(std::move(device), m_prompt)) {
    return false;
  }
  Microsoft::WRL::ComPtr<IAMCrossbar> crossbar = m_graph.FindCrossbar();
  m_routed = crossbar != nullptr;
  if (crossbar && !m_crossbar.RouteQuietly(*crossbar.Get(), request.crossbarOutput,
                                           request.crossbarInput, m_prompt)) {
    return false;
  }
  if (!AddSampleGrabber() || !AddRenderer()) return false;
  m_graph.RequestCaptureFormat(request.format);
  return RenderCaptureStream() && PrepareFrameBuffer();
}

bool CCaptureVideo::Reopen() {
  if (!m_lost || m_selecting) return false;
  const tvq::CameraRequest request = *m_lost;
  const tvq::DeviceChooser identity = m_device;
  // The opening makes a picture of its own before it knows whether the camera starts.
  CImage last = std::move(picture);
  if (Open(request)) return true;
  // Not back yet: still the same camera, waiting under its name with its last picture.
  picture.Destroy();
  picture = std::move(last);
  m_device = identity;
  m_lost = request;
  return false;
}

tvq::CameraRequest CCaptureVideo::OpenedWith() const {
  if (m_lost) return *m_lost;
  tvq::CameraRequest opened;
  opened.devicePath = m_device.DevicePath();
  opened.friendlyName = m_device.FriendlyName();
  if (m_routed) {
    opened.crossbarOutput = m_crossbar.ChosenOutputPin();
    opened.crossbarInput = m_crossbar.ChosenInputPin();
  }
  opened.format = m_graph.CaptureFormat();
  return opened;
}

bool CCaptureVideo::BuildGraph() {
  if (!CreateGraph() || !ChooseDevice() || !RouteCrossbar() || !AddSampleGrabber() ||
      !AddRenderer()) {
    return false;
  }
  // Settings made in these frames, such as the capture pin's format, are in force when the
  // stream is connected; a device or pin without pages is reported and passed over.
  ShowPropertyPages();
  return RenderCaptureStream() && PrepareFrameBuffer();
}

bool CCaptureVideo::Capture() {
  if (m_graph.HasStopped()) Lose();
  ISampleGrabber* grabber = m_graph.Grabber();
  const BITMAPINFOHEADER* header = m_graph.ConnectedHeader();
  if (grabber == nullptr || header == nullptr || m_frameBuffer.Data() == nullptr) return false;
  // Before the first sample, or when a sample does not fit, the previous frame is drawn again.
  m_frameBuffer.CopyLatest(*grabber);
  m_frameBuffer.DrawInto(picture, *header);
  return true;
}

void CCaptureVideo::ReleaseGraph() {
  if (m_selecting) return;
  Unselect();
  m_prompt.ClearResult();
}

void CCaptureVideo::Unselect() {
  DropGraph();
  m_device.Clear();
  m_lost.reset();
}

void CCaptureVideo::DropGraph() {
  m_graph.Release();
  m_routed = false;
  m_frameBuffer.Free();
}

// The device's name and what it was opened with stay, for the status text, the record and the
// reopening; the picture stays as the last frame.
void CCaptureVideo::Lose() {
  tvq::CameraRequest opened = OpenedWith();
  DropGraph();
  m_lost = std::move(opened);
}

bool CCaptureVideo::CreateGraph() { return m_graph.Create(m_prompt); }

bool CCaptureVideo::ChooseDevice() {
  Microsoft::WRL::ComPtr<IBaseFilter> device;
  if (!m_device.Choose(m_prompt, device)) return false;
  return m_graph.AddDevice(std::move(device), m_prompt);
}

bool CCaptureVideo::RouteCrossbar() {
  Microsoft::WRL::ComPtr<IAMCrossbar> crossbar = m_graph.FindCrossbar();
  // Most devices have no crossbar upstream: nothing to route.
  m_routed = crossbar != nullptr;
  if (!crossbar) return true;
  return m_crossbar.Route(*crossbar.Get(), m_prompt, m_device.FriendlyName());
}

bool CCaptureVideo::AddSampleGrabber() { return m_graph.AddSampleGrabber(m_prompt); }

bool CCaptureVideo::AddRenderer() { return m_graph.AddRenderer(m_prompt); }

bool CCaptureVideo::ShowDeviceProperties() {
  IBaseFilter* device = m_graph.Device();
  return device != nullptr && tvq::PropertyPages(*device, m_prompt).ShowDevice();
}

bool CCaptureVideo::ShowPinProperties(PIN_DIRECTION direction) {
  IBaseFilter* device = m_graph.Device();
  return device != nullptr && tvq::PropertyPages(*device, m_prompt).ShowPins(direction);
}

bool CCaptureVideo::HasPropertyPages() const {
  IBaseFilter* device = m_graph.Device();
  return device != nullptr && tvq::PropertyPages::Exist(*device);
}

bool CCaptureVideo::ShowPropertyPages() {
  if (m_graph.Device() == nullptr) return false;
  ShowDeviceProperties();
  ShowPinProperties(PINDIR_OUTPUT);
  ShowPinProperties(PINDIR_INPUT);
  return true;
}

bool CCaptureVideo::RenderCaptureStream() { return m_graph.RenderCaptureStream(m_prompt); }

bool CCaptureVideo::PrepareFrameBuffer() {
  if (!m_graph.ReadConnectedType(m_prompt)) return false;
  const BITMAPINFOHEADER& header = *m_graph.ConnectedHeader();
  // The frame is drawn from the buffer as the header lays it out, so a sample must hold at least
  // that much; the buffer also takes the stated sample size when the device pads its samples.
  const long imageBytes = tvq::FrameBuffer::ImageBytes(header);
  if (imageBytes == 0) return m_prompt.Report(VFW_E_INVALIDMEDIATYPE);
  const long sampleBytes = m_graph.ConnectedSampleSize();
  if (!m_frameBuffer.Allocate(std::max(imageBytes, sampleBytes), imageBytes)) {
    return m_prompt.Report(E_OUTOFMEMORY);
  }
  picture.Destroy();
  picture.Create(header.biWidth, header.biHeight, header.biBitCount);
  return true;
}
