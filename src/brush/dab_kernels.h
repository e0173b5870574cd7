// Instruction-set fast paths of the dab renderer. Declarations only: the
// kernels are built with their own flags and called after a CPU check.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::brush {

// The plain dab's composite (mix mode kPaint, the dab colour as the source,
// nothing locked) for the first n - n % 8 pixels of a row: cover[i] is
// pixel i's coverage V (0: not painted) and colour the source (red, green,
// blue, alpha). Returns how many pixels it went through (0 without AVX2);
// the caller paints the rest.
int32_t PlainRowAvx2(const uint32_t* cover, Pixel64* line, int32_t n,
                     const uint32_t color[4]) noexcept;

}  // namespace dro::brush
