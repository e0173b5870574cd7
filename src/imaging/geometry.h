// Whole-document geometry: every layer of the stack resampled, placed on a
// new page, seam-carved, cropped, turned or mirrored; and two moves of the
// current layer alone, a pan and a point-to-point push.
//
// The stack operations visit slots 1 to the layer top that hold pixels;
// slot 0, the paint layer, the mask and the other canvas-size buffers stay
// as they are. Each layer is read and rebuilt at its own size, so a second
// operation before the host's new canvas size works on what the first made.
// The canvas size, the work buffers and the undo history are not changed:
// the host follows with its new canvas size. After a rebuild the undo
// store's back buffer takes the current layer's new pixels when they have
// the canvas's size. Layers changed where they lie (flips, and turns of
// square layers) leave the back buffer with the state before, so the host
// commits the change to the history as it does after an effect.
//
// All or nothing: every new layer buffer of an operation is made first
// (with the layer allocator, which may ask the undo store to give memory
// back) and only then are the layers switched over, the old pixels
// released. A failure (no memory) records the operation's text as the last
// error and leaves every layer as it was. The layers keep their options,
// the lock-alpha flag included: a stack operation moves colour and alpha
// together, whatever the flag.
//
// New sizes are 1..10000 on each side; anything else (and an unknown filter
// or an empty or inverted crop) changes nothing. Pixels keep all sixteen
// bits through the exact moves (page, crop, turns, flips).
#pragma once

#include <cstdint>

namespace dro::imaging {

constexpr int32_t kMaxGeometrySide = 10000;

// Filter names, exact and case-sensitive: "Area Average", "Nearest
// Neighbor", "Bilinear", "Bicubic" (OpenCV's resize) and the named kernels
// of kernel_resampler.h: "Box", "Triangle", "Hamming", "Gaussian", "Bell",
// "B-Spline", "Cubic 1", "Cubic 2", "Lanczos3", "Mitchell", "Sinc",
// "Hermite", "Hanning", "Catrom". Records "IPLResize Excpt".
void ResizeLayers(int32_t width, int32_t height, const char* filter) noexcept;

// Where the old picture sits on a new page for an anchor: "TL" .. "BR"
// (row top, middle, bottom; column left, centre, right). Left and top give
// 0, centre (new - old) / 2 truncated toward zero, right and bottom
// new - old; negative when the page shrinks. Any other text gives (0, 0).
struct PageOffset {
  int32_t x = 0;
  int32_t y = 0;
};
PageOffset AnchorOffset(const char* anchor, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                        int32_t newHeight) noexcept;

// Every layer placed on a new page at its anchor's offset; the rest of the
// page is opaque white (65535 in every channel, the background's own
// white) in slot 1 and transparent in the others. Records
// "IPLResizePage Excpt".
void ResizePage(int32_t width, int32_t height, const char* anchor) noexcept;

// Every layer seam-carved to the new width, then given the new height
// (seam_carving.h). The enabled mask guides the seams of layers with the
// canvas's size. Records "IPLResize Excpt".
void SeamCarveLayers(int32_t width, int32_t height) noexcept;

// Every layer cut to left..right x top..bottom (right and bottom
// exclusive). A rectangle reaching past a layer's edges is a page change:
// what lies outside is filled as ResizePage fills the page. Records
// "IPLCrop Excpt".
void CropLayers(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept;

// Every layer turned a quarter, rebuilt at height x width (a square one
// turned where it lies): left is
// counter-clockwise ((x, y) to (y, width - 1 - x)), right clockwise ((x, y)
// to (height - 1 - y, x)). Records "IPLRotateLeft Excpt" or
// "IPLRotateRight Excpt".
void RotateLayers(bool clockwise) noexcept;

// Every layer mirrored in place. Records "IPLFlipHorizontal Excpt" or
// "IPLVlipVertical Excpt".
void FlipLayers(bool horizontal) noexcept;

// Moves the current layer by (dx, dy) through both RGBA32 work buffers; the
// source buffer must already hold the layer. Wrap nonzero: the picture
// wraps around (every pixel is covered, so the fill colour, red in the
// lowest byte, is never needed). Wrap 0: the moved picture only, the
// uncovered part transparent. When the low byte of useMaskTexture is set the
// moved picture's alpha is first scaled by mask and texture; then it is
// merged over the layer as Normal at full opacity, keeping alpha where the
// layer locks it. Needs a canvas-size current layer and both buffers.
// Records "IPLPan Excpt".
void Pan(int32_t dx, int32_t dy, int32_t wrap, int32_t red, int32_t green, int32_t blue,
         int32_t alpha, int32_t useMaskTexture) noexcept;

// Pushes the picture in the RGBA32 source buffer from (x1, y1) toward
// (x2, y2) into the destination buffer and loads it into the current layer
// (the load path: weighted by mask and texture). The push radius is
// R = 2 |d| + 8 pixels, d = (x2 - x1, y2 - y1): a pixel p at distance r < R
// from (x2, y2) takes the source at p - d x (1 - (r / R)^2)^2, sampled
// bilinearly on premultiplied colour (edges repeat), so the pixel at
// (x1, y1) lands exactly on (x2, y2) and the push fades to nothing at R;
// every other pixel is copied. The source buffer is left as it was. Does
// nothing without both buffers or a canvas-size current layer.
void PushPointToPoint(int32_t x1, int32_t y1, int32_t x2, int32_t y2) noexcept;

}  // namespace dro::imaging
