#include "manager/composition/RetryBackoff.h"

namespace tvq {

bool RetryBackoff::IsDue() const { return m_failures == 0 || m_clock->NowMs() >= m_dueMs; }

void RetryBackoff::Failed() {
  ++m_failures;
  m_dueMs = m_clock->NowMs() + SpacingMs(m_failures);
}

void RetryBackoff::Reset() {
  m_failures = 0;
  m_dueMs = 0;
}

ULONGLONG RetryBackoff::SpacingMs(int failures) {
  ULONGLONG spacing = kFirstSpacingMs;
  for (int i = 1; i < failures && spacing < kLongestSpacingMs; ++i) spacing *= 2;
  return spacing < kLongestSpacingMs ? spacing : kLongestSpacingMs;
}

}  // namespace tvq
