#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <wrl/client.h>

#include <atomic>
#include <string>

#include "tests/common/ComApartment.h"
#include "tests/common/GrabberGraph.h"

// A DirectShow client as an application builds it: the registered virtual camera, created through
// COM, rendered by the capture graph builder into a Sample Grabber and a Null Renderer. The
// grabber's callback counts samples and checks each one against the test pattern
// (FramePattern.h) and the connection's size.
//
// Threads: the test thread builds and drives the graph; the callback runs on the camera's worker
// thread and touches only atomics.
namespace tvqtest {

// Registers the virtual camera's DLL next to the test executable in this prefix (COM must be
// initialised on the calling thread).
HRESULT RegisterFilterDll();
// DllCanUnloadNow of the copy that COM loaded into this process; S_OK also when it is not loaded.
HRESULT FilterDllCanUnloadNow();

class GrabberCallback;

class ClientGraph {
 public:
  ClientGraph();
  ~ClientGraph();
  ClientGraph(const ClientGraph&) = delete;
  ClientGraph& operator=(const ClientGraph&) = delete;

  using Wiring = GrabberGraph::Wiring;

  // Creates the camera and the graph and connects them.
  HRESULT Build(Wiring wiring = Wiring::CaptureGraphBuilder);
  HRESULT Run();
  HRESULT Stop();
  // Breaks the camera's connection to the grabber, and makes it again.
  HRESULT Disconnect();
  HRESULT Reconnect();
  // Releases every object of the graph.
  void Release();

  IAMStreamConfig* Config() const { return m_config.Get(); }
  IBaseFilter* Camera() const { return m_client.Source(); }

  // Samples received since the graph was built, and those of them that were well formed.
  LONG Frames() const;
  LONG GoodFrames() const;
  // Samples, after the first well-formed one of a run, that were not well formed; and samples
  // whose length was not the connection's image size.
  LONG BadFrames() const;
  LONG WrongSizes() const;
  bool WaitForFrames(LONG count, DWORD timeoutMs) const;
  bool WaitForGoodFrames(LONG count, DWORD timeoutMs) const;
  // Forgets the run's first good frame (call before each Run).
  void NewRun();

 private:
  HRESULT FindPins();

  GrabberGraph m_client;
  Microsoft::WRL::ComPtr<IAMStreamConfig> m_config;
  Microsoft::WRL::ComPtr<IPin> m_cameraOut;
  Microsoft::WRL::ComPtr<IPin> m_cameraPeer;
  GrabberCallback* m_callback;  // owned
};

}  // namespace tvqtest
