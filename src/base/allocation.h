// The one allocation routine behind every engine buffer, and the RAII buffer
// that owns such a block.
//
// Every buffer the engine makes comes from AllocateBytes(), so that a test can
// make the Nth allocation fail and check that each guarded operation reports
// its failure and leaves the engine usable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

namespace dro {

// Returns a block of at least one byte; throws std::bad_alloc when the heap
// refuses or a test asked this allocation to fail.
void* AllocateBytes(size_t bytes);
void FreeBytes(void* block) noexcept;
// Resizes a block from AllocateBytes (or makes one from null) for an
// allocator that reports failure by a null result, as C libraries expect:
// null, with the block untouched, when the heap refuses or a test asked
// this allocation to fail. `bytes` must not be 0.
void* ReallocateBytes(void* block, size_t bytes) noexcept;

// Test hook: once `successes` more allocations have succeeded (0: at once),
// the next `count` allocations fail, or every one from then on for
// kEveryAllocation; after that, allocations succeed again. A negative
// `successes` (or a `count` of 0) turns failure injection off.
constexpr int64_t kEveryAllocation = -1;
void FailAllocationsAfter(int64_t successes, int64_t count) noexcept;
// One failure: FailAllocationsAfter(successes, 1).
void FailAllocationAfter(int64_t successes) noexcept;
// Number of successful allocations since load.
uint64_t AllocationCount() noexcept;
// Number of allocations the test hook has made fail since load, so a test
// can tell whether an operation met an injected failure at all.
uint64_t InjectedAllocationFailures() noexcept;

// a * b as an element count, refusing results that do not fit `limit`.
// Buffers are addressed with 32-bit indices throughout the engine, so every
// element count must stay within int32.
size_t CheckedCount(int64_t a, int64_t b, int64_t limit = std::numeric_limits<int32_t>::max());

// Pixel count of a width x height grid holding `perPixel` elements a pixel,
// refusing (std::bad_alloc) negative sizes and any grid whose row, column or
// whole cannot be indexed within `limit` elements. Each side is checked on
// its own, whatever the other: a grid 2^31 - 1 wide and 0 high holds no
// pixel, but its row stride still overflows.
size_t CheckedGridCount(int64_t width, int64_t height, int64_t perPixel,
                        int64_t limit = std::numeric_limits<int32_t>::max());

// An owned array of trivially copyable elements. Present (non-null) or
// absent; its contents are undefined after Make() unless filled.
template <class T>
class Buffer {
  static_assert(std::is_trivially_copyable_v<T>, "buffers hold plain pixel data");

 public:
  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  Buffer(Buffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      Reset();
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~Buffer() { Reset(); }

  // A new buffer of `count` elements, contents undefined.
  static Buffer Make(size_t count) {
    if (count > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_alloc();
    Buffer b;
    b.data_ = static_cast<T*>(AllocateBytes(count * sizeof(T)));
    b.count_ = count;
    return b;
  }
  // A new buffer with every byte set to `byte`.
  static Buffer MakeBytes(size_t count, uint8_t byte) {
    Buffer b = Make(count);
    std::memset(static_cast<void*>(b.data_), byte, count * sizeof(T));
    return b;
  }

  void Reset() noexcept {
    FreeBytes(data_);
    data_ = nullptr;
    count_ = 0;
  }
  void FillBytes(uint8_t byte) noexcept {
    if (data_) std::memset(static_cast<void*>(data_), byte, count_ * sizeof(T));
  }

  bool present() const noexcept { return data_ != nullptr; }
  explicit operator bool() const noexcept { return present(); }
  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  size_t size() const noexcept { return count_; }
  size_t bytes() const noexcept { return count_ * sizeof(T); }
  T& operator[](size_t i) noexcept { return data_[i]; }
  const T& operator[](size_t i) const noexcept { return data_[i]; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + count_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + count_; }

 private:
  T* data_ = nullptr;
  size_t count_ = 0;
};

}  // namespace dro
