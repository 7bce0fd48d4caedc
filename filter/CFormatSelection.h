#pragma once

#include <windows.h>

#include "filter/VideoFormat.h"

// The output pin's default format (fixed at construction, the upper bound of every choice), its
// current format (what is published and paced now) and its offered format (the latest accepted
// choice, which the pin offers to clients).
//
// The two differ only while the pin streams: samples keep the connection's picture until the
// next stop, so a choice made then is only kept, and takes effect at the stop.
//
// Threads: SetFormat and Inactive write on client threads while the worker thread reads the
// current format for every sample; a lock of its own, held only to copy the values, keeps the
// header and the 64-bit interval together on every target.
class CFormatSelection {
 public:
  explicit CFormatSelection(const tvq::VideoFormat& defaults);

  CFormatSelection(const CFormatSelection&) = delete;
  CFormatSelection& operator=(const CFormatSelection&) = delete;

  const tvq::VideoFormat& Default() const { return m_default; }
  tvq::VideoFormat Current() const;
  tvq::VideoFormat Offered() const;
  // A choice that takes effect at once.
  void Select(const tvq::VideoFormat& format);
  // A choice made while streaming: offered now, current from the next Reset on.
  void Keep(const tvq::VideoFormat& format);
  // At a stop: a kept choice takes effect, otherwise everything returns to the default.
  void Reset();

 private:
  const tvq::VideoFormat m_default;
  mutable SRWLOCK m_lock;
  tvq::VideoFormat m_current;
  tvq::VideoFormat m_offered;
  bool m_kept = false;
};
