#include "base/allocation.h"

#include <cstdlib>

namespace dro {
namespace {

int64_t g_failAfter = -1;  // successes still allowed before a forced failure
uint64_t g_allocations = 0;

}  // namespace

void* AllocateBytes(size_t bytes) {
  if (g_failAfter == 0) {
    g_failAfter = -1;
    throw std::bad_alloc();
  }
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) throw std::bad_alloc();
  if (g_failAfter > 0) --g_failAfter;
  ++g_allocations;
  return block;
}

void FreeBytes(void* block) noexcept {
  std::free(block);
}

void FailAllocationAfter(int64_t successes) noexcept {
  g_failAfter = successes < 0 ? -1 : successes;
}

uint64_t AllocationCount() noexcept {
  return g_allocations;
}

size_t CheckedCount(int64_t a, int64_t b, int64_t limit) {
  if (a < 0 || b < 0) throw std::bad_alloc();
  if (a != 0 && b > limit / a) throw std::bad_alloc();
  return static_cast<size_t>(a * b);
}

}  // namespace dro
