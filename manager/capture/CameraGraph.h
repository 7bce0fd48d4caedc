#pragma once

#include <wrl/client.h>

#include "common/Lifetime.h"
#include "manager/capture/CameraPrompt.h"
#include "manager/capture/CameraRequest.h"
#include "manager/capture/SampleGrabber.h"

namespace tvq {

// The camera's DirectShow graph: the chosen capture device, a Sample Grabber that accepts RGB24
// video only and buffers the latest sample, and a VMR9 renderer left unconnected. Each step keeps
// what it creates in locals and hands it to the graph only once all of its calls succeeded;
// failures are reported through the prompt, and Release drops everything.
//
// Threads: built, polled and released on the GUI thread, in its owner's COM apartment. The
// streaming threads only reach the grabber, which guards its buffered copy with its own lock.
class CameraGraph {
 public:
  bool Create(CameraPrompt& prompt);
  bool AddDevice(Microsoft::WRL::ComPtr<IBaseFilter> device, CameraPrompt& prompt);
  // The crossbar upstream of the device; null when it has none.
  Microsoft::WRL::ComPtr<IAMCrossbar> FindCrossbar() const;
  bool AddSampleGrabber(CameraPrompt& prompt);
  bool AddRenderer(CameraPrompt& prompt);
  // Asks the capture pin for format among the formats it lists (see RequestCaptureFormat); false
  // when the device's own format applies.
  bool RequestCaptureFormat(const CameraFormat& format);
  // The format the capture pin works with now; unset when the pin does not say.
  CameraFormat CaptureFormat() const;
  // Connects the device's capture pin to the grabber, through whatever converters it needs.
  bool RenderCaptureStream(CameraPrompt& prompt);
  // Reads the type the grabber connected with; anything but a video-info format is refused.
  bool ReadConnectedType(CameraPrompt& prompt);
  // Buffering on, then run. A graph that does not start (a device in use by another program,
  // a driver that fails) is reported as a failure: it would only ever show black.
  bool Run(CameraPrompt& prompt);
  // True once the running graph said that it delivers no more frames (its device was unplugged,
  // its stream stopped on an error); reads the graph's events, cheap enough for every tick.
  bool HasStopped();
  // Releasing the graph manager's references ends the graph; it is not stopped first.
  void Release();

  bool IsCreated() const { return m_graph != nullptr; }
  IBaseFilter* Device() const { return m_device.Get(); }
  ISampleGrabber* Grabber() const { return m_grabber.Get(); }
  // The bitmap header inside the connected type's format block; null until it has been read.
  const BITMAPINFOHEADER* ConnectedHeader() const;
  // The connected type's sample size; 0 when the type states none.
  long ConnectedSampleSize() const;

 private:
  void StopEveryFilter();
  // The stream configuration of the device's video capture pin; null when it has none.
  Microsoft::WRL::ComPtr<IAMStreamConfig> CaptureConfig() const;

  Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_builder;
  Microsoft::WRL::ComPtr<IMediaControl> m_control;
  Microsoft::WRL::ComPtr<IMediaEvent> m_events;
  Microsoft::WRL::ComPtr<IBaseFilter> m_device;
  Microsoft::WRL::ComPtr<IBaseFilter> m_grabberFilter;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_grabber;
  Microsoft::WRL::ComPtr<IBaseFilter> m_renderer;
  // Held and released only: the renderer's window is never shown.
  Microsoft::WRL::ComPtr<IVideoWindow> m_videoWindow;
  // Its format block and object are freed with it.
  UniqueMediaType m_connectedType;
  bool m_stopped = false;
};

}  // namespace tvq
