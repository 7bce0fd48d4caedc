#include "filter/FramePacing.h"

#include <strmif.h>

namespace tvq {

DWORD PacingSleepMs(REFERENCE_TIME interval, DWORD startMs, DWORD nowMs) {
  const DWORD budget = static_cast<DWORD>(interval / 10000);
  const DWORD elapsed = nowMs - startMs;
  const LONG wait = static_cast<LONG>(budget - elapsed - 1);
  return wait > 0 ? static_cast<DWORD>(wait) : 0;
}

}  // namespace tvq
