// Exports of the layer table and the paint layer.
#include "composite/layer_transfers.h"
#include "composite/layers.h"
#include "drovine.h"

namespace composite = dro::composite;

namespace {
dro::Pixel64* Pixels(void* p) {
  return static_cast<dro::Pixel64*>(p);
}
uint8_t* Bytes(void* p) {
  return static_cast<uint8_t*>(p);
}
}  // namespace

int32_t DRO_CALL DRO_DeletePaintLayer(void) {
  return composite::DeletePaintLayer();
}

void DRO_CALL DRO_DeleteLayer(int32_t slot) {
  composite::DeleteLayer(slot);
}

void DRO_CALL DRO_SetLayerOptions(int32_t slot, uint8_t visible, uint8_t lockAlpha,
                                  int32_t opacityPercent, const char* modeName) {
  composite::SetLayerOptions(slot, visible, lockAlpha, opacityPercent, modeName);
}

void DRO_CALL DRO_MergeLayer(int32_t src, int32_t dst) {
  composite::MergeLayer(src, dst);
}

void DRO_CALL DRO_MergeLayerIntoRect(int32_t slot, void* dst, int32_t x, int32_t y, int32_t w,
                                     int32_t h) {
  composite::MergeLayerIntoRect(slot, Pixels(dst), x, y, w, h, "DRO_MergeLayerIntoRect");
}

void DRO_CALL DRO_MergeLayerInto(int32_t slot, void* dst) {
  composite::MergeLayerInto(slot, Pixels(dst));
}

void DRO_CALL DRO_MergeRect(void* dst, int32_t x, int32_t y, int32_t w, int32_t h) {
  composite::MergeRect(Pixels(dst), x, y, w, h, "DRO_MergeRect");
}

void DRO_CALL DRO_Merge(void* dst) {
  composite::Merge(Pixels(dst));
}

void DRO_CALL DRO_CreatePaintLayer(int32_t opacityPercent, const char* modeName) {
  composite::CreatePaintLayer(opacityPercent, modeName);
}

void DRO_CALL DRO_ClearPaintLayer(void) {
  composite::ClearPaintLayer();
}

void DRO_CALL DRO_ClearPaintLayer_old(void) {
  composite::WhitenPaintLayerOutsideDirty();
}

void DRO_CALL DRO_MergePaintLayer(int32_t slot) {
  composite::MergePaintLayer(slot);
}

void DRO_CALL DRO_BlurPaintLayerAlpha(void) {
  composite::BlurPaintLayerAlpha();
}

void DRO_CALL DRO_SetLayerAlpha(int32_t slot, int32_t alpha16) {
  composite::SetLayerAlpha(slot, alpha16);
}

void DRO_CALL DRO_NormalizeLayerAlpha(int32_t slot) {
  composite::NormalizeLayerAlpha(slot);
}

void DRO_CALL DRO_InvertAlpha(int32_t slot) {
  composite::InvertAlpha(slot);
}

void DRO_CALL DRO_InvertAlpha_RGBA32(void* rgba32) {
  composite::InvertAlphaRgba32(Bytes(rgba32), "DRO_InvertAlpha_RGBA32");
}

void DRO_CALL DRO_SetColorAlpha(int32_t r, int32_t g, int32_t b) {
  composite::SetColorAlpha(r, g, b);
}

void DRO_CALL DRO_SetColorAlphaRGBABuf(void* rgba32, int32_t w, int32_t h, int32_t r, int32_t g,
                                       int32_t b) {
  composite::SetColorAlphaRgba32(Bytes(rgba32), w, h, r, g, b, "DRO_SetColorAlphaRGBABuf");
}

void DRO_CALL DRO_SetColorRGBABuf(void* rgba32, int32_t w, int32_t h, int32_t r, int32_t g,
                                  int32_t b) {
  composite::SetColorRgba32(Bytes(rgba32), w, h, r, g, b, "DRO_SetColorRGBABuf");
}

void DRO_CALL DRO_SetAlphaFromRGBAImageColor(void* rgba32, int32_t r, int32_t g, int32_t b) {
  composite::SetAlphaFromRgba32Color(Bytes(rgba32), r, g, b, "DRO_SetAlphaFromRGBAImageColor");
}

void DRO_CALL DRO_CreateBlobFromImage(int32_t slot, int32_t kind) {
  composite::CreateBlobFromImage(slot, kind);
}

int32_t DRO_CALL DRO_SetRGBA64Layer(const void* src, int32_t srcStrideBytes, int32_t layer) {
  return composite::SetLayerRgba64(src, srcStrideBytes, layer);
}

int32_t DRO_CALL DRO_GetRGBA64Layer(void* dst, int32_t dstStrideBytes, int32_t layer) {
  return composite::GetLayerRgba64(dst, dstStrideBytes, layer);
}

int32_t DRO_CALL DRO_GetRGBA64LayerRect(void* dst, int32_t dstStrideBytes, int32_t layer, int32_t x,
                                        int32_t y, int32_t w, int32_t h) {
  return composite::GetLayerRgba64Rect(dst, dstStrideBytes, layer, x, y, w, h);
}

int32_t DRO_CALL DRO_SetLayerData(const void* src, int32_t layer) {
  return composite::SetLayerData(src, layer);
}

int32_t DRO_CALL DRO_GetLayerData(void* dst, int32_t layer) {
  return composite::GetLayerData(dst, layer);
}

int32_t DRO_CALL DRO_CopyLayerData(int32_t fromLayer, int32_t toLayer) {
  return composite::CopyLayerData(fromLayer, toLayer);
}

void DRO_CALL DRO_LoadRGBA32Layer_BAD(void* data, int32_t ignored, int32_t slot, int32_t w,
                                      int32_t h, uint8_t useMask) {
  (void)ignored;
  composite::ReplaceLayerWithRgba32(Bytes(data), slot, w, h, useMask != 0);
}
