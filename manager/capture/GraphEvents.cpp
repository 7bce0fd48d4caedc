#include "manager/capture/GraphEvents.h"

namespace tvq {

bool IsStopEvent(long code, LONG_PTR param2) {
  switch (code) {
    // The second parameter is 0 when the device went away and 1 when it came back; a graph
    // built on the lost device stays dead either way, but only the loss is news.
    case EC_DEVICE_LOST: return param2 == 0;
    case EC_ERRORABORT:
    case EC_ERRORABORTEX:
    case EC_STREAM_ERROR_STOPPED: return true;
    default: return false;
  }
}

bool TakeStopEvents(IMediaEvent& events) {
  bool stopped = false;
  long code = 0;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  // A time-out of 0 answers E_ABORT at once when the queue is empty.
  while (events.GetEvent(&code, &param1, &param2, 0) == S_OK) {
    stopped = stopped || IsStopEvent(code, param2);
    events.FreeEventParams(code, param1, param2);
  }
  return stopped;
}

}  // namespace tvq
