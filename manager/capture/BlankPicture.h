#pragma once

class CImage;

namespace tvq {

// Pixels between two sampled ones, across and down. A picture that differs from one colour only
// in a part smaller than this may be taken for blank; what matters is a window copied all black.
inline constexpr int kBlankSampleStep = 8;

// True when the picture shows one colour all over, as a copy of a window drawn by the GPU does
// (black on Windows 10 and 11). Looks at every kBlankSampleStep-th pixel of every
// kBlankSampleStep-th row, the last row and column included, and stops at the first pixel that
// differs, so a picture with content costs a few reads. False for a picture without pixels or
// of other than 24 bits.
bool IsOneColour(const CImage& picture);

}  // namespace tvq
