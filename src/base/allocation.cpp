#include "base/allocation.h"

#include <cstdlib>

namespace dro {
namespace {

int64_t g_successesLeft = -1;  // successes still allowed before failing starts; -1: off
int64_t g_failuresLeft = 0;    // failures still to inject once started; negative: no end
uint64_t g_allocations = 0;
uint64_t g_injected = 0;

}  // namespace

void* AllocateBytes(size_t bytes) {
  if (g_successesLeft == 0) {
    ++g_injected;
    if (g_failuresLeft > 0 && --g_failuresLeft == 0) g_successesLeft = -1;
    throw std::bad_alloc();
  }
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) throw std::bad_alloc();
  if (g_successesLeft > 0) --g_successesLeft;
  ++g_allocations;
  return block;
}

void* ReallocateBytes(void* block, size_t bytes) noexcept {
  if (g_successesLeft == 0) {
    ++g_injected;
    if (g_failuresLeft > 0 && --g_failuresLeft == 0) g_successesLeft = -1;
    return nullptr;
  }
  void* resized = std::realloc(block, bytes);
  if (!resized) return nullptr;
  if (g_successesLeft > 0) --g_successesLeft;
  ++g_allocations;
  return resized;
}

void FreeBytes(void* block) noexcept {
  std::free(block);
}

void FailAllocationsAfter(int64_t successes, int64_t count) noexcept {
  const bool off = successes < 0 || count == 0;
  g_successesLeft = off ? -1 : successes;
  g_failuresLeft = off ? 0 : (count < 0 ? kEveryAllocation : count);
}

void FailAllocationAfter(int64_t successes) noexcept {
  FailAllocationsAfter(successes, 1);
}

uint64_t AllocationCount() noexcept {
  return g_allocations;
}

uint64_t InjectedAllocationFailures() noexcept {
  return g_injected;
}

size_t CheckedCount(int64_t a, int64_t b, int64_t limit) {
  if (a < 0 || b < 0) throw std::bad_alloc();
  if (a != 0 && b > limit / a) throw std::bad_alloc();
  return static_cast<size_t>(a * b);
}

size_t CheckedGridCount(int64_t width, int64_t height, int64_t perPixel, int64_t limit) {
  if (perPixel <= 0) throw std::bad_alloc();
  const int64_t sideLimit = limit / perPixel;
  if (width < 0 || height < 0 || width > sideLimit || height > sideLimit) throw std::bad_alloc();
  return CheckedCount(width, height, sideLimit);
}

}  // namespace dro
