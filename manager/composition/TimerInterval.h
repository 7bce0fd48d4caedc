#pragma once

namespace tvq {

// Timer interval in milliseconds for a rate per second: 1000 / rate, truncated toward zero.
// A rate that gives no usable interval (0, negative, NaN, infinite, or so large that the interval
// would be 0) is replaced by fallbackRate, so the result is always at least 1 ms.
unsigned int TimerIntervalMs(double rate, double fallbackRate);

}  // namespace tvq
