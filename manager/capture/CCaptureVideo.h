#pragma once

#include <wrl/client.h>

#include <utility>

#include "manager/capture/FrameBuffer.h"
#include "manager/capture/SampleGrabber.h"
#include "manager/capture/MessageBoxFn.h"
#include "manager/composition/CImage.h"

// A video capture device as a capture source. Select lets the user choose the device (and the
// crossbar route, if it has one), shows its property pages, and builds and runs a graph that
// ends at a buffering Sample Grabber accepting RGB24 only; Capture copies the grabber's latest
// sample into the picture.
//
// Threads: Select, Capture and ReleaseGraph run on the GUI thread, whose COM apartment every
// camera object initialises for its lifetime. The graph's streaming threads meet this object only
// through the grabber's buffered copy, which the grabber guards with its own lock.
class CCaptureVideo {
 public:
  static constexpr int kTextUnits = 1024;

  CCaptureVideo();
  ~CCaptureVideo();

  CCaptureVideo(const CCaptureVideo&) = delete;
  CCaptureVideo& operator=(const CCaptureVideo&) = delete;
  // Arrays move their elements when they grow (before any Select); the moved-to object holds
  // its own COM initialisation and the moved-from one is left unselected.
  CCaptureVideo(CCaptureVideo&& other) noexcept;
  CCaptureVideo& operator=(CCaptureVideo&& other) noexcept;

  // The whole selection and graph building; true when the graph runs. False when the user
  // cancelled or said No throughout, a step failed (the graph is then released), or a Select of
  // this object is already waiting for an answer.
  bool Select();
  // Copies the latest sample into the picture; a sample of another size than the connected one
  // is skipped and the previous frame drawn again. False only when nothing is selected.
  bool Capture();
  // Back to the unselected state; harmless when nothing is held. While a Select of this object
  // waits for an answer it does nothing: that Select releases what it built if it fails.
  void ReleaseGraph();

  // The steps of Select, in its order.
  bool CreateGraph();
  bool ChooseDevice();
  bool RouteCrossbar();
  // The crossbar part of RouteCrossbar once a crossbar was found upstream of the device.
  bool RouteCrossbar(IAMCrossbar& crossbar);
  bool AddSampleGrabber();
  bool AddRenderer();
  bool ShowDeviceProperties();
  bool ShowPinProperties(PIN_DIRECTION direction);
  bool RenderCaptureStream();
  bool PrepareFrameBuffer();

  // True for a last result of 0; otherwise shows the error box and gives false.
  bool CheckResult();
  // The display name of a crossbar connector type (PhysicalConnectorType).
  static const wchar_t* PhysicalTypeName(long type);

  CImage& Picture() { return picture; }
  const CImage& Picture() const { return picture; }
  const wchar_t* FriendlyName() const { return m_friendlyName; }
  const wchar_t* Description() const { return m_description; }
  const wchar_t* DevicePath() const { return m_devicePath; }
  // The settings section of the device: its DevicePath, or its FriendlyName when it has none
  // (software devices such as virtual cameras have no DevicePath).
  const wchar_t* SectionName() const;
  const wchar_t* DisplayName() const { return m_friendlyName; }

  long OutputPinCount() const { return m_outputPinCount; }
  long ChosenOutputPin() const { return m_chosenOutputPin; }
  long RelatedOutputPin() const { return m_relatedOutputPin; }
  long InputPinCount() const { return m_inputPinCount; }
  long ChosenInputPin() const { return m_chosenInputPin; }
  long RelatedInputPin() const { return m_relatedInputPin; }

  HRESULT LastResult() const { return m_lastResult; }
  bool HasGraph() const { return m_graph != nullptr; }
  bool IsSelecting() const { return m_selecting; }
  const BITMAPINFOHEADER* FormatHeader() const { return m_formatHeader; }
  const tvq::FrameBuffer& Frame() const { return m_frameBuffer; }

  // Where questions and errors go; the Manager keeps the default (real boxes without owner).
  void SetMessageBox(tvq::MessageBoxFn messageBox) { m_messageBox = std::move(messageBox); }

 private:
  bool BuildGraph();
  // Stores code as the last result and reports it as CheckResult does.
  bool Fail(HRESULT code);
  int Ask(const wchar_t* text, const wchar_t* caption, UINT type);
  void ReadDeviceTexts(IMoniker& moniker);
  int AskAboutDevice();
  bool ChooseCrossbarPin(IAMCrossbar& crossbar, bool input);
  void ShowPropertyFrame(ISpecifyPropertyPages& pages, IUnknown* object, const wchar_t* caption);
  void ClearMediaType();
  void ClearFields();
  void TakeFrom(CCaptureVideo& other);

  Microsoft::WRL::ComPtr<IGraphBuilder> m_graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> m_builder;
  Microsoft::WRL::ComPtr<IMediaControl> m_control;
  Microsoft::WRL::ComPtr<IBaseFilter> m_device;
  wchar_t m_friendlyName[kTextUnits];
  wchar_t m_description[kTextUnits];
  wchar_t m_devicePath[kTextUnits];
  long m_outputPinCount;
  long m_chosenOutputPin;
  long m_relatedOutputPin;
  long m_inputPinCount;
  long m_chosenInputPin;
  long m_relatedInputPin;
  Microsoft::WRL::ComPtr<IBaseFilter> m_grabberFilter;
  Microsoft::WRL::ComPtr<ISampleGrabber> m_grabber;
  AM_MEDIA_TYPE m_mediaType;
  Microsoft::WRL::ComPtr<IBaseFilter> m_renderer;
  Microsoft::WRL::ComPtr<IVideoWindow> m_videoWindow;
  // Not owned: points into m_mediaType's format block.
  BITMAPINFOHEADER* m_formatHeader;
  // The frame buffer with its size in and out.
  tvq::FrameBuffer m_frameBuffer;
  CImage picture;
  HRESULT m_lastResult;

  tvq::MessageBoxFn m_messageBox;
  bool m_selecting;
  // CoInitialize can refuse (a thread already in the multithreaded apartment); only a successful
  // call is balanced with CoUninitialize.
  bool m_comInitialized;
};
