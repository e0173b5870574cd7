// Named effects: every row of the table run as a host runs it (repeatable
// for a seed, untouched by a failing library, through an allocation
// sweep), the exact numbers of the tone recipes, the dispatcher's mends,
// and the documentation against the table.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "hostkit/effects_doc.h"
#include "imaging/effect_families.h"
#include "imaging/effects.h"
#include "imaging/work_buffers.h"
#include "platform/image_effects.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"

namespace {

namespace im = dro::imaging;
using dro::Pixel64;

// All arguments of one call, the row's defaults filled in.
struct Call {
  im::EffectArgs a;
  explicit Call(const im::EffectRow& row) {
    a.name = row.name;
    for (const im::EffectParam& p : row.params) {
      if (p.arg == im::EffectArg::kCount) break;
      if (p.arg == im::EffectArg::kPath) {
        // A script the row can run: the Lua route a filter, the pattern
        // warps a picture to tile, the texture families a small texture.
        const char* script = row.family == im::EffectFamily::kLua ? "/scripts/invert.lua"
                             : row.family == im::EffectFamily::kDistortion
                                 ? "/effects/tilted-marble.drfx"
                                 : "/effects/woven-canvas.drfx";
        path = std::string(DROVINE_EXAMPLES) + script;
        a.path = path.c_str();
        continue;
      }
      At(p.arg) = p.defaultValue;
    }
  }
  Call(const Call& other) : a(other.a), path(other.path) {
    if (a.path == other.path.c_str()) a.path = path.c_str();
  }
  std::string path;
  int32_t& At(im::EffectArg arg) {
    switch (arg) {
      case im::EffectArg::kValue:
        return a.value;
      case im::EffectArg::kMode:
        return a.mode;
      case im::EffectArg::kOpt1:
        return a.opt1;
      case im::EffectArg::kRed:
        return a.red;
      case im::EffectArg::kGreen:
        return a.green;
      case im::EffectArg::kBlue:
        return a.blue;
      default:
        break;
    }
    const int i = int(arg);
    if (i >= int(im::EffectArg::kP1) && i <= int(im::EffectArg::kP6))
      return a.p[size_t(i - int(im::EffectArg::kP1))];
    return a.opt[size_t(i - int(im::EffectArg::kOpt2))];
  }
  int32_t Run() const {
    return DRO_IPLImageProcess(0, a.name, a.value, a.p[0], a.p[1], a.p[2], a.p[3], a.p[4], a.p[5],
                               a.mode, a.opt1, a.opt[0], a.opt[1], a.opt[2], a.opt[3], a.opt[4],
                               a.opt[5], a.red, a.green, a.blue, a.path);
  }
};

class Effects : public drovine_test::CanvasTest {
 protected:
  Effects() : CanvasTest({13, 9}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(1, Pixel64{0, 0, 0, 0});
    DRO_SetLayer(1);
    Paint();
    Buffers();
  }
  void TearDown() override {
    dro::platform::image::SetEffectFailuresForTesting(false);
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }
  // A seeded picture of 8-bit values (so a load of the narrowed layer
  // gives the layer back) with varied alpha.
  void Paint() {
    std::vector<Pixel64> px(pixelCount());
    uint32_t s = 7;
    auto next = [&] { return uint16_t(((s = s * 214013u + 2531011u) >> 16 & 255) << 8); };
    for (Pixel64& p : px) p = Pixel64{next(), next(), next(), uint16_t(next() | 0x8000)};
    SetPixels(1, px);
  }
  void Buffers() {
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
  }
  std::vector<Pixel64> RunFresh(const Call& call, int32_t seed = 5) {
    DRO_ClearMask(0, 0, 0);  // all open
    Paint();
    DRO_IPLUpdateSrcBuffer32();
    DRO_SetRandomSeed(seed);
    EXPECT_EQ(call.Run(), 1) << call.a.name;
    return Pixels(1);
  }
};

TEST_F(Effects, EveryRowRepeatsForASeedAndKeepsTheCanvasWhenItsLibraryFails) {
  const std::vector<Pixel64> original = Pixels(1);
  std::set<std::string> names;
  for (const im::EffectRow& row : im::EffectTable()) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(names.insert(row.name).second) << "names are distinct";
    EXPECT_EQ(im::FindEffect(row.name), &row);
    const Call call(row);
    const std::vector<Pixel64> first = RunFresh(call);
    EXPECT_EQ(RunFresh(call), first);
    EXPECT_STREQ(DRO_GetLastError(), "");
    if (row.backend == im::EffectBackend::kLibrary || row.backend == im::EffectBackend::kScript) {
      dro::platform::image::SetEffectFailuresForTesting(true);
      EXPECT_EQ(RunFresh(call), original);
      dro::platform::image::SetEffectFailuresForTesting(false);
    }
    // Parameters are listed in argument order, each once.
    int last = -1;
    for (const im::EffectParam& p : row.params) {
      if (p.arg == im::EffectArg::kCount) break;
      EXPECT_GT(int(p.arg), last);
      last = int(p.arg);
      EXPECT_LE(p.min, p.defaultValue);
      EXPECT_LE(p.defaultValue, p.max);
      EXPECT_TRUE(p.meaning && p.meaning[0]);
    }
  }
  // Every row's defaults change the picture or the mask (a visible result
  // for the host).
  std::vector<uint16_t> openMask(pixelCount(), 65535), mask(pixelCount());
  for (const im::EffectRow& row : im::EffectTable()) {
    const bool picture = RunFresh(Call(row)) != original;
    DRO_GetMaskData16(mask.data());
    EXPECT_TRUE(picture || mask != openMask) << row.name;
  }
}

