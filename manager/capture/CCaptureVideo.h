#pragma once

#include <optional>
#include <utility>

#include "manager/capture/CImage.h"
#include "manager/capture/CameraGraph.h"
#include "manager/capture/CameraPrompt.h"
#include "manager/capture/CameraRequest.h"
#include "manager/capture/ComApartment.h"
#include "manager/capture/CrossbarRouter.h"
#include "manager/capture/DeviceChooser.h"
#include "manager/capture/FrameBuffer.h"
#include "manager/capture/ICaptureSource.h"
#include "manager/capture/MessageBoxFn.h"

// A video capture device as a capture source. Select lets the user choose the device (and the
// crossbar route, if it has one), shows its property pages, and builds and runs a graph that
// ends at a buffering Sample Grabber accepting RGB24 only; Capture copies the grabber's latest
// sample into the picture. Each of those jobs is a class of its own; this one runs them in order
// and owns the frame buffer and the picture.
//
// Threads: Select, Capture and ReleaseGraph run on the GUI thread, whose COM apartment every
// camera object initialises for its lifetime. The graph's streaming threads meet this object only
// through the grabber's buffered copy, which the grabber guards with its own lock.
class CCaptureVideo : public ICaptureSource {
 public:
  CCaptureVideo() = default;
  ~CCaptureVideo();

  CCaptureVideo(const CCaptureVideo&) = delete;
  CCaptureVideo& operator=(const CCaptureVideo&) = delete;
  // Arrays move their elements when they grow (before any Select); the moved-to object holds
  // its own COM initialisation and the moved-from one is left unselected.
  CCaptureVideo(CCaptureVideo&& other) noexcept = default;
  CCaptureVideo& operator=(CCaptureVideo&& other) noexcept = default;

  // The whole selection and graph building; true when the graph runs. False when the user
  // cancelled or said No throughout, a step failed (the graph is then released), or a Select of
  // this object is already waiting for an answer.
  bool Select();
  // Opens the requested device without asking anything and without property pages: routed as
  // requested, its capture pin asked for the requested format (its own where it refuses). True
  // when the graph runs; false when the device is not there or a step failed (nothing is shown,
  // LastResult keeps the failing call's result).
  bool Open(const tvq::CameraRequest& request);
  // Copies the latest sample into the picture; a sample shorter than one whole picture of the
  // connected format is skipped and the previous frame drawn again. A graph that reported its
  // device lost (or its stream stopped) is dropped first, and the camera is gone. False when
  // nothing is selected or the camera is gone.
  bool Capture() override;
  // True once the running camera went away (unplugged, or its stream stopped): its graph is
  // released, its picture, name and OpenedWith kept.
  bool IsGone() const override { return m_lost.has_value(); }
  // Opens a gone camera again as Open would; false (and still gone, under the same name) while
  // it does not start.
  bool Reopen();
  // Back to the unselected state; harmless when nothing is held. While a Select of this object
  // waits for an answer it does nothing: that Select releases what it built if it fails.
  void ReleaseGraph();

  // The steps of Select, in its order.
  bool CreateGraph();
  bool ChooseDevice();
  bool RouteCrossbar();
  bool AddSampleGrabber();
  bool AddRenderer();
  bool ShowDeviceProperties();
  bool ShowPinProperties(PIN_DIRECTION direction);
  bool RenderCaptureStream();
  bool PrepareFrameBuffer();

  // True for a last result of 0; otherwise shows the error box and gives false.
  bool CheckResult() { return m_prompt.CheckResult(); }
  // The display name of a crossbar connector type (PhysicalConnectorType).
  static const wchar_t* PhysicalTypeName(long type) {
    return tvq::CrossbarRouter::PhysicalTypeName(type);
  }

  CImage& Picture() override { return picture; }
  const CImage& Picture() const { return picture; }
  const wchar_t* FriendlyName() const { return m_device.FriendlyName(); }
  const wchar_t* Description() const { return m_device.Description(); }
  const wchar_t* DevicePath() const { return m_device.DevicePath(); }
  // The settings section of the device: its DevicePath, or its FriendlyName when it has none.
  const wchar_t* SectionName() const { return m_device.SectionName(); }
  const wchar_t* DisplayName() const { return m_device.FriendlyName(); }

  // ICaptureSource
  const wchar_t* Name() const override { return m_device.FriendlyName(); }
  const wchar_t* Section() const override { return m_device.SectionName(); }
  void Release() override { ReleaseGraph(); }
  // A graph just built may take a while to deliver its first sample.
  bool HasCaptured() const override { return m_frameBuffer.Size() > 0; }
  bool HasSettings() const override { return HasPropertyPages(); }
  bool ShowSettings() override { return ShowPropertyPages(); }

  // Whether the running device or one of its pins has property pages.
  bool HasPropertyPages() const;
  // The running device's property pages, then its pins', as Select shows them; false without a
  // graph.
  bool ShowPropertyPages();

  // What the running (or gone) camera was opened with: its device, crossbar route and format.
  tvq::CameraRequest OpenedWith() const;

  HRESULT LastResult() const { return m_prompt.LastResult(); }
  bool HasGraph() const { return m_graph.IsCreated(); }
  // The running device's filter in its graph; null without a graph.
  IBaseFilter* Device() const { return m_graph.Device(); }
  bool IsSelecting() const { return m_selecting; }
  const BITMAPINFOHEADER* FormatHeader() const { return m_graph.ConnectedHeader(); }
  const tvq::FrameBuffer& Frame() const { return m_frameBuffer; }

  // Where questions and errors go; the Manager keeps the default (real boxes without owner).
  void SetMessageBox(tvq::MessageBoxFn messageBox) {
    m_prompt.SetMessageBox(std::move(messageBox));
  }

 private:
  bool BuildGraph();
  void Unselect();
  void DropGraph();
  void Lose();
  bool BuildGraphQuietly(const tvq::CameraRequest& request);
  // Select and Open: builds with build, runs the graph, releases everything on failure.
  template <typename Build>
  bool BuildAndRun(Build build);

  // First in, last out: the graph is released before COM is uninitialised.
  tvq::ComApartment m_apartment;
  tvq::CameraPrompt m_prompt;
  tvq::DeviceChooser m_device;
  tvq::CrossbarRouter m_crossbar;
  tvq::CameraGraph m_graph;
  // The frame buffer with its size in and out.
  tvq::FrameBuffer m_frameBuffer;
  CImage picture;
  bool m_selecting = false;
  // Whether the running graph went through a crossbar.
  bool m_routed = false;
  // What a camera that went away was opened with; empty while it runs or nothing is selected.
  std::optional<tvq::CameraRequest> m_lost;
};
