// Exports of the run-length lines: raw lines, layer rows and mask rows.
#include "composite/rle.h"
#include "drovine.h"

namespace rle = dro::rle;

int32_t DRO_CALL DRO_RLECompressRGBA64ToRGBA32(const void* src, void* dst, int32_t n) {
  return rle::EncodeRgbaLine(static_cast<const dro::Pixel64*>(src), n, static_cast<uint8_t*>(dst),
                             "DRO_RLECompressRGBA64ToRGBA32");
}

int32_t DRO_CALL DRO_RLEUncompressRGBA32ToRGBA64(const void* src, void* dst, int32_t n) {
  return rle::DecodeRgbaLine(static_cast<const uint8_t*>(src), static_cast<dro::Pixel64*>(dst), n,
                             "DRO_RLEUncompressRGBA32ToRGBA64");
}

int32_t DRO_CALL DRO_RLECompressG16ToG8(const void* src, void* dst, int32_t n) {
  return rle::EncodeMaskLine(static_cast<const dro::Mask16*>(src), n, static_cast<uint8_t*>(dst),
                             "DRO_RLECompressG16ToG8");
}

int32_t DRO_CALL DRO_RLEUncompressG8ToG16(const void* src, void* dst, int32_t n) {
  return rle::DecodeMaskLine(static_cast<const uint8_t*>(src), static_cast<dro::Mask16*>(dst), n,
                             "DRO_RLEUncompressG8ToG16");
}

int32_t DRO_CALL DRO_GetRGBA32LayerLineRLE(void* dst, int32_t slot, int32_t row) {
  return rle::EncodeLayerRow(slot, row, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_PutRGBA32LayerLineRLE(const void* src, int32_t slot, int32_t row) {
  return rle::DecodeLayerRow(static_cast<const uint8_t*>(src), slot, row);
}

int32_t DRO_CALL DRO_GetMaskLineRLE(void* dst, int32_t row) {
  return rle::EncodeMaskRow(row, static_cast<uint8_t*>(dst));
}

int32_t DRO_CALL DRO_PutMaskLineRLE(const void* src, int32_t row) {
  return rle::DecodeMaskRow(static_cast<const uint8_t*>(src), row);
}

int32_t DRO_CALL DRO_GetRGBA32LayerCompressed(void* dst, int32_t, int32_t capacity, int32_t slot,
                                              int32_t) {
  return rle::CompressLayer(slot, static_cast<uint8_t*>(dst), capacity);
}

int32_t DRO_CALL DRO_LoadRGBA32LayerCompressed(const void* src, int32_t, int32_t srcLength,
                                               int32_t slot) {
  return rle::LoadCompressedLayer(static_cast<const uint8_t*>(src), srcLength, slot);
}
