#include "support/fuzz.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace drovine_test {

int64_t ChosenFuzzCase() {
  const char* text = std::getenv("DROVINE_FUZZ_CASE");
  if (!text || !*text) return -1;
  char* end = nullptr;
  const long long n = std::strtoll(text, &end, 10);
  if (*end != '\0' || n < 0) {
    ADD_FAILURE() << "DROVINE_FUZZ_CASE=" << text << " is not a case number";
    return -1;
  }
  return n;
}

CaseRandom::CaseRandom(uint64_t seed, int64_t caseNumber) {
  // splitmix64 of the pair: neighbouring case numbers start far apart, and
  // the state is never 0.
  uint64_t z = seed + static_cast<uint64_t>(caseNumber) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  state_ = z ? z : 1;
}

uint32_t CaseRandom::Next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

uint64_t Checksum(uint64_t sum, const dro::Pixel64* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const dro::Pixel64& p = pixels[i];
    const uint64_t v =
        uint64_t{p.r} | uint64_t{p.g} << 16 | uint64_t{p.b} << 32 | uint64_t{p.a} << 48;
    sum = (sum ^ v) * 0x100000001B3ull + (sum >> 29);
  }
  return sum;
}

}  // namespace drovine_test
