// Stroke-script recording: the paint_* functions of filter scripts write
// records, one value per line, to "<start directory>scripts/luapaint.srp"
// for the host to replay with its own brush engine.
//
// File contract:
//   1. A record is a keyword line followed by a fixed number of value lines;
//      every line ends with "\n" (the file is plain Unix text).
//   2. Values the script gives are written as Lua turns them into strings
//      (numbers as "%.14g", strings as they are); values the engine computes
//      (colours, trunc(c x 255)) are decimal integers.
//   3. paint_open writes the header "1554", "Description", "1", " ",
//      "RandomSeed", seed; paint_close writes "ScriptEnd" and closes. A file
//      still open at the end of the run is closed without "ScriptEnd".
//   4. While no file is open every function but paint_open does nothing.
//   5. A value argument that is neither a string nor a number raises a Lua
//      argument error before anything of the record is written.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/numeric.h"
#include "script/script_api.h"

namespace dro::script {
namespace {

constexpr char kStrokeFileName[] = "scripts/luapaint.srp";

void WriteLine(std::FILE* f, const char* text, size_t length) {
  std::fwrite(text, 1, length, f);
  std::fputc('\n', f);
}

void WriteLine(std::FILE* f, const char* text) {
  WriteLine(f, text, std::strlen(text));
}

// A record template: literal lines, and "$n" for the script's n-th argument
// (1..9; every argument the template names is checked before writing).
template <const auto& kLines>
int Record(lua_State* L) {
  constexpr size_t kCount = std::size(kLines);
  std::FILE* f = Run().strokeFile;
  if (!f) return 0;
  for (size_t i = 0; i < kCount; ++i) {
    if (kLines[i][0] == '$') luaL_checklstring(L, kLines[i][1] - '0', nullptr);
  }
  for (size_t i = 0; i < kCount; ++i) {
    if (kLines[i][0] == '$') {
      size_t length = 0;
      const char* text = lua_tolstring(L, kLines[i][1] - '0', &length);
      WriteLine(f, text, length);
    } else {
      WriteLine(f, kLines[i]);
    }
  }
  return 0;
}

// `count` arguments from `first` on, after the keyword (for the long
// records whose values are all the script's).
template <const char* kKeyword, int kCount>
int ValuesRecord(lua_State* L) {
  std::FILE* f = Run().strokeFile;
  if (!f) return 0;
  for (int i = 1; i <= kCount; ++i) luaL_checklstring(L, i, nullptr);
  WriteLine(f, kKeyword);
  for (int i = 1; i <= kCount; ++i) {
    size_t length = 0;
    const char* text = lua_tolstring(L, i, &length);
    WriteLine(f, text, length);
  }
  return 0;
}

// Writes trunc(v x 255) of the numbers at `first`..`first + count - 1`.
void WriteChannels(lua_State* L, std::FILE* f, int first, int count) {
  for (int i = first; i < first + count; ++i) {
    char text[16];
    const int n =
        std::snprintf(text, sizeof text, "%d", SaturateToInt32(lua_tonumber(L, i) * 255.0));
    WriteLine(f, text, static_cast<size_t>(n));
  }
}

int PaintOpen(lua_State* L) {
  luaL_checklstring(L, 1, nullptr);
  RunState& run = Run();
  CloseStrokeFile(run);
  char path[2048];
  const int n = std::snprintf(path, sizeof path, "%s%s", run.startDirectory, kStrokeFileName);
  if (n < 0 || static_cast<size_t>(n) >= sizeof path) return 0;
  run.strokeFile = std::fopen(path, "w");
  if (!run.strokeFile) return 0;
  std::FILE* f = run.strokeFile;
  for (const char* line : {"1554", "Description", "1", " ", "RandomSeed"}) WriteLine(f, line);
  size_t length = 0;
  const char* seed = lua_tolstring(L, 1, &length);
  WriteLine(f, seed, length);
  return 0;
}

int PaintClose(lua_State*) {
  RunState& run = Run();
  if (!run.strokeFile) return 0;
  WriteLine(run.strokeFile, "ScriptEnd");
  CloseStrokeFile(run);
  return 0;
}

int PaintBrushColor(lua_State* L) {
  std::FILE* f = Run().strokeFile;
  if (!f) return 0;
  for (int i = 1; i <= 3; ++i) luaL_checknumber(L, i);
  WriteLine(f, "SetColor");
  WriteChannels(L, f, 1, 3);
  return 0;
}

int PaintSetColorBanks(lua_State* L) {
  std::FILE* f = Run().strokeFile;
  if (!f) return 0;
  luaL_checklstring(L, 1, nullptr);
  for (int i = 2; i <= 13; ++i) luaL_checknumber(L, i);
  WriteLine(f, "SetColorBanks");
  size_t length = 0;
  const char* name = lua_tolstring(L, 1, &length);
  WriteLine(f, name, length);
  WriteChannels(L, f, 2, 12);
  return 0;
}

constexpr const char* kStrokeStart[] = {"DrawStart", "$1", "$2", "-1", "SmoothPlot2",
                                        "0",         "0",  "0",  "1",  "0"};
constexpr const char* kStrokePos[] = {"SmoothPlot2", "$1", "$2", "$3", "0", "0"};
constexpr const char* kStrokeStop[] = {"SmoothPlot2", "0", "0", "0", "0", "1", "DrawStop", "1"};
constexpr const char* kSelectBrush[] = {"SelectBrush", "$1", "$2", "$3"};
constexpr const char* kBrushSize[] = {"SetBrushSize", "$1"};
constexpr const char* kBrushDensity[] = {"SetBrushDensity", "$1"};
constexpr const char* kBrushOpacity[] = {"SetBrushOpacity", "$1"};
constexpr const char* kLine[] = {"Line2", "$1", "$2", "$3", "$4"};
constexpr const char* kDab[] = {"Dab", "$1", "$2", "$3"};
constexpr char kSpline[] = "Spline";
constexpr char kFilter[] = "Filter";

}  // namespace

void CloseStrokeFile(RunState& run) noexcept {
  if (!run.strokeFile) return;
  std::fclose(run.strokeFile);
  run.strokeFile = nullptr;
}

const luaL_Reg kPaintFunctions[] = {
    {"paint_open", PaintOpen},
    {"paint_close", PaintClose},
    {"paint_stroke_start", Record<kStrokeStart>},
    {"paint_stroke_stop", Record<kStrokeStop>},
    {"paint_stroke_pos", Record<kStrokePos>},
    {"paint_select_brush", Record<kSelectBrush>},
    {"paint_brush_size", Record<kBrushSize>},
    {"paint_brush_density", Record<kBrushDensity>},
    {"paint_brush_opacity", Record<kBrushOpacity>},
    {"paint_brush_color", PaintBrushColor},
    {"paint_set_color_banks", PaintSetColorBanks},
    {"paint_line", Record<kLine>},
    {"paint_spline", ValuesRecord<kSpline, 8>},
    {"paint_dab", Record<kDab>},
    {"paint_filter", ValuesRecord<kFilter, 20>},
    {nullptr, nullptr},
};

}  // namespace dro::script
