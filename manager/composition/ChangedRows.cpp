#include "manager/composition/ChangedRows.h"

#include <algorithm>

#include "channel/CSharedMemory.h"
#include "manager/capture/CImage.h"

void ChangedRows::Add(const std::vector<RECT>& areas, int canvasHeight) {
  for (const RECT& area : areas) {
    const int top = std::max<int>(0, area.top);
    const int bottom = std::min<int>(canvasHeight, area.bottom);
    if (top >= bottom) continue;
    if (m_top >= m_bottom) {
      m_top = top;
      m_bottom = bottom;
    } else {
      m_top = std::min(m_top, top);
      m_bottom = std::max(m_bottom, bottom);
    }
  }
}

bool ChangedRows::Publish(const CImage& canvas, CSharedMemory& pixels, DWORD waitMs,
                          bool withBottomRow) {
  const int height = canvas.Height();
  const int pitch = canvas.Pitch() < 0 ? -canvas.Pitch() : canvas.Pitch();
  // Rows in memory order: a bottom-up canvas keeps its top row last.
  int first = 0;
  int last = height;
  if (!m_whole) {
    if (m_top >= m_bottom && !withBottomRow) return true;
    first = canvas.Pitch() < 0 ? height - m_bottom : m_top;
    last = canvas.Pitch() < 0 ? height - m_top : m_bottom;
    if (m_top >= m_bottom) first = last = 0;
    if (withBottomRow) {
      first = 0;
      last = std::max(last, 1);
    }
  }
  const BYTE* start = canvas.LowestAddress() + static_cast<size_t>(first) * pitch;
  if (!pixels.WriteAt(first * pitch, start, (last - first) * pitch, waitMs)) return false;
  Clear();
  return true;
}

void ChangedRows::Clear() {
  m_whole = false;
  m_top = 0;
  m_bottom = 0;
}
