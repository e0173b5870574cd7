// The Lua filter export: the script host needs the start directory, which
// the engine frame keeps.
#include "drovine.h"
#include "engine/engine.h"
#include "script/lua_filter.h"

void DRO_CALL DRO_LuaFilterRun(const char* scriptPath, int32_t slider1, int32_t slider2,
                               int32_t slider3, int32_t slider4, int32_t slider5, int32_t slider6,
                               int32_t style1, int32_t style2, uint8_t flag1, uint8_t flag2,
                               uint8_t flag3, uint8_t flag4, uint8_t flag5, uint8_t flag6) {
  dro::script::LuaFilterRun(scriptPath,
                            {{slider1, slider2, slider3, slider4, slider5, slider6},
                             {style1, style2},
                             {flag1, flag2, flag3, flag4, flag5, flag6}},
                            dro::engine().frame.startDir);
}
