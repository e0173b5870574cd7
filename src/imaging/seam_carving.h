// Content-aware change of a picture's width: seam carving.
//
// A seam is a path of one pixel per row, from the top row to the bottom,
// moving at most one column between neighbouring rows. Narrowing removes,
// one at a time, the seam of least total energy; widening finds the seams
// that narrowing would remove first and doubles each of them (the inserted
// pixel is the mean of the seam pixel and its right neighbour), in rounds
// of at most half the current width so no seam is stretched twice in one
// round.
//
// Energy of a pixel: the sum of the absolute central differences, across
// and down, of an 8-bit value that sees colour and coverage alike
// v = (luma x alpha / 65535 + alpha) / 512, luma = (77 R + 150 G + 29 B) / 256.
// A guide (one Mask16 per pixel, 65535 open) adds
// (65535 - m) x 3 / 2 to the energy of each pixel, so no seam crosses a
// closed pixel while a path through open ones exists.
//
// Only the width is carved. The result has the new height: the first
// min(height, new height) rows of the carved picture, the rest zero.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::imaging {

// Carves the tight width x height `src` into the tight newWidth x newHeight
// `dst`. `guide` may be null. All scratch is allocated before `dst` is
// touched; a failed allocation throws std::bad_alloc.
void SeamCarve(const Pixel64* src, int32_t width, int32_t height, const Mask16* guide, Pixel64* dst,
               int32_t newWidth, int32_t newHeight);

}  // namespace dro::imaging
