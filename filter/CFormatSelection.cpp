#include "filter/CFormatSelection.h"

CFormatSelection::CFormatSelection(const tvq::VideoFormat& defaults)
    : m_default(defaults), m_lock(SRWLOCK_INIT), m_current(defaults), m_offered(defaults) {}

tvq::VideoFormat CFormatSelection::Current() const {
  AcquireSRWLockShared(&m_lock);
  const tvq::VideoFormat current = m_current;
  ReleaseSRWLockShared(&m_lock);
  return current;
}

tvq::VideoFormat CFormatSelection::Offered() const {
  AcquireSRWLockShared(&m_lock);
  const tvq::VideoFormat offered = m_offered;
  ReleaseSRWLockShared(&m_lock);
  return offered;
}

void CFormatSelection::Select(const tvq::VideoFormat& format) {
  AcquireSRWLockExclusive(&m_lock);
  m_current = format;
  m_offered = format;
  m_kept = false;
  ReleaseSRWLockExclusive(&m_lock);
}

void CFormatSelection::Keep(const tvq::VideoFormat& format) {
  AcquireSRWLockExclusive(&m_lock);
  m_offered = format;
  m_kept = true;
  ReleaseSRWLockExclusive(&m_lock);
}

void CFormatSelection::Reset() {
  AcquireSRWLockExclusive(&m_lock);
  if (!m_kept) m_offered = m_default;
  m_current = m_offered;
  m_kept = false;
  ReleaseSRWLockExclusive(&m_lock);
}
