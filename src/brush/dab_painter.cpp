// Pixel contract of a dab, per painted pixel, all values 16-bit, every
// division truncating; bs' and ps' are the stored inverses of the blend and
// primary colour strengths:
//   1. coverage V: the tip value T, T alphaScale / 128 below alpha 100, then
//      V t / 256 for a texture byte t != 255 and V m / 65536 for a mask value
//      m != 65535 (not in mask dabs); 0 where the grit byte is above the
//      density. V = 0 is not painted; a solid brush paints V = 65535.
//   2. source P = (pR, pG, pB, pA): the dab colour, or the blend buffer's
//      pick-up (bR, bG, bB, bA) at the tip position, where an image brush's
//      bA != 65535 thins V to V bA / 65536 (1 when V bA <= 65535) and then
//      counts as 65535. The colour vary adds ((pv & ~1) - (byte % pv) 2) 128
//      within 0..65535 (to pA as well for the dab colour); the luminance
//      vary moves each channel X towards white or black by
//      f = (128 - pl / 2 + byte % pl) / 256 in double precision; a pick-up
//      with ps > 0 becomes (C ps + X ps') / 256 of the dab colour C,
//      pA = (cA ps + bA ps') / 256.
//   3. plain paint (mix modes OnPlainPath), target D = (dR, dG, dB, dA):
//     dA = 0                      colour P, alpha V pA / 65536
//     pick-up, kPaint             alpha ((65536 - V) dA / 256 + V pA / 256) / 256,
//                                 colour likewise from P and D (kept where pA = 0)
//     erase                       alpha (65535 - V) dA / 65536
//     otherwise ("over")          a = V pA / 65535, alpha = dA + (65535 - dA) a / 65535,
//                                 colour = premultiplied sum x 65535 / alpha, the
//                                 sum taking the product of both where they
//                                 overlap in every mode but kPaint
//   4. formula mix modes: D pre-tinted towards P where dA is partial
//     (k = min(((65535 - dA) V / 65536) 3, 65535), D = (P k / 256 + (65535 - k) D / 256) / 256),
//     D = P where dA = 0, pA = 0 for an erase dab; Y = the mode's colour, then
//     colour ((V Y) / 256 + ((65536 - V) D) / 256) / 256 + 1 (saturating),
//     alpha likewise without the + 1; V of 65535 stores Y outright.
//   5. remix into the blend buffer B, with the D of step 4:
//     pA, dA != 0                 B = (P bs + D bs') / 256 + 1, alpha (pA bs + dA bs') / 256
//     pA != 0, dA = 0             B = P, alpha pA bs / 256
//     pA = 0                      B = D, alpha dA bs' / 256
//   6. write: an erase dab stores alpha min(new alpha, dA) alone, under the
//     blob lock max(that, 9215) and only where dA >= 8192; any other dab
//     stores the colour unless it is locked, and the alpha (the alpha level
//     when set) unless the layer's alpha is locked or, under the blob lock,
//     dA or the new alpha is below 8192.
//   7. mask dab: J = the paint value or the blend buffer's mask-form entry,
//     varied as in step 2; w = V (65535 for a solid brush); mask
//     ((65536 - w) old / 256 + w J / 256) / 256; remix (bs J + old bs') / 256 + 1.
//
// Remix feeds P and D back into the blend buffer, so that colour smears
// along the stroke. An erase dab only ever lowers alpha.
#include <algorithm>
#include <cmath>

#include "base/cpu.h"
#include "brush/dab_kernels.h"
#include "brush/dab_painter.h"
#include "brush/settings.h"

namespace dro::brush {
namespace {

constexpr uint32_t kFull = 65535;

uint32_t Clamp16(int64_t v) noexcept {
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, kFull));
}

// The grain the dab reads, at the current window; null when the buffer
// cannot hold a full window at the current limit.
const uint8_t* GritWindow(const BrushState& b, int32_t limit) noexcept {
  if (b.currentGrit < 0 || b.currentGrit >= kGritBuffers) return nullptr;
  const Buffer<uint8_t>& grit = b.grit[static_cast<size_t>(b.currentGrit)];
  const int64_t side = int64_t{limit} + kGritMargin;
  const int64_t window = int64_t{24} * limit + 24;
  if (!grit || grit.size() < static_cast<size_t>(side * side) || b.currentGritOffset < 0 ||
      b.currentGritOffset > window) {
    return nullptr;
  }
  return grit.data() + b.currentGritOffset;
}