TEST_F(Effects, EveryRowSurvivesAnAllocationSweep) {
  for (const im::EffectRow& row : im::EffectTable()) {
    SCOPED_TRACE(row.name);
    const Call call(row);
    const std::vector<Pixel64> expected = RunFresh(call);
    drovine_test::SweepAllocationFailures(
        {},
        [&] {
          Buffers();
          DRO_SetRandomSeed(5);
          call.Run();
        },
        [&](int64_t) {
          // The effect-script library reports a lack of memory as a failed
          // run, which skips the write-back without a last error.
          const bool mayUseScript = row.backend == im::EffectBackend::kScript ||
                                    row.backend == im::EffectBackend::kRecipe;
          if (!mayUseScript) {
            EXPECT_NE(std::strstr(DRO_GetLastError(), " Excpt"), nullptr) << DRO_GetLastError();
          }
          Buffers();
          EXPECT_EQ(RunFresh(call), expected);
        });
  }
}

TEST_F(Effects, NoiseFollowsTheSeedAndDiffersFromCallToCall) {
  const Call call(*im::FindEffect("Pointillism"));
  const std::vector<Pixel64> a = RunFresh(call, 1), b = RunFresh(call, 2);
  EXPECT_NE(a, b);
  EXPECT_EQ(RunFresh(call, 1), a);
  DRO_SetRandomSeed(1);
  Paint();
  DRO_IPLUpdateSrcBuffer32();
  call.Run();
  Paint();
  DRO_IPLUpdateSrcBuffer32();
  call.Run();
  EXPECT_NE(Pixels(1), a);
}

TEST_F(Effects, NamesMatchExactlyAndBuffersAreRequired) {
  const std::vector<Pixel64> original = Pixels(1);
  Call call(*im::FindEffect("Blur"));
  for (const char* name : {"Blur ", "blur", "", static_cast<const char*>(nullptr)}) {
    call.a.name = name;
    EXPECT_EQ(call.Run(), 1);
    EXPECT_EQ(Pixels(1), original);
  }
  EXPECT_EQ(im::FindEffect(nullptr), nullptr);
  call.a.name = "Blur";
  DRO_IPLFreeDstBuffer32();
  EXPECT_EQ(call.Run(), 0);
  EXPECT_EQ(Pixels(1), original);
  // The RGB24 pair is gone after every call.
  Buffers();
  DRO_IPLAllocSrcBuffer24();
  DRO_IPLAllocDstBuffer24();
  call.Run();
  EXPECT_EQ(im::Source24(), nullptr);
  EXPECT_EQ(im::Destination24(), nullptr);
}

