// Exports of the tool and brush settings, the splines and the brush tip:
// thin wrappers over dro::brush.
#include "brush/brush_shape.h"
#include "brush/settings.h"
#include "brush/spline.h"
#include "drovine.h"

namespace brush = dro::brush;

void DRO_CALL DRO_SetColor(int32_t red, int32_t green, int32_t blue) {
  brush::SetColor(red, green, blue);
}
void DRO_CALL DRO_SetColor16(int32_t red, int32_t green, int32_t blue) {
  brush::SetColor16(red, green, blue);
}
void DRO_CALL DRO_SetColorBanks(int32_t red0, int32_t green0, int32_t blue0, int32_t red1,
                                int32_t green1, int32_t blue1, int32_t red2, int32_t green2,
                                int32_t blue2, int32_t red3, int32_t green3, int32_t blue3) {
  const int32_t rgb[12] = {red0, green0, blue0, red1, green1, blue1,
                           red2, green2, blue2, red3, green3, blue3};
  brush::SetColorBanks(rgb);
}
void DRO_CALL DRO_SetBlendStrength(int32_t strength) {
  brush::SetBlendStrength(strength);
}
void DRO_CALL DRO_SetBlendPrimaryColorStrength(int32_t strength) {
  brush::SetBlendPrimaryColorStrength(strength);
}
void DRO_CALL DRO_SetBlendRemix(int32_t flag) {
  brush::SetBlendRemix(flag);
}
void DRO_CALL DRO_SetDensity(int32_t density) {
  brush::SetDensity(density);
}
void DRO_CALL DRO_SetAlpha(int32_t alpha) {
  brush::SetAlpha(alpha);
}
void DRO_CALL DRO_SetColorVary(int32_t amount) {
  brush::SetColorVary(amount);
}
void DRO_CALL DRO_SetAlphaLocked(int32_t flag) {
  brush::SetAlphaLocked(flag);
}
void DRO_CALL DRO_SetColorLocked(uint8_t flag) {
  brush::SetColorLocked(flag);
}
void DRO_CALL DRO_SetBlobLocked(uint8_t flag) {
  brush::SetBlobLocked(flag);
}
void DRO_CALL DRO_SetAlphaLevel(int32_t level) {
  brush::SetAlphaLevel(level);
}
void DRO_CALL DRO_SetImageBrushMode(int32_t mode) {
  brush::SetImageBrushMode(mode);
}
void DRO_CALL DRO_SetSolidBrushMode(int32_t mode) {
  brush::SetSolidBrushMode(mode);
}
void DRO_CALL DRO_SetRotateBrushMode(uint8_t flag, int32_t degrees) {
  brush::SetRotateBrushMode(flag, degrees);
}
void DRO_CALL DRO_SetMixMode(int32_t mode, int32_t amount) {
  brush::SetMixMode(mode, amount);
}
void DRO_CALL DRO_SetSize(int32_t size) {
  brush::SetSize(size);
}
void DRO_CALL DRO_SetScaleSize(int32_t count) {
  brush::SetScaleSize(count);
}
void DRO_CALL DRO_SetPixColorVary(int32_t amount) {
  brush::SetPixColorVary(amount);
}
void DRO_CALL DRO_SetPixLumVary(int32_t amount) {
  brush::SetPixLumVary(amount);
}
void DRO_CALL DRO_SetRandomSeed(int32_t seed) {
  brush::SetRandomSeed(seed);
}
void DRO_CALL DRO_SetGridSpacing(int32_t /*spacing*/) {}
void DRO_CALL DRO_DecDrawingLength(void) {
  brush::DecDrawingLength();
}
void DRO_CALL DRO_TempDisableBlend(void) {
  brush::TempDisableBlend();
}
void DRO_CALL DRO_SetMaskMakerOn(void) {
  brush::SetMaskMakerOn();
}
void DRO_CALL DRO_SetEraseModeOn(void) {
  brush::SetEraseModeOn();
}

int32_t DRO_CALL DRO_SetTool(float tipOpacity, int32_t gritCellSize, int32_t gritCellThreshold,
                             int32_t gritPixelThreshold, int32_t tipSoftness, int32_t colorVary,
                             int32_t drawingLength, int32_t blendStrength,
                             int32_t primaryColorStrength, int32_t blendRemix, int32_t toolOption10,
                             int32_t invertTip, int32_t toolOption12, const char* gritSource,
                             const char* shapeSource, int32_t shapeAngle) {
  brush::ToolValues tool;
  tool.tipOpacity = tipOpacity;
  tool.gritCellSize = gritCellSize;
  tool.gritCellThreshold = gritCellThreshold;
  tool.gritPixelThreshold = gritPixelThreshold;
  tool.tipSoftness = tipSoftness;
  tool.colorVary = colorVary;
  tool.drawingLength = drawingLength;
  tool.blendStrength = blendStrength;
  tool.primaryColorStrength = primaryColorStrength;
  tool.blendRemix = blendRemix;
  tool.toolOption10 = toolOption10;
  tool.invertTip = invertTip;
  tool.toolOption12 = toolOption12;
  tool.gritSource = gritSource;
  tool.shapeSource = shapeSource;
  tool.shapeAngle = shapeAngle;
  return brush::SetTool(tool) ? 1 : 0;
}

int32_t DRO_CALL DRO_CalcSpline3(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t x2,
                                 uint32_t y2, int32_t /*spare*/) {
  return brush::CalcSpline3(x0, y0, x1, y1, x2, y2) ? 1 : 0;
}
int32_t DRO_CALL DRO_GetSplinePointCount(void) {
  return brush::SplinePointCount();
}
double DRO_CALL DRO_GetSplinePointX(int32_t index) {
  return brush::SplinePointX(index);
}
double DRO_CALL DRO_GetSplinePointY(int32_t index) {
  return brush::SplinePointY(index);
}

void DRO_CALL DRO_SetBrushShape(const char* path, int32_t angle) {
  brush::SetBrushShape(path, angle);
}
void DRO_CALL DRO_SetBrushShape_ORIGINAL(const char* path, int32_t angle) {
  brush::SetBrushShapeOriginal(path, angle);
}
