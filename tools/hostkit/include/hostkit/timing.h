// Wall-clock timing for benchmarks that time their own work (manual time),
// for example to set a memcpy of the same size beside it in the same run.
#pragma once

#include <time.h>

#include <algorithm>
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

// This thread's CPU time in seconds: what a busy machine disturbs less than
// the wall clock.
inline double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The best wall-clock and thread-CPU times seen so far of a piece of work
// and of the baseline it is set beside in the same run.
struct BestTimes {
  double work = 1e9, baseline = 1e9, workCpu = 1e9, baselineCpu = 1e9;

  // Times `work`, then `baseline`, once each; returns the wall time of
  // `work` (for a benchmark's manual iteration time).
  template <class Work, class Baseline>
  double Run(Work&& runWork, Baseline&& runBaseline) {
    double cpu = ThreadSeconds();
    const double s = Seconds(runWork);
    workCpu = std::min(workCpu, ThreadSeconds() - cpu);
    work = std::min(work, s);
    cpu = ThreadSeconds();
    baseline = std::min(baseline, Seconds(runBaseline));
    baselineCpu = std::min(baselineCpu, ThreadSeconds() - cpu);
    return s;
  }
};

}  // namespace hostkit
