#include "manager/composition/CanvasFade.h"

#include <cstring>

bool CanvasFade::Start(const CImage& canvas, int durationMs, double nowMs) {
  const CImage& shown = IsRunning() ? m_frame : canvas;
  if (shown.Bitmap() == nullptr || durationMs <= 0 || shown.Width() != canvas.Width() ||
      shown.Height() != canvas.Height()) {
    Stop();
    return false;
  }
  const unsigned char* bytes = shown.LowestAddress();
  m_old.assign(bytes, bytes + shown.BufferBytes());
  if (m_frame.Bitmap() == nullptr &&
      !m_frame.Create(canvas.Width(), canvas.Height(), canvas.BitsPerPixel())) {
    Stop();
    return false;
  }
  m_startMs = nowMs;
  m_durationMs = durationMs;
  return true;
}

void CanvasFade::Stop() {
  std::vector<unsigned char>().swap(m_old);
  m_frame.Destroy();
}

unsigned int CanvasFade::WeightAt(double nowMs) const {
  const double progress = (nowMs - m_startMs) / m_durationMs;
  if (progress <= 0.0) return 0;
  return progress >= 1.0 ? 256 : static_cast<unsigned int>(progress * 256.0);
}

CImage* CanvasFade::Blend(const CImage& canvas, double nowMs) {
  if (!IsRunning()) return nullptr;
  const unsigned int weight = WeightAt(nowMs);
  if (weight >= 256 || canvas.BufferBytes() != m_old.size() ||
      canvas.Pitch() != m_frame.Pitch() || canvas.Width() != m_frame.Width()) {
    Stop();
    return nullptr;
  }
  const unsigned char* now = canvas.LowestAddress();
  const unsigned char* old = m_old.data();
  unsigned char* out = m_frame.LowestAddress();
  const unsigned int keep = 256 - weight;
  for (size_t i = 0, n = m_old.size(); i < n; ++i) {
    out[i] = static_cast<unsigned char>((now[i] * weight + old[i] * keep) >> 8);
  }
  return &m_frame;
}
