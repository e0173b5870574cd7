// The reference layer blend: one plain routine per compositing formula and
// one per-pixel driver, written straight from the pixel contract. Fast paths
// must reproduce it bit for bit; keep it simple rather than fast.
//
// Pixel contract, per pixel with source (R, G, B, A) and destination
// (dR, dG, dB, dA), all 16-bit:
//   1. modes 0..20 leave the destination untouched where A = 0;
//   2. layer mask (alpha != 0): A = A * ((mR + mG + mB) / 3) / 65536;
//   3. opacity below 255: A = A * (opacity + 1) / 256;
//   4. alpha family: the mode's integer transform of (R, G, B, A);
//   5. dA = 0: texture formulas store (0, 0, 0, 0), all others the source;
//      mode 0 with A >= 65280 stores the source;
//   6. otherwise single-precision premultiplied composite:
//        Sa = A / 65535, Da = dA / 65535, Sc = X * Sa / 65280, Dc = dX * Da / 65280
//   7. a = clamp01(alpha result); channel = trunc(clamp01(Cr / a) * 65280),
//      alpha = trunc(a * 65535);
//   8. keep-alpha leaves the destination alpha.
// clamp01 maps NaN to 0 (x > 0 ? min(x, 1) : 0), so no input can reach an
// undefined float-to-integer conversion.
#include <cmath>

#include "composite/blend_kernels.h"
#include "composite/blend_modes.h"

