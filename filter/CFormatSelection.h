#pragma once

#include <windows.h>

#include "filter/VideoFormat.h"

// The output pin's default format (fixed at construction, the upper bound of every choice) and its
// current format (what is offered, published and paced now).
//
// Threads: SetFormat and Inactive write the current format on client threads while the worker
// thread reads it for every sample; a lock of its own, held only to copy the value, keeps the
// header and the 64-bit interval together on every target.
class CFormatSelection {
 public:
  explicit CFormatSelection(const tvq::VideoFormat& defaults);

  CFormatSelection(const CFormatSelection&) = delete;
  CFormatSelection& operator=(const CFormatSelection&) = delete;

  const tvq::VideoFormat& Default() const { return m_default; }
  tvq::VideoFormat Current() const;
  void Select(const tvq::VideoFormat& format);
  void Reset();

 private:
  const tvq::VideoFormat m_default;
  mutable SRWLOCK m_lock;
  tvq::VideoFormat m_current;
};
