// Exports of the mask buffer and the mask creators.
#include "drovine.h"
#include "mask/mask_ops.h"

namespace mk = dro::mask;

namespace {
const uint8_t* In(const void* p) {
  return static_cast<const uint8_t*>(p);
}
uint8_t* Out(void* p) {
  return static_cast<uint8_t*>(p);
}
}  // namespace

void DRO_CALL DRO_EnableMask(uint8_t flag) {
  mk::Enable(flag);
}

void DRO_CALL DRO_SetMaskOptions(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                                 int32_t b2, int32_t fullStrength) {
  mk::SetOptions(r1, g1, b1, r2, g2, b2, fullStrength);
}

void DRO_CALL DRO_InvertMask(void) {
  mk::Invert();
}

void DRO_CALL DRO_ClearMask(int32_t r, int32_t g, int32_t b) {
  mk::Clear(r, g, b);
}

void DRO_CALL DRO_SaveMask(void* rgb24, int32_t stride) {
  mk::SaveAsGrey(Out(rgb24), stride, "DRO_SaveMask");
}

void DRO_CALL DRO_LoadMask(const void* rgb24, int32_t stride, int32_t w, int32_t h) {
  mk::LoadFromGrey(In(rgb24), stride, w, h, "DRO_LoadMask");
}

void DRO_CALL DRO_CreateImageFromMask(void) {
  mk::ImageFromMask();
}

void DRO_CALL DRO_CreateAlphaFromMask(void) {
  mk::AlphaFromMask();
}

void DRO_CALL DRO_CreateMaskFromAlpha(void) {
  mk::MaskFromAlpha();
}

void DRO_CALL DRO_CreateMaskFromImage(void) {
  mk::MaskFromImage();
}

void DRO_CALL DRO_CreateMaskFromDiff_RGBA32(const void* imageA, const void* imageB, int32_t value) {
  mk::FromDiff(In(imageA), In(imageB), value, "DRO_CreateMaskFromDiff_RGBA32");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageColor(const void* rgba32, int32_t r, int32_t g, int32_t b,
                                               int32_t strength) {
  mk::FromColor(In(rgba32), 4, r, g, b, strength, "DRO_CreateMaskFromRGBAImageColor");
}

void DRO_CALL DRO_CreateMaskFromRGB24ImageColor(const void* rgb24, int32_t r, int32_t g, int32_t b,
                                                int32_t strength) {
  mk::FromColor(In(rgb24), 3, r, g, b, strength, "DRO_CreateMaskFromRGB24ImageColor");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageColorRange(const void* rgba32, int32_t r, int32_t g,
                                                    int32_t b, int32_t tolerance,
                                                    int32_t strength) {
  mk::FromColorRange(In(rgba32), r, g, b, tolerance, strength,
                     "DRO_CreateMaskFromRGBAImageColorRange");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageAlphaRange(const void* rgba32, int32_t a,
                                                    int32_t tolerance, int32_t strength) {
  mk::FromAlphaRange(In(rgba32), a, tolerance, strength, "DRO_CreateMaskFromRGBAImageAlphaRange");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageLuminanceRange(const void* rgba32, int32_t r, int32_t g,
                                                        int32_t b, int32_t tolerance,
                                                        int32_t strength) {
  mk::FromLuminanceRange(In(rgba32), r, g, b, tolerance, strength,
                         "DRO_CreateMaskFromRGBAImageLuminanceRange");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageHueRange(const void* rgba32, int32_t r, int32_t g,
                                                  int32_t b, int32_t tolerance, int32_t strength) {
  mk::FromHueRange(In(rgba32), r, g, b, tolerance, strength, "DRO_CreateMaskFromRGBAImageHueRange");
}

void DRO_CALL DRO_CreateMaskFromRGBAImageHSLRange(const void* rgba32, int32_t r, int32_t g,
                                                  int32_t b, double hueTolerance,
                                                  double saturationTolerance,
                                                  double lightnessTolerance, int32_t strength) {
  mk::FromHslRange(In(rgba32), r, g, b, hueTolerance, saturationTolerance, lightnessTolerance,
                   strength, "DRO_CreateMaskFromRGBAImageHSLRange");
}

void DRO_CALL DRO_CreateMaskFromFloodMask(const void* flags, int32_t strength) {
  mk::FromFloodFlags(In(flags), strength, "DRO_CreateMaskFromFloodMask");
}

void DRO_CALL DRO_ApplyMaskToAlphaRect_RGBA32(void* rgba32, int32_t stride, int32_t x0, int32_t y0,
                                              int32_t x1, int32_t y1) {
  mk::ApplyToAlphaRect(Out(rgba32), stride, x0, y0, x1, y1, "DRO_ApplyMaskToAlphaRect_RGBA32");
}

void DRO_CALL DRO_ApplyMaskToAlpha_RGBA32(void* rgba32) {
  mk::ApplyToAlpha(Out(rgba32), "DRO_ApplyMaskToAlpha_RGBA32");
}

void DRO_CALL DRO_ReplaceFromRGBAImageAlphaRange(void* rgba32, int32_t a, int32_t tolerance,
                                                 int32_t r, int32_t g, int32_t b, int32_t newA) {
  mk::ReplaceAlphaRange(Out(rgba32), a, tolerance, r, g, b, newA,
                        "DRO_ReplaceFromRGBAImageAlphaRange");
}

int32_t DRO_CALL DRO_GetMaskData16(void* dst) {
  return mk::CopyOut(dst, "DRO_GetMaskData16");
}

int32_t DRO_CALL DRO_SetMaskData16(const void* src) {
  return mk::CopyIn(src, "DRO_SetMaskData16");
}
