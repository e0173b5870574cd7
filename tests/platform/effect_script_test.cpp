// The effect-script seam: the text format, the header record, the generate
// and apply sequences, rotation and the generators.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "platform/effect_script.h"
#include "platform/effect_script_internal.h"
#include "platform/image_library.h"
#include "support/allocation_sweep.h"
#include "support/scratch_dir.h"

namespace {

namespace fx = dro::platform::effects;
namespace img = dro::platform::image;
using Bytes = std::vector<uint8_t>;

using ScriptDir = drovine_test::ScratchDir;

std::string Example(const char* name) {
  return std::string(DROVINE_EXAMPLES) + "/effects/" + name;
}

// The engine's "generate" sequence: initialise, load, prepare, read the
// header, allocate, run, finish.
bool Generate(const std::string& path, Bytes& picture, int32_t& w, int32_t& h) {
  fx::Session session;
  if (!session.ready() || !session.LoadScriptFromFile(path.c_str())) return false;
  session.InitBuffers();
  fx::ScriptHeader header;
  if (!session.ReadScriptHeaderFromFile(path.c_str(), header)) return false;
  w = header.width(), h = header.height();
  picture.assign(size_t(w) * h * 4, 0);
  return session.ExecuteScript(picture.data(), w, h);
}

// The "apply" sequence with the rotation as the engine calls it.
bool Rotate(Bytes& picture, int32_t w, int32_t h, int32_t angle) {
  fx::Session session;
  if (!session.ready() || !session.AddEffect(fx::kEffectRotate, 1)) return false;
  session.SetEffectValue(0, 3, angle);
  session.SetEffectValue(0, 4, 100);
  return session.ExecuteScriptOnImage(picture.data(), w, h);
}

TEST(EffectScripts, ExamplesGiveTheirHeaderAndADeterministicPicture) {
  for (const char* name : {"plasma-clouds.drfx", "perlin-grain.drfx", "tilted-marble.drfx"}) {
    SCOPED_TRACE(name);
    Bytes a, b;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(Generate(Example(name), a, w, h));
    ASSERT_TRUE(Generate(Example(name), b, w, h));
    EXPECT_EQ(a, b);  // same script, same bytes
    int32_t lo = 255, hi = 0;
    for (size_t i = 0; i < a.size(); i += 4)
      lo = std::min<int32_t>(lo, a[i]), hi = std::max<int32_t>(hi, a[i]);
    EXPECT_GT(hi - lo, 100);  // a picture, not a flat fill
  }
  fx::Session session;
  fx::ScriptHeader header;
  ASSERT_TRUE(session.ReadScriptHeaderFromFile(Example("perlin-grain.drfx").c_str(), header));
  int32_t w, h;
  std::memcpy(&w, header.bytes + 16, 4);
  std::memcpy(&h, header.bytes + 20, 4);
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 300);
  EXPECT_EQ(std::memcmp(header.bytes, "DRFX", 4), 0);
  EXPECT_EQ(header.bytes[8], 1);  // one effect
}

TEST(EffectScripts, ParseErrorsAreRefusedWithALine) {
  ScriptDir dir;
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"", "empty"},
      {"# only a comment\n", "empty"},
      {"effect-script 2\nsize 4 4\n", "line 1"},
      {"effect-script 1\n", "no size"},
      {"effect-script 1\nsize 0 4\n", "line 2"},
      {"effect-script 1\nsize 4 4\nsize 4 4\n", "line 3: size given twice"},
      {"effect-script 1\nsize 4 4 4\n", "line 2"},
      {"effect-script 1\neffect 5\nsize 4 4\n", "line 2"},
      {"effect-script 1\nsize 4 4\neffect 999\n", "line 3: unknown effect"},
      {"effect-script 1\nsize 4 4\neffect \"Plazma\"\n", "line 3: unknown effect"},
      {"effect-script 1\nsize 4 4\neffect 5\n  colour = 1\n", "line 4: unknown parameter"},
      {"effect-script 1\nsize 4 4\neffect 5\n  roughness = 501\n", "line 4: value out of range"},
      {"effect-script 1\nsize 4 4\neffect 5\n  roughness 5\n", "line 4"},
      {"effect-script 1\nsize 4 4\neffect 5\n  seed = 99999999999\n", "line 4"},
      {"effect-script 1\nsize 4 4\n  seed = 1\n", "line 3: unknown statement"},
      {"effect-script 1\nsize 4 4\nbackground 1 2\n", "line 3"},
      {"effect-script 1\nsize 4 4\nbackground 1 2 300\n", "line 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = dir.Write("bad.drfx", c.text);
    fx::Session session;
    fx::ScriptHeader header;
    header.bytes[16] = 42;
    EXPECT_FALSE(session.LoadScriptFromFile(path.c_str()));
    EXPECT_NE(std::string(session.error()).find(c.error), std::string::npos) << session.error();
    EXPECT_FALSE(session.ReadScriptHeaderFromFile(path.c_str(), header));
    EXPECT_EQ(header.bytes[16], 42);  // the record is untouched
    Bytes picture(64, 3);
    EXPECT_FALSE(session.ExecuteScript(picture.data(), 4, 4));
    EXPECT_EQ(picture, Bytes(64, 3));
  }

  // A picture file is not a script (the caller then reads it as a picture).
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0};
  const std::string path = dir.Write("pic.png", std::string(png.begin(), png.end()));
  fx::Session session;
  EXPECT_FALSE(session.LoadScriptFromFile(path.c_str()));
  EXPECT_FALSE(session.LoadScriptFromFile((path + ".missing").c_str()));
  EXPECT_FALSE(session.LoadScriptFromFile(nullptr));
}

