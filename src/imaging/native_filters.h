// The engine's own image filters, run on the RGBA32 work buffers.
//
// RunNativeFilter picks one of twenty filters by exact name and runs it on
// the work buffers; the caller then writes the destination back into the
// current layer. With the in-place flag off the entry first copies the
// source over the destination, filters read the source and write the
// destination, so they see the unfiltered picture throughout; with it on
// (or where a filter forces it) they read the destination too and see their
// own writes. Parameters:
//   s1..s6   the six integer values x 0.001 (a host value of 500 gives 0.5);
//   mode     a selector (Bas Relief's neighbour);
//   opt2..7  byte switches, each filter says whether it tests for 1 or for
//            any nonzero value; opt1, red, green and blue are accepted and
//            read by no filter.
// Names, in the order they are compared: "Anti Alias", "Adaptive Blur",
// "Line Art Cleaner", "Basic Threshold", "Adjust Lab", "Detail Blur",
// "Value Blur", "Noise Reduction", "Noise Reduction RGB", "Hyper Contrast",
// "Bas Relief", "Grayscale", "Invert", "Vignette", "Channel", "Reflection",
// "Fader", "Borderize", "Clamp", "Mask Detail". Each filter's arithmetic is
// stated beside it in native_filters.cpp.
#pragma once

#include <array>
#include <cstdint>

namespace dro::imaging {

struct NativeFilterArgs {
  const char* name = nullptr;
  int32_t copyFlag = 0;  // nonzero: work in place
  std::array<int32_t, 6> values = {};
  int32_t mode = 0;
  int32_t opt1 = 0;
  std::array<uint8_t, 6> switches = {};  // opt2 .. opt7
  int32_t red = 0, green = 0, blue = 0;
};

// 0 when a work buffer is missing or the canvas is empty, 1 after a run (a
// name that matches nothing runs nothing; with the copy flag 0 the
// destination is then the copy of the source).
// Throws std::bad_alloc when a filter cannot get its scratch memory (mixing
// tables, value rows, Vignette's planes); the caller's guard records it.
int32_t RunNativeFilter(const NativeFilterArgs& args);

// Test hook: the faster routines of some filters (which give the same
// pixels as the plain ones) off or back on. They start on unless
// DROVINE_NO_FAST_PATHS turned fast paths off.
void SetNativeFilterFastPaths(bool enabled) noexcept;

}  // namespace dro::imaging
