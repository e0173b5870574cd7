#include "brush/settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "base/pixel.h"
#include "base/random.h"
#include "brush/brush_shape.h"
#include "brush/brush_state.h"
#include "brush/dab.h"
#include "brush/grit.h"
#include "brush/source_picture.h"

namespace dro::brush {
namespace {

// A non-positive strength keeps the inverse the last positive one gave.
void DeriveInverses() noexcept {
  BrushState& b = State();
  if (b.blendStrength > 0) b.inverseBlendStrength = 256 - b.blendStrength;
  if (b.primaryColorStrength > 0) b.inversePrimaryColorStrength = 256 - b.primaryColorStrength;
}

bool HasSource(const char* path) noexcept {
  return path && path[0] != '\0' && path[1] != '\0';
}

}  // namespace

int32_t BrushSize() noexcept {
  const CanvasGeometry& geometry = Geometry();
  const BrushState& brushState = State();
  return std::clamp(brushState.size, 0, std::max(geometry.brushLimit, 0));
}

void SetColor(int32_t red, int32_t green, int32_t blue) noexcept {
  State().color = {WidenLowByte(red), WidenLowByte(green), WidenLowByte(blue), 65535};
}

void SetColor16(int32_t red, int32_t green, int32_t blue) noexcept {
  State().color = {static_cast<uint16_t>(red), static_cast<uint16_t>(green),
                   static_cast<uint16_t>(blue), 65535};
}

void SetColorBanks(const int32_t (&rgb)[12]) noexcept {
  std::array<uint16_t, 16>& banks = State().colorBanks;
  for (int32_t bank = 0; bank < 4; ++bank) {
    banks[bank] = WidenLowByte(rgb[bank * 3]);
    banks[4 + bank] = WidenLowByte(rgb[bank * 3 + 1]);
    banks[8 + bank] = WidenLowByte(rgb[bank * 3 + 2]);
    banks[12 + bank] = 65535;
  }
}

void SetBlendStrength(int32_t strength) noexcept {
  BrushState& b = State();
  b.blendStrength = strength;
  if (strength > 0) b.inverseBlendStrength = 256 - strength;
}

void SetBlendPrimaryColorStrength(int32_t strength) noexcept {
  BrushState& b = State();
  b.primaryColorStrength = strength;
  if (strength > 0) b.inversePrimaryColorStrength = 256 - strength;
}

void SetBlendRemix(int32_t flag) noexcept {
  State().blendRemix = static_cast<uint8_t>(flag);
}

void SetDensity(int32_t density) noexcept {
  // Kept one lower: the dab renderer counts from zero. The subtraction is
  // done without overflow for the lowest int.
  State().density = static_cast<int32_t>(static_cast<uint32_t>(density) - 1u);
}

void SetAlpha(int32_t alpha) noexcept {
  BrushState& b = State();
  b.alpha = alpha;
  // A percentage on the 0..128 scale the dab renderer blends with.
  b.alphaScaled = static_cast<int32_t>(std::clamp(alpha * 1.28, -2147483648.0, 2147483647.0));
}

void SetColorVary(int32_t amount) noexcept {
  State().colorVary = amount;
}
void SetAlphaLocked(int32_t flag) noexcept {
  State().alphaLocked = flag;
}
void SetColorLocked(uint8_t flag) noexcept {
  State().colorLocked = flag;
}
void SetBlobLocked(uint8_t flag) noexcept {
  State().blobLocked = flag;
}
void SetAlphaLevel(int32_t level) noexcept {
  State().alphaLevel = level;
}
void SetImageBrushMode(int32_t mode) noexcept {
  State().imageBrushMode = mode;
}
void SetSolidBrushMode(int32_t mode) noexcept {
  State().solidBrushMode = mode;
}

void SetRotateBrushMode(uint8_t flag, int32_t degrees) noexcept {
  BrushState& b = State();
  b.rotateBrush = flag;
  b.rotateDegrees = degrees;
  // Degrees to radians with the engine's own pi; the sine comes from the
  // double angle, the cosine from the angle as stored.
  const double radians = degrees * 0.005555555555555556 * 3.14159;
  b.rotateAngle = static_cast<float>(radians);
  b.rotateSin = static_cast<float>(std::sin(radians));
  b.rotateCos = static_cast<float>(std::cos(static_cast<double>(b.rotateAngle)));
}

void SetMixMode(int32_t mode, int32_t amount) noexcept {
  BrushState& b = State();
  b.mixMode = mode;
  b.mixAmount = amount;
  b.mixInverse = static_cast<int32_t>(256 - int64_t{amount});
  // t runs from -1 at amount 0 through 0 at 127 to just above 1 at 255.
  const double t = (static_cast<double>(amount) - 127) * 0.007874015748031496;
  b.mixTenths = static_cast<int32_t>(std::clamp(t * 10, -2147483648.0, 2147483647.0));
  b.mixShift = static_cast<int32_t>(std::clamp(t * 16, -2147483648.0, 2147483647.0));
}

void SetSize(int32_t size) noexcept {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  // The size index map has 1000 entries and every brush-sized buffer is
  // L wide; a larger size would run past both.
  int32_t limit = kMaxBrushSize;
  if (geometry.live) limit = std::min(limit, std::max(geometry.brushLimit, 0));
  const int32_t s = std::clamp(size, 0, limit);
  if (s != size)
    Diagnose("DRO_SetSize", "size %d outside 0..%d (%s), %d used", size, limit,
             geometry.live ? "the brush size limit, at most 1000" : "at most 1000", s);
  b.size = s;
  b.scaledCount = s;
  for (int32_t i = 0; i < s; ++i) b.sizeIndexMap[i] = i;
}

void SetScaleSize(int32_t count) noexcept {
  BrushState& b = State();
  const int32_t s = BrushSize();
  int32_t n = std::max(count, 1);
  n = std::min(n, s);
  n = std::min(n, kMaxScaledCount);
  b.scaledCount = std::max(n, 0);
  if (n <= 0) return;  // a size of 0 has nothing to sample
  // Sample the middle of each of n equal spans of the tip. The position is
  // accumulated in single precision, one step per entry.
  const int32_t half = s / (2 * n);
  const float step = static_cast<float>(s) / static_cast<float>(n);
  float offset = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t at = static_cast<int32_t>(static_cast<float>(half) + offset);
    b.sizeIndexMap[i] = std::min(at, s - 1);
    offset += step;
  }
}

