// The canvas's geometry: the one piece of state every subsystem reads.
//
// Plain data; the canvas lifecycle (engine/) is the only writer of the
// sizes, the brush-size setter the only other writer of the brush strides.
#pragma once

#include <cstdint>

namespace dro {

struct CanvasGeometry {
  void* hostWindow = nullptr;
  // Between DRO_CreateImage and DRO_DeleteImage. A canvas may be live with
  // width or height 0; readers check both.
  bool live = false;
  int32_t width = 0;
  int32_t height = 0;
  int32_t rgbaStride = 0;  // W x 4 bytes
  int32_t brushLimit = 0;  // L, the largest brush size the host will ask for
  // L x 4: the row stride of brush-sized Pixel64 buffers in 16-bit units.
  // Two readers keep their own copy; both always follow L.
  int32_t brushStride = 0;        // dab and blend-buffer copies
  int32_t blendFilterStride = 0;  // blend-buffer filters and image brushes
  int32_t creationValue = 0;      // the fifth creation value, kept unchanged

  // A live canvas with at least one pixel.
  bool HasPixels() const noexcept { return live && width > 0 && height > 0; }
};

// The engine's canvas geometry (the engine aggregate owns it).
CanvasGeometry& Geometry() noexcept;

}  // namespace dro
