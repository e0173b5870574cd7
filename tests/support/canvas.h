// A canvas as a host makes one, for tests that drive the engine through its
// exports: the canvas is created before each test and released after it,
// layers are made with their options and filled through the raw transfers,
// the mask and the texture map are set through their own exports.
//
// The paint layer, the blend buffer, the tip and the grit have no export
// that writes arbitrary values; tests about those units reach them through
// dro::engine() themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "base/types.h"

namespace dro {
// Found by argument-dependent lookup from the assertions.
bool operator==(const Pixel64& a, const Pixel64& b);
void PrintTo(const Pixel64& p, std::ostream* os);
}  // namespace dro

namespace drovine_test {

using dro::Mask16;
using dro::Pixel64;

struct CanvasSize {
  int32_t width;
  int32_t height;
  int32_t brushLimit = 8;
};

// Brush settings outlive canvases and no tool sets these: a test that
// paints puts them back as they are at load (colour vary and both pixel
// varies off, no locks, no alpha level, no image, solid or turned brush),
// whatever ran before it in the process.
void ResetDabSettings();

class CanvasTest : public ::testing::Test {
 protected:
  explicit CanvasTest(CanvasSize size) : size_(size) {}

  // Clears the last error and makes the canvas.
  void SetUp() override;
  // Stops any allocation failure the test left armed and releases the canvas.
  void TearDown() override;

  // Makes a new canvas in place of the current one; the helpers below
  // follow its size.
  void Recreate(CanvasSize size);
  int32_t width() const { return size_.width; }
  int32_t height() const { return size_.height; }
  size_t pixelCount() const { return static_cast<size_t>(size_.width) * size_.height; }

  // A canvas-size layer in `slot` filled with `fill`, then visible at 100 %
  // in `mode` (the options come last, as a "Texturize3" layer reads its
  // pixels when it gets its mode).
  void MakeLayer(int32_t slot, Pixel64 fill, const char* mode = "Normal");
  // Whole-layer pixels of a canvas-size layer, row by row.
  std::vector<Pixel64> Pixels(int32_t slot) const;
  void SetPixels(int32_t slot, const std::vector<Pixel64>& pixels);
  void Fill(int32_t slot, Pixel64 fill);
  Pixel64 At(int32_t slot, int32_t x, int32_t y) const;
  void Put(int32_t slot, int32_t x, int32_t y, Pixel64 p);

  // The mask, one value per canvas pixel.
  std::vector<Mask16> Mask() const;
  void SetMask(const std::vector<Mask16>& values);
  void FillMask(Mask16 value);
  Mask16 MaskAt(int32_t x, int32_t y) const;
  void PutMask(int32_t x, int32_t y, Mask16 value);

  // A texture map of one byte value (4..250) everywhere, built by
  // DRO_CreateTexture from a grey layer in a spare slot that is deleted
  // again.
  void MakeTexture(uint8_t value);

 private:
  size_t Index(int32_t x, int32_t y) const;
  CanvasSize size_;
};

}  // namespace drovine_test