namespace dro::composite::blend {
namespace {

constexpr float kAlphaScale = 65535.f;
constexpr float kColorScale = 65280.f;

float Clamp01(float x) {
  const float low = x > 0.f ? x : 0.f;
  return low < 1.f ? low : 1.f;
}

float Min(float a, float b) {
  return a < b ? a : b;
}
float Max(float a, float b) {
  return a > b ? a : b;
}

// One pixel on its way through the float composite.
struct FloatPixel {
  float sc[3];  // premultiplied source channels
  float dc[3];  // premultiplied destination channels
  float sa;
  float da;
  float lum;  // (R + G + B) / (3 * 65280) of the straight source
};

// "+ rest": + Sc * (1 - Da) + Dc * (1 - Sa), added term by term.
float PlusRest(float x, float sc, float dc, float sa, float da) {
  x = x + sc * (1.f - da);
  return x + dc * (1.f - sa);
}

float NormalAlpha(const FloatPixel& p) {
  return p.da + (1.f - p.da) * p.sa;
}

// Colour formulas, one per mode: Cr for one channel.
float Normal(float sc, float dc, float sa, float) {
  return sc + dc * (1.f - sa);
}
float Multiply(float sc, float dc, float sa, float da) {
  return PlusRest(sc * dc, sc, dc, sa, da);
}
float Screen(float sc, float dc, float, float) {
  return sc + dc - sc * dc;
}
float Darken(float sc, float dc, float sa, float da) {
  return PlusRest(Min(sc * da, dc * sa), sc, dc, sa, da);
}
float Lighten(float sc, float dc, float sa, float da) {
  return PlusRest(Max(sc * da, dc * sa), sc, dc, sa, da);
}
float Difference(float sc, float dc, float sa, float da) {
  return sc + dc - 2.f * Min(sc * da, dc * sa);
}
float Exclusion(float sc, float dc, float sa, float da) {
  return PlusRest(sc * da + dc * sa - 2.f * sc * dc, sc, dc, sa, da);
}
float Overlay(float sc, float dc, float sa, float da) {
  if (2.f * dc < da) return PlusRest(2.f * sc * dc, sc, dc, sa, da);
  return PlusRest(sa * da - 2.f * (da - dc) * (sa - sc), sc, dc, sa, da);
}
float HardLight(float sc, float dc, float sa, float da) {
  if (2.f * sc < sa) return PlusRest(2.f * sc * dc, sc, dc, sa, da);
  return PlusRest(sa * da - 2.f * (da - dc) * (sa - sc), sc, dc, sa, da);
}
float SoftLight(float sc, float dc, float sa, float da) {
  const float m = dc / da;
  if (2.f * sc < sa) return PlusRest(dc * (sa + (2.f * sc - sa) * (1.f - m)), sc, dc, sa, da);
  if (8.f * dc <= da) {
    return PlusRest(dc * (sa + (2.f * sc - sa) * (1.f - m) * (3.f - 8.f * m)), sc, dc, sa, da);
  }
  return PlusRest(dc * sa + (std::sqrt(m) * da - dc) * (2.f * sc - sa), sc, dc, sa, da);
}
float Dodge(float sc, float dc, float sa, float da) {
  if (sc * da + dc * sa >= sa * da) return PlusRest(sa * da, sc, dc, sa, da);
  return PlusRest(dc * sa / (1.f - sc / sa), sc, dc, sa, da);
}
float Burn(float sc, float dc, float sa, float da) {
  if (sc * da + dc * sa <= sa * da) return PlusRest(0.f, sc, dc, sa, da);
  return PlusRest(sa * (sc * da + dc * sa - sa * da) / sc, sc, dc, sa, da);
}
float Add(float sc, float dc, float, float) {
  return sc + dc;
}
float Subtract(float sc, float dc, float sa, float da) {
  return sc + dc - sa * da;
}

using ChannelFormula = float (*)(float, float, float, float);

void PerChannel(ChannelFormula f, const FloatPixel& p, float cr[3]) {
  for (int c = 0; c < 3; ++c) cr[c] = f(p.sc[c], p.dc[c], p.sa, p.da);
}

// Texturize2: the source's luminance lightens or darkens the straight
// destination colour; the destination keeps its alpha.
void Texturize2(const FloatPixel& p, float cr[3]) {
  const float k = p.sa * 1.75f * std::fabs(p.lum - 0.5f);
  for (int c = 0; c < 3; ++c) {
    const float straight = p.dc[c] / p.da;
    cr[c] = p.lum >= 0.5f ? straight + k : straight - k;
  }
}

// Texturize: as Texturize2, steered by the destination's mean moved by the
// source's luminance.
void Texturize(const FloatPixel& p, float cr[3]) {
  const float avg =
      (p.dc[0] / p.da + p.dc[1] / p.da + p.dc[2] / p.da) / 3.f + p.sa * (p.lum - 0.5f);
  const float k = p.sa * 1.75f * std::fabs(avg - 0.5f);
  for (int c = 0; c < 3; ++c) {
    const float straight = p.dc[c] / p.da;
    cr[c] = avg >= 0.5f ? straight + k : straight - k;
  }
}

// Composites by formula number (0..19; 13, 14 and 20 use 0). Returns the
// alpha result and fills the three channel results.
float Compose(int32_t formula, const FloatPixel& p, float cr[3]) {
  switch (formula) {
    case kModeMultiply:
      PerChannel(Multiply, p, cr);
      break;
    case kModeScreen:
      PerChannel(Screen, p, cr);
      break;
    case kModeDarken:
      PerChannel(Darken, p, cr);
      break;
    case kModeLighten:
      PerChannel(Lighten, p, cr);
      break;
    case kModeDifference:
      PerChannel(Difference, p, cr);
      break;
    case kModeNegation:
    case kModeExclusion:
      PerChannel(Exclusion, p, cr);
      break;
    case kModeOverlay:
      PerChannel(Overlay, p, cr);
      break;
    case kModeHardLight:
      PerChannel(HardLight, p, cr);
      break;
    case kModeSoftLight:
      PerChannel(SoftLight, p, cr);
      break;
    case kModeDodge:
      PerChannel(Dodge, p, cr);
      break;
    case kModeBurn:
      PerChannel(Burn, p, cr);
      break;
    case kModeAdd:
      PerChannel(Add, p, cr);
      return p.sa + p.da;
    case kModeSubtract:
      PerChannel(Subtract, p, cr);
      return p.sa + p.da;
    case kModeTexturize:
      Texturize(p, cr);
      return p.da;
    case kModeTexturize2:
      Texturize2(p, cr);
      return p.da;
    case kModeTexturize3:
      for (int c = 0; c < 3; ++c) cr[c] = p.dc[c];
      return p.da;
    default:
      PerChannel(Normal, p, cr);
      break;
  }
  return NormalAlpha(p);
}

bool IsTextureFormula(int32_t formula) {
  return formula >= kModeTexturize && formula <= kModeTexturize3;
}

// Steps 2 and 3: layer mask and opacity.
int32_t MaskedAlpha(int32_t a, const Pixel64* mask, int32_t opacity) {
  if (mask && mask->a != 0) {
    const uint32_t grey = (uint32_t{mask->r} + mask->g + mask->b) / 3;
    a = static_cast<int32_t>(static_cast<uint32_t>(a) * grey / 65536);
  }
  if (opacity < 255) a = a * (opacity + 1) / 256;
  return a;
}

int32_t Saturate16(double v) {
  const int64_t t = static_cast<int64_t>(v);  // truncation toward zero
  return t < 0 ? 0 : (t > 65535 ? 65535 : static_cast<int32_t>(t));
}

// Alpha-family colour helpers. The darkening and brightening scales work in
// double precision and saturate to 0..65535: at the ends of the alpha range
// the factors pass 1 and the raw results would leave the 16-bit range.
int32_t DarkenChannel(int32_t x, int32_t n, double divisor) {
  return Saturate16(static_cast<double>(x) - static_cast<double>(x) * n / divisor);
}
int32_t BrightenChannel(int32_t x, int32_t amount, double divisor) {
  return Saturate16(static_cast<double>(x) + static_cast<double>(65535 - x) * amount / divisor);
}

void ShadeBy2N(int32_t* c, int32_t a) {
  const int32_t n = 32767 - a;
  for (int i = 0; i < 3; ++i) {
    c[i] = a > 32766 ? (c[i] + 2 * (a - 32767) < 65535 ? c[i] + 2 * (a - 32767) : 65535)
                     : (c[i] - 2 * n > 0 ? c[i] - 2 * n : 0);
  }
}

void LumScale(int32_t* c, int32_t a, double darkDivisor) {
  for (int i = 0; i < 3; ++i) {
    c[i] = a < 32768 ? DarkenChannel(c[i], 32767 - a, darkDivisor)
                     : BrightenChannel(c[i], a - 32767, 32767.0);
  }
}

void LumScale3(int32_t* c, int32_t a) {
  for (int i = 0; i < 3; ++i) {
    c[i] = a < 36863 ? DarkenChannel(c[i], 36862 - a, 30000.0)
                     : BrightenChannel(c[i], a - 36862, 28672.0);
  }
}

int32_t AlphaStep(int32_t a) {
  return a < 8191 ? 0 : 65535;
}

int32_t AlphaRamp(int32_t a) {
  if (a < 8191) return 0;
  if (a < 9215) return 65535 - (64 * (9215 - a) < 65535 ? 64 * (9215 - a) : 65535);
  return 65535;
}

}  // namespace

void CompositeFloat(int32_t formula, int32_t r, int32_t g, int32_t b, int32_t a, const float dc[3],
                    float da, float color[3], float& alpha) noexcept {
  FloatPixel p;
  p.sa = static_cast<float>(a) / kAlphaScale;
  p.da = da;
  const int32_t src[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    p.sc[c] = static_cast<float>(src[c]) * p.sa / kColorScale;
    p.dc[c] = dc[c];
  }
  p.lum = static_cast<float>(r + g + b) / (3.f * kColorScale);
  float cr[3];
  alpha = Clamp01(Compose(formula, p, cr));
  for (int c = 0; c < 3; ++c) color[c] = Clamp01(cr[c] / alpha);
}

void CompositePixel(int32_t formula, bool opaqueShortcut, int32_t r, int32_t g, int32_t b,
                    int32_t a, Pixel64& d, bool keepAlpha) noexcept {
  Pixel64 out;
  if (d.a == 0) {
    out = IsTextureFormula(formula) ? Pixel64{0, 0, 0, 0}
                                    : Pixel64{static_cast<uint16_t>(r), static_cast<uint16_t>(g),
                                              static_cast<uint16_t>(b), static_cast<uint16_t>(a)};
  } else if (opaqueShortcut && a >= 65280) {
    out = Pixel64{static_cast<uint16_t>(r), static_cast<uint16_t>(g), static_cast<uint16_t>(b),
                  static_cast<uint16_t>(a)};
  } else {
    const float da = static_cast<float>(d.a) / kAlphaScale;
    const int32_t dst[3] = {d.r, d.g, d.b};
    float dc[3];
    for (int c = 0; c < 3; ++c) dc[c] = static_cast<float>(dst[c]) * da / kColorScale;
    float color[3];
    float alpha;
    CompositeFloat(formula, r, g, b, a, dc, da, color, alpha);
    out.r = static_cast<uint16_t>(static_cast<int32_t>(color[0] * kColorScale));
    out.g = static_cast<uint16_t>(static_cast<int32_t>(color[1] * kColorScale));
    out.b = static_cast<uint16_t>(static_cast<int32_t>(color[2] * kColorScale));
    out.a = static_cast<uint16_t>(static_cast<int32_t>(alpha * kAlphaScale));
  }
  d.r = out.r;
  d.g = out.g;
  d.b = out.b;
  if (!keepAlpha) d.a = out.a;
}

int32_t AlphaFamilyTransform(int32_t mode, int32_t& r, int32_t& g, int32_t& b,
                             int32_t& a) noexcept {
  int32_t c[3] = {r, g, b};
  const int32_t n = 32767 - a;
  const int32_t grey = (r + g + b) / 3;
  int32_t formula = kModeNormal;
  switch (mode) {
    case kModeAlphaFilter:
      c[0] = c[1] = c[2] = 65535;
      a = 65535 - a;
      break;
    case kModeAlphaBlackOutline:
    case kModeAlphaOverlayOutline:
      if (a > 0 && a < 65280) {
        c[0] = c[1] = c[2] = 0;
        a = 65535;
      }
      break;
    case kModeAlphaOutlineTint1:
      if (a > 0) a = a > 12286 ? 12287 : 65535 - a;
      break;
    case kModeAlphaOutlineTint2:
      if (a > 0) a = a > 12286 ? 32767 : 65535 - a;
      break;
    case kModeAlphaInvert:
      if (a > 0) a = 65535 - a;
      break;
    case kModeAlphaShader:
      if (a > 0) {
        c[0] = c[1] = c[2] = a;
        a = 65535;
      }
      break;
    case kModeAlphaShaderTexture2:
      formula = kModeTexturize2;
      [[fallthrough]];
    case kModeAlphaShaderColor:
      if (a > 0) {
        ShadeBy2N(c, a);
        a = 65535;
      }
      break;
    case kModeAlphaHighlightTexture2:
      formula = kModeTexturize2;
      if (a > 32766) {
        ShadeBy2N(c, a);
        a = 65535;
      } else if (a > 0) {
        a = a - 2 * n > 0 ? a - 2 * n : 0;
      }
      break;
    case kModeAlphaSmooth:
      if (a > 0) a = a > 32766 ? 65535 : (a >= 4 * n ? a - 4 * n : 0);
      break;
    case kModeAlphaSmoothLum:
      LumScale(c, a, 32767.0);
      a = AlphaStep(a);
      break;
    case kModeAlphaSmoothLum2:
      LumScale(c, a, 65535.0);
      a = AlphaStep(a);
      break;
    case kModeAlphaSmoothLum3:
      LumScale3(c, a);
      a = AlphaStep(a);
      break;
    case kModeAlphaSmoothLum4:
      LumScale3(c, a);
      a = AlphaRamp(a);
      break;
    case kModeAlphaSmoothLum5:
      LumScale(c, a, 32767.0);
      a = AlphaRamp(a);
      break;
    case kModeAlphaHighlight:
      if (a > 32512) a = 0;
      break;
    case kModeLayerMask:
      a = 0;
      break;
    case kModeLuminanceAlpha:
      c[0] = c[1] = c[2] = 65535;
      a = grey;
      break;
    case kModeLuminanceAlphaInvert:
      c[0] = c[1] = c[2] = 0;
      a = 65535 - grey;
      break;
    default:
      break;
  }
  r = c[0];
  g = c[1];
  b = c[2];
  return formula;
}

int32_t PrepareAlphaFamily(const Pixel64* src, const Pixel64* mask, int32_t n, int32_t mode,
                           int32_t opacity, Pixel64* out) noexcept {
  int32_t formula = kModeNormal;
  for (int32_t i = 0; i < n; ++i) {
    int32_t r = src[i].r, g = src[i].g, b = src[i].b;
    int32_t a = MaskedAlpha(src[i].a, mask ? mask + i : nullptr, opacity);
    formula = AlphaFamilyTransform(mode, r, g, b, a);
    out[i] = Pixel64{static_cast<uint16_t>(r), static_cast<uint16_t>(g), static_cast<uint16_t>(b),
                     static_cast<uint16_t>(a)};
  }
  return formula;
}

void ReferenceRow(const Pixel64* src, const Pixel64* mask, Pixel64* dst, int32_t n,
                  const RowParams& p) noexcept {
  const int32_t mode = p.mode;
  const bool alphaFamily = mode > kModeUnnamed;
  const int32_t colorFormula =
      mode == kModeReflect || mode == kModeGlow || mode == kModeUnnamed ? kModeNormal : mode;
  for (int32_t i = 0; i < n; ++i) {
    const Pixel64& s = src[i];
    if (s.a == 0 && !alphaFamily) continue;
    int32_t r = s.r, g = s.g, b = s.b;
    int32_t a = MaskedAlpha(s.a, mask ? mask + i : nullptr, p.opacity);
    int32_t formula = colorFormula;
    if (alphaFamily) formula = AlphaFamilyTransform(mode, r, g, b, a);
    CompositePixel(formula, mode == kModeNormal, r, g, b, a, dst[i], p.keepAlpha);
  }
}

}  // namespace dro::composite::blend
