// The mix modes above 33: per channel, a formula X of the source P and the
// target D (or a bank colour picked by the source's lightness), mixed with P
// by the mix amount. Every formula is evaluated in signed 64-bit arithmetic
// as written (differences keep their sign) and kept within 0..65535.
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

// X of the formula modes 34..48 for one channel.
template <int32_t kMode>
[[gnu::always_inline]] inline int64_t FormulaX(int64_t p, int64_t d) noexcept {
  switch (kMode) {
    case 34:  // screen
      return kMax - ((kMax - d) * (kMax - p)) / 65536;
    case 35:
      return std::min(d, p);
    case 36:
      return std::max(d, p);
    case 37:
      return std::abs(d - p);
    case 38:
      return kMax - std::abs(kMax - d - p);
    case 39:
      return d + p - (p * d) / 32768;
    case 40:
      return SplitLight(p, d, false);
    case 41:
      return SplitLight(p, d, true);
    case 42:
      return SoftLight(p, d);
    case 43:
      return p >= kMax ? kMax : std::min(d * 65536 / (kMax - p), kMax);
    case 44:
      return p == 0 ? 0 : std::max(kMax - (kMax - d) * 65536 / p, int64_t{0});
    case 45:
      return p >= kMax ? kMax : std::min(d * d / (kMax - p), kMax);
    case 46:
      return d == kMax ? kMax : std::min(p * p / (kMax - d), kMax);
    case 47:
      return std::min(p + d, kMax);
    case 48:
      return std::max(d + p - kMax, int64_t{0});
    default:
      return p;
  }
}

// Y = ((P a') / 16 + (a X) / 16) / 16 per channel, kept within 0..65535.
template <int32_t kMode>
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

bool MixModeColour(const MixSettings& mix, const uint32_t p[3], uint32_t pA, uint32_t d[3],
                   uint32_t dA, RuntimeRandom& rng, uint32_t y[3], uint32_t& alphaResult) noexcept {
  const int64_t l = (int64_t{p[0]} + p[1] + p[2]) / 3;
  const int64_t a = mix.amount;
  const int64_t inv = mix.inverse;
  alphaResult = pA;
  auto amountMix = [&](int c, int64_t x) {
    y[c] = static_cast<uint32_t>(Clamp16(((int64_t{p[c]} * inv) / 16 + (a * x) / 16) / 16));
  };
  auto keep = [&] {
    for (int c = 0; c < 3; ++c) y[c] = d[c];
    alphaResult = dA;
    return false;
  };

  int32_t pick = kSource;
  switch (mix.mode) {
    case 34:
      return FormulaMix<34>(mix, p, d, y);
    case 35:
      return FormulaMix<35>(mix, p, d, y);
    case 36:
      return FormulaMix<36>(mix, p, d, y);
    case 37:
      return FormulaMix<37>(mix, p, d, y);
    case 38:
      return FormulaMix<38>(mix, p, d, y);
    case 39:
      return FormulaMix<39>(mix, p, d, y);
    case 40:
      return FormulaMix<40>(mix, p, d, y);
    case 41:
      return FormulaMix<41>(mix, p, d, y);
    case 42:
      return FormulaMix<42>(mix, p, d, y);
    case 43:
      return FormulaMix<43>(mix, p, d, y);
    case 44:
      return FormulaMix<44>(mix, p, d, y);
    case 45:
      return FormulaMix<45>(mix, p, d, y);
    case 46:
      return FormulaMix<46>(mix, p, d, y);
    case 47:
      return FormulaMix<47>(mix, p, d, y);
    case 48:
      return FormulaMix<48>(mix, p, d, y);
    case 249:
      pick = l > 32766 ? 1 : 0;
      break;
    case 250:
      pick = l < 21845 ? 0 : (l > 43689 ? 2 : 1);
      break;
    case 251:
      pick = l < 16383 ? 0 : (l > 32766 ? (l > 49150 ? 3 : 2) : 1);
      break;
    case 252: {
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
    case 253:
      rng.Next();
      pick = l <= 32766 ? 0 : kTarget;
      break;
    case 254:
      rng.Next();
      pick = l > 32767 ? 0 : kTarget;
      break;
    case 255:
      pick = l < 20479 ? 0 : (l > 49151 ? 1 : kSource);
      break;
    case 256:
      if (l < 20479) return keep();
      break;
    case 257:
      if (l > 49151) return keep();
      break;
    case 258:
      if (l < 20479 || l > 49151) return keep();
      break;
    case 259:
      if (l > 12287) return keep();
      pick = 0;
      break;
    case 260:
      if (l < 57343) return keep();
      pick = 0;
      break;
    case 261:
      for (int c = 0; c < 3; ++c) {
        const uint32_t v = p[c];
        amountMix(c, v <= 10921 ? 0 : v <= 32766 ? 21845 : v < 54613 ? 43690 : 65535);
      }
      return true;
    case 262:
      for (int c = 0; c < 3; ++c) {
        const uint32_t v = p[c];
        amountMix(c, v <= 21844 ? 0 : v < 43690 ? 32767 : 65535);
      }
      return true;
    case 295: {
      // Posterise by the mix shift, without the amount mix. A negative
      // shift wraps (-1 gives 31).
      const uint32_t s = static_cast<uint32_t>(mix.shift) & 31u;
      for (int c = 0; c < 3; ++c) y[c] = (p[c] >> s) << s;
      return true;
    }
    case 340:
      // Flat middle grey whose alpha is the source's lightness.
      for (int c = 0; c < 3; ++c) {
        y[c] = 32767;
        d[c] = 32767;
      }
      alphaResult = static_cast<uint32_t>(l);
      return true;
    default:
      // A mode without a formula paints the source colour as it is.
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
