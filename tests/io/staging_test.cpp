// The staging image: reading files into it, its queries and copies, loading
// it into a layer, and the sizes it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "io/staging.h"
#include "platform/image_library.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

using drovine_test::CanvasTest;
using drovine_test::Pixel64;
namespace im = dro::platform::image;

// A w x h picture whose every byte depends on its position and channel.
std::vector<uint8_t> Pattern(int32_t w, int32_t h, uint8_t alpha) {
  std::vector<uint8_t> p(size_t(w) * h * 4);
  for (size_t i = 0; i < p.size(); ++i) p[i] = i % 4 == 3 ? alpha : uint8_t(i * 37 + 11);
  return p;
}

class Staging : public CanvasTest {
 protected:
  Staging() : CanvasTest({8, 6}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_DeleteNewRGBA();
  }
  void TearDown() override {
    DRO_DeleteNewRGBA();
    DRO_XSetDecodeLimits(0, 0);
    CanvasTest::TearDown();
  }
  std::string Png(const std::vector<uint8_t>& rgba, int32_t w, int32_t h) {
    char name[32];
    std::snprintf(name, sizeof name, "p%d.png", count_++);
    const std::string path = dir_.File(name);
    EXPECT_TRUE(im::WritePng(path.c_str(), rgba.data(), w, h, 4, w * 4, 0, 0));
    return path;
  }
  drovine_test::ScratchDir dir_;
  int count_ = 0;
};

TEST_F(Staging, AbsentUntilAFileIsRead) {
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
  EXPECT_EQ(DRO_GetNewRGBAHeight(), 0);
  EXPECT_EQ(DRO_IsNewRGBA32Transparent(), 0);
  std::vector<uint8_t> out(16, 7);
  DRO_GetNewRGBA32(out.data());
  DRO_GetNewRGBA24(out.data());
  DRO_GetResizedNewRGBA24(out.data(), 1, 1);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 7));
}

TEST_F(Staging, ReadsAFileAndCopiesItOut) {
  const auto rgba = Pattern(5, 3, 200);
  ASSERT_EQ(DRO_ReadFromFile(Png(rgba, 5, 3).c_str()), 1);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 5);
  EXPECT_EQ(DRO_GetNewRGBAHeight(), 3);
  std::vector<uint8_t> out(rgba.size());
  DRO_GetNewRGBA32(out.data());
  EXPECT_EQ(out, rgba);
  std::vector<uint8_t> rgb(5 * 3 * 3);
  DRO_GetNewRGBA24(rgb.data());
  for (size_t i = 0; i < 15; ++i)
    for (size_t c = 0; c < 3; ++c) ASSERT_EQ(rgb[i * 3 + c], rgba[i * 4 + c]) << i;
}

TEST_F(Staging, TransparencyIsAnyAlphaBelow255) {
  for (const uint8_t alpha : {0, 1, 254, 255}) {
    auto rgba = Pattern(4, 4, 255);
    rgba[4 * 4 * 4 - 1] = alpha;  // the last pixel only
    ASSERT_EQ(DRO_ReadFromFile(Png(rgba, 4, 4).c_str()), 1);
    EXPECT_EQ(DRO_IsNewRGBA32Transparent(), alpha < 255 ? 1 : 0) << int(alpha);
  }
}

TEST_F(Staging, AFailedReadLeavesThePictureAsItWas) {
  const auto rgba = Pattern(3, 2, 255);
  ASSERT_EQ(DRO_ReadFromFile(Png(rgba, 3, 2).c_str()), 1);
  // Missing, junk, an enhanced metafile (recognised, never read), a null and
  // an empty path, and a picture beyond the decode limits.
  std::string emf(80, '\0');
  emf[0] = 1;
  std::memcpy(&emf[40], " EMF", 4);
  const std::string paths[] = {dir_.File("missing.png"), dir_.Write("junk.png", "\x89PNG junk"),
                               dir_.Write("x.emf", emf)};
  for (const std::string& path : paths) EXPECT_EQ(DRO_ReadFromFile(path.c_str()), 0) << path;
  EXPECT_EQ(DRO_ReadFromFile(nullptr), 0);
  EXPECT_EQ(DRO_ReadFromFile(""), 0);
  const std::string big = Png(Pattern(4, 4, 9), 4, 4);
  ASSERT_EQ(DRO_XSetDecodeLimits(15, 0), 1);
  EXPECT_EQ(DRO_ReadFromFile(big.c_str()), 0);
  ASSERT_EQ(DRO_XSetDecodeLimits(16, 0), 1);
  EXPECT_EQ(DRO_ReadFromFile(big.c_str()), 1);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 4);
  DRO_DeleteNewRGBA();
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
}

