// Image brushes: a picture instead of a generated tip. The host loads it
// (a file through the image seam, or an RGBA32 buffer), makes it from a
// flat colour or from the blend buffer, or picks a frame of a strip; the
// engine sizes it to the brush size S, can rotate it, and copies it into
// the blend buffer, from which every dab is composited.
//
// Buffers (image_brush_state.h):
//   picture        the image brush, any size up to the brush size limit L
//   sized          the picture resampled to S x S: premultiplied, area
//                  averaging when a side shrinks, bilinear otherwise. It is
//                  cached: sizing again with the same S and an unchanged
//                  picture does nothing, so a stroke never resamples per
//                  dab. Sizing anew clears the rotation.
//   rotationSource the sized brush narrowed to RGBA32 (high bytes)
//   rotated        the rotation source turned about its centre by the
//                  effect-script rotation (effect 51 at 360 - angle, angle
//                  reduced into 0..359, zoom 100), on premultiplied colour
//   strip          an animated brush: width / height square frames side by
//                  side; a frame is copied into the picture on request
//
// Every new buffer is allocated before the one it replaces is released, so
// a failed allocation (recorded as the operation's text) leaves the brush
// as it was. A brush size of 0 sizes, fills and colours nothing. Colours
// take the low byte of each argument.
//
// Mixing into the blend buffer (its top-left n x n pixels at row stride L,
// n the brush's side clipped to L): d = trunc(percent x 2.559) with percent
// clamped to 0..100; per channel, p the blend buffer and q the brush (a
// rotated byte v as v x 256): d = 0 gives p = q, otherwise
// p = (d x p + (255 - d) x q) / 256, truncated.
#pragma once

#include <cstdint>

namespace dro::brush {

// Loads a picture no larger than L on either side ("LoadImageBrush Excpt",
// "LoadImageBrushFromRGBA32 Excpt"); anything unreadable or too large leaves
// the brush as it was.
void LoadImageBrush(const char* path) noexcept;
void LoadImageBrushFromRgba32(const void* rgba32, int32_t width, int32_t height) noexcept;
// Loads a strip no taller than L and at least as wide as tall, and makes
// its first frame the picture ("LoadImageBrushArray Excpt").
void LoadImageBrushArray(const char* path) noexcept;
// Frame trunc(frames x position), clamped to the strip (NaN: frame 0),
// becomes the picture; nothing without a strip. Records
// "LoadImageBrushArray Excpt" should the picture need a new buffer.
void CopyFromImageBrushArray(float position) noexcept;

void FillImageBrush(int32_t r, int32_t g, int32_t b) noexcept;   // "FillImageBrush Excpt"
void ColorImageBrush(int32_t r, int32_t g, int32_t b) noexcept;  // "ColorImageBrush Excpt"
// The blend buffer's top-left S x S pixels become the picture; transparent
// when there is no blend buffer ("CopyToImageBrush Excpt").
void CopyToImageBrush() noexcept;

void SizeImageBrush() noexcept;                   // "SizeImageBrush Excpt"
void RotateImageBrush(int32_t degrees) noexcept;  // "RotateImageBrush Excpt"
// Sizes the brush, then mixes it into the blend buffer.
void CopyFromImageBrush(int32_t percent) noexcept;
// Mixes the rotated brush in; only when a rotation is ready (a rotation
// that failed leaves none ready).
void CopyFromImageBrushRotate(int32_t percent) noexcept;

// Writes the picture as an 8-bit RGBA PNG at 72 dpi (2834 pixels per
// metre) ("SaveImageBrush Excpt").
void SaveImageBrush(const char* path) noexcept;

}  // namespace dro::brush
