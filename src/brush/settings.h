// Tool and brush settings: the single-value setters and DRO_SetTool.
//
// Setters store a value and what derives from it; none of them is guarded
// (the vary tables guard their own build). SetTool is guarded ("SetTool").
#pragma once

#include <cstdint>

namespace dro::brush {

// The brush size S every reader uses: the stored size, bounded by the
// current brush size limit (a later canvas may have a smaller limit than the
// one the size was set under).
int32_t BrushSize() noexcept;

void SetColor(int32_t red, int32_t green, int32_t blue) noexcept;
void SetColor16(int32_t red, int32_t green, int32_t blue) noexcept;
// Red, green, blue of bank 0, then of banks 1, 2 and 3 (12 values).
void SetColorBanks(const int32_t (&rgb)[12]) noexcept;
void SetBlendStrength(int32_t strength) noexcept;
void SetBlendPrimaryColorStrength(int32_t strength) noexcept;
void SetBlendRemix(int32_t flag) noexcept;
void SetDensity(int32_t density) noexcept;
void SetAlpha(int32_t alpha) noexcept;
void SetColorVary(int32_t amount) noexcept;
void SetAlphaLocked(int32_t flag) noexcept;
void SetColorLocked(uint8_t flag) noexcept;
void SetBlobLocked(uint8_t flag) noexcept;
void SetAlphaLevel(int32_t level) noexcept;
void SetImageBrushMode(int32_t mode) noexcept;
void SetSolidBrushMode(int32_t mode) noexcept;
void SetRotateBrushMode(uint8_t flag, int32_t degrees) noexcept;
void SetMixMode(int32_t mode, int32_t amount) noexcept;
void SetSize(int32_t size) noexcept;
void SetScaleSize(int32_t count) noexcept;
void SetPixColorVary(int32_t amount) noexcept;
void SetPixLumVary(int32_t amount) noexcept;
void SetRandomSeed(int32_t seed) noexcept;

void DecDrawingLength() noexcept;
void TempDisableBlend() noexcept;
void SetMaskMakerOn() noexcept;
void SetEraseModeOn() noexcept;

// The sixteen values of DRO_SetTool.
struct ToolValues {
  float tipOpacity = 1.0f;
  int32_t gritCellSize = 0;
  int32_t gritCellThreshold = 0;
  int32_t gritPixelThreshold = 0;
  int32_t tipSoftness = 0;
  int32_t colorVary = 0;
  int32_t drawingLength = 0;
  int32_t blendStrength = 0;
  int32_t primaryColorStrength = 0;
  int32_t blendRemix = 0;
  int32_t toolOption10 = 0;
  int32_t invertTip = 0;
  int32_t toolOption12 = 0;
  const char* gritSource = nullptr;
  const char* shapeSource = nullptr;
  int32_t shapeAngle = 0;
};

// Stores the tool, makes the grit and the brush tip. Guarded ("SetTool"):
// returns false when a failure ended the call early.
bool SetTool(const ToolValues& tool) noexcept;

}  // namespace dro::brush