// A vary table usable for a dab: present, and long enough that a row
// starting anywhere in its first L bytes stays inside it.
VaryCursor MakeCursor(const RandomTable& table, int32_t amount, int32_t limit,
                      int32_t count) noexcept {
  VaryCursor c;
  if (amount <= 0 || limit <= 0 || !table.data) return c;
  const int64_t length = std::min<int64_t>(table.length, static_cast<int64_t>(table.data.size()));
  if (length < int64_t{limit} + count + 1) return c;
  c.table = table.data.data();
  c.length = static_cast<int32_t>(length);
  c.amount = amount;
  return c;
}

bool CanvasSized(size_t elements, const CanvasGeometry& canvas) noexcept {
  return elements >= static_cast<size_t>(int64_t{canvas.width} * canvas.height);
}

// The plain path, the pick-up and mix-mode rows and their AVX2 row
// kernels; DROVINE_NO_FAST_PATHS turns them all off, a test may turn them
// off to compare them with the general path.
bool g_fastPaths = cpu::FastPathsAllowed();

// floor(n / d) for n below 2^40 and 0 < d < 2^16, exactly: a product with
// the reciprocal in double precision is within 2^-12 of the quotient, so
// one step up or down corrects it.
inline uint64_t DivideExact(uint64_t n, double reciprocal, uint32_t d) noexcept {
  int64_t q = static_cast<int64_t>(static_cast<double>(n) * reciprocal);
  const int64_t r = static_cast<int64_t>(n) - q * d;
  if (r < 0) {
    --q;
  } else if (r >= static_cast<int64_t>(d)) {
    ++q;
  }
  return static_cast<uint64_t>(q);
}

// Step 3, "over" onto a covered pixel (dA > 0); `paint` for kPaint, else the
// sum multiplies where both are covered.
inline void PlainOver(bool paint, uint32_t v, const uint32_t p[3], uint32_t pA, uint32_t dA,
                      const uint32_t d[3], uint32_t out[3], uint32_t& newA) noexcept {
  const uint32_t a = v * pA / kFull;
  const uint32_t k = kFull - a;
  newA = dA + (kFull - dA) * a / kFull;
  uint64_t sum[3];
  for (int c = 0; c < 3; ++c) {
    const uint32_t under = dA * d[c] / 65536;
    if (paint) {
      sum[c] = uint64_t{under * k / kFull} + p[c] * a / 65536;
    } else {
      const uint32_t q = p[c] * a / 65536;
      sum[c] = uint64_t{under * k / kFull} + (kFull - dA) * q / kFull + under * q / kFull;
    }
  }
  if (newA == kFull) {
    // x 65535 / 65535: the sums stand.
    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint32_t>(std::min<uint64_t>(sum[c], kFull));
    return;
  }
  const double reciprocal = 1.0 / newA;
  for (int c = 0; c < 3; ++c) {
    const uint64_t quotient = DivideExact(sum[c] * kFull, reciprocal, newA);
    out[c] = static_cast<uint32_t>(std::min<uint64_t>(quotient, kFull));
  }
}

}  // namespace

void SetDabFastPathsEnabled(bool enabled) noexcept {
  g_fastPaths = enabled;
}

bool DabFastPathsEnabled() noexcept {
  return g_fastPaths;
}

bool DabPainter::SetupCommon() noexcept {
  const BrushState& b = State();
  const CanvasGeometry& canvas = Geometry();
  const composite::LayerState& layers = composite::Layers();
  const mask::MaskState& selection = mask::State();
  brush_ = &b;
  width_ = canvas.width;
  limit_ = canvas.brushLimit;
  size_ = BrushSize();
  if (size_ <= 0 || limit_ <= 0 || count > limit_) return false;
  if (!b.tip || b.tip.size() < static_cast<size_t>(int64_t{limit_} * limit_)) return false;
  tip_ = b.tip.data();
  if (b.gritCellSize != 0) {
    grit_ = GritWindow(b, limit_);
    if (!grit_) return false;
  }
  density_ = b.density;
  scaleAlpha_ = b.alpha <= 99;
  alphaScale_ = static_cast<uint32_t>(std::clamp(b.alphaScaled, 0, 128));
  if (layers.texture && CanvasSized(layers.texture.size(), canvas)) {
    texture_ = layers.texture.data();
  }
  if (selection.enabled && selection.values && CanvasSized(selection.values.size(), canvas)) {
    mask_ = selection.values.data();
  }
  solid_ = b.solidBrushMode != 0;
  rotate_ = b.rotateBrush == 1;
  cos_ = b.rotateCos;
  sin_ = b.rotateSin;

  blendSource_ = b.blendStrength != 0 && !b.tempBlendOff;
  remix_ = b.blendStrength > 0 && b.blendRemix && !b.tempBlendOff;
  if (blendSource_ || remix_) {
    Buffer<Pixel64>& blend = State().blendBuffer;
    if (!blend || blend.size() < static_cast<size_t>(int64_t{limit_} * limit_)) return false;
    blend_ = blend.data();
  }
  bs_ = b.blendStrength;
  bsInverse_ = b.inverseBlendStrength;
  ps_ = b.primaryColorStrength;
  psInverse_ = b.inversePrimaryColorStrength;
  colorVary_ = MakeCursor(b.pixColorVary, b.pixColorVaryAmount, limit_, count);
  lumVary_ = MakeCursor(b.pixLumVary, b.pixLumVaryAmount, limit_, count);
  erase_ = b.eraseMode != 0;
  return true;
}

