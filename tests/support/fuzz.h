// What the seeded fuzz tests share: the choice of one case to rerun and the
// checksum they pin.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/types.h"

namespace drovine_test {

// The case named by DROVINE_FUZZ_CASE=<n>, or -1 when every case runs.
// A value that is not a case number fails the calling test.
int64_t ChosenFuzzCase();

// A case's own random numbers: xorshift64* seeded from the fuzzer's seed
// and the case number, so any case can run alone.
class CaseRandom {
 public:
  CaseRandom(uint64_t seed, int64_t caseNumber);
  uint32_t Next();
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint64_t state_;
};

// Folds pixels into a running checksum (an FNV-style multiply-xor over the
// four channels).
constexpr uint64_t kChecksumStart = 0xCBF29CE484222325ull;
uint64_t Checksum(uint64_t sum, const dro::Pixel64* pixels, size_t count);

}  // namespace drovine_test