TEST_F(Effects, HugeValuesAreClampedToThePicture) {
  for (const char* name : {"Gaussian Blur", "Blur", "Blur More", "Oil Paint", "Stipple",
                           "Motion Blur", "Radial Blur", "Zoom Blur", "Surface Blur"}) {
    Call call(*im::FindEffect(name));
    for (int32_t v : {INT_MAX, INT_MIN}) {
      call.a.p = {v, v, v, v, v, v};
      call.a.opt[0] = 1;
      EXPECT_EQ(RunFresh(call), RunFresh(call)) << name;
    }
  }
}

TEST(EffectNumbers, SaturationFactors) {
  const struct {
    double x, s, h;
  } rows[] = {{0, -2, -10}, {25, -0.5, -4.5}, {50, 1, 1}, {75, 2, 5.5}, {100, 3, 10}};
  for (const auto& r : rows) {
    EXPECT_DOUBLE_EQ(im::SaturationFactor(r.x), r.s) << r.x;
    EXPECT_DOUBLE_EQ(im::HyperSaturationFactor(r.x), r.h) << r.x;
  }
}

TEST(EffectNumbers, LevelsTables) {
  using im::effects::LevelsInputTable;
  using im::effects::LevelsOutputTable;
  // low 0, high 254 (99.3 x 2.559 = 254.1), mid 127: steps of exactly 1.
  auto t = LevelsInputTable(0.0f, 99.3f);
  for (int i = 0; i < 254; ++i) ASSERT_EQ(t[i], i);
  EXPECT_EQ(t[254], 255);
  EXPECT_EQ(t[255], 255);
  // low 64, high 192, mid 128: steps of 127 / 64 = 1.984375.
  t = LevelsInputTable(25.1f, 75.1f);
  EXPECT_EQ(t[63], 0);
  EXPECT_EQ(t[64], 0);
  EXPECT_EQ(t[65], 1);
  EXPECT_EQ(t[66], 3);
  EXPECT_EQ(t[127], 125);
  EXPECT_EQ(t[128], 127);
  EXPECT_EQ(t[129], 128);
  EXPECT_EQ(t[191], 252);
  EXPECT_EQ(t[192], 255);
  // Zero-width segments: a step to 255.
  t = LevelsInputTable(50.0f, 50.0f);  // low = high = 127
  EXPECT_EQ(t[126], 0);
  EXPECT_EQ(t[127], 255);
  t = LevelsInputTable(50.0f, 50.1f);  // 127 and 128
  EXPECT_EQ(t[127], 0);
  EXPECT_EQ(t[128], 255);
  t = LevelsInputTable(80.0f, 20.0f);  // high below low
  EXPECT_EQ(t[203], 0);
  EXPECT_EQ(t[204], 255);
  // Out of range percentages stay in the table.
  t = LevelsInputTable(-1e9f, 1e9f);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[255], 255);
  auto o = LevelsOutputTable(0.0f, 100.0f);  // 0 and 255: identity
  for (int j = 0; j < 256; ++j) ASSERT_EQ(o[j], j);
  o = LevelsOutputTable(10.0f, 10.0f);  // span 0
  EXPECT_EQ(o[0], 25);
  EXPECT_EQ(o[255], 25);
  o = LevelsOutputTable(50.0f, 0.0f);  // span (0 - 127) & 255 = 129, capped
  EXPECT_EQ(o[0], 127);
  EXPECT_EQ(o[1], 127);
  EXPECT_EQ(o[2], 128);
  EXPECT_EQ(o[255], 255);
}