bool DabPainter::Setup(Pixel64* target, bool paintLayer, const int64_t color[4]) noexcept {
  if (!SetupCommon()) return false;
  const BrushState& b = State();
  const composite::LayerState& layers = composite::Layers();
  for (int c = 0; c < 4; ++c) color_[c] = Clamp16(color[c]);
  imageBrush_ = b.imageBrushMode != 0;
  target_ = target;
  mixMode_ = static_cast<MixMode>(b.mixMode);
  mix_.mode = b.mixMode;
  mix_.amount = b.mixAmount;
  mix_.inverse = b.mixInverse;
  mix_.shift = b.mixShift;
  mix_.banks = b.colorBanks.data();
  colorLock_ = b.colorLocked != 0;
  blobLock_ = b.blobLocked != 0;
  // Without a paint layer the dab writes the layer itself, whose alpha the
  // locks (and the background's own opacity) protect.
  const composite::LayerRecord* current = layers.current;
  const bool locked =
      (current && current->lockAlpha) || b.alphaLocked != 0 || layers.currentIndex < 2;
  alphaWritable_ = paintLayer || !locked;
  alphaLevel_ = b.alphaLevel >= 1 ? Clamp16(b.alphaLevel) : 0;
  return true;
}

bool DabPainter::SetupMask(uint32_t value) noexcept {
  if (!SetupCommon()) return false;
  maskValue_ = value;
  return true;
}

void DabPainter::RefreshCursors(RuntimeRandom& rng) noexcept {
  for (VaryCursor* c : {&colorVary_, &lumVary_}) {
    if (c->table && (c->at < 0 || c->at + count >= c->length - 1)) c->at = rng.Next() % limit_;
  }
}

// Step 1, for the general and the mask paths.
uint32_t DabPainter::Coverage(int64_t index, int32_t tipPos, int32_t gritPos,
                              bool weighByMask) const noexcept {
  if (grit_ && density_ < grit_[gritPos]) return 0;
  uint32_t v = tip_[tipPos];
  if (scaleAlpha_) v = v * alphaScale_ / 128;
  if (texture_) {
    const uint32_t t = texture_[index];
    if (t != 255) v = v * t / 256;
  }
  if (weighByMask && mask_) {
    const uint32_t m = mask_[index];
    if (m != kFull) v = v * m / 65536;
  }
  if (v == 0) return 0;
  return solid_ ? kFull : v;
}

int64_t DabPainter::NextColorOffset() noexcept {
  const int64_t pv = colorVary_.amount;
  const uint8_t byte = colorVary_.table[colorVary_.at++];
  return ((pv & ~int64_t{1}) - (byte % pv) * 2) * 128;
}

// Moves a channel towards white (f above 0.5) or black by the luminance
// vary byte. The products are exact in floating point for any amount up
// to 256; larger amounts are kept within the channel's range.
uint32_t DabPainter::VaryLuminance(uint32_t x, uint8_t byte) const noexcept {
  const int32_t pl = lumVary_.amount;
  const double f = static_cast<double>(128 - pl / 2 + byte % pl) / 256;
  const double xd = x;
  const double r = f > 0.5 ? (f - 0.5) * 2 * (65535 - xd) + xd : xd - xd * (0.5 - f) * 2;
  return Clamp16(static_cast<int64_t>(r));
}

