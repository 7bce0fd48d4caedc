#include "manager/capture/CImage.h"

#include <cstdlib>
#include <memory>

#include "common/Lifetime.h"

namespace {

// Process-wide cache of memory drawing contexts. Entries are taken and filled with an atomic
// exchange, so two pictures on two threads never get the same context.
class DCCache {
 public:
  ~DCCache() {
    for (auto& entry : m_entries) {
      HDC dc = static_cast<HDC>(InterlockedExchangePointer(&entry, nullptr));
      if (dc != nullptr) DeleteDC(dc);
    }
  }

  HDC Take() {
    for (auto& entry : m_entries) {
      HDC dc = static_cast<HDC>(InterlockedExchangePointer(&entry, nullptr));
      if (dc != nullptr) return dc;
    }
    return nullptr;
  }

  // Puts dc into the first free entry; returns the context left over when all were taken.
  HDC Offer(HDC dc) {
    for (auto& entry : m_entries) {
      dc = static_cast<HDC>(InterlockedExchangePointer(&entry, dc));
      if (dc == nullptr) return nullptr;
    }
    return dc;
  }

  HDC Peek(int index) const { return static_cast<HDC>(m_entries[index]); }

 private:
  void* m_entries[CImage::kCacheSize] = {};
};

DCCache& Cache() {
  static DCCache cache;
  return cache;
}

// BITMAPINFO with room for the 256 colour entries of a palette picture.
struct PaletteBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

}  // namespace

CImage::CImage()
    : m_bitmap(nullptr),
      m_bits(nullptr),
      m_width(0),
      m_height(0),
      m_pitch(0),
      m_bitsPerPixel(0),
      m_isDibSection(false),
      m_lentDC(nullptr),
      m_lendCount(0),
      m_previousObject(nullptr) {}

CImage::~CImage() { Destroy(); }

CImage::CImage(CImage&& other) noexcept : CImage() { TakeFrom(other); }

CImage& CImage::operator=(CImage&& other) noexcept {
  if (this != &other) {
    Destroy();
    TakeFrom(other);
  }
  return *this;
}

void CImage::TakeFrom(CImage& other) {
  m_bitmap = other.m_bitmap;
  m_bits = other.m_bits;
  m_width = other.m_width;
  m_height = other.m_height;
  m_pitch = other.m_pitch;
  m_bitsPerPixel = other.m_bitsPerPixel;
  m_isDibSection = other.m_isDibSection;
  m_lentDC = other.m_lentDC;
  m_lendCount = other.m_lendCount;
  m_previousObject = other.m_previousObject;
  other.m_bitmap = nullptr;
  other.m_bits = nullptr;
  other.m_width = other.m_height = other.m_pitch = other.m_bitsPerPixel = 0;
  other.m_isDibSection = false;
  other.m_lentDC = nullptr;
  other.m_lendCount = 0;
  other.m_previousObject = nullptr;
}

int CImage::RowBytes(int width, int bitsPerPixel) {
  return ((width * bitsPerPixel + 31) / 32) * 4;
}

bool CImage::Create(int width, int height, int bitsPerPixel) {
  auto info = std::make_unique<PaletteBitmapInfo>();
  ZeroMemory(info.get(), sizeof(PaletteBitmapInfo));
  info->header.biSize = sizeof(BITMAPINFOHEADER);
  info->header.biWidth = width;
  info->header.biHeight = height;
  info->header.biPlanes = 1;
  info->header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info->header.biCompression = BI_RGB;

  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.get()),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return false;
  m_bitmap = bitmap;
  m_bits = static_cast<BYTE*>(bits);
  FillFromSection();
  if (height >= 0 && m_isDibSection) {
    // Bottom-up: the top row on screen is the last row in memory.
    m_bits = m_bits + static_cast<ptrdiff_t>(m_height - 1) * m_pitch;
    m_pitch = -m_pitch;
  }
  return true;
}

void CImage::FillFromSection() {
  DIBSECTION section{};
  if (GetObjectW(m_bitmap, sizeof(section), &section) == sizeof(section)) {
    m_width = section.dsBmih.biWidth;
    m_height = std::abs(section.dsBmih.biHeight);
    m_bitsPerPixel = section.dsBmih.biBitCount;
    m_pitch = RowBytes(m_width, m_bitsPerPixel);
    m_bits = static_cast<BYTE*>(section.dsBm.bmBits);
    m_isDibSection = true;
    return;
  }
  BITMAP plain{};
  GetObjectW(m_bitmap, sizeof(plain), &plain);
  m_width = plain.bmWidth;
  m_height = plain.bmHeight;
  m_bitsPerPixel = plain.bmBitsPixel;
  m_pitch = 0;
  m_bits = nullptr;
  m_isDibSection = false;
}

void CImage::Destroy() {
  if (m_bitmap == nullptr) return;
  HBITMAP bitmap = m_bitmap;
  m_bitmap = nullptr;
  m_bits = nullptr;
  m_width = 0;
  m_height = 0;
  m_pitch = 0;
  m_bitsPerPixel = 0;
  m_isDibSection = false;
  DeleteObject(bitmap);
}

HDC CImage::BorrowDC() {
  ++m_lendCount;
  if (m_lentDC == nullptr) {
    HDC dc = Cache().Take();
    if (dc == nullptr) dc = CreateCompatibleDC(nullptr);
    m_previousObject = SelectObject(dc, m_bitmap);
    m_lentDC = dc;
  }
  return m_lentDC;
}

void CImage::ReturnDC() {
  if (--m_lendCount > 0) return;
  m_lendCount = 0;  // an unbalanced return must not leave the count below zero
  if (m_lentDC == nullptr) return;
  SelectObject(m_lentDC, m_previousObject);
  // A full cache hands back one context, which nothing keeps.
  const tvq::UniqueMemoryDC surplus(Cache().Offer(m_lentDC));
  m_lentDC = nullptr;
}

BOOL CImage::Draw(HDC destination, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                  int sh) {
  HDC source = BorrowDC();
  const BOOL result = StretchBlt(destination, dx, dy, dw, dh, source, sx, sy, sw, sh, SRCCOPY);
  ReturnDC();
  return result;
}

BYTE* CImage::LowestAddress() const {
  if (m_bits == nullptr) return nullptr;
  return m_pitch < 0 ? m_bits + static_cast<ptrdiff_t>(m_height - 1) * m_pitch : m_bits;
}

size_t CImage::BufferBytes() const {
  return static_cast<size_t>(m_pitch < 0 ? -m_pitch : m_pitch) * static_cast<size_t>(m_height);
}

HDC CImage::CachedDC(int index) { return Cache().Peek(index); }
