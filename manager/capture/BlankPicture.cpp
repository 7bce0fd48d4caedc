#include "manager/capture/BlankPicture.h"

#include <windows.h>

#include <cstring>

#include "manager/capture/CImage.h"

namespace tvq {
namespace {

constexpr int kBytesPerPixel = 3;

// The sampled positions along one axis: every step-th, then the last.
template <typename Visit>
bool EverySampled(int count, Visit visit) {
  for (int i = 0; i < count; i += kBlankSampleStep) {
    if (!visit(i)) return false;
  }
  return visit(count - 1);
}

}  // namespace

bool IsOneColour(const CImage& picture) {
  if (picture.Bits() == nullptr || picture.BitsPerPixel() != 24) return false;
  if (picture.Width() <= 0 || picture.Height() <= 0) return false;
  // GDI may still hold a blit into the section in its batch.
  GdiFlush();
  const BYTE* first = picture.Bits();
  return EverySampled(picture.Height(), [&](int y) {
    const BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    return EverySampled(picture.Width(), [&](int x) {
      return std::memcmp(row + static_cast<ptrdiff_t>(x) * kBytesPerPixel, first,
                         kBytesPerPixel) == 0;
    });
  });
}

}  // namespace tvq
