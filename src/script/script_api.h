// The functions a filter script calls, and the state of the run they share.
//
// Conventions of every registered function:
//   1. Arguments are read with Lua's number conversion: nil and other
//      non-numbers count as 0. Numbers that become integers (positions,
//      channel values, bit-operation arguments) go through the saturating
//      conversion, so NaN is 0 and huge values stick at the int32 ends.
//   2. Positions outside the canvas read as a black transparent pixel and
//      ignore writes (the shared accessors of imaging/pixel_access.h).
//   3. Fractions are written as clamp(v, 0, 1) x 255 truncated.
//   4. Registered functions hold no object with a destructor where Lua may
//      raise an error: Lua errors unwind with longjmp.
#pragma once

#include <lua.hpp>

#include <cstdint>
#include <cstdio>

#include "base/types.h"
#include "imaging/pixel_access.h"

namespace dro::script {

struct RunState {
  imaging::PixelAccess access;  // read: source or destination; write: destination
  uint8_t* source = nullptr;
  uint8_t* destination = nullptr;
  size_t bytes = 0;
  Mask16* mask = nullptr;  // the canvas mask when present
  bool singleBuffer = false;
  bool stopPending = false;  // the count hook saw a standing stop request
  uint32_t stopCalls = 0;    // accessor calls seeing it (LuaJIT build)
  std::FILE* strokeFile = nullptr;
  const char* startDirectory = "";
};

// Accessor calls a standing stop request waits for in the LuaJIT build
// before the script is stopped, and the error text of a stopped script.
constexpr uint32_t kStopCalls = 1u << 20;
constexpr char kStoppedText[] = "script stopped by the host";

// The run in progress; only valid while a script runs.
RunState& Run() noexcept;

// The registered functions, each list ending with {nullptr, nullptr}:
// the pixel, colour, buffer and bit functions; the stroke recording
// functions; the debug output.
extern const luaL_Reg kPixelFunctions[];
extern const luaL_Reg kPaintFunctions[];
extern const luaL_Reg kDebugFunctions[];

// Closes a stroke-script file left open (without its closing record).
void CloseStrokeFile(RunState& run) noexcept;

#if DROVINE_LUAJIT
// Replaces the per-pixel accessors by FFI functions over the run's buffers.
// Runs inside the protected set-up; raises on failure.
void InstallFfiAccessors(lua_State* L);
#endif

}  // namespace dro::script
