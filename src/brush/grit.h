// Grit: the 20 grain patterns a stroke cycles through.
//
// A pattern covers the (S + 25) square of its buffer, rows at stride L; each
// byte is a grain level, or 255 where the pixel has no grain.
#pragma once

#include <cstdint>

namespace dro::brush {

// Random grain cells of the current grit cell size, drawn from the grit
// decision and level tables with the engine's generator. Does nothing (and
// returns false) for a cell size of 0 or less, or without a canvas.
bool MakeRandomGrit() noexcept;

// Grain taken from a picture: an effect script that renders one, or else an
// image file. Each buffer gets a random window of the picture in grey. Returns
// false, leaving the buffers as they were, when the path is neither, or the
// picture is too small for a window of S + 25 pixels.
bool MakeGritFromSource(const char* path);

}  // namespace dro::brush
