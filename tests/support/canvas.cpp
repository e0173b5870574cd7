#include "support/canvas.h"

#include "base/allocation.h"
#include "drovine.h"

namespace dro {

bool operator==(const Pixel64& a, const Pixel64& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void PrintTo(const Pixel64& p, std::ostream* os) {
  *os << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

}  // namespace dro

namespace drovine_test {
namespace {

// Above every slot the tests use.
constexpr int32_t kSpareSlot = 63;

}  // namespace

void ResetDabSettings() {
  DRO_SetColorVary(0);
  DRO_SetPixColorVary(0);
  DRO_SetPixLumVary(0);
  DRO_SetAlphaLocked(0);
  DRO_SetColorLocked(0);
  DRO_SetBlobLocked(0);
  DRO_SetAlphaLevel(0);
  DRO_SetImageBrushMode(0);
  DRO_SetSolidBrushMode(0);
  DRO_SetRotateBrushMode(0, 0);
}

void CanvasTest::SetUp() {
  DRO_SetLastError("");
  DRO_CreateImage(nullptr, size_.width, size_.height, size_.brushLimit, 5);
}

void CanvasTest::TearDown() {
  dro::FailAllocationAfter(-1);
  DRO_DeleteImage();
}

void CanvasTest::Recreate(CanvasSize size) {
  size_ = size;
  DRO_CreateImage(nullptr, size_.width, size_.height, size_.brushLimit, 5);
}

size_t CanvasTest::Index(int32_t x, int32_t y) const {
  EXPECT_TRUE(x >= 0 && x < size_.width && y >= 0 && y < size_.height)
      << "(" << x << ", " << y << ") is off the canvas";
  return static_cast<size_t>(y) * size_.width + x;
}

void CanvasTest::MakeLayer(int32_t slot, Pixel64 fill, const char* mode) {
  ASSERT_EQ(DRO_CreateLayer(slot, size_.width, size_.height), 1) << "slot " << slot;
  Fill(slot, fill);
  DRO_SetLayerOptions(slot, 1, 0, 100, mode);
}

std::vector<Pixel64> CanvasTest::Pixels(int32_t slot) const {
  std::vector<Pixel64> pixels(pixelCount());
  EXPECT_EQ(DRO_GetLayerData(pixels.data(), slot), 1) << "slot " << slot;
  return pixels;
}

void CanvasTest::SetPixels(int32_t slot, const std::vector<Pixel64>& pixels) {
  ASSERT_EQ(pixels.size(), pixelCount());
  EXPECT_EQ(DRO_SetLayerData(pixels.data(), slot), 1) << "slot " << slot;
}

void CanvasTest::Fill(int32_t slot, Pixel64 fill) {
  SetPixels(slot, std::vector<Pixel64>(pixelCount(), fill));
}

Pixel64 CanvasTest::At(int32_t slot, int32_t x, int32_t y) const {
  Pixel64 p{};
  EXPECT_EQ(DRO_GetRGBA64LayerRect(&p, 8, slot, x, y, 1, 1), 1)
      << "slot " << slot << " at (" << x << ", " << y << ")";
  return p;
}

void CanvasTest::Put(int32_t slot, int32_t x, int32_t y, Pixel64 p) {
  std::vector<Pixel64> pixels = Pixels(slot);
  pixels[Index(x, y)] = p;
  SetPixels(slot, pixels);
}

std::vector<Mask16> CanvasTest::Mask() const {
  std::vector<Mask16> values(pixelCount());
  EXPECT_EQ(DRO_GetMaskData16(values.data()), static_cast<int32_t>(values.size() * 2));
  return values;
}

void CanvasTest::SetMask(const std::vector<Mask16>& values) {
  ASSERT_EQ(values.size(), pixelCount());
  EXPECT_EQ(DRO_SetMaskData16(values.data()), static_cast<int32_t>(values.size() * 2));
}

void CanvasTest::FillMask(Mask16 value) {
  SetMask(std::vector<Mask16>(pixelCount(), value));
}

Mask16 CanvasTest::MaskAt(int32_t x, int32_t y) const {
  return Mask()[Index(x, y)];
}

void CanvasTest::PutMask(int32_t x, int32_t y, Mask16 value) {
  std::vector<Mask16> values = Mask();
  values[Index(x, y)] = value;
  SetMask(values);
}

void CanvasTest::MakeTexture(uint8_t value) {
  ASSERT_TRUE(value >= 4 && value <= 250) << "the map holds 4..250";
  // (R + G + B) / 768 of a grey 256 v is v.
  const uint16_t grey = static_cast<uint16_t>(value * 256);
  ASSERT_EQ(DRO_CreateLayer(kSpareSlot, size_.width, size_.height), 1);
  Fill(kSpareSlot, Pixel64{grey, grey, grey, 65535});
  ASSERT_NE(DRO_CreateTexture(kSpareSlot), nullptr);
  DRO_DeleteLayer(kSpareSlot);
}

}  // namespace drovine_test
