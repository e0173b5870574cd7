// One run of a named effect and the building blocks its recipe is made of.
//
// The numbers:
//   1. fN = (float)(pN x 0.1).
//   2. colour = (red & 255) | (green & 255) << 8 | (blue & 255) << 16.
//   3. S(x), the saturation factor of a percentage x: x > 50 gives
//      (x - 50) x 0.02 x 2 + 1, else x x 0.02 x 3 - 2 (0 -> -2, 50 -> 1,
//      100 -> 3). H(x), the hyper saturation factor: x > 50 gives
//      (x - 50) x 0.02 x 9 + 1, else x x 0.02 x 11 - 10.
//   4. Every truncation of a derived double is the saturating one (NaN 0,
//      clamped to int32).
//
// The blocks (each recipe names them in this vocabulary):
//   Refresh        the RGBA32 source re-read from the current layer.
//   Pre / Post     premultiply before a library filter / undo it after.
//   Native         one engine filter (native_filters.h) with a name, a copy
//                  flag, six values, a mode and optionally all options; the
//                  colour always goes along.
//   LoadD / LoadS  the RGBA32 destination / source loaded into the layer
//                  (weighted by texture and mask); LoadD24 / LoadS24 the
//                  RGB24 ones (alpha untouched).
//   Merge(k)       a buffer merged into the layer in blend mode k.
//   Rgb24Pair      both RGB24 buffers made (the source from the layer) and
//                  the call; the call is skipped when either could not be
//                  made. The dispatcher releases both at the end of the
//                  effect call.
//   ScriptRun      one numbered effect-script effect on the RGBA32 source:
//                  swapped to blue-first before, back to red-first after
//                  (whether the run succeeded or not), LoadS on success.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "base/numeric.h"
#include "imaging/effects.h"

namespace dro::imaging {

double SaturationFactor(double percent) noexcept;  // defined with the photo pop
double HyperSaturationFactor(double percent) noexcept;

class EffectCall {
 public:
  EffectCall(const EffectArgs& args, uint8_t* source, uint8_t* destination) noexcept;

  const EffectArgs& args;
  std::array<float, 6> f;  // f1..f6 at f[0]..f[5]
  uint32_t colour;
  int32_t width, height;
  uint8_t* source;       // RGBA32, tight
  uint8_t* destination;  // RGBA32, tight

  // Option k (2..7), its low byte.
  uint8_t Opt(int32_t k) const noexcept { return uint8_t(args.opt[size_t(k - 2)] & 255); }
  // A saturated truncation of a derived value.
  static int32_t Int(double v) noexcept { return SaturateToInt32(v); }
  // A radius, distance or count the picture can use: 0..the larger side.
  int32_t Extent(double v) const noexcept;
  int32_t Stride32() const noexcept { return width * 4; }
  int32_t Stride24() const noexcept { return width * 3; }

  void Refresh() noexcept;
  void Pre(uint8_t* rgba) noexcept;
  void Post(uint8_t* rgba) noexcept;
  // One engine filter; `options` passes opt1..opt7 as well.
  void Native(const char* name, int32_t copyFlag, std::array<int32_t, 6> values = {},
              int32_t mode = 0, bool options = false);
  // The effect's own filter with everything: N(own; all).
  void NativeOwn();
  void LoadD() noexcept;
  void LoadS() noexcept;
  void LoadD24() noexcept;
  void LoadS24() noexcept;
  // `rgba` (a canvas-size RGBA32 buffer) weighted by mask and texture, then
  // merged into the layer in blend mode `mode` at full opacity.
  void Merge(uint8_t* rgba, int32_t mode) noexcept;

  // Both RGB24 buffers around `call(src24, dst24)`; false when skipped.
  template <class Call>
  bool Rgb24Pair(Call&& call);
  // The RGB24 source alone (made from the layer) for an in-place call.
  template <class Call>
  bool Rgb24Source(Call&& call);

  // Runs effect-script effect `number` with (slot, value) pairs on the
  // source; LoadS follows a successful run when `load`.
  bool ScriptRun(int32_t number, std::initializer_list<std::pair<int32_t, int32_t>> slots,
                 bool load = true);

  // The steps most filters share: Refresh, Pre on the source, `call`
  // from source into destination, and on success Post on the destination
  // and LoadD.
  template <class Call>
  void Filtered(Call&& call);

 private:
  bool MakeRgb24(bool destination) noexcept;
};

}  // namespace dro::imaging

#include "imaging/work_buffers.h"

namespace dro::imaging {

template <class Call>
bool EffectCall::Rgb24Pair(Call&& call) {
  if (!MakeRgb24(false) || !MakeRgb24(true)) return false;
  const bool ok = call(Source24(), Destination24());
  return ok;
}

template <class Call>
bool EffectCall::Rgb24Source(Call&& call) {
  if (!MakeRgb24(false)) return false;
  return call(Source24());
}

template <class Call>
void EffectCall::Filtered(Call&& call) {
  Refresh();
  Pre(source);
  if (call()) {
    Post(destination);
    LoadD();
  }
}

}  // namespace dro::imaging
