// The per-pixel half of a dab: everything a dab reads, gathered once, and
// the loops that stamp it into pixels or into the mask.
#pragma once

#include <cstdint>

#include "base/canvas_state.h"
#include "brush/brush_state.h"
#include "brush/dab.h"
#include "brush/dab_kernels.h"
#include "composite/layer_state.h"
#include "mask/mask_state.h"

namespace dro::brush {

// A read position in a pixel vary table, kept across the rows of one dab.
struct VaryCursor {
  const uint8_t* table = nullptr;  // null: this vary is off for the dab
  int32_t length = 0;
  int32_t amount = 0;
  int32_t at = -1;  // unset until the first row
};

// Test hook: off, every dab takes the general per-pixel path (the
// reference for the fast paths).
void SetDabFastPathsEnabled(bool enabled) noexcept;
// Whether the dab's fast paths (and the pick-up's) may run.
bool DabFastPathsEnabled() noexcept;

class DabPainter {
 public:
  // Gathers the settings and buffers of a pixel dab into `target` (a
  // canvas-size layer). False when the dab cannot paint (no tip, no grit
  // or blend buffer where one is needed).
  bool Setup(Pixel64* target, bool paintLayer, const int64_t color[4]) noexcept;
  // The same for a mask dab of paint value `value`.
  bool SetupMask(uint32_t value) noexcept;

  // Paints the rectangle `rect` (canvas columns x0..x1 - 1, rows y0..y1 - 1)
  // whose first pixel is dab pixel (skipX, skipY) of a count x count dab.
  void Paint(RuntimeRandom& rng) noexcept;
  void PaintMask(Mask16* mask, RuntimeRandom& rng) noexcept;

  IntRect rect{0, 0, 0, 0};
  int32_t skipX = 0;
  int32_t skipY = 0;
  int32_t count = 0;

 private:
  bool SetupCommon() noexcept;
  void RefreshCursors(RuntimeRandom& rng) noexcept;
  // The tip coverage of canvas pixel `index` at tip offset `tipPos` and
  // grit offset `gritPos`; 0 where the pixel is not painted.
  uint32_t Coverage(int64_t index, int32_t tipPos, int32_t gritPos,
                    bool weighByMask) const noexcept;
  // The tip offset of (tipX, tipRow) turned about the tip centre; a point
  // turned off the tip keeps its unrotated offset.
  int32_t RotatedTipPos(int32_t tipX, int32_t tipRow, int32_t centre,
                        int32_t unrotated) const noexcept;

  // kBlend: the source is the blend buffer's pick-up; kMix: a formula mix
  // mode (not OnPlainPath).
  template <bool kBlend, bool kMix>
  void PaintGeneral(const int32_t* tipColumn, RuntimeRandom& rng) noexcept;
  // One pixel of the general path, in the stages below; each is inlined
  // into the row loop of its kind.
  template <bool kBlend, bool kMix>
  void PaintPixel(Pixel64& t, uint32_t v, int32_t pos, RuntimeRandom& rng) noexcept;
  // Source: the colour p and alpha pA for the pixel (an image brush's
  // pick-up may thin the coverage v).
  template <bool kBlend>
  void Source(uint32_t& v, int32_t pos, uint32_t p[3], uint32_t& pA) noexcept;
  // Composite: the source over the target (d, dA) by the plain paint path,
  // or by a formula mix mode (which pre-tints d and may clear pA).
  template <bool kBlend>
  void CompositePlain(uint32_t v, const uint32_t p[3], uint32_t pA, const uint32_t d[3],
                      uint32_t dA, uint32_t out[3], uint32_t& newA) const noexcept;
  void CompositeMix(uint32_t v, const uint32_t p[3], uint32_t& pA, uint32_t d[3], uint32_t dA,
                    RuntimeRandom& rng, uint32_t out[3], uint32_t& newA) const noexcept;
  // Remix: source and target back into the blend buffer at tip offset pos.
  void Remix(int32_t pos, const uint32_t p[3], uint32_t pA, const uint32_t d[3],
             uint32_t dA) noexcept;
  // Write: the composite under the colour, alpha and blob locks and the
  // alpha level (not for erase dabs)...
  void Write(Pixel64& t, const uint32_t out[3], uint32_t newA, uint32_t dA) const noexcept;
  // ... and for an erase dab: alpha only, never raised.
  void WriteErase(Pixel64& t, uint32_t newA, uint32_t dA) const noexcept;
  int32_t RowCoverage(int32_t row, const int32_t* tipColumn, uint32_t* cover) const noexcept;
  void PaintPlain(const int32_t* tipColumn) noexcept;
  WriteRule KernelWriteRule() const noexcept;
  bool PickupRowsFit(const int32_t* tipColumn) const noexcept;
  PickupRow KernelPickupRow() const noexcept;
  void PaintPickupRows(const int32_t* tipColumn, RuntimeRandom& rng) noexcept;
  bool MixRowsFit() const noexcept;
  template <bool kBlend>
  void PaintMixRows(const int32_t* tipColumn, RuntimeRandom& rng) noexcept;
  void PlainPixel(Pixel64& t, uint32_t v) noexcept;
  void PaintMaskValue(Mask16& m, uint32_t v, int32_t pos) noexcept;
  uint32_t VaryLuminance(uint32_t x, uint8_t byte) const noexcept;
  int64_t NextColorOffset() noexcept;

  // Canvas and tip.
  int32_t width_ = 0;
  int32_t limit_ = 0;  // L: the row stride of tip, grit and blend buffer
  int32_t size_ = 0;   // S
  const BrushState* brush_ = nullptr;
  const Mask16* tip_ = nullptr;
  const uint8_t* grit_ = nullptr;  // the current grit window, or null
  const uint8_t* texture_ = nullptr;
  const Mask16* mask_ = nullptr;  // the enabled mask, or null
  int32_t density_ = 0;
  bool scaleAlpha_ = false;
  uint32_t alphaScale_ = 128;
  bool solid_ = false;
  bool rotate_ = false;
  float cos_ = 1;
  float sin_ = 0;

  // Source colour.
  uint32_t color_[4] = {};
  Pixel64* blend_ = nullptr;  // blend buffer, when read or remixed
  bool blendSource_ = false;
  bool remix_ = false;
  bool imageBrush_ = false;
  int64_t bs_ = 0, bsInverse_ = 0, ps_ = 0, psInverse_ = 0;
  VaryCursor colorVary_;
  VaryCursor lumVary_;

  // Composite and write.
  Pixel64* target_ = nullptr;
  MixMode mixMode_{};
  MixSettings mix_;
  bool erase_ = false;
  bool colorLock_ = false;
  bool blobLock_ = false;
  bool alphaWritable_ = true;
  uint32_t alphaLevel_ = 0;  // 0: write the composite's alpha

  // Mask dabs.
  uint32_t maskValue_ = 0;
};

}  // namespace dro::brush
