// The generators, the texture families and the Lua route, in the
// vocabulary of effect_call.h.
//
// A generator run: the source re-read, one numbered effect-script effect
// run on it with the remapped selector, slot 3 = value (unless the effect
// takes other numbers there), its own slots and the colour slots, and
// LoadS on success. With mode 0 the colour slots receive 255 (white)
// whatever the colour arguments.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "base/allocation.h"
#include "composite/blend_modes.h"
#include "composite/layers.h"
#include "imaging/drawing.h"
#include "imaging/effect_details.h"
#include "mask/mask_ops.h"
#include "mask/mask_state.h"
#include "platform/effect_script.h"
#include "platform/image_details.h"
#include "platform/image_library.h"

namespace dro::imaging::effects {
namespace {

namespace image = platform::image;
using Slots = std::vector<std::pair<int32_t, int32_t>>;

int32_t Int(double v) noexcept {
  return EffectCall::Int(v);
}

// Runs generator `number` with its selector slot, slot 3 = value (when
// `withValue`), `slots` and the colour at `redSlot` (0: none).
void GeneratorRun(EffectCall& c, int32_t number, int32_t selectorSlot, Slots slots, int32_t redSlot,
                  bool withValue = true) {
  c.Refresh();
  Slots all;
  all.emplace_back(selectorSlot, GeneratorSelector(c.args.opt1));
  if (withValue) all.emplace_back(3, c.args.value);
  all.insert(all.end(), slots.begin(), slots.end());
  if (redSlot > 0) {
    const bool white = c.args.mode == 0;
    all.emplace_back(redSlot, white ? 255 : c.args.red & 255);
    all.emplace_back(redSlot + 1, white ? 255 : c.args.green & 255);
    all.emplace_back(redSlot + 2, white ? 255 : c.args.blue & 255);
  }
  namespace fx = platform::effects;
  image::RgbaToBgra(c.source, c.width, c.height, c.Stride32());
  bool ok = false;
  {
    fx::Session session;
    if (session.ready() && session.AddEffect(number, 1)) {
      for (const auto& [slot, value] : all) session.SetEffectValue(0, slot, value);
      ok = session.ExecuteScriptOnImage(c.source, c.width, c.height);
    }
  }
  image::RgbaToBgra(c.source, c.width, c.height, c.Stride32());
  if (ok) c.LoadS();
}

int32_t U1000(const EffectCall& c) noexcept {
  return DensityUnits(c.width, c.height, 1000);
}
int32_t U10000(const EffectCall& c) noexcept {
  return DensityUnits(c.width, c.height, 10000);
}

}  // namespace

int32_t GeneratorSelector(int32_t opt1) noexcept {
  if (opt1 == 0) return 12;
  if (opt1 >= 1 && opt1 <= 12) return opt1 - 1;
  return opt1;
}

int32_t DensityUnits(int32_t width, int32_t height, int32_t per) noexcept {
  return int32_t(std::max<int64_t>(1, int64_t{width} * height / std::max(per, 1)));
}

int32_t GeneratorCount(double units, double f) noexcept {
  return std::clamp(Int(units * f), 0, 1000000);
}

void NoiseCell(const EffectCall& c, int32_t& cellWidth, int32_t& cellHeight) noexcept {
  if (c.Opt(3) != 0) {
    cellWidth = Int(c.f[0] * 0.01 * c.width + 1);
    cellHeight = Int(c.f[1] * 0.01 * c.height + 1);
  } else {
    cellWidth = Int(c.f[0] + 1);
    cellHeight = Int(c.f[1] + 1);
  }
  // A cell below one pixel has no size to draw.
  cellWidth = std::max(cellWidth, 1);
  cellHeight = std::max(cellHeight, 1);
}

void Lines(EffectCall& c) {
  GeneratorRun(c, 1, 14,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {5, Int(c.f[1] * 10)},
                {18, Int(c.f[2])},
                {6, Int(c.f[3] * 0.01 * 360)},
                {7, Int(c.f[4] * 0.25)},
                {17, Int(c.f[5])},
                {15, c.Opt(2)},
                {16, c.Opt(3)}},
               8);
}

void Points(EffectCall& c) {
  GeneratorRun(c, 43, 12,
               {{4, GeneratorCount(U1000(c), c.f[0])},
                {5, Int(c.f[1] * 0.25)},
                {14, Int(c.f[2])},
                {13, c.Opt(2)}},
               6);
}