// Step 2: the source colour p and alpha pA of a pixel of coverage v at tip
// offset pos.
template <bool kBlend>
[[gnu::always_inline]] inline void DabPainter::Source(uint32_t& v, int32_t pos, uint32_t p[3],
                                                      uint32_t& pA) noexcept {
  uint32_t bA = 0;
  if constexpr (!kBlend) {
    if (colorVary_.table) {
      const int64_t off = NextColorOffset();
      for (int c = 0; c < 3; ++c) p[c] = Clamp16(int64_t{color_[c]} + off);
      pA = Clamp16(int64_t{color_[3]} + off);
    } else {
      p[0] = color_[0];
      p[1] = color_[1];
      p[2] = color_[2];
      pA = color_[3];
    }
  } else {
    const Pixel64& s = blend_[pos];
    p[0] = s.r;
    p[1] = s.g;
    p[2] = s.b;
    bA = s.a;
    if (imageBrush_ && bA != kFull) {
      // An image brush's own transparency thins the coverage.
      v = v * bA > kFull ? v * bA / 65536 : 1;
      bA = kFull;
    }
    if (colorVary_.table) {
      const int64_t off = NextColorOffset();
      for (int c = 0; c < 3; ++c) p[c] = Clamp16(int64_t{p[c]} + off);
    }
    pA = bA;
  }
  if (lumVary_.table) {
    const uint8_t byte = lumVary_.table[lumVary_.at++];
    for (int c = 0; c < 3; ++c) p[c] = VaryLuminance(p[c], byte);
  }
  if (kBlend && ps_ > 0) {
    for (int c = 0; c < 3; ++c) p[c] = Clamp16((color_[c] * ps_ + p[c] * psInverse_) / 256);
    pA = Clamp16((color_[3] * ps_ + bA * psInverse_) / 256);
  }
}

// Step 3: the composite (out, newA) of the source (p, pA) at coverage v
// into the target (d, dA).
template <bool kBlend>
[[gnu::always_inline]] inline void DabPainter::CompositePlain(uint32_t v, const uint32_t p[3],
                                                              uint32_t pA, const uint32_t d[3],
                                                              uint32_t dA, uint32_t out[3],
                                                              uint32_t& newA) const noexcept {
  if (dA == 0) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    newA = v * pA / 65536;
  } else if (kBlend && mixMode_ == MixMode::kPaint) {
    newA = ((65536 - v) * dA / 256 + v * pA / 256) / 256;
    for (int c = 0; c < 3; ++c) {
      out[c] = pA != 0 ? (v * p[c] / 256 + (65536 - v) * d[c] / 256) / 256 : d[c];
    }
  } else if (erase_) {
    newA = (kFull - v) * dA / 65536;
    out[0] = d[0];
    out[1] = d[1];
    out[2] = d[2];
  } else {
    PlainOver(mixMode_ == MixMode::kPaint, v, p, pA, dA, d, out, newA);
  }
}

// Step 4: as step 3 for a formula mix mode; pre-tints d and, for an erase
// dab, clears pA.
[[gnu::always_inline]] inline void DabPainter::CompositeMix(uint32_t v, const uint32_t p[3],
                                                            uint32_t& pA, uint32_t d[3],
                                                            uint32_t dA, RuntimeRandom& rng,
                                                            uint32_t out[3],
                                                            uint32_t& newA) const noexcept {
  // Pre-tint a partly covered target towards the source, so that thin
  // paint takes the colour it is mixed with.
  if (dA != 0 && dA != kFull) {
    const uint32_t k = std::min(((kFull - dA) * v / 65536) * 3, kFull);
    for (int c = 0; c < 3; ++c) d[c] = (p[c] * k / 256 + (kFull - k) * d[c] / 256) / 256;
  } else if (dA == 0) {
    d[0] = p[0];
    d[1] = p[1];
    d[2] = p[2];
  }
  if (erase_) pA = 0;
  uint32_t y[3];
  uint32_t alphaResult;
  MixModeColor(mix_, p, pA, d, dA, rng, y, alphaResult);
  if (v > 65534) {
    out[0] = y[0];
    out[1] = y[1];
    out[2] = y[2];
    newA = alphaResult;
  } else {
    for (int c = 0; c < 3; ++c) {
      out[c] = std::min((v * y[c] / 256 + (65536 - v) * d[c] / 256) / 256 + 1, kFull);
    }
    newA = (v * alphaResult / 256 + (65536 - v) * dA / 256) / 256;
  }
}

