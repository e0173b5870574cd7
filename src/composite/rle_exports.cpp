// Exports of the run-length lines: raw lines, layer rows and mask rows.
#include "base/canvas_state.h"
#include "composite/pixel_transfers.h"
#include "composite/rle.h"
#include "drovine.h"
#include "mask/mask_state.h"

namespace composite = dro::composite;
namespace rle = dro::rle;

int32_t DRO_CALL DRO_RLECompressRGBA64ToRGBA32(const void* src, void* dst, int32_t n) {
  return rle::EncodeRgbaLine(static_cast<const dro::Pixel64*>(src), n, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_RLEUncompressRGBA32ToRGBA64(const void* src, void* dst, int32_t n) {
  return rle::DecodeRgbaLine(static_cast<const uint8_t*>(src), static_cast<dro::Pixel64*>(dst), n);
}

int32_t DRO_CALL DRO_RLECompressG16ToG8(const void* src, void* dst, int32_t n) {
  return rle::EncodeMaskLine(static_cast<const dro::Mask16*>(src), n, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_RLEUncompressG8ToG16(const void* src, void* dst, int32_t n) {
  return rle::DecodeMaskLine(static_cast<const uint8_t*>(src), static_cast<dro::Mask16*>(dst), n);
}

int32_t DRO_CALL DRO_GetRGBA32LayerLineRLE(void* dst, int32_t slot, int32_t row) {
  const dro::Plane layer = composite::LayerOnCanvas(slot);
  if (!layer || row < 0 || row >= layer.height) return 0;
  return rle::EncodeRgbaLine(layer.Row(row), layer.width, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_PutRGBA32LayerLineRLE(const void* src, int32_t slot, int32_t row) {
  const dro::Plane layer = composite::LayerOnCanvas(slot);
  if (!layer || row < 0 || row >= layer.height) return 0;
  return rle::DecodeRgbaLine(static_cast<const uint8_t*>(src), layer.Row(row), layer.width);
}

int32_t DRO_CALL DRO_GetMaskLineRLE(void* dst, int32_t row) {
  dro::Mask16* mask = dro::mask::CanvasValues();
  const int32_t width = dro::Geometry().width;
  if (!mask || row < 0 || row >= dro::Geometry().height) return 0;
  return rle::EncodeMaskLine(mask + int64_t{row} * width, width, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_PutMaskLineRLE(const void* src, int32_t row) {
  dro::Mask16* mask = dro::mask::CanvasValues();
  const int32_t width = dro::Geometry().width;
  if (!mask || row < 0 || row >= dro::Geometry().height) return 0;
  return rle::DecodeMaskLine(static_cast<const uint8_t*>(src), mask + int64_t{row} * width, width);
}

int32_t DRO_CALL DRO_GetRGBA32LayerCompressed(void* dst, int32_t, int32_t capacity, int32_t slot,
                                              int32_t) {
  return rle::CompressLayer(slot, static_cast<uint8_t*>(dst), capacity);
}

int32_t DRO_CALL DRO_LoadRGBA32LayerCompressed(const void* src, int32_t, int32_t srcLength,
                                               int32_t slot) {
  return rle::LoadCompressedLayer(static_cast<const uint8_t*>(src), srcLength, slot);
}
