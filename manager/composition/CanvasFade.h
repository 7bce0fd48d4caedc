#pragma once

#include <cstddef>
#include <vector>

#include "manager/capture/CImage.h"

// A fade from the last picture a client saw to the new scene's: the picture as it stood at the
// switch is kept, and every tick of the fade publishes a blend of it with the canvas as composed
// now, the new canvas weighing more with every tick until it stands alone. Nothing is held
// outside a fade: both copies are made when it starts and freed when it ends.
//
// Threads: the GUI thread only, like the compositor that owns it.
class CanvasFade {
 public:
  // Keeps the picture shown now: the canvas, or the blend published last when a fade runs. False
  // (and no fade) when there is no canvas or no memory.
  bool Start(const CImage& canvas, int durationMs, double nowMs);
  void Stop();
  bool IsRunning() const { return !m_old.empty(); }
  // The fade's time starts again from nowMs (the new scene's first drawing).
  void Restart(double nowMs) { m_startMs = nowMs; }

  // The frame to publish at nowMs; null once the fade is over (it then stops) or when the canvas
  // changed its size meanwhile (the fade stops too).
  CImage* Blend(const CImage& canvas, double nowMs);
  // The new canvas's share of the blend at nowMs, out of 256.
  unsigned int WeightAt(double nowMs) const;

  size_t Bytes() const { return m_old.size() + m_frame.BufferBytes(); }

 private:
  std::vector<unsigned char> m_old;
  CImage m_frame;
  double m_startMs = 0.0;
  int m_durationMs = 0;
};
