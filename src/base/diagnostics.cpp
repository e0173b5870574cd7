#include "base/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

namespace dro {

namespace {

DiagnosticHandler g_handler = nullptr;
void* g_userData = nullptr;

bool DebugEnvironment() noexcept {
  static const bool on = [] {
    const char* value = std::getenv("DROVINE_DEBUG");
    return value && *value && std::strcmp(value, "0") != 0;
  }();
  return on;
}

}  // namespace

void SetDiagnosticHandler(DiagnosticHandler handler, void* userData) noexcept {
  g_handler = handler;
  g_userData = handler ? userData : nullptr;
}

bool DiagnosticsOn() noexcept {
  return g_handler || DebugEnvironment();
}

void Diagnose(const char* where, const char* format, ...) noexcept {
  if (!DiagnosticsOn()) return;
  char line[512];
  int used = std::snprintf(line, sizeof line, "%s: ", where ? where : "drovine");
  if (used < 0) return;
  if (static_cast<size_t>(used) < sizeof line) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, sizeof line - static_cast<size_t>(used), format, args);
    va_end(args);
  }
  // A handler may call back into the engine, even install another handler:
  // take the pair before the call.
  const DiagnosticHandler handler = g_handler;
  if (handler) {
    handler(line, g_userData);
  } else {
    std::fprintf(stderr, "drovine: %s\n", line);
  }
}

void DiagnoseEmptyRect(const char* where, int64_t x, int64_t y, int64_t w, int64_t h,
                       int64_t boundsW, int64_t boundsH) noexcept {
  if (!where || !DiagnosticsOn()) return;
  const long long xs = x, ys = y, ws = w, hs = h;
  if (w <= 0 || h <= 0) {
    Diagnose(where, "rectangle %lld x %lld at (%lld, %lld) is empty; nothing done", ws, hs, xs, ys);
  } else {
    Diagnose(
        where,
        "rectangle %lld x %lld at (%lld, %lld) lies outside the %lld x %lld area; nothing done", ws,
        hs, xs, ys, static_cast<long long>(boundsW), static_cast<long long>(boundsH));
  }
}

const char* CurrentFailureCause() noexcept {
  const std::exception_ptr current = std::current_exception();
  if (!current) return "unknown failure";
  try {
    std::rethrow_exception(current);
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "unknown failure";
}

}  // namespace dro
