// Run-length lines: Pixel64 lines stored as 8-bit RGBA runs and Mask16 lines
// stored as 8-bit runs.
//
// RGBA record: run length (1..255), then the high bytes of red, green, blue
// and alpha. Mask record: run length, then the high byte of the value. No
// header, no terminator: the runs of one line add up to its length. Both
// formats keep only the high byte of every channel, exactly what the 8-bit
// host formats hold.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::rle {

constexpr int32_t kRgbaRecordBytes = 5;
constexpr int32_t kMaskRecordBytes = 2;
constexpr int32_t kMaxRun = 255;

// Encode n values; return the bytes written (at most 5n or 2n). A line of
// no values or a null buffer is refused with 0.
// `where` names the export whose arguments these are, for the diagnostics.
int32_t EncodeRgbaLine(const Pixel64* src, int32_t n, uint8_t* dst,
                       const char* where = nullptr) noexcept;
int32_t EncodeMaskLine(const Mask16* src, int32_t n, uint8_t* dst,
                       const char* where = nullptr) noexcept;

// Decode until n values are written, each byte widened by x 256. Never
// writes past n values: a run that overshoots is cut short. A record of
// length 0 never occurs in an encoded line; it ends the decoding (so a
// damaged stream cannot make the decoder read on without end). Returns the
// number of values written.
int32_t DecodeRgbaLine(const uint8_t* src, Pixel64* dst, int32_t n,
                       const char* where = nullptr) noexcept;
int32_t DecodeMaskLine(const uint8_t* src, Mask16* dst, int32_t n,
                       const char* where = nullptr) noexcept;

// One row of a slot's canvas part, or of the mask, encoded into dst or
// decoded from src; 0 for a bad slot or row, an empty slot or no canvas.
// Returns what the line codec returns.
int32_t EncodeLayerRow(int32_t slot, int32_t row, uint8_t* dst) noexcept;
int32_t DecodeLayerRow(const uint8_t* src, int32_t slot, int32_t row) noexcept;
int32_t EncodeMaskRow(int32_t row, uint8_t* dst) noexcept;
int32_t DecodeMaskRow(const uint8_t* src, int32_t row) noexcept;

// Whole layers as deflated RGBA32 images (canvas width x height x 4 bytes,
// rows top first). CompressLayer writes at most `capacity` bytes into dst
// and returns how many, 0 when the layer is empty, the block does not fit or
// something fails (guarded: "GetRGBA32Layer"). LoadCompressedLayer inflates
// into a block of the layer's own size and loads it without texture or mask
// weighting (lock-alpha honoured); a stream that does not give exactly that
// many bytes loads nothing. Returns 1 when loaded (guarded:
// "LoadRGBA32LayerCompressed").
int32_t CompressLayer(int32_t slot, uint8_t* dst, int32_t capacity) noexcept;
int32_t LoadCompressedLayer(const uint8_t* src, int32_t length, int32_t slot) noexcept;

}  // namespace dro::rle