// Step 5: the source (p, pA) and the target (d, dA) into the blend buffer
// at tip offset pos.
[[gnu::always_inline]] inline void DabPainter::Remix(int32_t pos, const uint32_t p[3], uint32_t pA,
                                                     const uint32_t d[3], uint32_t dA) noexcept {
  Pixel64& s = blend_[pos];
  if (pA != 0 && dA != 0) {
    s.r = static_cast<uint16_t>(Clamp16((p[0] * bs_ + d[0] * bsInverse_) / 256 + 1));
    s.g = static_cast<uint16_t>(Clamp16((p[1] * bs_ + d[1] * bsInverse_) / 256 + 1));
    s.b = static_cast<uint16_t>(Clamp16((p[2] * bs_ + d[2] * bsInverse_) / 256 + 1));
    s.a = static_cast<uint16_t>(Clamp16((pA * bs_ + dA * bsInverse_) / 256));
  } else if (pA != 0) {
    s.r = static_cast<uint16_t>(p[0]);
    s.g = static_cast<uint16_t>(p[1]);
    s.b = static_cast<uint16_t>(p[2]);
    s.a = static_cast<uint16_t>(Clamp16(pA * bs_ / 256));
  } else {
    s.r = static_cast<uint16_t>(d[0]);
    s.g = static_cast<uint16_t>(d[1]);
    s.b = static_cast<uint16_t>(d[2]);
    s.a = static_cast<uint16_t>(Clamp16(dA * bsInverse_ / 256));
  }
}

// Step 6: the composite (out, newA) into t, whose alpha was dA.
inline void DabPainter::Write(Pixel64& t, const uint32_t out[3], uint32_t newA,
                              uint32_t dA) const noexcept {
  if (!colorLock_) {
    t.r = static_cast<uint16_t>(out[0]);
    t.g = static_cast<uint16_t>(out[1]);
    t.b = static_cast<uint16_t>(out[2]);
  }
  if (alphaWritable_ && !(blobLock_ && (dA < 8192 || newA < 8192))) {
    t.a = static_cast<uint16_t>(alphaLevel_ != 0 ? alphaLevel_ : newA);
  }
}

// Step 6 for an erase dab.
[[gnu::always_inline]] inline void DabPainter::WriteErase(Pixel64& t, uint32_t newA,
                                                          uint32_t dA) const noexcept {
  newA = std::min(newA, dA);
  if (blobLock_) {
    if (dA >= 8192) t.a = static_cast<uint16_t>(std::max(newA, 9215u));
  } else {
    t.a = static_cast<uint16_t>(newA);
  }
}

// Steps 2 to 6 for one pixel of coverage v (step 1) at tip offset pos. The
// values pass between the stages as plain locals rather than one struct:
// MixModeColor takes the colours by pointer, and a struct handed out that
// way would keep every value of the pixel in memory.
template <bool kBlend, bool kMix>
[[gnu::always_inline]] inline void DabPainter::PaintPixel(Pixel64& t, uint32_t v, int32_t pos,
                                                          RuntimeRandom& rng) noexcept {
  uint32_t p[3];
  uint32_t pA;
  Source<kBlend>(v, pos, p, pA);

  const uint32_t dA = t.a;
  uint32_t d[3] = {t.r, t.g, t.b};
  uint32_t out[3];
  uint32_t newA;
  if constexpr (kMix) {
    CompositeMix(v, p, pA, d, dA, rng, out, newA);
  } else {
    CompositePlain<kBlend>(v, p, pA, d, dA, out, newA);
  }

  if (remix_) Remix(pos, p, pA, d, dA);

  if (erase_) {
    WriteErase(t, newA, dA);
  } else {
    Write(t, out, newA, dA);
  }
}

