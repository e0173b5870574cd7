// Brush state: the grit buffers, the brush tip and the seeded tables.
#pragma once

#include <array>
#include <cstdint>

#include "engine/allocation.h"
#include "engine/random.h"
#include "engine/types.h"

namespace dro::brush {

constexpr int32_t kGritBuffers = 20;
constexpr int32_t kGritMargin = 25;  // each grit buffer is (L + 25)^2 bytes
constexpr int32_t kGritTableLength = 1000000;

struct BrushState {
  std::array<Buffer<uint8_t>, kGritBuffers> grit;
  Buffer<Mask16> tip;                // L x L coverage
  Buffer<uint8_t> shapeSourceCache;  // cached brush-shape source picture

  RandomTable gritDecision;  // rand() % 255
  RandomTable gritLevel;     // rand() % 254
  RandomTable pixColorVary;  // rand() % 1000, 3 x L
  RandomTable pixLumVary;    // rand() % 256, 3 x L
};

}  // namespace dro::brush
