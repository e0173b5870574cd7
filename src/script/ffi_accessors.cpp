// LuaJIT build: the per-pixel accessors as plain Lua functions over FFI
// pointers to the work buffers and the mask, which the JIT compiles into
// the script's own loop instead of calling out to C for every pixel.
//
// They follow script_api.h and imaging/pixel_access.h to the bit:
//   1. Arguments convert like lua_tonumber: numbers as they are, numeric
//      strings parsed, anything else 0.
//   2. Positions: NaN counts as 0; a position p is inside when
//      -1 < p < size, and then trunc(p) (floor, or 0 for -1 < p < 0) is
//      the column or row, exactly what the saturating conversion and the
//      bounds test give.
//   3. Fractions: NaN gives 0, else floor(clamp(v, 0, 1) x 255)
//      (truncation, the product being non-negative).
//   4. Reads give c / 255 (mask values / 65535) in double, as the C side;
//      the byte quotients come from a table filled by that division.
//   5. Every accessor first looks at the host's stop request (a volatile
//      byte, so compiled loops read it each time).
// The colour-model, buffer, bit and paint functions stay the C ones.
#if DROVINE_LUAJIT

#include <cstring>

#include "platform/script_services.h"
#include "script/script_api.h"

namespace dro::script {
namespace {

constexpr char kPrelude[] = R"lua(
local src, dst, mask, W, H, stop, stop_check = ...
local ffi = require("ffi")
local floor, min, max, type, tonumber = math.floor, math.min, math.max, type, tonumber
src = ffi.cast("uint8_t*", src)
dst = ffi.cast("uint8_t*", dst)
local m16 = mask and ffi.cast("uint16_t*", mask)
stop = ffi.cast("volatile uint8_t*", stop)
local rd = src
-- i / 255 for every byte, computed by the same division: a load instead of
-- a division per channel, with the same doubles.
local q = ffi.new("double[256]")
for i = 0, 255 do q[i] = i / 255 end
local c_single_buffer = single_buffer

local function num(v)
  if type(v) == "number" then return v end
  return tonumber(v) or 0
end

local function at(x, y)
  if stop[0] ~= 0 then stop_check() end
  x, y = num(x), num(y)
  if x ~= x then x = 0 end
  if y ~= y then y = 0 end
  if x > -1 and x < W and y > -1 and y < H then
    x, y = floor(x), floor(y)
    if x < 0 then x = 0 end
    if y < 0 then y = 0 end
    return (y * W + x) * 4
  end
  return -1
end

-- min and max compile without branches, so pixels of any value stay on
-- one trace; NaN is taken out first, as min and max treat it unevenly.
local function frac(v)
  v = num(v)
  if v ~= v then return 0 end
  return floor(max(0, min(v, 1)) * 255)
end

function get_value(x, y)
  local o = at(x, y)
  if o < 0 then return 0 end
  return q[floor((rd[o] + rd[o + 1] + rd[o + 2]) / 3)]
end

function set_value(x, y, v)
  local o = at(x, y)
  if o < 0 then return end
  local c = frac(v)
  dst[o], dst[o + 1], dst[o + 2] = c, c, c
end

function get_rgb(x, y)
  local o = at(x, y)
  if o < 0 then return 0, 0, 0 end
  return q[rd[o]], q[rd[o + 1]], q[rd[o + 2]]
end

function set_rgb(x, y, r, g, b)
  local o = at(x, y)
  if o < 0 then return end
  dst[o], dst[o + 1], dst[o + 2] = frac(r), frac(g), frac(b)
end

function get_alpha(x, y)
  local o = at(x, y)
  if o < 0 then return 0 end
  return q[rd[o + 3]]
end

function set_alpha(x, y, a)
  local o = at(x, y)
  if o < 0 then return end
  dst[o + 3] = frac(a)
end

function get_rgba(x, y)
  local o = at(x, y)
  if o < 0 then return 0, 0, 0, 0 end
  return q[rd[o]], q[rd[o + 1]], q[rd[o + 2]], q[rd[o + 3]]
end

function set_rgba(x, y, r, g, b, a)
  local o = at(x, y)
  if o < 0 then return end
  dst[o], dst[o + 1], dst[o + 2], dst[o + 3] = frac(r), frac(g), frac(b), frac(a)
end

function get_mask(x, y)
  local o = at(x, y)
  if o < 0 or not m16 then return 0 end
  return m16[o / 4] / 65535
end

function set_mask(x, y, v)
  local o = at(x, y)
  if o < 0 or not m16 then return end
  v = num(v)
  if v ~= v then v = 0 end
  m16[o / 4] = floor(max(0, min(v, 1)) * 65535)
end

function single_buffer(on)
  c_single_buffer(on)
  if on then rd = dst else rd = src end
end
)lua";

// Compiled code runs no count hook, so the accessors look at the stop
// request themselves and call this while it stands: after 2^20 such calls
// without is_escape() taking the request, the script is stopped.
int StopCheck(lua_State* L) {
  RunState& run = Run();
  if (!platform::CancelRequested()) {
    run.stopCalls = 0;
    return 0;
  }
  if (++run.stopCalls > kStopCalls) luaL_error(L, kStoppedText);
  return 0;
}

}  // namespace

void InstallFfiAccessors(lua_State* L) {
  const RunState& run = Run();
  if (luaL_loadbuffer(L, kPrelude, sizeof kPrelude - 1, "=pixel accessors") != 0) {
    lua_error(L);
  }
  lua_pushlightuserdata(L, run.source);
  lua_pushlightuserdata(L, run.destination);
  if (run.mask) {
    lua_pushlightuserdata(L, run.mask);
  } else {
    lua_pushnil(L);
  }
  lua_pushnumber(L, run.access.width);
  lua_pushnumber(L, run.access.height);
  lua_pushlightuserdata(L, const_cast<uint8_t*>(platform::CancelFlagAddress()));
  lua_pushcfunction(L, StopCheck);
  lua_call(L, 7, 0);
}

}  // namespace dro::script

#endif