// Step 1 for one row of the fast paths (an unturned tip): the coverage of
// every painted column into cover; returns the tip row.
int32_t DabPainter::RowCoverage(int32_t row, const int32_t* tipColumn,
                                uint32_t* cover) const noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  const int32_t* map = brush_->sizeIndexMap.data();
  const int32_t tipRow = std::clamp(map[skipY + row - rect.y0], 0, size_ - 1);
  const Mask16* tipLine = tip_ + int64_t{tipRow} * limit_;
  const uint8_t* gritLine = grit_ ? grit_ + int64_t{tipRow} * limit_ : nullptr;
  const int64_t lineStart = int64_t{row} * width_ + rect.x0;
  const uint8_t* textureLine = texture_ ? texture_ + lineStart : nullptr;
  const Mask16* maskLine = mask_ ? mask_ + lineStart : nullptr;
  for (int32_t k = 0; k < columns; ++k) {
    const int32_t tipX = tipColumn[k];
    uint32_t v = tipLine[tipX];
    if (gritLine && density_ < gritLine[tipX]) v = 0;
    if (scaleAlpha_) v = v * alphaScale_ / 128;
    if (textureLine && textureLine[k] != 255) v = v * textureLine[k] / 256;
    if (maskLine && maskLine[k] != kFull) v = v * maskLine[k] / 65536;
    if (solid_ && v != 0) v = kFull;
    cover[k] = v;
  }
  return tipRow;
}

// The plain dab: the dab colour as it is (no pick-up, no vary), a mix mode
// OnPlainPath, no erase and an unturned tip. The source is the same for
// every pixel, so each row is its coverage (step 1), then the composite
// (step 3) and the write (step 6).
void DabPainter::PaintPlain(const int32_t* tipColumn) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  const bool vector = cpu::UseAvx2() && mixMode_ == MixMode::kPaint && !colorLock_ &&
                      alphaWritable_ && !blobLock_ && alphaLevel_ == 0;
  uint32_t cover[kSizeIndexEntries];
  for (int32_t row = rect.y0; row < rect.y1; ++row) {
    RowCoverage(row, tipColumn, cover);
    Pixel64* line = target_ + int64_t{row} * width_ + rect.x0;
    const int32_t done = vector ? PlainRowAvx2(cover, line, columns, color_) : 0;
    for (int32_t k = done; k < columns; ++k) {
      if (cover[k] != 0) PlainPixel(line[k], cover[k]);
    }
  }
}

// The write stage (step 6) as the vector kernels below take it.
WriteRule DabPainter::KernelWriteRule() const noexcept {
  return WriteRule{colorLock_, alphaWritable_, blobLock_, alphaLevel_};
}

// A pick-up in vector rows: strengths within 0..256, and tip columns side
// by side so that the blend buffer pixels of a row are distinct and in
// order (eight may then be read and remixed at once; rows still go one
// after the other, as one row's remix may feed the next).
bool DabPainter::PickupRowsFit(const int32_t* tipColumn) const noexcept {
  auto strength = [](int64_t s) { return s >= 0 && s <= 256; };
  if (!strength(ps_) || (ps_ > 0 && !strength(psInverse_)) ||
      (remix_ && (!strength(bs_) || !strength(bsInverse_)))) {
    return false;
  }
  for (int32_t k = 1; k < rect.x1 - rect.x0; ++k) {
    if (tipColumn[k] != tipColumn[0] + k) return false;
  }
  return true;
}

PickupRow DabPainter::KernelPickupRow() const noexcept {
  PickupRow kernel{};
  for (int c = 0; c < 4; ++c) kernel.color[c] = color_[c];
  kernel.imageBrush = imageBrush_;
  kernel.primary = static_cast<int32_t>(ps_);
  kernel.primaryInverse = ps_ > 0 ? static_cast<int32_t>(psInverse_) : 0;
  kernel.remix = remix_;
  kernel.blend = remix_ ? static_cast<int32_t>(bs_) : 0;
  kernel.blendInverse = remix_ ? static_cast<int32_t>(bsInverse_) : 0;
  kernel.write = KernelWriteRule();
  return kernel;
}

// The pick-up dab (mix mode kPaint) in vector rows; the pixels past the
// last whole eight take the general path.
void DabPainter::PaintPickupRows(const int32_t* tipColumn, RuntimeRandom& rng) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  if (columns <= 0) return;
  const PickupRow kernel = KernelPickupRow();
  uint32_t cover[kSizeIndexEntries];
  for (int32_t row = rect.y0; row < rect.y1; ++row) {
    const int32_t tipRow = RowCoverage(row, tipColumn, cover);
    Pixel64* line = target_ + int64_t{row} * width_ + rect.x0;
    const int32_t rowPos = tipRow * limit_;
    const int32_t done =
        PickupRowAvx2(cover, line, blend_ + rowPos + tipColumn[0], columns, kernel);
    for (int32_t k = done; k < columns; ++k) {
      if (cover[k] != 0) PaintPixel<true, false>(line[k], cover[k], rowPos + tipColumn[k], rng);
    }
  }
}

