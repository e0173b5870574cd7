// The Lua filter host: one fresh state per run, the globals, the count hook
// that honours the host's stop request, and the run's ending (see
// lua_filter.h).
#include "script/lua_filter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/allocation.h"
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

#if !DROVINE_LUAJIT
// Lua 5.1's io library stores the process's standard streams in userdata
// before it marks them as not to be closed; an allocation failing between
// the two makes the state close stdin and stdout when it is closed. While
// it opens, allocations therefore go straight to the heap, never failed on
// purpose by a test.
bool openingIo = false;

// Every standard library, as luaL_openlibs opens them.
void OpenLibraries(lua_State* L) {
  const luaL_Reg libraries[] = {
      {"", luaopen_base},
      {LUA_LOADLIBNAME, luaopen_package},
      {LUA_TABLIBNAME, luaopen_table},
      {LUA_IOLIBNAME, luaopen_io},
      {LUA_OSLIBNAME, luaopen_os},
      {LUA_STRLIBNAME, luaopen_string},
      {LUA_MATHLIBNAME, luaopen_math},
      {LUA_DBLIBNAME, luaopen_debug},
  };
  for (const luaL_Reg& library : libraries) {
    lua_pushcfunction(L, library.func);
    lua_pushstring(L, library.name);
    openingIo = library.func == luaopen_io;
    lua_call(L, 1, 0);
    openingIo = false;
  }
}
#else
void OpenLibraries(lua_State* L) {
  luaL_openlibs(L);
}
#endif

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
  OpenLibraries(L);
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

// Loads and calls the chunk, in protected mode (the loader itself
// allocates before it protects its own work).
int LoadAndCallChunk(lua_State* L) {
  const char* path = static_cast<const char*>(lua_touserdata(L, 1));
  if (luaL_loadfile(L, path) != 0) lua_error(L);
  lua_call(L, 0, 1);
  return 0;
}

// Loads and runs the chunk; true when it returned normally.
bool LoadAndCall(lua_State* L, const char* path) {
  if (!path || !*path) {
    // Lua's loader would read standard input for a missing name.
    platform::ShowMessage("cannot open script: no file name given", kErrorCaption);
    return false;
  }
  if (lua_cpcall(L, LoadAndCallChunk, const_cast<char*>(path)) != 0) {
    ReportError(L);
    return false;
  }
  return true;
}

#if !DROVINE_LUAJIT
// The interpreter's memory comes from the engine's allocation routine, so
// tests can fail any of its allocations. Only growth can fail: Lua takes a
// shrinking block as given.
void* LuaAllocate(void*, void* block, size_t oldSize, size_t newSize) noexcept {
  if (newSize == 0) {
    FreeBytes(block);
    return nullptr;
  }
  if (openingIo) return std::realloc(block, newSize);
  if (newSize <= oldSize && block) {
    void* shrunk = std::realloc(block, newSize);
    return shrunk ? shrunk : block;
  }
  return ReallocateBytes(block, newSize);
}
#endif

lua_State* NewState() noexcept {
#if DROVINE_LUAJIT
  // LuaJIT on x86-64 keeps its heap in the low address space with an
  // allocator of its own; it accepts no other.
  return luaL_newstate();
#else
  return lua_newstate(LuaAllocate, nullptr);
#endif
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

#if !DROVINE_LUAJIT
  openingIo = false;  // in case a real failure left it set
#endif
  lua_State* L = NewState();
  SetUpArguments arguments{&values};
  if (!L || lua_cpcall(L, SetUp, &arguments) != 0) {
    RecordFailure(Operation::kLuaFilterRun, "the Lua interpreter could not be set up");
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
