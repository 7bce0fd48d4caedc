#include "manager/composition/TimerInterval.h"

#include <cmath>

namespace tvq {
namespace {

// Ten hours: beyond that a rate is a typing error, not a wish.
constexpr double kLongestIntervalMs = 36000000.0;

bool GivesUsableInterval(double rate) {
  if (!std::isfinite(rate) || rate <= 0.0) return false;
  const double ms = std::trunc(1000.0 / rate);
  return ms >= 1.0 && ms <= kLongestIntervalMs;
}

}  // namespace

unsigned int TimerIntervalMs(double rate, double fallbackRate) {
  if (!GivesUsableInterval(rate)) rate = GivesUsableInterval(fallbackRate) ? fallbackRate : 15.0;
  return static_cast<unsigned int>(std::trunc(1000.0 / rate));
}

}  // namespace tvq
