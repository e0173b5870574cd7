// Lua filter scripts: a script file run against the RGBA32 work buffers.
//
// A run makes a fresh Lua state, opens every standard library (filter
// scripts are trusted code: they can read and write files and run programs
// like any other part of the host), publishes the filter's values and the
// blend-mode constants as globals, registers the script API (script_api.h),
// loads the file and calls it as one chunk. The script reads pixels from the
// source buffer (or, after single_buffer(true), from the destination) and
// writes into the destination, which starts as a copy of the source. When
// the chunk returns normally, the destination is loaded into the current
// layer through the load path (weighted by texture and mask).
//
// Errors: a script that cannot be loaded or raises an error is reported
// through the message box service (caption "Lua Script Error", see
// platform/script_services.h) and the layer keeps what flush() and merge()
// already wrote. A failure to make the state or to set it up records
// "LuaFilterRun Excpt". A null or empty path is a load error.
//
// Stopping: the host sets the stop request (DRO_XSetScriptCancel) from
// another thread or from one of its handlers. is_escape() reports and clears
// it; a count hook ends the script with an error when a request is still
// standing after a full hook period, so a script that polls is_escape() at
// least once per 2^20 Lua instructions gets to finish by itself and any
// other script is stopped. Each run starts with the request cleared.
//
// Stroke recording (paint_* functions) writes "<start directory>scripts/
// luapaint.srp" with Unix line ends; a file left open is closed at the end
// of the run.
#pragma once

#include <array>
#include <cstdint>

namespace dro::script {

struct FilterValues {
  std::array<int32_t, 6> sliders{};  // thousandths
  std::array<int32_t, 2> styles{};   // 0-based choices
  std::array<uint8_t, 6> flags{};
};

// Runs the script at `path`; nothing happens unless both RGBA32 work
// buffers are present. `startDirectory` (may be null, meaning "") is
// prefixed to the stroke-script file name.
void LuaFilterRun(const char* path, const FilterValues& values,
                  const char* startDirectory) noexcept;

// Whether this build runs LuaJIT with FFI-backed pixel accessors.
bool UsesLuaJit() noexcept;

}  // namespace dro::script
