// The formula mix modes (above MixMode::kMultiplyPaint), per pixel with
// source P = (pR, pG, pB, pA), target D (after the pre-tint) of alpha dA,
// mix amount a, a' = 256 - a and lightness l = (pR + pG + pB) / 3:
//   1. per channel X = the mode's formula of P and D, evaluated in signed
//      64-bit arithmetic as written (differences keep their sign), or a bank
//      colour, P or D picked by l; X is kept within 0..65535;
//   2. per channel Y = ((P a') / 16 + (a X) / 16) / 16, kept within
//      0..65535; the alpha result is pA;
//   3. a mode that keeps the target: Y = D, alpha result dA;
//   4. kClearLowBits: Y = (P >> s) << s, s = mix shift & 31, without step 2;
//   5. kLightnessAsAlpha: Y = D = 32767, alpha result l;
//   6. a mode without a formula: Y = P.
#include <algorithm>
#include <cmath>

#include "brush/dab.h"

namespace dro::brush {
namespace {

constexpr int64_t kMax = 65535;

int64_t Clamp16(int64_t v) noexcept {
  return std::clamp<int64_t>(v, 0, kMax);
}

uint16_t Bank(const MixSettings& mix, int32_t bank, int32_t channel) noexcept {
  return mix.banks ? mix.banks[channel * 4 + bank] : 0;
}

// Overlay-like light: below the middle multiply, above screen; `byP`
// decides by the source instead of the target (hard light).
int64_t SplitLight(int64_t p, int64_t d, bool byP) noexcept {
  const bool low = byP ? p < 32767 : d < 32767;
  if (low) return (p * d) / 32768;
  return kMax - ((kMax - d) * (kMax - p)) / 32768;
}

// Soft light on the 0..1 scale, in double precision.
int64_t SoftLight(int64_t p16, int64_t d16) noexcept {
  const double p = static_cast<double>(p16) / 65535;
  const double d = static_cast<double>(d16) / 65535;
  const double r =
      p < 0.5 ? d * (2 * p + (1 - 2 * p) * d) : std::sqrt(d) * (2 * p - 1) + (1 - p) * 2 * d;
  return static_cast<int64_t>(r * 65535);
}

// Step 1: X of a separable formula mode for one channel.
template <MixMode kMode>
[[gnu::always_inline]] inline int64_t FormulaX(int64_t p, int64_t d) noexcept {
  switch (kMode) {
    case MixMode::kScreen:
      return kMax - ((kMax - d) * (kMax - p)) / 65536;
    case MixMode::kDarken:
      return std::min(d, p);
    case MixMode::kLighten:
      return std::max(d, p);
    case MixMode::kDifference:
      return std::abs(d - p);
    case MixMode::kNegation:
      return kMax - std::abs(kMax - d - p);
    case MixMode::kExclusion:
      return d + p - (p * d) / 32768;
    case MixMode::kOverlay:
      return SplitLight(p, d, false);
    case MixMode::kHardLight:
      return SplitLight(p, d, true);
    case MixMode::kSoftLight:
      return SoftLight(p, d);
    case MixMode::kColorDodge:
      return p >= kMax ? kMax : std::min(d * 65536 / (kMax - p), kMax);
    case MixMode::kColorBurn:
      return p == 0 ? 0 : std::max(kMax - (kMax - d) * 65536 / p, int64_t{0});
    case MixMode::kReflect:
      return p >= kMax ? kMax : std::min(d * d / (kMax - p), kMax);
    case MixMode::kGlow:
      return d == kMax ? kMax : std::min(p * p / (kMax - d), kMax);
    case MixMode::kAdd:
      return std::min(p + d, kMax);
    case MixMode::kLinearBurn:
      return std::max(d + p - kMax, int64_t{0});
    default:
      return p;
  }
}

// Steps 1 and 2 for a separable formula mode.
template <MixMode kMode>
bool FormulaMix(const MixSettings& mix, const uint32_t p[3], const uint32_t d[3],
                uint32_t y[3]) noexcept {
  const int64_t a = mix.amount;
  const int64_t inv = mix.inverse;
  for (int c = 0; c < 3; ++c) {
    const int64_t x = Clamp16(FormulaX<kMode>(p[c], d[c]));
    y[c] = static_cast<uint32_t>(Clamp16(((int64_t{p[c]} * inv) / 16 + (a * x) / 16) / 16));
  }
  return true;
}

// Which bank a lightness picks in the bank modes; -1 the source itself,
// -2 the target.
constexpr int32_t kSource = -1;
constexpr int32_t kTarget = -2;

}  // namespace

bool MixModeColor(const MixSettings& mix, const uint32_t p[3], uint32_t pA, uint32_t d[3],
                  uint32_t dA, RuntimeRandom& rng, uint32_t y[3], uint32_t& alphaResult) noexcept {
  const int64_t l = (int64_t{p[0]} + p[1] + p[2]) / 3;
  const int64_t a = mix.amount;
  const int64_t inv = mix.inverse;
  alphaResult = pA;
  auto amountMix = [&](int c, int64_t x) {
    y[c] = static_cast<uint32_t>(Clamp16(((int64_t{p[c]} * inv) / 16 + (a * x) / 16) / 16));
  };
  auto keep = [&] {  // step 3
    for (int c = 0; c < 3; ++c) y[c] = d[c];
    alphaResult = dA;
    return false;
  };

  int32_t pick = kSource;
  switch (static_cast<MixMode>(mix.mode)) {
    case MixMode::kScreen:
      return FormulaMix<MixMode::kScreen>(mix, p, d, y);
    case MixMode::kDarken:
      return FormulaMix<MixMode::kDarken>(mix, p, d, y);
    case MixMode::kLighten:
      return FormulaMix<MixMode::kLighten>(mix, p, d, y);
    case MixMode::kDifference:
      return FormulaMix<MixMode::kDifference>(mix, p, d, y);
    case MixMode::kNegation:
      return FormulaMix<MixMode::kNegation>(mix, p, d, y);
    case MixMode::kExclusion:
      return FormulaMix<MixMode::kExclusion>(mix, p, d, y);
    case MixMode::kOverlay:
      return FormulaMix<MixMode::kOverlay>(mix, p, d, y);
    case MixMode::kHardLight:
      return FormulaMix<MixMode::kHardLight>(mix, p, d, y);
    case MixMode::kSoftLight:
      return FormulaMix<MixMode::kSoftLight>(mix, p, d, y);
    case MixMode::kColorDodge:
      return FormulaMix<MixMode::kColorDodge>(mix, p, d, y);
    case MixMode::kColorBurn:
      return FormulaMix<MixMode::kColorBurn>(mix, p, d, y);
    case MixMode::kReflect:
      return FormulaMix<MixMode::kReflect>(mix, p, d, y);
    case MixMode::kGlow:
      return FormulaMix<MixMode::kGlow>(mix, p, d, y);
    case MixMode::kAdd:
      return FormulaMix<MixMode::kAdd>(mix, p, d, y);
    case MixMode::kLinearBurn:
      return FormulaMix<MixMode::kLinearBurn>(mix, p, d, y);
    case MixMode::kTwoBanks:
      pick = l > 32766 ? 1 : 0;
      break;
    case MixMode::kThreeBanks:
      pick = l < 21845 ? 0 : (l > 43689 ? 2 : 1);
      break;
    case MixMode::kFourBanks:
      pick = l < 16383 ? 0 : (l > 32766 ? (l > 49150 ? 3 : 2) : 1);
      break;
    case MixMode::kBankRamp: {
      // A ramp through banks 0, 1 and 2 by lightness.
      const bool upper = l > 32766;
      const int64_t v = upper ? (2 * l - 65534) / 256 : (2 * l) / 256;
      const int32_t lowBank = upper ? 1 : 0;
      for (int c = 0; c < 3; ++c) {
        const int64_t x =
            (int64_t{Bank(mix, lowBank + 1, c)} * v + int64_t{Bank(mix, lowBank, c)} * (256 - v)) /
            256;
        amountMix(c, Clamp16(x));
      }
      return true;
    }
    case MixMode::kDarkToBank:
      rng.Next();
      pick = l <= 32766 ? 0 : kTarget;
      break;
    case MixMode::kLightToBank:
      rng.Next();
      pick = l > 32767 ? 0 : kTarget;
      break;
    case MixMode::kExtremesToBanks:
      pick = l < 20479 ? 0 : (l > 49151 ? 1 : kSource);
      break;
    case MixMode::kSkipDark:
      if (l < 20479) return keep();
      break;
    case MixMode::kSkipLight:
      if (l > 49151) return keep();
      break;
    case MixMode::kMidtonesOnly:
      if (l < 20479 || l > 49151) return keep();
      break;
    case MixMode::kDarkestOnlyToBank:
      if (l > 12287) return keep();
      pick = 0;
      break;
    case MixMode::kLightestOnlyToBank:
      if (l < 57343) return keep();
      pick = 0;
      break;
    case MixMode::kPosteriseFour:
      for (int c = 0; c < 3; ++c) {
        const uint32_t v = p[c];
        amountMix(c, v <= 10921 ? 0 : v <= 32766 ? 21845 : v < 54613 ? 43690 : 65535);
      }
      return true;
    case MixMode::kPosteriseThree:
      for (int c = 0; c < 3; ++c) {
        const uint32_t v = p[c];
        amountMix(c, v <= 21844 ? 0 : v < 43690 ? 32767 : 65535);
      }
      return true;
    case MixMode::kClearLowBits: {
      // Step 4; a negative shift wraps (-1 gives 31).
      const uint32_t s = static_cast<uint32_t>(mix.shift) & 31u;
      for (int c = 0; c < 3; ++c) y[c] = (p[c] >> s) << s;
      return true;
    }
    case MixMode::kLightnessAsAlpha:
      // Step 5.
      for (int c = 0; c < 3; ++c) {
        y[c] = 32767;
        d[c] = 32767;
      }
      alphaResult = static_cast<uint32_t>(l);
      return true;
    default:
      // Step 6.
      for (int c = 0; c < 3; ++c) y[c] = p[c];
      return true;
  }
  for (int c = 0; c < 3; ++c) {
    const int64_t x = pick == kSource ? int64_t{p[c]} : pick == kTarget ? d[c] : Bank(mix, pick, c);
    amountMix(c, x);
  }
  return true;
}

}  // namespace dro::brush
