#include "manager/composition/PictureChanges.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "manager/capture/CImage.h"

namespace {

// Bytes compared at once when looking for where a changed row differs.
constexpr int kChunkBytes = 64;

// The from rectangle widened by the scaler's reach, inside the picture; empty for a mirrored or
// empty source, which is stretched whole anyway.
tvq::PixelRect ComparedArea(const tvq::PixelRect& from, const CImage& picture) {
  if (from.width <= 0 || from.height <= 0) return tvq::PixelRect{};
  const long long reach = PictureChanges::kReach;
  const long long left = std::max<long long>(0, from.x - reach);
  const long long top = std::max<long long>(0, from.y - reach);
  const long long right = std::min<long long>(picture.Width(), 1LL * from.x + from.width + reach);
  const long long bottom =
      std::min<long long>(picture.Height(), 1LL * from.y + from.height + reach);
  if (left >= right || top >= bottom) return tvq::PixelRect{};
  return tvq::PixelRect{static_cast<int>(left), static_cast<int>(top),
                        static_cast<int>(right - left), static_cast<int>(bottom - top)};
}

bool SameRect(const tvq::PixelRect& a, const tvq::PixelRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

const unsigned char* AreaRow(const CImage& picture, const tvq::PixelRect& area, int row) {
  const int bytesPerPixel = picture.BitsPerPixel() / 8;
  return picture.Bits() + static_cast<ptrdiff_t>(area.y + row) * picture.Pitch() +
         static_cast<ptrdiff_t>(area.x) * bytesPerPixel;
}

}  // namespace

PictureChanges::Found PictureChanges::Compare(int slot, const CImage& picture,
                                              const tvq::PixelRect& from,
                                              std::vector<tvq::PixelRect>& changed) {
  changed.clear();
  if (slot < 0) return Found::kWhole;
  if (slot >= static_cast<int>(m_memories.size())) m_memories.resize(slot + 1);
  Memory& memory = m_memories[slot];
  // The capture's blit may still be queued: the bytes are read straight from memory.
  GdiFlush();
  const tvq::PixelRect area = ComparedArea(from, picture);
  if (!Comparable(memory, picture, area)) {
    Remember(memory, picture, area);
    return Found::kWhole;
  }
  const int bytesPerPixel = memory.bitsPerPixel / 8;
  for (int bandTop = 0; bandTop < area.height; bandTop += kBandRows) {
    const int bandEnd = std::min(area.height, bandTop + kBandRows);
    int first = memory.rowBytes;
    int last = -1;
    for (int row = bandTop; row < bandEnd; ++row) {
      int rowFirst = 0;
      int rowLast = 0;
      unsigned char* kept = memory.bytes.data() + static_cast<size_t>(row) * memory.rowBytes;
      if (!CompareRow(AreaRow(picture, area, row), kept, memory.rowBytes, rowFirst, rowLast)) {
        continue;
      }
      first = std::min(first, rowFirst);
      last = std::max(last, rowLast);
    }
    if (last < 0) continue;
    const int left = area.x + first / bytesPerPixel;
    const int right = area.x + last / bytesPerPixel + 1;
    // A band right under the last changed one widens its rectangle instead of adding one.
    if (!changed.empty() && changed.back().y + changed.back().height == area.y + bandTop) {
      tvq::PixelRect& joined = changed.back();
      const int joinedRight = std::max(joined.x + joined.width, right);
      joined.x = std::min(joined.x, left);
      joined.width = joinedRight - joined.x;
      joined.height += bandEnd - bandTop;
    } else {
      changed.push_back(tvq::PixelRect{left, area.y + bandTop, right - left, bandEnd - bandTop});
    }
  }
  return changed.empty() ? Found::kNothing : Found::kParts;
}

void PictureChanges::Forget(int slot) {
  if (slot >= 0 && slot < static_cast<int>(m_memories.size())) m_memories[slot] = Memory();
}

size_t PictureChanges::Bytes() const {
  size_t bytes = 0;
  for (const Memory& memory : m_memories) bytes += memory.bytes.size();
  return bytes;
}

bool PictureChanges::Comparable(const Memory& memory, const CImage& picture,
                                const tvq::PixelRect& area) {
  return !memory.bytes.empty() && picture.Bits() != nullptr &&
         memory.pictureWidth == picture.Width() && memory.pictureHeight == picture.Height() &&
         memory.bitsPerPixel == picture.BitsPerPixel() && SameRect(memory.area, area);
}

void PictureChanges::Remember(Memory& memory, const CImage& picture, const tvq::PixelRect& area) {
  memory = Memory();
  // Pictures of fewer than 8 bits a pixel are not compared: their slots change whole.
  const int bits = picture.BitsPerPixel();
  if (picture.Bits() == nullptr || bits < 8 || bits % 8 != 0 || area.width <= 0) return;
  memory.area = area;
  memory.pictureWidth = picture.Width();
  memory.pictureHeight = picture.Height();
  memory.bitsPerPixel = bits;
  memory.rowBytes = area.width * (bits / 8);
  memory.bytes.resize(static_cast<size_t>(memory.rowBytes) * area.height);
  for (int row = 0; row < area.height; ++row) {
    std::memcpy(memory.bytes.data() + static_cast<size_t>(row) * memory.rowBytes,
                AreaRow(picture, area, row), memory.rowBytes);
  }
}

// Whole chunks from each end: the span is coarse, but every changed byte lies inside it.
bool PictureChanges::CompareRow(const unsigned char* now, unsigned char* kept, int rowBytes,
                                int& first, int& last) {
  if (std::memcmp(now, kept, rowBytes) == 0) return false;
  first = 0;
  while (first + kChunkBytes < rowBytes &&
         std::memcmp(now + first, kept + first, kChunkBytes) == 0) {
    first += kChunkBytes;
  }
  last = rowBytes;
  while (last - kChunkBytes > first &&
         std::memcmp(now + last - kChunkBytes, kept + last - kChunkBytes, kChunkBytes) == 0) {
    last -= kChunkBytes;
  }
  std::memcpy(kept + first, now + first, last - first);
  last -= 1;
  return true;
}