void Circles(EffectCall& c) {
  GeneratorRun(c, 2, 14,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {5, Int(c.f[1] * 10)},
                {18, Int(c.f[2])},
                {7, Int(c.f[3] * 0.25)},
                {17, Int(c.f[4])},
                {15, c.Opt(2)},
                {16, c.Opt(3)}},
               8);
}

void Rectangles(EffectCall& c) {
  GeneratorRun(c, 3, 14,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {5, Int(c.f[1] * 10)},
                {6, Int(c.f[2] * 10)},
                {18, Int(c.f[3])},
                {7, Int(c.f[4] * 0.25)},
                {17, Int(c.f[5])},
                {15, c.Opt(2)},
                {16, c.Opt(3)}},
               8);
}

void Splines(EffectCall& c) {
  GeneratorRun(c, 4, 15,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {5, Int(c.f[1] * 0.64)},
                {7, Int(c.f[2] * 10)},
                {18, Int(c.f[3])},
                {8, Int(c.f[4] * 0.25)},
                {17, Int(c.f[5])},
                {16, c.Opt(2)}},
               9);
}

void Worms(EffectCall& c) {
  GeneratorRun(c, 37, 14,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {5, Int(c.f[1] * 10)},
                {6, Int(c.f[2] * 10)},
                {7, Int(c.f[3] * 0.25)},
                {16, Int(c.f[4])},
                {15, c.Opt(2)}},
               8);
}

void Fibers(EffectCall& c) {
  GeneratorRun(c, 59, 16,
               {{4, Int(c.f[0] + 4)},
                {5, Int(c.f[1] * 10)},
                {6, Int(c.f[2] * 0.25)},
                {12, Int(c.f[3])},
                {7, Int(c.f[4] * 0.25)},
                {11, Int(c.f[5])}},
               8);
}

void Trees(EffectCall& c) {
  GeneratorRun(c, 58, 15,
               {{4, GeneratorCount(U10000(c), c.f[0])},
                {19, Int(c.f[1])},
                {5, Int(c.f[2] * 10)},
                {6, Int(c.f[3] * 0.1)},
                {8, Int(c.f[4] * 0.25)},
                {17, Int(c.f[5])},
                {16, c.Opt(2)}},
               9);
}

void GenerateNoise(EffectCall& c) {
  int32_t cw = 1, ch = 1;
  NoiseCell(c, cw, ch);
  GeneratorRun(c, 21, 13, {{4, cw}, {5, ch}, {6, Int(c.f[2])}, {14, c.Opt(2)}}, 7);
}

void Blobs(EffectCall& c) {
  GeneratorRun(c, 20, 13,
               {{4, GeneratorCount(U10000(c), c.f[0])}, {5, Int(c.f[1] * 10)}, {14, c.Opt(2)}}, 7);
}

void Plasma(EffectCall& c) {
  GeneratorRun(c, platform::effects::kEffectPlasma, 11, {{4, Int(c.f[0] * 5)}, {12, c.Opt(2)}}, 5);
}

void SinePlasma(EffectCall& c) {
  GeneratorRun(c, 24, 13,
               {{3, Int(c.f[0] * 0.33333334)},
                {4, Int(c.f[1] * 0.33333334)},
                {5, Int(c.f[2] * 2.5)},
                {6, Int(c.f[3] * 2.5)}},
               7, false);
}

void FractalPlasma(EffectCall& c) {
  GeneratorRun(c, 55, 10, {{11, c.Opt(2)}}, 4);
}

void GeneratePerlinNoise(EffectCall& c) {
  GeneratorRun(c, platform::effects::kEffectPerlinNoise, 12,
               {{4, Int(c.f[0] + 1)}, {5, Int(c.f[1] + 1)}, {13, c.Opt(2)}}, 6);
}

void Pattern(EffectCall& c) {
  GeneratorRun(c, 42, 10,
               {{3, Int(c.f[0])},
                {4, Int(c.f[1])},
                {12, Int(c.f[2])},
                {5, Int(c.f[3] * 0.25)},
                {11, Int(c.f[4])},
                {6, c.args.mode},
                {13, c.Opt(2)}},
               0, false);
}

}  // namespace dro::imaging::effects
