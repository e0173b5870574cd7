// The engine's stroke: what a painting host does between pen down and pen
// up, done once here so that every host paints the same way.
//
// A stroke is a begin, a point per pen sample and an end:
//
//   StrokeBegin(slot)      makes the slot current (refreshing the undo
//                          store's back buffer), then opens the paint layer
//                          with the options' opacity and blend mode, or
//                          removes it when the options paint straight into
//                          the layer.
//   StrokeTo(x, y, p, t)   the first point paints one dab; every later point
//                          paints dabs along the straight path from the
//                          previous point, one every `spacing` x the dab's
//                          side (at least 1 pixel), carrying what is left
//                          over to the next segment so the spacing stays
//                          even across points.
//   StrokeEnd()            merges the paint layer into the slot and commits
//                          the change to the undo store (one undo step per
//                          stroke; a stroke that painted no dab commits
//                          nothing).
//
// Pressure curves (p clamped to minPressure..1 first; NaN counts as
// minPressure), S the brush size of DRO_SetSize:
//
//   dab side   = max(1, round(S x p))          when the size curve is on, else S
//   paint alpha = clamp(trunc(p x 100), 1, 100) when the opacity curve is on,
//                 else the host's DRO_SetAlpha stays
//
// A dab at (x, y) is centred on pixel (floor(x + 0.5), floor(y + 0.5)),
// picks up the layer under it first when the pick-up weight is >= 0, and
// is painted with the current colour (DRO_SetColor) and every brush setting
// as they stand. A dab wholly off the canvas is skipped (it would paint
// nothing). The dirty rectangles are clipped to the canvas.
#pragma once

#include <cstdint>

#include "history/stroke_state.h"

namespace dro::history {

// Bits of the pressure-curve argument.
constexpr int32_t kPressureSize = 1;
constexpr int32_t kPressureOpacity = 2;

// Coordinates beyond this distance from the canvas origin are refused: a
// segment is walked dab by dab, and a bound on its length bounds the call.
constexpr double kMaxStrokeCoordinate = 1000000.0;

// Sets the options; 1 when all were taken, 0 (nothing changed) when one is
// out of range: spacing 0.01..100, minimum pressure 0..1, curve bits 0..3,
// paint opacity 0..100, a mode name shorter than 50 characters (null is
// "Normal").
int32_t SetStrokeOptions(double spacing, double minPressure, int32_t pressureCurves,
                         int32_t pickupWeight, bool paintLayer, int32_t paintOpacity,
                         const char* paintMode) noexcept;

// 1 when the stroke began; 0 without a canvas, for a slot outside 0..63,
// without pixels or not canvas-sized, or when the paint layer could not be
// made (its failure text is then the last error). A stroke still open is
// ended (merged and committed) first.
int32_t StrokeBegin(int32_t slot) noexcept;

// Paints up to this point; returns the dabs painted and, when `rect` is not
// null, the area they changed as x, y, width, height (0 x 0 when none).
// -1 without an open stroke (also when its layer was deleted, re-made or
// the canvas went: the stroke is then dropped), or for a coordinate that is
// not finite or lies beyond kMaxStrokeCoordinate.
int32_t StrokeTo(double x, double y, double pressure, double seconds, int32_t* rect) noexcept;

// Ends the stroke; returns its dab count and the area of the whole stroke
// in `rect` (what changed in the layer), or -1 without an open stroke.
int32_t StrokeEnd(int32_t* rect) noexcept;

}  // namespace dro::history