// A formula mix mode in vector rows: a mode the kernel knows, an amount
// within 0..256.
bool DabPainter::MixRowsFit() const noexcept {
  switch (mixMode_) {
    case MixMode::kScreen:
    case MixMode::kDarken:
    case MixMode::kLighten:
    case MixMode::kDifference:
    case MixMode::kNegation:
    case MixMode::kExclusion:
    case MixMode::kOverlay:
    case MixMode::kHardLight:
    case MixMode::kSoftLight:
    case MixMode::kColorDodge:
    case MixMode::kColorBurn:
    case MixMode::kReflect:
    case MixMode::kGlow:
    case MixMode::kAdd:
    case MixMode::kLinearBurn:
      break;
    default:
      return false;
  }
  return mix_.amount >= 0 && mix_.amount <= 256 && mix_.inverse == 256 - mix_.amount;
}

// A formula mix mode in vector rows, from the dab colour or (kBlend) from a
// pick-up; the pixels past the last whole eight take the general path.
template <bool kBlend>
void DabPainter::PaintMixRows(const int32_t* tipColumn, RuntimeRandom& rng) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  if (columns <= 0) return;
  MixRow kernel{};
  kernel.mode = mix_.mode;
  for (int c = 0; c < 4; ++c) kernel.color[c] = color_[c];
  kernel.amount = mix_.amount;
  kernel.inverse = mix_.inverse;
  kernel.write = KernelWriteRule();
  const PickupRow pickup = KernelPickupRow();
  uint32_t cover[kSizeIndexEntries];
  for (int32_t row = rect.y0; row < rect.y1; ++row) {
    const int32_t tipRow = RowCoverage(row, tipColumn, cover);
    Pixel64* line = target_ + int64_t{row} * width_ + rect.x0;
    const int32_t rowPos = tipRow * limit_;
    const int32_t done =
        kBlend ? MixRowAvx2(cover, line, blend_ + rowPos + tipColumn[0], columns, kernel, &pickup)
               : MixRowAvx2(cover, line, nullptr, columns, kernel, nullptr);
    for (int32_t k = done; k < columns; ++k) {
      if (cover[k] != 0) PaintPixel<kBlend, true>(line[k], cover[k], rowPos + tipColumn[k], rng);
    }
  }
}

inline void DabPainter::PlainPixel(Pixel64& t, uint32_t v) noexcept {
  const uint32_t p[3] = {color_[0], color_[1], color_[2]};
  const uint32_t pA = color_[3];
  const uint32_t dA = t.a;
  uint32_t out[3];
  uint32_t newA;
  if (dA == 0) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    newA = v * pA / 65536;
  } else {
    const uint32_t d[3] = {t.r, t.g, t.b};
    PlainOver(mixMode_ == MixMode::kPaint, v, p, pA, dA, d, out, newA);
  }
  Write(t, out, newA, dA);
}

void DabPainter::Paint(RuntimeRandom& rng) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  int32_t tipColumn[kSizeIndexEntries];
  const int32_t* map = brush_->sizeIndexMap.data();
  // A dab clipped at the left edge samples the tip from its skipped
  // columns on, as the rows do from their skipped rows.
  for (int32_t k = 0; k < columns; ++k) tipColumn[k] = std::clamp(map[skipX + k], 0, size_ - 1);
  const bool plainPath = OnPlainPath(mixMode_);
  const bool plain =
      !blendSource_ && !colorVary_.table && !lumVary_.table && plainPath && !erase_ && !rotate_;
  if (plain && g_fastPaths) {
    PaintPlain(tipColumn);
    return;
  }
  // Without vary tables no row draws a random number, so the vector rows
  // may skip the cursors.
  const bool vectorRows =
      g_fastPaths && cpu::UseAvx2() && !colorVary_.table && !lumVary_.table && !erase_ && !rotate_;
  if (vectorRows && blendSource_ && mixMode_ == MixMode::kPaint && PickupRowsFit(tipColumn)) {
    PaintPickupRows(tipColumn, rng);
    return;
  }
  if (vectorRows && !plainPath && MixRowsFit()) {
    if (!blendSource_) {
      PaintMixRows<false>(tipColumn, rng);
      return;
    }
    if (PickupRowsFit(tipColumn)) {
      PaintMixRows<true>(tipColumn, rng);
      return;
    }
  }
  const bool mix = !plainPath;
  if (blendSource_) {
    mix ? PaintGeneral<true, true>(tipColumn, rng) : PaintGeneral<true, false>(tipColumn, rng);
  } else {
    mix ? PaintGeneral<false, true>(tipColumn, rng) : PaintGeneral<false, false>(tipColumn, rng);
  }
}

