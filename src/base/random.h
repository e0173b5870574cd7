// The runtime's random generator and the seeded byte tables built from it.
//
// Grit and per-pixel vary patterns must be reproducible for a seed across
// hosts, so the engine carries its own copy of the classic C runtime
// generator rather than calling rand(): state = state * 214013 + 2531011,
// result = bits 16..30 of the state.
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro {

class RuntimeRandom {
 public:
  void Seed(uint32_t seed) noexcept { state_ = seed; }
  int32_t Next() noexcept {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int32_t>((state_ >> 16) & 0x7FFF);
  }
  uint32_t state() const noexcept { return state_; }

 private:
  uint32_t state_ = 1;  // the runtime's state before any seeding
};

// The generator every seeded pattern draws from, and the seed the host set.
struct RandomState {
  RuntimeRandom generator;
  int32_t seed = 0;
};

// The engine's random state (the engine aggregate owns it).
RandomState& Random() noexcept;

// A byte table of rand() % modulus entries; only the low byte of each
// remainder survives, so with modulus 1000 entries wrap at 256.
struct RandomTable {
  Buffer<uint8_t> data;
  int32_t modulus = 0;
  int32_t seed = 0;
  int32_t length = 0;
};

// Rebuilds `table` from the current seed unless it already matches length,
// modulus and seed. Guarded on its own: a failure records
// "MakeRandArrayByte Excpt" and keeps the record's length, modulus and seed.
void BuildRandomTable(RandomTable& table, int32_t modulus, int32_t length) noexcept;

}  // namespace dro
