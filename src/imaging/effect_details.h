// The functions behind the rows of the noise-and-detail, generator and
// texture families and the Lua route (effect_details.cpp,
// effect_generators.cpp, effect_textures.cpp), and the numbers some of them
// derive.
#pragma once

#include <cstdint>

#include "imaging/effect_call.h"

namespace dro::imaging::effects {

// Noise, detail and edges.
void Despeckle(EffectCall& c);
void DustAndScratches(EffectCall& c);
void AddGaussianNoise(EffectCall& c);
void AddNegativeExpNoise(EffectCall& c);
void AddRayleighNoise(EffectCall& c);
void AddUniformNoise(EffectCall& c);
void Radiant(EffectCall& c);
void Radiant2(EffectCall& c);
void Halftone(EffectCall& c);
void Mosaic(EffectCall& c);
void ColorNoise(EffectCall& c);
void HugoNoise(EffectCall& c);
void PerlinNoise(EffectCall& c);
void Sharpen(EffectCall& c);
void SharpenMore(EffectCall& c);
void UnsharpMask(EffectCall& c);
void Bevel(EffectCall& c);
void Crackle(EffectCall& c);
void DropShadow(EffectCall& c);
void Emboss(EffectCall& c);
void Fingerprint(EffectCall& c);
void FrostedGlass(EffectCall& c);
void Gauzy(EffectCall& c);
void Glow(EffectCall& c);
void Scribble(EffectCall& c);
void Edge2(EffectCall& c);
void Edge3(EffectCall& c);
void ArithmeticMean(EffectCall& c);
void Midpoint(EffectCall& c);
void GeometricMean(EffectCall& c);
void HarmonicMean(EffectCall& c);
void Maximum2(EffectCall& c);
void Minimum2(EffectCall& c);
void Median(EffectCall& c);
void Deinterlace(EffectCall& c);
void Edge(EffectCall& c);
void Bump(EffectCall& c);
void Emboss2(EffectCall& c);
void Emboss3(EffectCall& c);
void Outliner1(EffectCall& c);
void Outliner2(EffectCall& c);
void Maximum(EffectCall& c);
void Minimum(EffectCall& c);

// Generators.
void Lines(EffectCall& c);
void Points(EffectCall& c);
void Circles(EffectCall& c);
void Rectangles(EffectCall& c);
void Splines(EffectCall& c);
void Worms(EffectCall& c);
void Fibers(EffectCall& c);
void Trees(EffectCall& c);
void GenerateNoise(EffectCall& c);
void Blobs(EffectCall& c);
void Plasma(EffectCall& c);
void SinePlasma(EffectCall& c);
void FractalPlasma(EffectCall& c);
void GeneratePerlinNoise(EffectCall& c);
void Pattern(EffectCall& c);

// Texture families and the Lua route.
void Backgrounds(EffectCall& c);
void TexturizeEmboss(EffectCall& c);
void TexturizeBump(EffectCall& c);
void DisplacementBump(EffectCall& c);
void LuaFilter(EffectCall& c);

// The numbers, in exact terms (fN and the canvas size as the call has them):
//   1. Unsharp Mask passes = max(1, trunc(f4 x 0.1)), at most 10.
//   2. Bevel depth = trunc(f1 x 0.01 x (min(width, height) / 2)) with opt2
//      (the halving in integers), else trunc(f1).
//   3. Generator selector: opt1 0 -> 12, 1..12 -> 0..11, any other value
//      stays.
//   4. Density units: u1000 = max(1, width x height / 1000), u10000 =
//      max(1, width x height / 10000), integer division; a generator's
//      count is capped at one million shapes.
//   5. Generate Noise cell: with opt3 trunc(f1 x 0.01 x width + 1) by
//      trunc(f2 x 0.01 x height + 1), else trunc(f1 + 1) by trunc(f2 + 1);
//      each at least 1.
//   6. Centre offsets: cx(f) = width x f x 0.01 x 2 - width, cy(f) likewise
//      with the height (50 the centre, 0 and 100 the edges).
int32_t UnsharpPasses(float f4) noexcept;
int32_t BevelDepth(float f1, int32_t opt2, int32_t width, int32_t height) noexcept;
int32_t GeneratorSelector(int32_t opt1) noexcept;
int32_t DensityUnits(int32_t width, int32_t height, int32_t per) noexcept;
int32_t GeneratorCount(double units, double f) noexcept;
void NoiseCell(const EffectCall& c, int32_t& cellWidth, int32_t& cellHeight) noexcept;

// The Lua route calls the Lua filter host, which sits above this folder:
// the engine registers it when it is made. Without one the route does
// nothing.
using LuaFilterRunner = void (*)(const EffectArgs& args);
void SetLuaFilterRunner(LuaFilterRunner runner) noexcept;

}  // namespace dro::imaging::effects
