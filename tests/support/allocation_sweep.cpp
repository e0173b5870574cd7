#include "support/allocation_sweep.h"

#include <gtest/gtest.h>

#include "base/allocation.h"
#include "drovine.h"

namespace drovine_test {
namespace {

// Far beyond any operation the tests sweep; reaching it means the
// operation keeps allocating without end.
constexpr int64_t kMostAllocations = 100000;

}  // namespace

int64_t SweepAllocationFailures(const SweepOptions& options, const std::function<void()>& run,
                                const std::function<void(int64_t n)>& afterFailure) {
  for (int64_t n = 0; n < kMostAllocations; ++n) {
    SCOPED_TRACE(::testing::Message() << "allocation " << n << " failing");
    DRO_SetLastError("");
    const uint64_t injectedBefore = dro::InjectedAllocationFailures();
    dro::FailAllocationsAfter(n, options.failuresInARow);
    run();
    dro::FailAllocationAfter(-1);
    if (dro::InjectedAllocationFailures() == injectedBefore) {
      EXPECT_GT(n, 0) << "the operation made no allocation to fail";
      return n;
    }
    if (options.errorText) {
      EXPECT_STREQ(DRO_GetLastError(), options.errorText);
    }
    if (afterFailure) afterFailure(n);
    if (::testing::Test::HasFatalFailure()) return n;
  }
  ADD_FAILURE() << "the operation made more than " << kMostAllocations << " allocations";
  return kMostAllocations;
}

}  // namespace drovine_test
