// Brush state: the tool settings, the grit buffers, the brush tip, the cached
// tip source and the seeded tables.
//
// Everything here is global, zero at load and keeps its value until set again
// (a new canvas resets none of it). The setters in settings.cpp store the
// values and their derived forms; the dab renderer and the blend-buffer
// transfers read them. Readers of the brush size use dro::brush::BrushSize()
// (settings.h), which also bounds it by the current brush size limit.
#pragma once

#include <array>
#include <cstdint>

#include "base/allocation.h"
#include "base/random.h"
#include "base/types.h"
#include "brush/image_brush_state.h"

namespace dro::brush {

constexpr int32_t kGritBuffers = 20;
constexpr int32_t kGritMargin = 25;  // each grit buffer is (L + 25)^2 bytes
constexpr int32_t kGritTableLength = 1000000;
constexpr int32_t kSizeIndexEntries = 1000;
constexpr int32_t kMaxBrushSize = 1000;  // the size index map holds 1000 entries
constexpr int32_t kMaxScaledCount = 999;
constexpr int32_t kShapePathSize = 1024;  // 1023 characters and a NUL
constexpr int32_t kSplinePoints = 100;

// The picture a brush tip was last made from, kept so that a tool set before
// every stroke loads and rotates its picture only once. Pixels are RGBA,
// tight rows of width x 4 bytes, already rotated by `angle` degrees.
struct ShapeSource {
  Buffer<uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  // Path the picture came from; empty when it could not be remembered (a
  // path too long for the buffer), so that no later call matches it.
  char path[kShapePathSize] = {};
  int32_t angle = 0;

  bool present() const noexcept { return pixels.present(); }
  void Reset() noexcept {
    pixels.Reset();
    width = 0;
    height = 0;
    path[0] = '\0';
    angle = 0;
  }
};

struct BrushState {
  // --- Colour ------------------------------------------------------------
  // Current colour, 16 bits per channel: red, green, blue, alpha.
  std::array<uint16_t, 4> color = {};
  // Colour banks: reds of banks 0..3, then greens, blues, alphas (65535).
  std::array<uint16_t, 16> colorBanks = {};

  // --- Blending ----------------------------------------------------------
  int32_t blendStrength = 0;
  int32_t inverseBlendStrength = 0;  // 256 - blendStrength, kept while <= 0
  int32_t primaryColorStrength = 0;
  int32_t inversePrimaryColorStrength = 0;
  uint8_t blendRemix = 0;
  int32_t density = 0;      // the host's density - 1
  int32_t alpha = 0;        // as the host gave it
  int32_t alphaScaled = 0;  // trunc(alpha x 1.28): percent to 0..128
  int32_t colorVary = 0;
  int32_t alphaLocked = 0;
  uint8_t colorLocked = 0;
  uint8_t blobLocked = 0;
  int32_t alphaLevel = 0;
  int32_t imageBrushMode = 0;
  int32_t solidBrushMode = 0;

  // --- Rotation ----------------------------------------------------------
  uint8_t rotateBrush = 0;
  int32_t rotateDegrees = 0;
  float rotateAngle = 0;  // radians
  float rotateSin = 0;
  float rotateCos = 0;

  // --- Mix ---------------------------------------------------------------
  int32_t mixMode = 0;
  int32_t mixAmount = 0;   // 0..255
  int32_t mixInverse = 0;  // 256 - mixAmount
  int32_t mixTenths = 0;   // trunc(t x 10), t = (amount - 127) / 127
  int32_t mixShift = 0;    // trunc(t x 16): -16..16

  // --- Size --------------------------------------------------------------
  // Brush size S: 0..1000, and no larger than the brush size limit at the
  // time it was set. Read it through BrushSize().
  int32_t size = 0;
  int32_t scaledCount = 0;  // entries of sizeIndexMap in use
  // Source row/column of each scaled dab row/column, all below `size`.
  std::array<int32_t, kSizeIndexEntries> sizeIndexMap = {};

  // --- Per-pixel variation -------------------------------------------------
  int32_t pixColorVaryAmount = 0;
  int32_t pixLumVaryAmount = 0;

  // --- Tool (DRO_SetTool) --------------------------------------------------
  float tipOpacity = 0;      // multiplies every tip value; 1.0 = full
  int32_t gritCellSize = 0;  // 0: no grit applied by the dab renderer
  int32_t gritCellThreshold = 0;
  int32_t gritPixelThreshold = 0;
  uint8_t tipSoftness = 0;    // soft edge of a generated disc, /255 of R
  int32_t drawingLength = 0;  // what the drawing-length counter restarts at
  uint8_t toolOption10 = 0;   // kept for the host; nothing reads it
  uint8_t invertTip = 0;
  uint8_t toolOption12 = 0;  // kept for the host; nothing reads it
  int32_t shapeAngle = 0;    // degrees, rotation of a tip picture

  // --- Counters and one-dab flags -----------------------------------------
  // Counted down once per dab by the host; restarted at drawingLength when
  // grit or a tip is made.
  int32_t drawingLengthCounter = 0;
  // Set by their exports before a dab, cleared by the dab and by SetTool.
  uint8_t tempBlendOff = 0;
  uint8_t maskMaker = 0;
  uint8_t eraseMode = 0;

  // --- Buffers -----------------------------------------------------------
  // 20 grain patterns of (L + 25)^2 bytes; rows of S + 25 bytes at stride L.
  // 255 = no grain, otherwise the level 0..253 (or a grey value from a grit
  // picture).
  std::array<Buffer<uint8_t>, kGritBuffers> grit;
  int32_t currentGrit = 0;  // the buffer made last
  // Where in the current buffer the dab reads its grain (0 when made).
  int32_t currentGritOffset = 0;
  // L x L coverage, row stride L; the top-left S x S square is the tip.
  Buffer<Mask16> tip;
  ShapeSource shapeSourceCache;

  RandomTable gritDecision;  // rand() % 255
  RandomTable gritLevel;     // rand() % 254
  RandomTable pixColorVary;  // rand() % 1000, 3 x L
  RandomTable pixLumVary;    // rand() % 256, 3 x L

  // --- Spline ------------------------------------------------------------
  std::array<double, kSplinePoints> splineX = {};
  std::array<double, kSplinePoints> splineY = {};
  int32_t splineCount = 0;  // 0 until the first spline

  // --- Pick-up ------------------------------------------------------------
  // L x L colour picked up under the dab (blend_buffer.h).
  Buffer<Pixel64> blendBuffer;

  // --- Image brushes -------------------------------------------------------
  ImageBrushState imageBrush;
};

// The engine's brush state (the engine aggregate owns it).
BrushState& State() noexcept;

}  // namespace dro::brush
