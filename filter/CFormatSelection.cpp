#include "filter/CFormatSelection.h"

CFormatSelection::CFormatSelection(const tvq::VideoFormat& defaults)
    : m_default(defaults), m_lock(SRWLOCK_INIT), m_current(defaults) {}

tvq::VideoFormat CFormatSelection::Current() const {
  AcquireSRWLockShared(&m_lock);
  const tvq::VideoFormat current = m_current;
  ReleaseSRWLockShared(&m_lock);
  return current;
}

void CFormatSelection::Select(const tvq::VideoFormat& format) {
  AcquireSRWLockExclusive(&m_lock);
  m_current = format;
  ReleaseSRWLockExclusive(&m_lock);
}

void CFormatSelection::Reset() { Select(m_default); }
