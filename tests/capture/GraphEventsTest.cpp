#include "manager/capture/GraphEvents.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/common/ComStub.h"

namespace {

struct Event {
  long code;
  LONG_PTR param2;
};

// A graph's event queue: GetEvent hands out the events in order, then E_ABORT as the platform
// does for an empty queue and a time-out of 0.
class FakeEvents : public tvqtest::ComStub<IMediaEvent> {
 public:
  explicit FakeEvents(std::vector<Event> queued) : m_queued(std::move(queued)) {}

  size_t taken = 0;
  size_t freed = 0;
  long lastTimeout = -1;

  HRESULT STDMETHODCALLTYPE GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2,
                                     long timeout) override {
    lastTimeout = timeout;
    if (taken == m_queued.size()) return E_ABORT;
    *code = m_queued[taken].code;
    *param1 = 0;
    *param2 = m_queued[taken].param2;
    ++taken;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FreeEventParams(long, LONG_PTR, LONG_PTR) override {
    ++freed;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE WaitForCompletion(long, long*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CancelDefaultHandling(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  std::vector<Event> m_queued;
};

TEST(GraphEvents, AllQueuedEventsAreTakenAndOnlyALossOrAnAbortStopsTheGraph) {
  struct Row {
    const char* name;
    std::vector<Event> queued;
    bool stopped;
  };
  const Row rows[] = {
      {"nothing queued", {}, false},
      {"ordinary events", {{EC_PAUSED, 0}, {EC_CLOCK_CHANGED, 0}}, false},
      {"device lost", {{EC_DEVICE_LOST, 0}}, true},
      {"device came back", {{EC_DEVICE_LOST, 1}}, false},
      {"lost among others", {{EC_PAUSED, 0}, {EC_DEVICE_LOST, 0}, {EC_CLOCK_CHANGED, 0}}, true},
      {"lost, then back", {{EC_DEVICE_LOST, 0}, {EC_DEVICE_LOST, 1}}, true},
      {"error abort", {{EC_ERRORABORT, E_FAIL}}, true},
      {"error abort with text", {{EC_ERRORABORTEX, 0}}, true},
      {"stream stopped on an error", {{EC_STREAM_ERROR_STOPPED, 0}}, true},
      {"stream error still playing", {{EC_STREAM_ERROR_STILLPLAYING, 0}}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeEvents events(row.queued);
    EXPECT_EQ(row.stopped, tvq::TakeStopEvents(events));
    EXPECT_EQ(row.queued.size(), events.taken);
    EXPECT_EQ(row.queued.size(), events.freed);
    EXPECT_EQ(0, events.lastTimeout) << "a tick never waits for an event";
  }
}

}  // namespace
