#include "filter/HeldPicture.h"

#include <cstring>
#include <new>

void HeldPicture::Keep(const BYTE* data, long size) {
  if (data == nullptr || size <= 0) return;
  // The worker must not throw: without memory the picture is simply not kept.
  try {
    m_bytes.assign(data, data + size);
  } catch (const std::bad_alloc&) {
    m_bytes.clear();
  }
}

void HeldPicture::CopyTo(BYTE* data, long size) const {
  if (data == nullptr || size <= 0) return;
  if (m_bytes.size() == static_cast<size_t>(size)) {
    std::memcpy(data, m_bytes.data(), m_bytes.size());
  } else {
    std::memset(data, 0, static_cast<size_t>(size));
  }
}
