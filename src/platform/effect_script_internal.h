// The table of numbered effects behind the effect-script seam. Adding an
// effect is one function and one row in the table (effect_script_effects.cpp);
// the script parser, the chain and the documentation tool read the table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dro::platform::effects::detail {

// Parameter slots 0..kSlotCount-1; the effects use slots 3 and up.
constexpr int32_t kFirstSlot = 3;
constexpr int32_t kSlotCount = 20;
constexpr int32_t kMaxParams = 16;

struct Param {
  const char* name = nullptr;  // as written in scripts
  int32_t slot = 0;
  int32_t defaultValue = 0;
  int32_t min = 0;
  int32_t max = 0;
};

// Runs an effect on a BGRA picture in place. `values` is indexed by slot and
// already clamped to each parameter's range. False (without having changed
// the picture) when it cannot run; may throw std::bad_alloc.
using EffectFunction = bool (*)(uint8_t* bgra, int32_t width, int32_t height,
                                const int32_t* values);

struct EffectInfo {
  int32_t number = 0;
  const char* name = nullptr;
  EffectFunction run = nullptr;
  Param params[kMaxParams] = {};
};

const EffectInfo* FindEffect(int32_t number) noexcept;
const EffectInfo* FindEffect(std::string_view name) noexcept;
// The whole table, for listings: effects 0..EffectCount() - 1.
int32_t EffectCount() noexcept;
const EffectInfo& EffectAt(int32_t index) noexcept;

// The rows kept in files of their own, joined into the lookup.
std::span<const EffectInfo> WarpEffects() noexcept;  // effect_script_warps.cpp

// Fills `values` with the effect's defaults (other slots 0).
void DefaultValues(const EffectInfo& effect, int32_t* values) noexcept;
// Clamps every parameter of `values` into `clamped`.
void ClampValues(const EffectInfo& effect, const int32_t* values, int32_t* clamped) noexcept;

}  // namespace dro::platform::effects::detail
