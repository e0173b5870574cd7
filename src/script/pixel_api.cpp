// Pixel, colour, buffer and bit functions of filter scripts (conventions in
// script_api.h). Every function reads or writes one pixel, with no caching:
// in double buffering a script sees only source pixels, so neighbourhood
// filters need no copy of their own.
#include <algorithm>
#include <cstring>

#include "base/numeric.h"
#include "brush/brush_state.h"
#include "color/conversions.h"
#include "composite/blend_modes.h"
#include "imaging/work_buffers.h"
#include "platform/script_services.h"
#include "script/script_api.h"

namespace dro::script {
namespace {

using imaging::PixelAccess;
using imaging::Rgba;

int32_t IntArg(lua_State* L, int index) {
  return SaturateToInt32(lua_tonumber(L, index));
}

const PixelAccess& Access() {
  return Run().access;
}

int PushFractions(lua_State* L, const Rgba& p, int count) {
  const int32_t c[4] = {p.r, p.g, p.b, p.a};
  for (int i = 0; i < count; ++i) lua_pushnumber(L, c[i] / 255.0);
  return count;
}

// --- RGB, alpha, value -------------------------------------------------------

int GetValue(lua_State* L) {
  lua_pushnumber(L, Access().Value(IntArg(L, 1), IntArg(L, 2)) / 255.0);
  return 1;
}

int SetValue(lua_State* L) {
  const int32_t v = PixelAccess::FromFraction(lua_tonumber(L, 3));
  Access().WriteRgb(IntArg(L, 1), IntArg(L, 2), v, v, v);
  return 0;
}

int GetRgb(lua_State* L) {
  return PushFractions(L, Access().ReadRgba(IntArg(L, 1), IntArg(L, 2)), 3);
}

int SetRgb(lua_State* L) {
  Access().WriteRgb(IntArg(L, 1), IntArg(L, 2), PixelAccess::FromFraction(lua_tonumber(L, 3)),
                    PixelAccess::FromFraction(lua_tonumber(L, 4)),
                    PixelAccess::FromFraction(lua_tonumber(L, 5)));
  return 0;
}

int GetAlpha(lua_State* L) {
  lua_pushnumber(L, Access().ReadRgba(IntArg(L, 1), IntArg(L, 2)).a / 255.0);
  return 1;
}

int SetAlpha(lua_State* L) {
  Access().WriteAlpha(IntArg(L, 1), IntArg(L, 2), PixelAccess::FromFraction(lua_tonumber(L, 3)));
  return 0;
}

int GetRgba(lua_State* L) {
  return PushFractions(L, Access().ReadRgba(IntArg(L, 1), IntArg(L, 2)), 4);
}

int SetRgba(lua_State* L) {
  const double c[4] = {lua_tonumber(L, 3), lua_tonumber(L, 4), lua_tonumber(L, 5),
                       lua_tonumber(L, 6)};
  Access().WriteFractions(IntArg(L, 1), IntArg(L, 2), c);
  return 0;
}

// --- colour models -----------------------------------------------------------

int Push3(lua_State* L, double a, double b, double c) {
  lua_pushnumber(L, a);
  lua_pushnumber(L, b);
  lua_pushnumber(L, c);
  return 3;
}

int GetHsv(lua_State* L) {
  const Rgba p = Access().ReadRgba(IntArg(L, 1), IntArg(L, 2));
  double h, s, v;
  color::RgbToHsv(p.r, p.g, p.b, h, s, v);
  return Push3(L, h, s, v);
}

int SetHsv(lua_State* L) {
  const int32_t x = IntArg(L, 1), y = IntArg(L, 2);
  if (!Access().Inside(x, y)) return 0;
  int32_t r, g, b;
  color::HsvToRgb(ClampDouble(lua_tonumber(L, 3), 0.0, 359.0),
                  ClampDouble(lua_tonumber(L, 4), 0.0, 1.0),
                  ClampDouble(lua_tonumber(L, 5), 0.0, 1.0), r, g, b);
  Access().WriteRgb(x, y, r, g, b);
  return 0;
}

int GetHsl(lua_State* L) {
  double h, s, l;
  Access().ReadHsl(IntArg(L, 1), IntArg(L, 2), h, s, l);
  return Push3(L, h, s, l);
}

int SetHsl(lua_State* L) {
  Access().WriteHsl(IntArg(L, 1), IntArg(L, 2), lua_tonumber(L, 3), lua_tonumber(L, 4),
                    lua_tonumber(L, 5));
  return 0;
}

int GetLab(lua_State* L) {
  double l, a, b;
  Access().ReadLab(IntArg(L, 1), IntArg(L, 2), l, a, b);
  return Push3(L, l, a, b);
}

int SetLab(lua_State* L) {
  Access().WriteLab(IntArg(L, 1), IntArg(L, 2), lua_tonumber(L, 3), lua_tonumber(L, 4),
                    lua_tonumber(L, 5));
  return 0;
}

int GetCmyk(lua_State* L) {
  const Rgba p = Access().ReadRgba(IntArg(L, 1), IntArg(L, 2));
  double c, m, y, k;
  color::CmyToCmyk(1.0 - p.r / 255.0, 1.0 - p.g / 255.0, 1.0 - p.b / 255.0, c, m, y, k);
  Push3(L, c, m, y);
  lua_pushnumber(L, k);
  return 4;
}

int SetCmyk(lua_State* L) {
  const int32_t x = IntArg(L, 1), y = IntArg(L, 2);
  if (!Access().Inside(x, y)) return 0;
  int32_t r, g, b;
  color::CmykToRgb(lua_tonumber(L, 3), lua_tonumber(L, 4), lua_tonumber(L, 5), lua_tonumber(L, 6),
                   r, g, b);
  Access().WriteRgb(x, y, r, g, b);
  return 0;
}

// --- mask and painting colours ---------------------------------------------

int GetMask(lua_State* L) {
  const int32_t x = IntArg(L, 1), y = IntArg(L, 2);
  const RunState& run = Run();
  double v = 0.0;
  if (run.mask && run.access.Inside(x, y)) {
    v = run.mask[int64_t{y} * run.access.width + x] / 65535.0;
  }
  lua_pushnumber(L, v);
  return 1;
}

int SetMask(lua_State* L) {
  const int32_t x = IntArg(L, 1), y = IntArg(L, 2);
  const RunState& run = Run();
  if (!run.mask || !run.access.Inside(x, y)) return 0;
  run.mask[int64_t{y} * run.access.width + x] =
      static_cast<Mask16>(SaturateToInt32(ClampDouble(lua_tonumber(L, 3), 0.0, 1.0) * 65535.0));
  return 0;
}

// The high byte of each 16-bit channel, as a fraction.
int PushColor16(lua_State* L, uint16_t r, uint16_t g, uint16_t b) {
  return Push3(L, (r >> 8) / 255.0, (g >> 8) / 255.0, (b >> 8) / 255.0);
}

int GetColor(lua_State* L) {
  const auto& c = brush::State().color;
  return PushColor16(L, c[0], c[1], c[2]);
}

// Banks are stored as the reds of banks 0..3, then the greens, the blues.
template <int kBank>
int GetBankColor(lua_State* L) {
  const auto& b = brush::State().colorBanks;
  return PushColor16(L, b[kBank], b[4 + kBank], b[8 + kBank]);
}

// --- buffers and run control -----------------------------------------------

int Flush(lua_State*) {
  RunState& run = Run();
  imaging::LoadRgba32Result(run.destination);
  std::memcpy(run.source, run.destination, run.bytes);
  return 0;
}

// The opacity is a fraction: clamp(opacity, 0, 1) x 255 truncated. After the
// merge both buffers hold the merged layer, so the load at the end of the
// run keeps what the merge did.
int Merge(lua_State* L) {
  int32_t mode = IntArg(L, 1);
  if (mode < 0 || mode > composite::kLastBlendMode) mode = composite::kModeNormal;
  const int32_t opacity = SaturateToInt32(ClampDouble(lua_tonumber(L, 2), 0.0, 1.0) * 255.0);
  RunState& run = Run();
  if (!imaging::MergeDestination(mode, opacity)) return 0;
  imaging::UpdateSource32();
  std::memcpy(run.destination, run.source, run.bytes);
  return 0;
}

int SingleBuffer(lua_State* L) {
  RunState& run = Run();
  run.singleBuffer = lua_toboolean(L, 1) != 0;
  run.access.read = run.singleBuffer ? run.destination : run.source;
  return 0;
}

int Progress(lua_State*) {
  return 0;
}

int MessageBox(lua_State* L) {
  platform::ShowMessage(lua_tostring(L, 1), lua_tostring(L, 2));
  return 0;
}

int IsEscape(lua_State* L) {
  const bool requested = platform::TakeCancelRequest();
  if (requested) {
    Run().stopPending = false;
    Run().stopCalls = 0;
  }
  lua_pushnumber(L, requested ? 1 : 0);
  return 1;
}

// --- bit operations ------------------------------------------------------------
// Arguments are truncated in 64 bits and keep their low 32 bits, so both
// -1 and 0xFFFFFFFF stand for all ones; shift counts use their low five bits.

int32_t Bits(lua_State* L, int index) {
  return static_cast<int32_t>(static_cast<uint32_t>(SaturateToInt64(lua_tonumber(L, index))));
}

int PushBits(lua_State* L, int32_t v) {
  lua_pushnumber(L, v);
  return 1;
}

int BitNot(lua_State* L) {
  return PushBits(L, ~Bits(L, 1));
}
int BitAnd(lua_State* L) {
  return PushBits(L, Bits(L, 1) & Bits(L, 2));
}
int BitOr(lua_State* L) {
  return PushBits(L, Bits(L, 1) | Bits(L, 2));
}
int BitXor(lua_State* L) {
  return PushBits(L, Bits(L, 1) ^ Bits(L, 2));
}
int BitShiftRight(lua_State* L) {
  return PushBits(L, Bits(L, 1) >> (Bits(L, 2) & 31));
}
int BitShiftLeft(lua_State* L) {
  return PushBits(L, static_cast<int32_t>(static_cast<uint32_t>(Bits(L, 1)) << (Bits(L, 2) & 31)));
}

int OutputDebugString(lua_State* L) {
  platform::DebugOutput(lua_tostring(L, 1));
  return 0;
}

}  // namespace

const luaL_Reg kPixelFunctions[] = {
    {"get_value", GetValue},
    {"set_value", SetValue},
    {"get_rgb", GetRgb},
    {"set_rgb", SetRgb},
    {"get_alpha", GetAlpha},
    {"set_alpha", SetAlpha},
    {"get_rgba", GetRgba},
    {"set_rgba", SetRgba},
    {"get_hsv", GetHsv},
    {"set_hsv", SetHsv},
    {"get_hsl", GetHsl},
    {"set_hsl", SetHsl},
    {"get_lab", GetLab},
    {"set_lab", SetLab},
    {"get_cmyk", GetCmyk},
    {"set_cmyk", SetCmyk},
    {"get_mask", GetMask},
    {"set_mask", SetMask},
    {"get_color", GetColor},
    {"get_color1", GetBankColor<0>},
    {"get_color2", GetBankColor<1>},
    {"get_color3", GetBankColor<2>},
    {"get_color4", GetBankColor<3>},
    {"flush", Flush},
    {"merge", Merge},
    {"single_buffer", SingleBuffer},
    {"progress", Progress},
    {"message_box", MessageBox},
    {"is_escape", IsEscape},
    {"bit_not", BitNot},
    {"bit_and", BitAnd},
    {"bit_or", BitOr},
    {"bit_xor", BitXor},
    {"bit_shfr", BitShiftRight},
    {"bit_shfl", BitShiftLeft},
    {nullptr, nullptr},
};

const luaL_Reg kDebugFunctions[] = {
    {"output_debug_string", OutputDebugString},
    {nullptr, nullptr},
};

}  // namespace dro::script