void SetPixColorVary(int32_t amount) noexcept {
  const CanvasGeometry& geometry = Geometry();
  BrushState& brushState = State();
  brushState.pixColorVaryAmount = amount;
  if (amount > 0)
    BuildRandomTable(brushState.pixColorVary, 1000, 3 * std::max(geometry.brushLimit, 0));
}

void SetPixLumVary(int32_t amount) noexcept {
  const CanvasGeometry& geometry = Geometry();
  BrushState& brushState = State();
  brushState.pixLumVaryAmount = amount;
  if (amount > 0)
    BuildRandomTable(brushState.pixLumVary, 256, 3 * std::max(geometry.brushLimit, 0));
}

void SetRandomSeed(int32_t seed) noexcept {
  RandomState& randomState = Random();
  randomState.seed = seed;
  randomState.generator.Seed(static_cast<uint32_t>(seed));
}

void DecDrawingLength() noexcept {
  int32_t& counter = State().drawingLengthCounter;
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) - 1u);
}

void TempDisableBlend() noexcept {
  State().tempBlendOff = 1;
}
void SetMaskMakerOn() noexcept {
  State().maskMaker = 1;
}
void SetEraseModeOn() noexcept {
  State().eraseMode = 1;
}

bool SetTool(const ToolValues& tool) noexcept {
  return Guard(Operation::kSetTool, false, [&] {
    BrushState& b = State();
    RandomState& randomState = Random();
    // The same tool with the same seed always yields the same grain.
    randomState.generator.Seed(static_cast<uint32_t>(randomState.seed));

    b.tipOpacity = tool.tipOpacity;
    b.gritCellSize = tool.gritCellSize;
    b.gritCellThreshold = tool.gritCellThreshold;
    b.gritPixelThreshold = tool.gritPixelThreshold;
    b.tipSoftness = static_cast<uint8_t>(tool.tipSoftness);
    b.colorVary = tool.colorVary;
    b.drawingLength = tool.drawingLength;
    b.blendStrength = tool.blendStrength;
    b.primaryColorStrength = tool.primaryColorStrength;
    b.blendRemix = static_cast<uint8_t>(tool.blendRemix);
    b.toolOption10 = static_cast<uint8_t>(tool.toolOption10);
    b.invertTip = static_cast<uint8_t>(tool.invertTip);
    b.toolOption12 = static_cast<uint8_t>(tool.toolOption12);
    b.shapeAngle = tool.shapeAngle;
    b.mixMode = static_cast<int32_t>(MixMode::kPaint);

    if (tool.gritCellSize != 0) MakeRandomGrit();

    if (HasSource(tool.gritSource)) {
      // A grit picture that cannot be used leaves the grain as it is and the
      // tool goes on; running out of memory on the way is recorded.
      try {
        if (!MakeGritFromSource(tool.gritSource) && DiagnosticsOn())
          Diagnose("DRO_SetTool", "grit picture \"%s\" unusable (%s); the grain is left as it was",
                   tool.gritSource, SourcePictureProblem(tool.gritSource));
      } catch (const std::bad_alloc&) {
        RecordFailure(Operation::kSetTool);
      } catch (...) {
      }
    }

    SetBrushShape(tool.shapeSource, tool.shapeAngle);
    DeriveInverses();
    b.tempBlendOff = 0;
    b.maskMaker = 0;
    b.eraseMode = 0;
    return true;
  });
}

}  // namespace dro::brush