TEST_F(Staging, ReadsIntoHostBuffersOnlyAtTheirExactSize) {
  const auto rgba = Pattern(3, 2, 77);
  const std::string path = Png(rgba, 3, 2);
  struct Case {
    int32_t w, h, expected;
  } const cases[] = {{3, 2, 1}, {2, 3, 0}, {4, 2, 0}, {3, 1, 0}, {0, 2, 0}, {-3, -2, 0}};
  for (const Case& c : cases) {
    std::vector<uint8_t> out4(24, 5), out3(18, 5);
    EXPECT_EQ(DRO_ReadFromFileRGBA32(out4.data(), c.w, c.h, path.c_str()), c.expected);
    EXPECT_EQ(DRO_ReadFromFileRGB24(out3.data(), c.w, c.h, path.c_str()), c.expected);
    if (c.expected) {
      EXPECT_EQ(out4, rgba);
      for (size_t i = 0; i < 6; ++i) EXPECT_EQ(out3[i * 3 + 2], rgba[i * 4 + 2]);
    } else {
      EXPECT_EQ(out4, std::vector<uint8_t>(24, 5)) << c.w << "x" << c.h;
      EXPECT_EQ(out3, std::vector<uint8_t>(18, 5));
    }
  }
  EXPECT_EQ(DRO_ReadFromFileRGBA32(nullptr, 3, 2, path.c_str()), 0);
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);  // the buffer reads leave the staging image alone
}

TEST_F(Staging, LoadsIntoTheCurrentLayerThroughTheMask) {
  MakeLayer(2, Pixel64{1000, 2000, 3000, 65535});
  DRO_SetLayer(2);
  std::vector<uint8_t> rgba(3 * 2 * 4, 255);
  rgba[0] = 10, rgba[1] = 20, rgba[2] = 30;
  ASSERT_EQ(DRO_ReadFromFile(Png(rgba, 3, 2).c_str()), 1);
  FillMask(65535);
  PutMask(1, 0, 0);  // closed: keeps the layer
  DRO_EnableMask(1);
  DRO_SetInNewRGBA();
  EXPECT_EQ(At(2, 0, 0), (Pixel64{10 * 256, 20 * 256, 30 * 256, 65280}));
  EXPECT_EQ(At(2, 1, 0), (Pixel64{1000, 2000, 3000, 65535}));
  EXPECT_EQ(At(2, 2, 1), (Pixel64{65280, 65280, 65280, 65280}));
  EXPECT_EQ(At(2, 3, 0), (Pixel64{1000, 2000, 3000, 65535}));  // right of the picture
  EXPECT_EQ(At(2, 0, 2), (Pixel64{1000, 2000, 3000, 65535}));  // below it
}

TEST_F(Staging, ResizedCopies) {
  // A 4 x 2 picture, left half one colour, right half another.
  std::vector<uint8_t> rgba(4 * 2 * 4);
  for (int i = 0; i < 8; ++i) {
    const bool right = i % 4 >= 2;
    const uint8_t px[4] = {uint8_t(right ? 200 : 40), 90, uint8_t(right ? 10 : 250), 255};
    std::memcpy(&rgba[size_t(i) * 4], px, 4);
  }
  ASSERT_EQ(DRO_ReadFromFile(Png(rgba, 4, 2).c_str()), 1);
  std::vector<uint8_t> small(2 * 1 * 3), large(8 * 4 * 3), untouched(3, 1);
  DRO_GetResizedNewRGBA24(small.data(), 2, 1);  // shrinks both ways: area average
  EXPECT_EQ(small, (std::vector<uint8_t>{40, 90, 250, 200, 90, 10}));
  DRO_GetResizedNewRGBA24(large.data(), 8, 4);
  EXPECT_EQ(std::vector<uint8_t>(large.begin(), large.begin() + 3),
            (std::vector<uint8_t>{40, 90, 250}));
  EXPECT_EQ(std::vector<uint8_t>(large.end() - 3, large.end()),
            (std::vector<uint8_t>{200, 90, 10}));
  for (const auto& [w, h] : {std::pair{0, 1}, {1, 0}, {-1, 1}, {1 << 20, 1 << 20}}) {
    DRO_GetResizedNewRGBA24(untouched.data(), w, h);
    EXPECT_EQ(untouched, std::vector<uint8_t>(3, 1));
  }
}

TEST(StagingSizes, RefusedBeforeAnyAllocation) {
  struct Case {
    int32_t w, h;
    bool made;
  } const cases[] = {{1, 1, true},         {0, 1, false},        {1, 0, false},
                     {-5, 5, false},       {23170, 23170, true}, {23171, 23170, false},
                     {1, 536870911, true}, {1, 536870912, false}};
  for (const Case& c : cases) {
    const uint64_t before = dro::AllocationCount();
    dro::FailAllocationsAfter(0, dro::kEveryAllocation);  // only the size decides here
    uint8_t* p = dro::io::MakeStagingImage(c.w, c.h);
    dro::FailAllocationsAfter(-1, 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(dro::AllocationCount(), before);
    EXPECT_STREQ(DRO_GetLastError(), c.made ? "CreateNewRGBA Excpt" : "") << c.w << "x" << c.h;
    EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
    DRO_SetLastError("");
  }
  const uint8_t px[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(dro::io::SetStagingImage(px, 1, 1, 8));
  EXPECT_FALSE(dro::io::SetStagingImage(px, 2, 1, 4));  // short stride: nothing kept
  EXPECT_EQ(DRO_GetNewRGBAWidth(), 0);
  ASSERT_TRUE(dro::io::SetStagingImage(px, 2, 1));
  EXPECT_EQ(DRO_IsNewRGBA32Transparent(), 1);
  DRO_DeleteNewRGBA();
}

}  // namespace