TEST(EffectScripts, MangledScriptsNeverCrashTheParser) {
  // Seeded edits of a valid script: characters replaced, lines cut. Each
  // result either parses (and then runs) or is refused with a message.
  std::ifstream in(Example("tilted-marble.drfx"), std::ios::binary);
  const std::string original((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(original.empty());
  ScriptDir dir;
  uint32_t state = 99;
  auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
  const char alphabet[] = "0123456789 =#\"\n-+abcdefgsizeffct\r\t";
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    std::string text = original;
    for (int k = 0, hits = 1 + int(next() % 3); k < hits; ++k)
      text[next() % text.size()] = alphabet[next() % (sizeof alphabet - 1)];
    if (round % 3 == 0) text.resize(next() % text.size());
    const std::string path = dir.Write("m.drfx", text);
    fx::Session session;
    fx::ScriptHeader header;
    if (session.LoadScriptFromFile(path.c_str())) {
      ASSERT_TRUE(session.ReadScriptHeaderFromFile(path.c_str(), header));
      ASSERT_GE(header.width(), 1);
      ASSERT_LE(header.width(), 10000);
      if (header.width() * int64_t{header.height()} <= 256 * 256) {
        Bytes p(size_t(header.width()) * header.height() * 4);
        EXPECT_TRUE(session.ExecuteScript(p.data(), header.width(), header.height()));
      }
    } else {
      ++refused;
      EXPECT_NE(session.error()[0], 0);
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(EffectScripts, TheUserDocumentationListsEveryEffectAsItIs) {
  // Each table row | number | "name" | slot: `param` default (range); ... |
  // must match the effect table, and every effect must have a row.
  std::ifstream in(std::string(DROVINE_EXAMPLES) + "/../docs/effect-scripts.md");
  ASSERT_TRUE(in.good());
  int32_t rows = 0;
  for (std::string line; std::getline(in, line);) {
    int number = 0;
    char name[64] = {};
    int used = 0;
    if (std::sscanf(line.c_str(), "| %d | \"%63[^\"]\" |%n", &number, name, &used) != 2 || !used)
      continue;
    ++rows;
    const auto* effect = fx::detail::FindEffect(number);
    ASSERT_NE(effect, nullptr) << line;
    EXPECT_STREQ(name, effect->name);
    // The parameters: "slot: `name` default" separated by semicolons.
    std::stringstream params(line.substr(size_t(used)));
    int32_t documented = 0;
    for (std::string item; std::getline(params, item, ';');) {
      int slot = 0, value = 0;
      char param[32] = {};
      if (std::sscanf(item.c_str(), " %d: `%31[^`]` %d", &slot, param, &value) != 3) continue;
      ASSERT_LT(documented, fx::detail::kMaxParams) << line;
      const auto& p = effect->params[documented++];
      EXPECT_EQ(slot, p.slot) << line;
      EXPECT_STREQ(param, p.name) << line;
      EXPECT_EQ(value, p.defaultValue) << line;
    }
    int32_t actual = 0;
    while (actual < fx::detail::kMaxParams && effect->params[actual].name) ++actual;
    EXPECT_EQ(documented, actual) << line;
  }
  EXPECT_EQ(rows, fx::detail::EffectCount());
}

TEST(EffectScripts, SlotsNamesCommentsAndBackground) {
  ScriptDir dir;
  // Parameters by name or by slot number give the same picture.
  const std::string byName =
      dir.Write("a.drfx",
                "effect-script 1   # version\r\nsize 40 30\r\neffect \"Generate Perlin Noise\"\r\n"
                "  seed = 5\r\n  octaves = 2\r\n");
  const std::string bySlot =
      dir.Write("b.drfx", "effect-script 1\nsize 40 30\neffect 11\n3 = 5\n5=2\n");
  Bytes a, b;
  int32_t w, h;
  ASSERT_TRUE(Generate(byName, a, w, h));
  ASSERT_TRUE(Generate(bySlot, b, w, h));
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  EXPECT_EQ(a, b);

  // No effects: the background alone, in blue-green-red-alpha order.
  const std::string flat =
      dir.Write("c.drfx", "effect-script 1\nsize 2 1\nbackground 10 20 30 40\n");
  ASSERT_TRUE(Generate(flat, a, w, h));
  EXPECT_EQ(a, (Bytes{30, 20, 10, 40, 30, 20, 10, 40}));
  fx::Session session;
  fx::ScriptHeader header;
  ASSERT_TRUE(session.ReadScriptHeaderFromFile(flat.c_str(), header));
  EXPECT_EQ(Bytes(header.bytes + 24, header.bytes + 28), (Bytes{10, 20, 30, 40}));
  EXPECT_EQ(header.bytes[8], 0);
}

TEST(EffectScripts, GeneratorsFollowTheirSeedAndTile) {
  auto run = [](int32_t number, int32_t seed, int32_t w, int32_t h) {
    Bytes p(size_t(w) * h * 4, 0);
    fx::Session session;
    EXPECT_TRUE(session.AddEffect(number, 1));
    session.SetEffectValue(0, 3, seed);
    EXPECT_TRUE(session.ExecuteScriptOnImage(p.data(), w, h));
    return p;
  };
  for (int32_t number : {int32_t(fx::kEffectPlasma), int32_t(fx::kEffectPerlinNoise)}) {
    SCOPED_TRACE(number);
    const int32_t w = 64, h = 48;
    const Bytes a = run(number, 1, w, h), b = run(number, 1, w, h), c = run(number, 2, w, h);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Opaque everywhere.
    for (size_t i = 3; i < a.size(); i += 4) ASSERT_EQ(a[i], 255);
    // Seamless: the step from the last column back to the first is no
    // larger than a typical step between neighbouring columns.
    auto columnStep = [&](int32_t x0, int32_t x1) {
      double sum = 0;
      for (int32_t y = 0; y < h; ++y)
        sum += std::abs(int(a[(size_t(y) * w + x0) * 4]) - int(a[(size_t(y) * w + x1) * 4]));
      return sum / h;
    };
    double typical = 0;
    for (int32_t x = 1; x < w; ++x) typical += columnStep(x - 1, x);
    typical /= w - 1;
    EXPECT_LT(columnStep(w - 1, 0), 3 * typical + 1);
  }
  // Perlin noise is grey unless colour is asked for.
  const Bytes grey = run(fx::kEffectPerlinNoise, 3, 16, 16);
  for (size_t i = 0; i < grey.size(); i += 4) {
    ASSERT_EQ(grey[i], grey[i + 1]);
    ASSERT_EQ(grey[i], grey[i + 2]);
  }
}

TEST(EffectScripts, RotationKeepsTheSizeAndTurnsAboutTheCentre) {
  const int32_t n = 9;
  Bytes p(size_t(n) * n * 4, 0);
  auto at = [&](Bytes& q, int x, int y) { return &q[(size_t(y) * n + x) * 4]; };
  // One white pixel right of the centre (4, 4).
  std::memset(at(p, 7, 4), 255, 4);
  Bytes q = p;
  ASSERT_TRUE(Rotate(q, n, n, 90));
  // Counter-clockwise as seen on screen (y down): right of centre goes up.
  EXPECT_EQ(at(q, 4, 1)[0], 255);
  EXPECT_EQ(at(q, 4, 1)[3], 255);
  EXPECT_EQ(at(q, 7, 4)[3], 0);
  ASSERT_TRUE(Rotate(q, n, n, 270));
  EXPECT_EQ(q, p);  // a quarter turn and three more: back exactly
  // A whole turn (what the engine passes for angle 0) changes nothing.
  q = p;
  ASSERT_TRUE(Rotate(q, n, n, 360));
  EXPECT_EQ(q, p);

  // 45 degrees on an opaque non-square picture: corners become transparent,
  // the centre stays, the size is kept.
  const int32_t w = 40, h = 20;
  Bytes full(size_t(w) * h * 4, 200);
  ASSERT_TRUE(Rotate(full, w, h, 45));
  EXPECT_EQ(full.size(), size_t(w) * h * 4);
  EXPECT_EQ(full[3], 0);
  EXPECT_EQ(full[((size_t(h) / 2) * w + w / 2) * 4 + 3], 200);
}

TEST(EffectScripts, ChainRulesAndFailuresLeaveThePictureAlone) {
  Bytes p(16 * 4, 7);
  const Bytes before = p;
  fx::Session session;
  ASSERT_TRUE(session.ready());
  EXPECT_FALSE(session.ExecuteScriptOnImage(p.data(), 4, 4));  // nothing to run
  EXPECT_FALSE(session.AddEffect(999, 1));
  EXPECT_FALSE(session.ExecuteScriptOnImage(p.data(), 4, 4));
  ASSERT_TRUE(session.AddEffect(fx::kEffectRotate, 0));  // added switched off
  session.SetEffectValue(0, 3, 45);
  session.SetEffectValue(5, 3, 45);   // no such effect: ignored
  session.SetEffectValue(0, 99, 45);  // no such slot: ignored
  ASSERT_TRUE(session.ExecuteScriptOnImage(p.data(), 4, 4));
  EXPECT_EQ(p, before);
  EXPECT_FALSE(session.ExecuteScriptOnImage(nullptr, 4, 4));
  EXPECT_FALSE(session.ExecuteScriptOnImage(p.data(), 0, 4));

  // Out of memory in the middle of a run: false, picture unchanged.
  fx::Session rotate;
  ASSERT_TRUE(rotate.AddEffect(fx::kEffectRotate, 1));
  rotate.SetEffectValue(0, 3, 30);
  for (int i = 0; i < 16; ++i) p[size_t(i) * 4] = uint8_t(i * 16);
  const Bytes pattern = p;
  bool ran = false;
  drovine_test::SweepAllocationFailures(
      {}, [&] { ran = rotate.ExecuteScriptOnImage(p.data(), 4, 4); },
      [&](int64_t) {
        EXPECT_FALSE(ran);
        EXPECT_EQ(p, pattern);
      });
  EXPECT_TRUE(ran);
  EXPECT_NE(p, pattern);
}

TEST(EffectScripts, ScriptPictureTiledIntoGrit) {
  // The grit path end to end: generate, swap to red-first, tile over
  // 600 x 600 with the overlay, turn grey.
  Bytes tile;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(Generate(Example("perlin-grain.drfx"), tile, w, h));
  img::RgbaToBgra(tile.data(), w, h, w * 4);
  Bytes big(600 * 600 * 4, 0);
  for (int32_t y = 0; y < 600; y += h)
    for (int32_t x = 0; x < 600; x += w)
      ASSERT_TRUE(
          img::OverlayImage(big.data(), 600, 600, 4, 2400, tile.data(), w, h, w * 4, x, y, 1.0, 0));
  Bytes grey(600 * 600);
  ASSERT_TRUE(img::ImageToGray8(big.data(), 600, 600, 4, 2400, grey.data(), 600));
  // The tile repeats: (x, y) and (x + w, y + h) agree.
  for (int32_t i = 0; i < 600 - 300; i += 37)
    ASSERT_EQ(grey[size_t(i) * 600 + i], grey[size_t(i + h) * 600 + i + w]);
}

}  // namespace

namespace {

TEST(EffectScripts, EveryExampleParsesAndDrawsTheSamePictureTwice) {
  int32_t examples = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(DROVINE_EXAMPLES) + "/effects")) {
    if (entry.path().extension() != ".drfx") continue;
    SCOPED_TRACE(entry.path().string());
    ++examples;
    fx::Session parse;
    ASSERT_TRUE(parse.LoadScriptFromFile(entry.path().c_str())) << parse.error();
    Bytes a, b;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(Generate(entry.path().string(), a, w, h));
    ASSERT_TRUE(Generate(entry.path().string(), b, w, h));
    EXPECT_EQ(a, b);
    std::set<uint32_t> colours;
    for (size_t i = 0; i < a.size() && colours.size() < 16; i += 4) {
      uint32_t c;
      std::memcpy(&c, &a[i], 4);
      colours.insert(c);
    }
    EXPECT_GE(colours.size(), 16u);  // a picture, not a flat fill
  }
  EXPECT_GE(examples, 20);
}

TEST(EffectScripts, GeneratorsStayBoundedAtTheirLargestValues) {
  // Every slot at the top of its range (huge counts, sizes, thicknesses,
  // wrapping): each run ends promptly, draws something and is repeatable.
  for (int32_t number : {1, 2, 3, 4, 20, 37, 43, 58, 59}) {
    SCOPED_TRACE(number);
    auto run = [&] {
      Bytes p(64 * 48 * 4, 9);
      fx::Session session;
      EXPECT_TRUE(session.AddEffect(number, 1));
      for (int32_t slot = 3; slot < 20; ++slot) session.SetEffectValue(0, slot, 2147483647);
      session.SetEffectValue(0, 3, 5);  // a seed
      EXPECT_TRUE(session.ExecuteScriptOnImage(p.data(), 64, 48));
      return p;
    };
    const Bytes a = run();
    EXPECT_EQ(run(), a);
    EXPECT_NE(a, Bytes(a.size(), 9));
  }
}

}  // namespace
