// Lua filter scripts driven through the C API as a host does: the example
// scripts with pinned results (the same pins hold for the LuaJIT build,
// whose pixel accessors are separate code), the exact arithmetic of the
// registered functions at their edges, buffering, errors, merge and flush,
// stopping a runaway script, and stroke-script recording byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "imaging/work_buffers.h"
#include "script/lua_filter.h"
#include "support/allocation_sweep.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

using dro::Pixel64;

std::vector<std::string> messages;
std::vector<std::string> debugLines;
int cancelAfterMessages = -1;  // the handler requests a stop at this count

void DRO_CALL CollectMessage(const char* text, const char* caption) {
  messages.push_back(std::string(caption) + "|" + text);
  if (static_cast<int>(messages.size()) == cancelAfterMessages) DRO_XSetScriptCancel(1);
}
void DRO_CALL CollectDebug(const char* text) {
  debugLines.push_back(text);
}

struct Values {
  int32_t sliders[6] = {};
  int32_t styles[2] = {};
  uint8_t flags[6] = {};
};

uint64_t Hash(const void* data, size_t bytes) {
  uint64_t h = 1469598103934665603ull;
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

class LuaFilter : public drovine_test::CanvasTest {
 protected:
  LuaFilter() : CanvasTest({7, 5}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    MakeLayer(1, {});
    DRO_SetLayer(1);
    std::vector<Pixel64> pixels;
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) {
        const auto c = [](int v) { return static_cast<uint16_t>((v & 255) * 256); };
        pixels.push_back(
            {c(x * 37 + y * 11), c(x * 13 + y * 71 + 40), c(x * y * 5 + 90), c(255 - x * 9)});
      }
    }
    pixels.back() = {128 * 256, 128 * 256, 128 * 256, 65280};  // one grey pixel
    SetPixels(1, pixels);
    original_ = pixels;
    DRO_IPLAllocSrcBuffer32();
    DRO_IPLAllocDstBuffer32();
    messages.clear();
    debugLines.clear();
    cancelAfterMessages = -1;
    DRO_XSetScriptMessageHandler(CollectMessage);
    DRO_XSetScriptDebugHandler(CollectDebug);
    DRO_SetStartDir((dir_.path().string() + "/").c_str());
    std::filesystem::create_directory(dir_.path() / "scripts");
  }
  void TearDown() override {
    DRO_XSetScriptMessageHandler(nullptr);
    DRO_XSetScriptDebugHandler(nullptr);
    DRO_IPLFreeSrcBuffer32();
    DRO_IPLFreeDstBuffer32();
    CanvasTest::TearDown();
  }

  void RunFile(const std::string& path, const Values& v = {}) {
    DRO_LuaFilterRun(path.c_str(), v.sliders[0], v.sliders[1], v.sliders[2], v.sliders[3],
                     v.sliders[4], v.sliders[5], v.styles[0], v.styles[1], v.flags[0], v.flags[1],
                     v.flags[2], v.flags[3], v.flags[4], v.flags[5]);
  }
  void Run(const std::string& script, const Values& v = {}) {
    RunFile(dir_.Write("filter.lua", script), v);
  }
  // Runs `script` after a helper out(...) that reports its arguments as one
  // message "v|a b c" (numbers in %.17g), and returns the reports.
  std::vector<std::string> Outputs(const std::string& script, const Values& v = {}) {
    Run("local function out(...)\n"
        "  local t = {}\n"
        "  for i = 1, select('#', ...) do\n"
        "    local a = select(i, ...)\n"
        "    t[i] = type(a) == 'number' and string.format('%.17g', a) or tostring(a)\n"
        "  end\n"
        "  message_box(table.concat(t, ' '), 'v')\n"
        "end\n" +
            script,
        v);
    return messages;
  }
  std::string StrokeFile() const {
    std::ifstream in(dir_.File("scripts/luapaint.srp"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // "a|b| |c" as the file lines "a", "b", " ", "c".
  static std::string Lines(const std::string& bars) {
    std::string s = bars + "\n";
    for (char& c : s) c = c == '|' ? '\n' : c;
    return s;
  }
  uint64_t LayerHash() const {
    const std::vector<Pixel64> p = Pixels(1);
    return Hash(p.data(), p.size() * sizeof(Pixel64));
  }

  drovine_test::ScratchDir dir_;
  std::vector<Pixel64> original_;
};

std::string Example(const char* name) {
  return std::string(DROVINE_EXAMPLES) + "/scripts/" + name;
}

TEST_F(LuaFilter, ExampleScriptsGivePinnedResults) {
  RunFile(Example("invert.lua"));
  EXPECT_TRUE(messages.empty());
  const std::vector<Pixel64> inverted = Pixels(1);
  for (size_t i = 0; i < inverted.size(); ++i) {
    // 1 - c / 255 written back as a fraction: x 255 truncated, so some
    // channels come out one below 255 - c.
    const auto inv = [](uint16_t c) {
      return static_cast<uint16_t>(static_cast<int>((1.0 - (c >> 8) / 255.0) * 255.0) << 8);
    };
    const Pixel64& o = original_[i];
    const Pixel64 want{inv(o.r), inv(o.g), inv(o.b), o.a};
    ASSERT_EQ(inverted[i], want) << "pixel " << i;
  }

  const struct {
    const char* script;
    Values values;
    uint64_t layerHash;
  } pinned[] = {
      {"hue_shift.lua", {{250, 300, 600}}, 3475508612692437904u},
      {"soft_glow.lua", {{500, 200}}, 9680647951082637953u},
  };
  for (const auto& p : pinned) {
    SetPixels(1, original_);
    DRO_IPLUpdateSrcBuffer32();
    RunFile(Example(p.script), p.values);
    EXPECT_TRUE(messages.empty()) << p.script << ": " << messages.front();
    EXPECT_EQ(LayerHash(), p.layerHash) << p.script;
  }

  SetPixels(1, original_);
  DRO_IPLUpdateSrcBuffer32();
  RunFile(Example("stroke_record.lua"), {{30}, {2}});
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Pixels(1), original_);
  const std::string file = StrokeFile();
  EXPECT_EQ(
      file.rfind(Lines("1554|Description|1| |RandomSeed|1234|SelectBrush|Round|3|0|SetBrushSize|3"),
                 0),
      0u);
  EXPECT_EQ(Hash(file.data(), file.size()), 7304112893014489576u) << file;
}

TEST_F(LuaFilter, GlobalsCarryTheHostValues) {
  Values v;
  v.sliders[0] = 1500;
  v.sliders[5] = -7;
  v.styles[1] = INT32_MAX;
  v.flags[0] = 2;
  EXPECT_EQ(
      Outputs("out(width, height, bound_x0, bound_y0, bound_x1, bound_y1)\n"
              "out(sliderVal1, sliderVal6, styleVal1, styleVal2, flagVal1, flagVal2)\n"
              "out(MERGE_NORMAL, MERGE_EXCLUSIO, MERGE_HARD_LIGHT, MERGE_TEXTURIZE3)\n",
              v),
      (std::vector<std::string>{
          "v|7 5 0 0 6 4", "v|1.5 -0.0070000000000000001 1 2147483648 true false", "v|0 7 9 19"}));
}

TEST_F(LuaFilter, ReadsAtTheEdges) {
  DRO_SetColor(255, 128, 0);
  DRO_SetColorBanks(1, 2, 3, 10, 20, 30, 0, 0, 255, 7, 8, 9);
  PutMask(0, 0, 65535);
  PutMask(1, 0, 0);
  EXPECT_EQ(
      Outputs("out(get_rgba(-1, 0)) out(get_value(-1, 0), get_value(7, 0), get_alpha(0, 5))\n"
              "out(get_value(0, 0), get_rgb()) out(get_rgb(-0.9, 0.9)) out(get_rgb(0/0, 0))\n"
              "out(get_hsv(-1, 0)) out(get_hsl(-1, 0)) out(get_lab(-1, 0)) out(get_cmyk(-1, 0))\n"
              "out(get_hsv(6, 4)) out(get_hsl(6, 4))\n"
              "out(get_mask(0, 0), get_mask(1, 0), get_mask(-1, 0))\n"
              "out(get_color()) out(get_color2()) out(get_color3())\n"
              "out(get_rgb(' 1 ', {})) out(get_value(true, '1e0'))\n"),
      (std::vector<std::string>{
          "v|0 0 0 0", "v|0 0 0", "v|0.16862745098039217 0 0.15686274509803921 0.35294117647058826",
          "v|0 0.15686274509803921 0.35294117647058826",
          "v|0 0.15686274509803921 0.35294117647058826", "v|-1 0 0", "v|0 0 0", "v|0 0 0",
          "v|0 0 0 1", "v|-1 0 0.50196078431372548", "v|0 0 0.50196078431372548", "v|1 0 0",
          "v|1 0.50196078431372548 0",
          "v|0.039215686274509803 0.078431372549019607 0.11764705882352941", "v|0 0 1",
          "v|0.14509803921568629 0.20784313725490197 0.35294117647058826",
          "v|0.27450980392156865"}));
}

TEST_F(LuaFilter, WritesClampAndTruncate) {
  Run("set_rgb(0, 0, 1.5, -0.2, 0.999)\n"
      "set_rgb(1, 0, 0/0, 0.5, 1/0)\n"
      "set_value(7, 0, 1) set_value(0, -1, 1) set_value(-0.5, 1, 0.2)\n"
      "set_alpha(2, 0, 0.6) set_rgba(3, 0, 0.1, 0.2, 0.3, 0.4)\n"
      "set_hsv(4, 0, 400, 2, 1) set_hsl(5, 0, -20, 1, 0.5) set_cmyk(6, 0, 0, 1, 0.5, 0)\n"
      "set_cmyk(2, 1, 1e300, 0/0, -1e300, 0)\n"
      "set_mask(0, 4, 1.5) set_mask(1, 4, -3) set_mask(2, 4, 0.5) set_mask(9, 4, 0)\n");
  EXPECT_TRUE(messages.empty());
  const auto at = [&](int x, int y) { return At(1, x, y); };
  const auto px = [](int r, int g, int b, int a) {
    return Pixel64{static_cast<uint16_t>(r << 8), static_cast<uint16_t>(g << 8),
                   static_cast<uint16_t>(b << 8), static_cast<uint16_t>(a << 8)};
  };
  EXPECT_EQ(at(0, 0), px(255, 0, 254, 255));
  EXPECT_EQ(at(1, 0), px(0, 127, 255, 246));
  EXPECT_EQ(at(0, 1), px(51, 51, 51, 255));
  EXPECT_EQ(at(2, 0).a, 153 << 8);
  EXPECT_EQ(at(3, 0), px(25, 51, 76, 102));
  EXPECT_EQ(at(4, 0), px(255, 0, 4, 219));
  EXPECT_EQ(at(5, 0), px(255, 0, 0, 210));
  EXPECT_EQ(at(6, 0), px(255, 0, 127, 201));
  EXPECT_EQ(at(2, 1).r, 0);
  EXPECT_EQ(at(6, 1), original_[13]);  // nothing at (7, 0) spilled into row 1
  EXPECT_EQ(MaskAt(0, 4), 65535);
  EXPECT_EQ(MaskAt(1, 4), 0);
  EXPECT_EQ(MaskAt(2, 4), 32767);
  EXPECT_EQ(MaskAt(6, 3), 65535);  // nothing at (9, 4) wrapped onto another row
}

TEST_F(LuaFilter, BitOperationsKeepTheLow32Bits) {
  EXPECT_EQ(Outputs("out(bit_not(0xFFFFFFFF), bit_not(0), bit_not(0/0), bit_not(-2.7))\n"
                    "out(bit_and(0xFFFFFFFF, 0x0F0F), bit_and(2^40 + 5, 7), bit_or(-1, 0))\n"
                    "out(bit_xor(0xFFFFFFFF, 1), bit_xor(1e300, 1))\n"
                    "out(bit_shfr(-8, 1), bit_shfr(0x80000000, 31), bit_shfr(256, 36))\n"
                    "out(bit_shfl(1, 33), bit_shfl(1, 31), bit_shfl(3, -1), bit_shfl(1))\n"),
            (std::vector<std::string>{"v|0 -1 -1 1", "v|3855 5 -1", "v|-2 -2", "v|-4 -1 16",
                                      "v|2 -2147483648 -2147483648 1"}));
}

TEST_F(LuaFilter, DoubleAndSingleBuffering) {
  EXPECT_EQ(Outputs("set_rgb(0, 0, 1, 1, 1) out(get_rgb(0, 0))\n"
                    "single_buffer(true) out(get_rgb(0, 0)) single_buffer(false)\n"
                    "out(get_rgb(0, 0)) single_buffer(1)\n"),
            (std::vector<std::string>{"v|0 0.15686274509803921 0.35294117647058826", "v|1 1 1",
                                      "v|0 0.15686274509803921 0.35294117647058826"}));
  // The run ended in single buffering: the source follows the destination.
  EXPECT_EQ(dro::imaging::Source32()[0], 255);
}

TEST_F(LuaFilter, ErrorsAreReportedAndLeaveTheLayer) {
  const struct {
    const char* script;
    const char* expected;
  } cases[] = {
      {"set_rgb(0, 0, 1, 1, 1) x = = 1", ":1: unexpected symbol near '='"},
      {"set_rgb(0, 0, 1, 1, 1) error('boom')", ":1: boom"},
      {"set_rgb(0, 0, 1, 1, 1) error({})", "(error object is not a string)"},
  };
  for (const auto& c : cases) {
    messages.clear();
    Run(c.script);
    ASSERT_EQ(messages.size(), 1u) << c.script;
    EXPECT_EQ(messages[0].rfind("Lua Script Error|", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find(c.expected), std::string::npos) << messages[0];
    EXPECT_EQ(Pixels(1), original_) << c.script;
  }
  for (const char* path : {"", "/nonexistent/filter.lua"}) {
    messages.clear();
    RunFile(path);
    ASSERT_EQ(messages.size(), 1u) << path;
    EXPECT_EQ(messages[0].rfind("Lua Script Error|cannot open", 0), 0u) << messages[0];
  }
  messages.clear();
  DRO_LuaFilterRun(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(Pixels(1), original_);
  EXPECT_STREQ(DRO_GetLastError(), "");

  // Without both work buffers nothing runs.
  DRO_IPLFreeDstBuffer32();
  messages.clear();
  Run("message_box('ran', 'x')");
  EXPECT_TRUE(messages.empty());
}

TEST_F(LuaFilter, FlushAndMergeKeepTheirResults) {
  // flush() reaches the layer even when the script fails afterwards, and
  // makes the flushed picture the new source.
  Outputs("set_rgb(0, 0, 1, 1, 1) flush() out(get_rgb(0, 0)) error('late')");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "v|1 1 1");
  EXPECT_NE(messages[1].find("late"), std::string::npos);
  EXPECT_EQ(At(1, 0, 0).r, 255 << 8);

  // merge() at a fraction: the same as the merge path at trunc(0.5 x 255);
  // the final load keeps it (at the work buffers' 8-bit precision).
  const auto merged = [&](const char* script) {
    SetPixels(1, original_);
    DRO_IPLUpdateSrcBuffer32();
    Run(script);
    return Pixels(1);
  };
  const std::vector<Pixel64> viaScript =
      merged("for x = 0, 6 do set_rgba(x, 0, 1, 0, 0, 1) end merge(MERGE_MULTIPLY, 0.5)");
  SetPixels(1, original_);
  DRO_IPLUpdateSrcBuffer32();
  std::vector<uint8_t> picture(dro::imaging::Source32(),
                               dro::imaging::Source32() + pixelCount() * 4);
  for (int x = 0; x < 7; ++x) {
    picture[x * 4] = 255, picture[x * 4 + 1] = 0, picture[x * 4 + 2] = 0, picture[x * 4 + 3] = 255;
  }
  DRO_IPLSetDstBuffer32(picture.data());
  ASSERT_TRUE(dro::imaging::MergeDestination(1, 127));
  DRO_IPLUpdateSrcBuffer32();
  ASSERT_TRUE(dro::imaging::LoadRgba32Result(dro::imaging::Source32()));
  EXPECT_EQ(viaScript, Pixels(1));
  EXPECT_NE(viaScript, original_);
  // Unknown modes merge as Normal; opacities clamp to 0..1.
  EXPECT_EQ(merged("merge(99, -1)"), merged("merge(MERGE_NORMAL, 0)"));
  EXPECT_EQ(merged("merge(MERGE_SCREEN, 7)"), merged("merge(MERGE_SCREEN, 1)"));
}

TEST_F(LuaFilter, StopRequestEndsARunawayScript) {
  // Compiled LuaJIT code runs no count hook: there only loops that call
  // the pixel accessors notice the request.
  std::vector<const char*> loops = {"while true do local r = get_rgb(0, 0) end",
                                    "while true do set_alpha(1, 1, 0.5) end"};
  if (!dro::script::UsesLuaJit()) loops.push_back("while true do end");
  for (const char* loop : loops) {
    messages.clear();
    cancelAfterMessages = 1;
    Run(std::string("message_box('started', 'x') ") + loop);
    ASSERT_EQ(messages.size(), 2u) << loop;
    EXPECT_NE(messages[1].find("Lua Script Error|"), std::string::npos);
    EXPECT_NE(messages[1].find("script stopped by the host"), std::string::npos) << loop;
  }

  // A script that polls is_escape() takes the request and ends by itself.
  messages.clear();
  Run("message_box('started', 'x') while is_escape() == 0 do end\n"
      "set_rgb(0, 0, 1, 1, 1) message_box(tostring(is_escape()), 'x')");
  EXPECT_EQ(messages, (std::vector<std::string>{"x|started", "x|0"}));
  EXPECT_EQ(At(1, 0, 0).r, 255 << 8);

  // Each run starts with the request cleared.
  DRO_XSetScriptCancel(1);
  messages.clear();
  cancelAfterMessages = -1;
  Run("for i = 1, 3000000 do end message_box(tostring(is_escape()), 'x')");
  EXPECT_EQ(messages, (std::vector<std::string>{"x|0"}));
}

TEST_F(LuaFilter, MemoryFailuresAreReportedNotFatal) {
  if (dro::script::UsesLuaJit()) GTEST_SKIP() << "LuaJIT keeps its own allocator";
  const std::string path = dir_.Write("filter.lua",
                                      "set_rgb(0, 0, 1, 1, 1) local t = {} for i = 1, 50 do "
                                      "t[i] = tostring(i) .. 'x' end paint_open(t[7])");
  // A failure ends the set-up ("LuaFilterRun Excpt"), or the script (a
  // "not enough memory" error), or meets a finaliser while the state closes
  // after a complete run (Lua drops such errors).
  int setUpFailures = 0, scriptFailures = 0, closeFailures = 0;
  const int64_t runs = drovine_test::SweepAllocationFailures(
      {}, [&] { messages.clear(), RunFile(path); },
      [&](int64_t n) {
        const std::string error = DRO_GetLastError();
        if (error == "LuaFilterRun Excpt") {
          EXPECT_TRUE(messages.empty()) << n;
          ++setUpFailures;
        } else if (messages.empty() && error.empty()) {
          EXPECT_EQ(At(1, 0, 0).r, 255 << 8) << n;
          ++closeFailures;
          SetPixels(1, original_);
          DRO_IPLUpdateSrcBuffer32();
          return;
        } else {
          EXPECT_EQ(error, "") << n;
          ASSERT_EQ(messages.size(), 1u) << n;
          EXPECT_NE(messages[0].find("not enough memory"), std::string::npos) << messages[0];
          ++scriptFailures;
        }
        EXPECT_EQ(Pixels(1), original_) << n;
      });
  EXPECT_GT(setUpFailures, 10);
  EXPECT_GT(scriptFailures, 10);
  EXPECT_EQ(runs, setUpFailures + scriptFailures + closeFailures);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(At(1, 0, 0).r, 255 << 8);
  EXPECT_EQ(StrokeFile(), Lines("1554|Description|1| |RandomSeed|7x"));
}

TEST_F(LuaFilter, DebugOutputGoesToTheHandler) {
  Run("output_debug_string('one') output_debug_string(2) progress(0.5)");
  EXPECT_EQ(debugLines, (std::vector<std::string>{"one", "2"}));
}

TEST_F(LuaFilter, StrokeScriptIsRecordedByteForByte) {
  Run("paint_stroke_pos(1, 2, 3) paint_open(77) paint_stroke_start(1, 2)\n"
      "paint_stroke_pos(10, 20, 0.5) paint_stroke_stop() paint_close() paint_dab(1, 2, 3)");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(StrokeFile(), Lines("1554|Description|1| "
                                "|RandomSeed|77|DrawStart|1|2|-1|SmoothPlot2|0|0|0|1|0|SmoothPlot2|"
                                "10|20|0.5|0|0|SmoothPlot2|0|0|0|0|1|DrawStop|1|ScriptEnd"));

  // Every other record, value formats, a second open and no closing record.
  Run("paint_open('old') paint_brush_size(1)\n"
      "paint_open(1/3) paint_brush_color(1, 0.5, 0) paint_select_brush('Oil', 2, 1e20)\n"
      "paint_brush_density(0.1) paint_brush_opacity(-4) paint_line(1, 2, 3, 4)\n"
      "paint_spline(1, 2, 3, 4, 5, 6, 7, 8) paint_dab(9, 8, 7)\n"
      "paint_set_color_banks('b', 1, 0, 0.5, 2, -1, 0.999, 0, 0, 0, 0, 0, 1)\n"
      "paint_filter(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,'x')\n");
  EXPECT_TRUE(messages.empty()) << messages.front();
  EXPECT_EQ(StrokeFile(),
            Lines("1554|Description|1| "
                  "|RandomSeed|0.33333333333333|SetColor|255|127|0|SelectBrush|Oil|2|1e+20|"
                  "SetBrushDensity|0.1|SetBrushOpacity|-4|Line2|1|2|3|4|Spline|1|2|3|4|5|6|7|8|Dab|"
                  "9|8|7|SetColorBanks|b|255|0|127|510|-255|254|0|0|0|0|0|255|Filter|1|2|3|4|5|6|7|"
                  "8|9|10|11|12|13|14|15|16|17|18|19|x"));

  // A missing value raises an argument error before anything is written.
  Run("paint_open(5) paint_line(1, 2, nil, 4) paint_close()");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("bad argument #3 to 'paint_line'"), std::string::npos) << messages[0];
  EXPECT_EQ(StrokeFile(), Lines("1554|Description|1| |RandomSeed|5"));
}

}  // namespace
