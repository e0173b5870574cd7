// The view setters: what part of the canvas the host's window shows, at
// which zoom, and what the display adds (the trace layer, the mask overlay).
// They store values for the compositor and change no pixels.
#pragma once

#include <cstdint>

namespace dro::composite {

void SetTracingMode(uint8_t flag) noexcept;
void DisplayMask(uint8_t flag) noexcept;
// A zoom that is not positive on both sides is refused (the compositor
// divides by both).
void SetScale(int32_t numerator, int32_t denominator) noexcept;
void SetOffset(int32_t x, int32_t y) noexcept;
void SetViewSize(int32_t width, int32_t height) noexcept;

}  // namespace dro::composite
