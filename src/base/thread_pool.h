// Worker threads that whole-canvas loops split their rows over.
//
// The pool is made once (when the first canvas is created, or when the host
// sets the count) and reused by every call: splitting work allocates
// nothing. Work is cut into bands of whole rows that do not depend on each
// other, so results are the same for any number of threads. The calling
// thread takes a band itself and returns when every band is done. The
// engine is driven from one thread at a time, so one split runs at a time;
// a band that splits again runs its work on its own thread.
//
// The count defaults to the machine's hardware threads, or
// DROVINE_THREADS when set (1 keeps all work on the calling thread).
#pragma once

#include <cstdint>
#include <utility>

namespace dro::threads {

inline constexpr int32_t kMostThreads = 64;

// Sets the number of threads (1..kMostThreads, the calling one included);
// 0 or less restores the default. Returns the count in effect, which is
// lower when the system would not start more threads.
int32_t SetThreadCount(int32_t count) noexcept;
// The count in effect (the pool is made here if it was not yet).
int32_t ThreadCount() noexcept;
// Makes the pool at the default count unless it exists.
void EnsurePool() noexcept;

using BandBody = void (*)(void* context, int64_t begin, int64_t end) noexcept;

// Runs body over [0, count) in bands of at least `leastPerBand` items, one
// band per thread at most.
void ForBands(int64_t count, int64_t leastPerBand, BandBody body, void* context) noexcept;

template <class Body>
void ForBands(int64_t count, int64_t leastPerBand, Body&& body) noexcept {
  auto call = [](void* context, int64_t begin, int64_t end) noexcept {
    (*static_cast<std::remove_reference_t<Body>*>(context))(begin, end);
  };
  ForBands(count, leastPerBand, call, &body);
}

// Below this many pixels a loop is not worth waking other threads for.
inline constexpr int64_t kLeastPixelsPerBand = 32768;

// Runs body(i) for every i in [0, n) of a loop over independent pixels,
// split into bands of whole pixels: body(begin, end).
template <class Body>
void ForPixels(int64_t n, Body&& body) noexcept {
  ForBands(n, kLeastPixelsPerBand, std::forward<Body>(body));
}

// Runs body(y) for every row y in [first, end) of a loop whose rows of
// rowPixels pixels each do not depend on each other.
template <class Body>
void ForEachRow(int32_t first, int32_t end, int64_t rowPixels, Body&& body) noexcept {
  const int64_t rows = int64_t{end} - first;
  if (rows <= 0) return;
  const int64_t least = rowPixels > 0 ? (kLeastPixelsPerBand + rowPixels - 1) / rowPixels : rows;
  ForBands(rows, least, [&](int64_t begin, int64_t stop) noexcept {
    for (int64_t i = begin; i < stop; ++i) body(static_cast<int32_t>(first + i));
  });
}

}  // namespace dro::threads
