// Allocation sweeps: an operation run once for every allocation it makes,
// with that allocation failing, until a run meets no injected failure.
#pragma once

#include <cstdint>
#include <functional>

namespace drovine_test {

struct SweepOptions {
  // The last-error text every failed run must leave; nullptr for an
  // operation that reports its failures another way (its own checks then
  // say how).
  const char* errorText = nullptr;
  // Allocations to fail in a row once failing starts
  // (dro::kEveryAllocation: every one until the run ends), so retries that
  // allocate again meet a failure too.
  int64_t failuresInARow = 1;
};

// Run n (n = 0, 1, 2, ...) lets n allocations succeed and fails the next;
// the sweep stops at the first run in which no failure was injected, which
// is the operation running normally. Before each run the last error is
// cleared. After each failed run, with failure injection off, the last
// error is checked and then `afterFailure(n)`, where the test checks what
// the failure left behind and that the engine is still usable. Returns the
// number of failed runs, which is the number of allocations the operation
// makes; an operation that allocates nothing fails the test, as the sweep
// would prove nothing.
int64_t SweepAllocationFailures(const SweepOptions& options, const std::function<void()>& run,
                                const std::function<void(int64_t n)>& afterFailure = {});

}  // namespace drovine_test
