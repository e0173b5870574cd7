// Diagnostics: a readable line for every argument the engine refuses,
// clamps or replaces with something else, and for every failure with its
// cause ("DRO_CreateLayer: slot 99 outside 0..63", "CreateLayer Excpt: out
// of memory").
//
// They are silent unless the host installs a handler
// (DRO_XSetDiagnosticHandler) or the environment sets DROVINE_DEBUG=1, in
// which case each line goes to standard error. Reporting never changes
// what an export does or returns: a call behaves the same whether anyone
// listens or not, and with nobody listening the check costs one load.
#pragma once

#include <cstdint>

namespace dro {

using DiagnosticHandler = void (*)(const char* message, void* userData);

// Installs the handler (null removes it; standard error is then used only
// under DROVINE_DEBUG=1).
void SetDiagnosticHandler(DiagnosticHandler handler, void* userData) noexcept;

// True when a line would reach anyone: callers skip building the text
// otherwise.
bool DiagnosticsOn() noexcept;

// Formats "<where>: <printf text>" (cut at 511 bytes) and hands it on.
void Diagnose(const char* where, const char* format, ...) noexcept
    __attribute__((format(printf, 2, 3)));

// The cause of the exception being handled, for a failure report: "out of
// memory", the exception's own text, or "unknown failure". Only meaningful
// inside a catch block.
const char* CurrentFailureCause() noexcept;

// Argument checks that say what they refuse. A null `where` keeps them
// silent, for the engine's own calls that pass no export's argument.
//
// True (and a line "<what> is null") when `pointer` is null.
inline bool NullArgument(const char* where, const void* pointer, const char* what) noexcept {
  if (pointer) return false;
  if (where && DiagnosticsOn()) Diagnose(where, "%s is null; nothing done", what);
  return true;
}
// Says why the w x h rectangle at (x, y) came to nothing within a
// boundsW x boundsH area: empty itself, or wholly outside.
void DiagnoseEmptyRect(const char* where, int64_t x, int64_t y, int64_t w, int64_t h,
                       int64_t boundsW, int64_t boundsH) noexcept;

}  // namespace dro