int32_t DabPainter::RotatedTipPos(int32_t tipX, int32_t tipRow, int32_t centre,
                                  int32_t unrotated) const noexcept {
  const int32_t dx = tipX - centre;
  const int32_t dy = tipRow - centre;
  const int32_t rx =
      centre + static_cast<int32_t>(static_cast<float>(dx) * cos_ - static_cast<float>(dy) * sin_);
  const int32_t ry =
      centre + static_cast<int32_t>(static_cast<float>(dy) * cos_ + static_cast<float>(dx) * sin_);
  if (rx >= 0 && rx < size_ && ry >= 0 && ry < size_) return ry * limit_ + rx;
  return unrotated;
}

template <bool kBlend, bool kMix>
void DabPainter::PaintGeneral(const int32_t* tipColumn, RuntimeRandom& rng) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  const int32_t* map = brush_->sizeIndexMap.data();
  const int32_t centre = size_ / 2;
  for (int32_t row = rect.y0; row < rect.y1; ++row) {
    RefreshCursors(rng);
    const int32_t tipRow = std::clamp(map[skipY + row - rect.y0], 0, size_ - 1);
    const int64_t lineStart = int64_t{row} * width_ + rect.x0;
    Pixel64* line = target_ + lineStart;
    for (int32_t k = 0; k < columns; ++k) {
      const int32_t tipX = tipColumn[k];
      const int32_t gritPos = tipRow * limit_ + tipX;
      const int32_t pos = rotate_ ? RotatedTipPos(tipX, tipRow, centre, gritPos) : gritPos;
      const uint32_t v = Coverage(lineStart + k, pos, gritPos, true);
      if (v != 0) PaintPixel<kBlend, kMix>(line[k], v, pos, rng);
    }
  }
}

// Step 7.
void DabPainter::PaintMaskValue(Mask16& m, uint32_t v, int32_t pos) noexcept {
  uint16_t* entries = reinterpret_cast<uint16_t*>(blend_);
  // The blend buffer's mask form: one value per pixel, rows of 4 L units.
  const int64_t entry = int64_t{pos / limit_} * limit_ * 4 + pos % limit_;
  int64_t j;
  if (!blendSource_) {
    j = maskValue_;
  } else {
    j = entries[entry];
  }
  if (colorVary_.table) j += NextColorOffset();
  j = std::clamp<int64_t>(j, 0, kFull);
  if (lumVary_.table) j = VaryLuminance(static_cast<uint32_t>(j), lumVary_.table[lumVary_.at++]);
  if (blendSource_ && ps_ > 0) j = Clamp16((int64_t{maskValue_} * ps_ + j * psInverse_) / 256);
  const uint32_t w = solid_ ? kFull : v;
  const uint32_t old = m;
  m = static_cast<Mask16>(((65536 - w) * old / 256 + w * static_cast<uint32_t>(j) / 256) / 256);
  if (remix_)
    entries[entry] = static_cast<uint16_t>(Clamp16((bs_ * j + old * bsInverse_) / 256 + 1));
}

void DabPainter::PaintMask(Mask16* mask, RuntimeRandom& rng) noexcept {
  const int32_t columns = rect.x1 - rect.x0;
  int32_t tipColumn[kSizeIndexEntries];
  const int32_t* map = brush_->sizeIndexMap.data();
  for (int32_t k = 0; k < columns; ++k) tipColumn[k] = std::clamp(map[skipX + k], 0, size_ - 1);
  const int32_t centre = size_ / 2;
  for (int32_t row = rect.y0; row < rect.y1; ++row) {
    RefreshCursors(rng);
    const int32_t tipRow = std::clamp(map[skipY + row - rect.y0], 0, size_ - 1);
    const int64_t lineStart = int64_t{row} * width_ + rect.x0;
    for (int32_t k = 0; k < columns; ++k) {
      const int32_t tipX = tipColumn[k];
      const int32_t gritPos = tipRow * limit_ + tipX;
      const int32_t pos = rotate_ ? RotatedTipPos(tipX, tipRow, centre, gritPos) : gritPos;
      const uint32_t v = Coverage(lineStart + k, pos, gritPos, false);
      if (v != 0) PaintMaskValue(mask[lineStart + k], v, pos);
    }
  }
}

}  // namespace dro::brush
