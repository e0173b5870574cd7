// The Lua filter host: one fresh state per run, the globals, the count hook
// that honours the host's stop request, and the run's ending (see
// lua_filter.h).
#include "script/lua_filter.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "composite/blend_modes.h"
#include "imaging/work_buffers.h"
#include "mask/mask_state.h"
#include "platform/script_services.h"
#include "script/script_api.h"

namespace dro::script {
namespace {

constexpr char kErrorCaption[] = "Lua Script Error";
// Lua instructions between two looks at the stop request.
constexpr int kHookPeriod = 1 << 20;

// The names scripts use for the blend modes of merge(). Each constant's
// number must name the same mode in the blend-mode table; the check below
// fails the build if the table is ever reordered.
struct ModeConstant {
  const char* global;
  int32_t mode;
  std::string_view name;
};
constexpr ModeConstant kModeConstants[] = {
    {"MERGE_NORMAL", 0, "Normal"},
    {"MERGE_MULTIPLY", 1, "Multiply"},
    {"MERGE_SCREEN", 2, "Screen"},
    {"MERGE_DARKEN", 3, "Darken"},
    {"MERGE_LIGHTEN", 4, "Lighten"},
    {"MERGE_DIFFERENCE", 5, "Difference"},
    {"MERGE_NEGATION", 6, "Negation"},
    {"MERGE_EXCLUSIO", 7, "Exclusion"},
    {"MERGE_OVERLAY", 8, "Overlay"},
    {"MERGE_HARD_LIGHT", 9, "Hard Light"},
    {"MERGE_SOFT_LIGHT", 10, "Soft Light"},
    {"MERGE_DODGE", 11, "Dodge"},
    {"MERGE_BURN", 12, "Burn"},
    {"MERGE_REFLECT", 13, "Reflect"},
    {"MERGE_GLOW", 14, "Glow"},
    {"MERGE_ADD", 15, "Add"},
    {"MERGE_SUBTRACT", 16, "Subtract"},
    {"MERGE_TEXTURIZE", 17, "Texturize"},
    {"MERGE_TEXTURIZE2", 18, "Texturize2"},
    {"MERGE_TEXTURIZE3", 19, "Texturize3"},
};

constexpr bool ModeConstantsMatchTable() {
  for (const ModeConstant& c : kModeConstants) {
    if (c.mode < 0 || c.mode > composite::kLastBlendMode) return false;
    if (std::string_view(composite::kBlendModeNames[c.mode]) != c.name) return false;
  }
  return true;
}
static_assert(ModeConstantsMatchTable(), "a MERGE_ constant names another blend mode");

RunState* activeRun = nullptr;

struct SetUpArguments {
  const FilterValues* values;
};

void SetNumber(lua_State* L, const char* name, double value) {
  lua_pushnumber(L, value);
  lua_setglobal(L, name);
}

void Register(lua_State* L, const luaL_Reg* functions) {
  for (; functions->name; ++functions) lua_register(L, functions->name, functions->func);
}

// Runs in protected mode: a memory error here is a set-up failure.
int SetUp(lua_State* L) {
  const FilterValues& v = *static_cast<SetUpArguments*>(lua_touserdata(L, 1))->values;
  luaL_openlibs(L);
  Register(L, kPixelFunctions);
  Register(L, kPaintFunctions);
  Register(L, kDebugFunctions);

  const CanvasGeometry& canvas = Geometry();
  SetNumber(L, "width", canvas.width);
  SetNumber(L, "height", canvas.height);
  SetNumber(L, "bound_x0", 0);
  SetNumber(L, "bound_y0", 0);
  SetNumber(L, "bound_x1", canvas.width - 1);
  SetNumber(L, "bound_y1", canvas.height - 1);
  char name[16];
  for (int i = 0; i < 6; ++i) {
    std::snprintf(name, sizeof name, "sliderVal%d", i + 1);
    SetNumber(L, name, v.sliders[i] * 0.001);
  }
  for (int i = 0; i < 6; ++i) {
    std::snprintf(name, sizeof name, "flagVal%d", i + 1);
    lua_pushboolean(L, v.flags[i] != 0);
    lua_setglobal(L, name);
  }
  // In double: a choice of INT32_MAX must not overflow.
  SetNumber(L, "styleVal1", static_cast<double>(v.styles[0]) + 1.0);
  SetNumber(L, "styleVal2", static_cast<double>(v.styles[1]) + 1.0);
  for (const ModeConstant& c : kModeConstants) SetNumber(L, c.global, c.mode);

#if DROVINE_LUAJIT
  InstallFfiAccessors(L);
#endif
  return 0;
}

// Stops the script when a stop request has stood for a whole hook period
// (a script polling is_escape() takes it first and may end by itself).
void CountHook(lua_State* L, lua_Debug*) {
  RunState& run = Run();
  if (!platform::CancelRequested()) {
    run.stopPending = false;
    return;
  }
  if (!run.stopPending) {
    run.stopPending = true;
    return;
  }
  luaL_error(L, kStoppedText);
}

void ReportError(lua_State* L) {
  const char* text =
      lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "(error object is not a string)";
  platform::ShowMessage(text, kErrorCaption);
  lua_pop(L, 1);
}

// Loads and runs the chunk; true when it returned normally.
bool LoadAndCall(lua_State* L, const char* path) {
  if (!path || !*path) {
    // Lua's loader would read standard input for a missing name.
    platform::ShowMessage("cannot open script: no file name given", kErrorCaption);
    return false;
  }
  if (luaL_loadfile(L, path) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
    ReportError(L);
    return false;
  }
  lua_pop(L, 1);
  return true;
}

}  // namespace

RunState& Run() noexcept {
  return *activeRun;
}

bool UsesLuaJit() noexcept {
#if DROVINE_LUAJIT
  return true;
#else
  return false;
#endif
}

void LuaFilterRun(const char* path, const FilterValues& values,
                  const char* startDirectory) noexcept {
  uint8_t* source = imaging::Source32();
  uint8_t* destination = imaging::Destination32();
  if (!source || !destination || activeRun) return;
  const CanvasGeometry& canvas = Geometry();

  RunState run;
  run.source = source;
  run.destination = destination;
  run.bytes = static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height) * 4;
  run.access = {source, destination, canvas.width, canvas.height};
  run.mask = mask::CanvasValues();
  run.startDirectory = startDirectory ? startDirectory : "";
  std::memcpy(destination, source, run.bytes);
  platform::SetCancelRequested(false);
  activeRun = &run;

  lua_State* L = luaL_newstate();
  SetUpArguments arguments{&values};
  if (!L || lua_cpcall(L, SetUp, &arguments) != 0) {
    RecordFailure(Operation::kLuaFilterRun);
  } else {
    lua_sethook(L, CountHook, LUA_MASKCOUNT, kHookPeriod);
    if (LoadAndCall(L, path)) imaging::LoadRgba32Result(destination);
  }

  if (run.singleBuffer) std::memcpy(source, destination, run.bytes);
  CloseStrokeFile(run);
  if (L) lua_close(L);
  activeRun = nullptr;
}

}  // namespace dro::script
