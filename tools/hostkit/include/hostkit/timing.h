// Wall-clock timing for benchmarks that time their own work (manual time),
// for example to set a memcpy of the same size beside it in the same run.
#pragma once

#include <chrono>

namespace hostkit {

// Runs `body` once and returns how long it took, in seconds. The steady
// clock, so a clock adjustment during a run cannot skew a result.
template <class Body>
double Seconds(Body&& body) {
  const auto t0 = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace hostkit
