#pragma once

#include <cstddef>
#include <vector>

#include "manager/composition/SlotLayout.h"

class CImage;

// The memory of the pictures the canvas shows: after each capture the part of the new picture a
// slot shows (inside its trims, widened by the scaler's reach) is compared with the same part as
// the last capture left it, in bands of rows, and the bands that differ are named as rectangles
// of picture pixels. A still desktop then costs a compare instead of a stretch of the whole
// screen. The comparison is exact; only the rectangles are coarse (whole bands high, as wide as
// the widest change in the band).
//
// Threads: the GUI thread only, like the compositor that owns it.
class PictureChanges {
 public:
  enum class Found {
    kNothing,  // every compared byte is as it was
    kParts,    // only the named rectangles changed
    kWhole,    // no memory to compare with (first capture, other size, trims, format)
  };

  // Source pixels a stretch may read around the one it scales from, on every side.
  static constexpr int kReach = 2;
  // Rows compared and named together.
  static constexpr int kBandRows = 16;

  // Compares the picture's from rectangle with the slot's memory and brings the memory up to
  // date. changed receives the changed rectangles (picture pixels) for kParts.
  Found Compare(int slot, const CImage& picture, const tvq::PixelRect& from,
                std::vector<tvq::PixelRect>& changed);
  // The picture was made anew by something other than a capture: the next compare starts over.
  void Forget(int slot);
  void ForgetAll() { m_memories.clear(); }

  // Pixel memory the remembered pictures hold.
  size_t Bytes() const;

 private:
  struct Memory {
    tvq::PixelRect area;  // picture pixels kept
    int pictureWidth = 0;
    int pictureHeight = 0;
    int bitsPerPixel = 0;
    int rowBytes = 0;
    std::vector<unsigned char> bytes;
  };

  static bool Comparable(const Memory& memory, const CImage& picture, const tvq::PixelRect& area);
  static void Remember(Memory& memory, const CImage& picture, const tvq::PixelRect& area);
  // The changed byte span of one row, updating the memory; false when the row is as it was.
  static bool CompareRow(const unsigned char* now, unsigned char* kept, int rowBytes, int& first,
                         int& last);

  std::vector<Memory> m_memories;
};
