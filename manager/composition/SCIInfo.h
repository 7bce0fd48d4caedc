#pragma once

#include <cstdint>

// A slot's placement on the canvas. The field names are also the keys of the per-kind settings
// files. Positions and sizes are fractions of the canvas; trims are pixels of the source picture.
struct SCIInfo {
  double Pos_x = 0.0;
  double Pos_y = 0.0;
  double Width = 1.0;
  double Height = 1.0;
  std::int32_t TrimLeft = 0;
  std::int32_t TrimTop = 0;
  std::int32_t TrimRight = 0;
  std::int32_t TrimBottom = 0;
  double CapturePerSecond = 0.0;
};