TEST_F(Effects, LevelsAppliesToTheSwitchedChannelsOnly) {
  Call call(*im::FindEffect("Levels"));
  call.a.p = {0, 993, 0, 1000, 0, 0};  // identity below 254, 254 and 255 to 255
  call.a.opt = {0, 0, 0, 0, 0, 0};
  std::vector<Pixel64> px(pixelCount(), Pixel64{254 << 8, 254 << 8, 10 << 8, 255 << 8});
  SetPixels(1, px);
  DRO_IPLUpdateSrcBuffer32();
  call.Run();
  EXPECT_EQ(Pixels(1), px);
  call.a.opt = {1, 0, 0, 0, 0, 0};
  call.Run();
  EXPECT_EQ(At(1, 3, 3), (Pixel64{255 << 8, 254 << 8, 10 << 8, 255 << 8}));
}

TEST_F(Effects, ColorBalanceArguments) {
  std::vector<uint8_t> scratch(pixelCount() * 4);
  im::EffectArgs a;
  a.p = {700, 300, 555, 445, 0, 0};
  a.opt = {1, 0, 1, 0, 0, 0};
  const im::EffectCall call(a, scratch.data(), scratch.data());
  const im::effects::ColorBalanceArgs b = im::effects::MakeColorBalanceArgs(call);
  const int32_t group[3] = {20, -20, 5};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(b.groups[0][k], group[k]);
    EXPECT_EQ(b.groups[1][k], 0);
    EXPECT_EQ(b.groups[2][k], group[k]);
  }
  EXPECT_EQ(b.shift, -5);      // 44.5 - 50 truncates toward zero
  a.opt = {2, 1, 0, 0, 0, 0};  // a switch counts only at 1
  const im::effects::ColorBalanceArgs c =
      im::effects::MakeColorBalanceArgs(im::EffectCall(a, scratch.data(), scratch.data()));
  EXPECT_EQ(c.groups[0][0], 0);
  EXPECT_EQ(c.groups[1][0], 20);
}

TEST_F(Effects, AFailedScriptRunLeavesTheSourceRedFirst) {
  const std::vector<uint8_t> before(im::Source32(), im::Source32() + pixelCount() * 4);
  const std::vector<Pixel64> layer = Pixels(1);
  dro::platform::image::SetEffectFailuresForTesting(true);
  Call(*im::FindEffect("Colorize")).Run();
  EXPECT_EQ(std::vector<uint8_t>(im::Source32(), im::Source32() + pixelCount() * 4), before);
  EXPECT_EQ(Pixels(1), layer);
  dro::platform::image::SetEffectFailuresForTesting(false);
  // A successful run loads red-first pixels: grey in, one hue out keeps
  // the grey's lightness with saturation 0.
  Call colorize(*im::FindEffect("Colorize"));
  colorize.a.p = {0, 0, 500, 0, 0, 0};
  SetPixels(1, std::vector<Pixel64>(pixelCount(), Pixel64{200 << 8, 100 << 8, 0, 255 << 8}));
  DRO_IPLUpdateSrcBuffer32();
  colorize.Run();
  EXPECT_EQ(At(1, 0, 0), (Pixel64{100 << 8, 100 << 8, 100 << 8, 255 << 8}));
}

TEST_F(Effects, GaussianBlurAtZeroStillBlurs) {
  Call call(*im::FindEffect("Gaussian Blur"));
  call.a.p[0] = 0;
  std::vector<Pixel64> px(pixelCount(), Pixel64{0, 0, 0, 255 << 8});
  px[4 * width() + 6] = Pixel64{255 << 8, 255 << 8, 255 << 8, 255 << 8};
  SetPixels(1, px);
  DRO_IPLUpdateSrcBuffer32();
  call.Run();
  EXPECT_LT(At(1, 6, 4).r, 255 << 8);
  EXPECT_GT(At(1, 5, 4).r, 0);
}

TEST_F(Effects, DocumentationMatchesTheTable) {
  std::ifstream file(std::string(DROVINE_TEST_DATA) + "/../../docs/effects.md");
  ASSERT_TRUE(file) << "docs/effects.md";
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), hostkit::EffectsMarkdown())
      << "regenerate with: drovine effects --markdown > docs/effects.md";
}

}  // namespace
