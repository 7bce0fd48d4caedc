#pragma once

#include <windows.h>

// The Manager's picture: a device-independent section bitmap whose pixels the program reads and
// writes directly, plus a memory drawing context lent out for blits. Contexts are recycled
// through a small process-wide cache.
//
// Threads: one picture is used by one thread at a time (the GUI thread); only the context cache is
// shared, and its entries are exchanged atomically.
class CImage {
 public:
  CImage();
  virtual ~CImage();

  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;
  // Moving hands the bitmap (and a lent context) over; the source is left empty. Arrays of
  // source objects move their elements when they grow.
  CImage(CImage&& other) noexcept;
  CImage& operator=(CImage&& other) noexcept;

  // Makes the DIB section; a negative height gives a top-down picture. The picture must be empty.
  bool Create(int width, int height, int bitsPerPixel);
  void Destroy();

  // Borrow/return are balanced pairs; borrowing twice gives the same context.
  HDC BorrowDC();
  void ReturnDC();

  BOOL Draw(HDC destination, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh);

  HBITMAP Bitmap() const { return m_bitmap; }
  // First byte of the top row on screen.
  BYTE* Bits() const { return m_bits; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Bytes from one screen row to the next; negative for a bottom-up picture.
  int Pitch() const { return m_pitch; }
  int BitsPerPixel() const { return m_bitsPerPixel; }
  bool IsDibSection() const { return m_isDibSection; }

  // The whole pixel buffer: |pitch| x height bytes from its lowest address.
  BYTE* LowestAddress() const;
  size_t BufferBytes() const;

  // Bytes per row for a width and bit count, rows padded to 4 bytes.
  static int RowBytes(int width, int bitsPerPixel);

  static constexpr int kCacheSize = 4;
  // The cached contexts, for tests that check the recycling.
  static HDC CachedDC(int index);

 private:
  void FillFromSection();
  void TakeFrom(CImage& other);

  HBITMAP m_bitmap;
  BYTE* m_bits;
  int m_width;
  int m_height;
  int m_pitch;
  int m_bitsPerPixel;
  bool m_isDibSection;
  HDC m_lentDC;
  int m_lendCount;
  HGDIOBJ m_previousObject;
};
