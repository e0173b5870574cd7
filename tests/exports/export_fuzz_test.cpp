// The export fuzzer: seeded random sequences over every export of the
// public header, with valid and hostile arguments, as a careless or hostile
// host would make them. Slots outside 0..63, negative, zero and extreme
// sizes, rectangles off the canvas, NaN and infinities, null buffers and
// strings, unknown names, calls before a canvas exists and after it is
// deleted, undo between deletes and resizes.
//
// Every host buffer is allocated at exactly the size its arguments imply
// (and never larger), so under AddressSanitizer any read or write past it
// stops the run. A buffer no host could hold (beyond kLargestHostBuffer, or
// a size that overflows) is passed as null; a negative size gets an empty
// block. Each export is one row of the table below: a new export needs a
// row, and the `EveryExportHasARow` test fails until it has one.
//
// Environment: DROVINE_EXPORT_FUZZ_SEED (default 1), DROVINE_EXPORT_FUZZ_CALLS
// (default 100000), DROVINE_EXPORT_FUZZ_SECONDS (stop early after so many
// seconds), DROVINE_EXPORT_FUZZ_TRACE=n (print the last n calls before the
// end). A failure reports its seed and call number; rerun it with that seed
// and CALLS set to the call number plus one, with a trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "drovine.h"
#include "engine/engine.h"
#include "support/fake_devices.h"
#include "support/scratch_dir.h"

extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

constexpr int64_t kLargestHostBuffer = int64_t{4} << 20;
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Where the run is, for the report when a sanitizer ends the process.
struct Progress {
  uint64_t seed = 0;
  uint64_t call = 0;
  const char* name = "";
} g_progress;

void ReportProgress() {
  std::fprintf(stderr,
               "export fuzzer: stopped in %s, seed %llu, call %llu; rerun with "
               "DROVINE_EXPORT_FUZZ_SEED=%llu DROVINE_EXPORT_FUZZ_CALLS=%llu "
               "DROVINE_EXPORT_FUZZ_TRACE=20\n",
               g_progress.name, static_cast<unsigned long long>(g_progress.seed),
               static_cast<unsigned long long>(g_progress.call),
               static_cast<unsigned long long>(g_progress.seed),
               static_cast<unsigned long long>(g_progress.call + 1));
}

int32_t HostHandler(void*, int32_t message, int32_t wParam, int32_t) {
  return message ^ wParam;
}

// The longest side of any layer with pixels, the paint layer included.
int32_t LargestLayerSide() {
  const dro::composite::LayerState& l = dro::engine().layers;
  int32_t side = l.paint.pixels ? std::max(l.paint.width, l.paint.height) : 0;
  for (const dro::composite::LayerRecord& rec : l.slots) {
    if (rec.pixels) side = std::max({side, rec.width, rec.height});
  }
  return side;
}

// A host font chooser that picks a face, cancels or fails in turn.
int32_t FontChooser(uint8_t* logFont, void*, int32_t flags) {
  static int32_t turn = 0;
  switch (turn++ % 3) {
    case 0:
      std::memcpy(logFont + 28, "Sans", 5);
      logFont[0] = static_cast<uint8_t>(flags);
      return 1;
    case 1:
      return 0;
    default:
      return -5;
  }
}

// A diagnostics handler that reads every line it is given.
void DRO_CALL Diagnostic(const char* message, void* user) {
  if (!message || !user || strnlen(message, 512) >= 512) std::abort();
}

// Script handlers that take what they are given and do nothing with it.
void DRO_CALL ScriptMessage(const char*, const char*) {}
void DRO_CALL ScriptDebug(const char*) {}

// Files the path arguments may name: a picture, an effect script, junk and
// two files to rename back and forth. Made once per process.
struct Files {
  drovine_test::ScratchDir dir;
  std::string picture, script, junk, renameA, renameB, missing, longPath, saved, written;
  // Tiny filter scripts: one that paints and talks to the handlers, one
  // that fails to load, one that fails while running, one that polls for
  // the stop request.
  std::string luaPaint, luaSyntax, luaError, luaLoop;
  Files() {
    luaPaint = dir.Write("paint.lua",
                         "set_rgb(0, 0, 1, 2, 3) message_box('m', 'c') output_debug_string('d')");
    luaSyntax = dir.Write("syntax.lua", "local = (((");
    luaError = dir.Write("error.lua", "error('no')");
    luaLoop = dir.Write("loop.lua", "for i = 1, 1000 do if is_escape() == 1 then break end end");
    picture = dir.File("tip.bmp");
    script = dir.Write("tip.drfx",
                       "effect-script 1\nsize 12 10\nbackground 10 20 30 255\n"
                       "effect \"Plasma\"\n  seed = 3\n");
    junk = dir.Write("junk.png", "\x89PNG\r\n\x1a\n not really");
    renameA = dir.Write("a.txt", "a");
    renameB = dir.File("b.txt");
    missing = dir.File("missing.png");
    saved = dir.File("brush.png");
    written = dir.File("written");
    longPath = std::string(2000, 'p');
    // A 3 x 2 24-bit BMP, bottom row first.
    const uint8_t bmp[] = {'B', 'M', 70, 0,   0, 0, 0, 0, 0, 0,   54,  0,   0, 0, 40, 0,  0, 0, 3,
                           0,   0,   0,  2,   0, 0, 0, 1, 0, 24,  0,   0,   0, 0, 0,  16, 0, 0, 0,
                           0,   0,   0,  0,   0, 0, 0, 0, 0, 0,   0,   0,   0, 0, 0,  0,  0, 0, 255,
                           0,   255, 0,  255, 0, 0, 0, 0, 0, 255, 255, 255, 9, 9, 9,  0,  0, 0};
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
  }
};

// One host making calls: the argument generators and the host buffers of
// the call in progress.
class Host {
 public:
  explicit Host(uint64_t seed, Files& files)
      : state_(seed * 0x9E3779B97F4A7C15ull + 1), files_(files) {}
  ~Host() { FreeBuffers(); }

  uint64_t Next() {  // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int32_t Below(int32_t n) { return static_cast<int32_t>(Next() % static_cast<uint64_t>(n)); }
  int32_t Range(int32_t lo, int32_t hi) { return lo + Below(hi - lo + 1); }
  bool OneIn(int32_t n) { return Below(n) == 0; }

  // The canvas as it is now.
  int32_t W() const { return dro::engine().canvas.live ? dro::engine().canvas.width : 0; }
  int32_t H() const { return dro::engine().canvas.live ? dro::engine().canvas.height : 0; }

  int32_t Extreme() {
    static constexpr int32_t values[] = {kMin,  kMin + 1, -65536,  -1,      0,        1,
                                         65535, 65536,    1 << 20, 1 << 30, kMax - 1, kMax};
    return values[Below(static_cast<int32_t>(std::size(values)))];
  }
  int32_t Any() { return OneIn(4) ? Extreme() : static_cast<int32_t>(Next()); }
  // Mostly 0..63, sometimes just outside or far outside.
  int32_t Slot() {
    if (OneIn(8)) return OneIn(2) ? Range(-3, -1) : Range(64, 66);
    if (OneIn(16)) return Extreme();
    return OneIn(2) ? Range(0, 5) : Range(0, 63);
  }
  // A size: mostly small or the canvas's, sometimes zero, negative or huge.
  int32_t Size() {
    if (OneIn(6)) return Extreme();
    if (OneIn(3)) return OneIn(2) ? W() : H();
    return Range(0, 40);
  }
  // A coordinate: mostly on or near the canvas.
  int32_t Coord() {
    if (OneIn(10)) return Extreme();
    return Range(-20, std::max(W(), H()) + 20);
  }
  int32_t Value() { return OneIn(5) ? Any() : Range(0, 65535); }
  int32_t Byte() { return OneIn(6) ? Any() : Range(0, 255); }
  int32_t Percent() { return OneIn(6) ? Any() : Range(-10, 110); }
  uint8_t Flag() {
    return OneIn(5) ? static_cast<uint8_t>(Next()) : static_cast<uint8_t>(Below(2));
  }
  double Real() {
    static constexpr double values[] = {std::numeric_limits<double>::quiet_NaN(),
                                        std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::max(),
                                        -std::numeric_limits<double>::max(),
                                        std::numeric_limits<double>::denorm_min(),
                                        -0.0,
                                        1e300};
    if (OneIn(4)) return values[Below(static_cast<int32_t>(std::size(values)))];
    return static_cast<double>(Range(-2000, 2000)) / 1000.0;
  }
  float RealF() { return static_cast<float>(Real()); }

  const char* Mode() {
    static const char* const names[] = {
        "Normal",          "Multiply",     "Screen", "Texturize3", "Alpha Shader",     "Layer Mask",
        "Luminance Alpha", "No Such Mode", "",       "normal",     "Alpha Smooth Lum5"};
    if (OneIn(10)) return nullptr;
    if (OneIn(10)) return files_.longPath.c_str();
    return names[Below(static_cast<int32_t>(std::size(names)))];
  }
  const char* Path() {
    const std::string* paths[] = {&files_.picture, &files_.script, &files_.junk, &files_.missing,
                                  &files_.longPath};
    switch (Below(8)) {
      case 0:
        return nullptr;
      case 1:
        return "";
      case 2:
        return "x";
      default:
        return paths[Below(static_cast<int32_t>(std::size(paths)))]->c_str();
    }
  }
  // Where the file writers write: their own file, nothing, or nowhere.
  const char* OutPath() {
    switch (Below(6)) {
      case 0:
        return nullptr;
      case 1:
        return "";
      case 2:
        return files_.longPath.c_str();
      default:
        return files_.written.c_str();
    }
  }
  const char* Extension() {
    static const char* const names[] = {".bmp", ".png", ".jpg", ".gif", ".pcx", ".psd", ".emf",
                                        ".wmf", ".tga", ".tif", ".TIF", ".txt", ""};
    if (OneIn(10)) return nullptr;
    return names[Below(static_cast<int32_t>(std::size(names)))];
  }
  const char* RenamePath() {
    switch (Below(5)) {
      case 0:
        return nullptr;
      case 1:
        return "";
      case 2:
        return files_.renameA.c_str();
      case 3:
        return files_.renameB.c_str();
      default:
        return files_.missing.c_str();
    }
  }
  const char* LuaScript() {
    const std::string* paths[] = {&files_.luaPaint, &files_.luaSyntax, &files_.luaError,
                                  &files_.luaLoop,  &files_.missing,   &files_.junk};
    switch (Below(10)) {
      case 0:
        return nullptr;
      case 1:
        return "";
      default:
        return paths[Below(static_cast<int32_t>(std::size(paths)))]->c_str();
    }
  }
  // An effect name from the engine's own table, or an unknown or null one.
  const char* EffectName() {
    static const std::vector<const char*> names = [] {
      std::vector<const char*> all;
      const char* name = nullptr;
      for (int32_t i = 0; DRO_XEffectInfo(i, &name, nullptr, nullptr) >= 0; ++i)
        all.push_back(name);
      return all;
    }();
    if (OneIn(10)) return nullptr;
    if (OneIn(10)) return OneIn(2) ? "No Such Effect" : "";
    if (names.empty()) return "Blur";
    return names[size_t(Below(static_cast<int32_t>(names.size())))];
  }
  // An effect parameter: mostly in the tenths the table uses.
  int32_t EffectValue() { return OneIn(6) ? Any() : Range(-10, 1010); }
  const char* Text() {
    static const char* const texts[] = {"", "text", "CreateLayer Excpt"};
    if (OneIn(6)) return nullptr;
    if (OneIn(6)) return files_.longPath.c_str();
    return texts[Below(static_cast<int32_t>(std::size(texts)))];
  }

  // A host block of exactly `bytes` bytes (random contents), null when no
  // host could hold it, sometimes null anyway; an empty block for a
  // negative size.
  void* Block(int64_t bytes) {
    if (OneIn(20)) return nullptr;
    if (bytes > kLargestHostBuffer) return nullptr;
    const size_t n = bytes > 0 ? static_cast<size_t>(bytes) : 0;
    // malloc(0) gives a block of no bytes: AddressSanitizer reports any
    // touch of it.
    auto* block = static_cast<uint8_t*>(std::malloc(n));
    if (!block) return nullptr;
    for (size_t i = 0; i < n; i += 8) {
      const uint64_t bits = Next();
      std::memcpy(block + i, &bits, std::min<size_t>(8, n - i));
    }
    blocks_.push_back(block);
    return block;
  }
  // Bytes of a w x h block of `bpp` bytes a pixel whose rows are `stride`
  // bytes apart (stride at least a row; else the rows are taken as tight).
  static int64_t BlockBytes(int64_t w, int64_t h, int64_t bpp, int64_t stride) {
    if (w <= 0 || h <= 0) return 0;
    if (w > kLargestHostBuffer || h > kLargestHostBuffer) return kLargestHostBuffer + 1;
    const int64_t row = w * bpp;
    const int64_t step = std::max(stride, row);
    if (step > kLargestHostBuffer) return kLargestHostBuffer + 1;
    return (h - 1) * step + row;
  }
  void* Tight(int64_t w, int64_t h, int64_t bpp) {
    if (w < 0 || h < 0) return Block(-1);
    return Block(BlockBytes(w, h, bpp, 0));
  }
  // A stride for rows of w x bpp bytes: mostly exact or padded, sometimes
  // hostile (the block is then sized as if the rows were tight, which
  // is all a host could mean).
  int32_t Stride(int64_t w, int64_t bpp) {
    const int64_t row = std::clamp<int64_t>(w * bpp, 0, kMax);
    if (OneIn(8)) return Extreme();
    if (OneIn(8)) return static_cast<int32_t>(std::max<int64_t>(row - 1, 0));
    return static_cast<int32_t>(std::min<int64_t>(row + Below(3) * 4, kMax));
  }
  void* Rows(int64_t w, int64_t h, int64_t bpp, int32_t stride) {
    return Block(BlockBytes(w, h, bpp, stride));
  }
  void* CanvasTight(int64_t bpp) { return Tight(W(), H(), bpp); }

  // A run-length line of `n` values: records of `recordBytes` (a length,
  // then the value bytes) adding up to n, or ending early with a record of
  // length 0, as a host's well-formed line does.
  void* RleLine(int64_t n, int32_t recordBytes) {
    if (OneIn(20)) return nullptr;
    std::vector<uint8_t> line;
    int64_t left = std::clamp<int64_t>(n, 0, 1 << 16);
    while (left > 0) {
      if (OneIn(30)) break;
      const int64_t run = std::min<int64_t>(left, Range(1, 255));
      line.push_back(static_cast<uint8_t>(run));
      for (int32_t i = 1; i < recordBytes; ++i) line.push_back(static_cast<uint8_t>(Next()));
      left -= run;
    }
    if (left > 0 || line.empty()) line.insert(line.end(), size_t(recordBytes), 0);
    auto* block = static_cast<uint8_t*>(std::malloc(line.size()));
    std::memcpy(block, line.data(), line.size());
    blocks_.push_back(block);
    return block;
  }

  void FreeBuffers() {
    for (void* b : blocks_) std::free(b);
    blocks_.clear();
  }

  // A compressed layer from an earlier call, for loads that should work.
  std::vector<uint8_t> compressed;
  Files& files() { return files_; }

 private:
  uint64_t state_;
  Files& files_;
  std::vector<void*> blocks_;
};

// Size of the slot's layer, 0 x 0 for an empty or invalid slot.
void LayerSize(int32_t slot, int64_t& w, int64_t& h) {
  w = h = 0;
  if (slot < 0 || slot > 63) return;
  const auto& rec = dro::engine().layers.slots[size_t(slot)];
  if (!rec.pixels) return;
  w = rec.width, h = rec.height;
}

// What DRO_Render writes: the view-bounded output for the rectangle.
void RenderOutput(int32_t x, int32_t y, int32_t width, int32_t height, int64_t& columns,
                  int64_t& rows) {
  const auto& c = dro::engine().canvas;
  const auto& v = dro::engine().display;
  columns = rows = 0;
  const int64_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int64_t w = std::min<int64_t>(width, c.width - x0),
                h = std::min<int64_t>(height, c.height - y0);
  const int64_t num = v.zoomNumerator, den = v.zoomDenominator;
  if (w <= 0 || h <= 0 || num <= 0 || den <= 0) return;
  const int64_t vw = std::max(v.viewWidth, 0), vh = std::max(v.viewHeight, 0);
  if (num == den) {
    columns = std::min(w, vw), rows = std::min(h, vh);
  } else if (num < den) {
    columns = std::min(w / den, vw), rows = std::min(h / den, vh);
  } else {
    columns = std::min(num * w, vw), rows = std::min(num * h, vh);
  }
}

struct Entry {
  const char* name;
  int weight;
  void (*call)(Host&);
};

#define ROW(name, weight, ...)                       \
  {                                                  \
#name, weight, [](Host& h) { (void)h; __VA_ARGS__; } \
  }

// clang-format off
const Entry kEntries[] = {
  // --- frame --------------------------------------------------------------
  ROW(DRO_SetLastError, 2, DRO_SetLastError(h.Text())),
  ROW(DRO_GetLastError, 2, (void)std::strlen(DRO_GetLastError())),
  ROW(DRO_IsDisplayChanged, 1, DRO_IsDisplayChanged()),
  ROW(DRO_SetWindowRedraw, 1, DRO_SetWindowRedraw(h.Block(16), h.Any())),
  ROW(DRO_RedrawWindow, 1, DRO_RedrawWindow(h.Block(16))),
  ROW(DRO_GetWindowBackgroundColor, 1, DRO_GetWindowBackgroundColor()),
  ROW(DRO_GetWindowTextColor, 1, DRO_GetWindowTextColor()),
  ROW(DRO_Alloc, 1, DRO_Free(DRO_Alloc(h.OneIn(3) ? h.Extreme() : h.Range(0, 4096)))),
  ROW(DRO_Free, 1, DRO_Free(nullptr); DRO_Free(DRO_Alloc(h.Range(0, 64)))),
  ROW(DRO_Memcpy, 2, {
    const int32_t n = h.OneIn(4) ? h.Extreme() : h.Range(0, 300);
    void* a = h.Block(n); void* b = h.Block(n);
    DRO_Memcpy(a, b, n);
    if (a && n > 1) DRO_Memcpy(a, static_cast<uint8_t*>(a) + 1, n - 1);  // overlapping
  }),
  ROW(BankAdrs, 1, { void* p = h.Block(4); EXPECT_EQ(BankAdrs(p), p); }),
  ROW(DRO_GetTotalPhyMemory, 1, DRO_GetTotalPhyMemory()),
  ROW(DRO_GetAvailPhyMemory, 1, DRO_GetAvailPhyMemory()),
  ROW(DRO_GetTotalPgMemory, 1, DRO_GetTotalPgMemory()),
  ROW(DRO_GetAvailPgMemory, 1, DRO_GetAvailPgMemory()),
  ROW(DRO_GetTotalVirMemory, 1, DRO_GetTotalVirMemory()),
  ROW(DRO_GetAvailVirMemory, 1, DRO_GetAvailVirMemory()),
  ROW(DRO_RenameFile, 1, DRO_RenameFile(h.RenamePath(), h.RenamePath())),
  ROW(DRO_GetDirInfo, 1, (void)std::strlen(DRO_GetDirInfo())),
  ROW(DRO_SetStartDir, 1, DRO_SetStartDir(h.Text())),
  ROW(DRO_SetPixelRGB24, 2, {
    const int32_t stride = h.Stride(h.W(), 3);
    DRO_SetPixelRGB24(h.Rows(h.W(), h.H(), 3, stride), stride, h.Coord(), h.Coord(), h.Value(),
                      h.Value(), h.Value());
  }),
  ROW(DRO_GetLayerNum, 1, DRO_GetLayerNum()),
  ROW(DRO_GetLayerCount, 1, DRO_GetLayerCount()),
  ROW(DRO_XSetWindowMessageHandler, 1, DRO_XSetWindowMessageHandler(h.OneIn(2) ? HostHandler : nullptr)),
  ROW(DRO_XPostWindowMessage, 1, {
    static constexpr int32_t messages[] = {0x007E, 0x0218, 0x000B, 0x000F, 0x0010, 0x0002};
    DRO_XPostWindowMessage(h.OneIn(3) ? h.Any() : messages[h.Below(6)], h.OneIn(2) ? 18 : h.Any(), h.Any());
  }),
  ROW(DRO_XSetThreads, 1, DRO_XSetThreads(h.OneIn(8) ? h.Any() : h.Range(-1, 8))),
  ROW(DRO_XSetDecodeLimits, 1, DRO_XSetDecodeLimits(h.OneIn(2) ? h.Any() : h.Range(0, 100000), h.OneIn(2) ? h.Any() : h.Range(0, 400))),
  // --- canvas ---------------------------------------------------------------
  ROW(DRO_CreateImage, 1, {
    const int32_t w = h.OneIn(8) ? h.Extreme() : h.Range(0, 48);
    const int32_t ht = h.OneIn(8) ? h.Extreme() : h.Range(0, 48);
    static constexpr int32_t limits[] = {-1, 0, 1, 46341, kMax};
    DRO_CreateImage(h.OneIn(2) ? nullptr : h.Block(8), w, ht, h.OneIn(8) ? limits[h.Below(5)] : h.Range(1, 40), h.Any());
  }),
  ROW(DRO_NewSize, 1, {
    const int32_t w = h.OneIn(8) ? h.Extreme() : h.Range(0, 48);
    const int32_t ht = h.OneIn(8) ? h.Extreme() : h.Range(0, 48);
    DRO_NewSize(nullptr, w, ht, h.OneIn(8) ? -1 : h.Range(1, 40), h.Any());
  }),
  ROW(DRO_DeleteImage, 1, DRO_DeleteImage()),
  ROW(DRO_SetUndoLevels, 1, DRO_SetUndoLevels(h.OneIn(3) ? h.Any() : h.Range(0, 20))),
  ROW(DRO_DeletePaintLayer, 2, DRO_DeletePaintLayer()),
  // --- brush settings -------------------------------------------------------
  ROW(DRO_SetColor, 2, DRO_SetColor(h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_SetColor16, 2, DRO_SetColor16(h.Value(), h.Value(), h.Value())),
  ROW(DRO_SetColorBanks, 1, DRO_SetColorBanks(h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_SetBlendStrength, 2, DRO_SetBlendStrength(h.OneIn(4) ? h.Any() : h.Range(0, 256))),
  ROW(DRO_SetBlendPrimaryColorStrength, 1, DRO_SetBlendPrimaryColorStrength(h.OneIn(4) ? h.Any() : h.Range(0, 256))),
  ROW(DRO_SetBlendRemix, 1, DRO_SetBlendRemix(h.Any())),
  ROW(DRO_SetDensity, 1, DRO_SetDensity(h.OneIn(4) ? h.Any() : h.Range(0, 4))),
  ROW(DRO_SetAlpha, 1, DRO_SetAlpha(h.Percent())),
  ROW(DRO_SetColorVary, 1, DRO_SetColorVary(h.OneIn(4) ? h.Any() : h.Range(0, 100))),
  ROW(DRO_SetAlphaLocked, 1, DRO_SetAlphaLocked(h.Any())),
  ROW(DRO_SetColorLocked, 1, DRO_SetColorLocked(h.Flag())),
  ROW(DRO_SetBlobLocked, 1, DRO_SetBlobLocked(h.Flag())),
  ROW(DRO_SetAlphaLevel, 1, DRO_SetAlphaLevel(h.OneIn(3) ? h.Any() : h.Range(0, 255))),
  ROW(DRO_SetImageBrushMode, 1, DRO_SetImageBrushMode(h.OneIn(3) ? h.Any() : h.Range(0, 3))),
  ROW(DRO_SetSolidBrushMode, 1, DRO_SetSolidBrushMode(h.OneIn(3) ? h.Any() : h.Range(0, 3))),
  ROW(DRO_SetRotateBrushMode, 1, DRO_SetRotateBrushMode(h.Flag(), h.Any())),
  ROW(DRO_SetMixMode, 2, DRO_SetMixMode(h.OneIn(4) ? h.Any() : h.Range(-1, 40), h.Byte())),
  ROW(DRO_SetSize, 2, DRO_SetSize(h.OneIn(4) ? h.Any() : h.Range(0, 40))),
  ROW(DRO_SetScaleSize, 1, DRO_SetScaleSize(h.OneIn(3) ? h.Any() : h.Range(0, 40))),
  ROW(DRO_SetPixColorVary, 1, DRO_SetPixColorVary(h.OneIn(3) ? h.Any() : h.Range(0, 50))),
  ROW(DRO_SetPixLumVary, 1, DRO_SetPixLumVary(h.OneIn(3) ? h.Any() : h.Range(0, 50))),
  ROW(DRO_SetRandomSeed, 1, DRO_SetRandomSeed(h.Any())),
  ROW(DRO_SetTracingMode, 1, DRO_SetTracingMode(h.Flag())),
  ROW(DRO_DisplayMask, 1, DRO_DisplayMask(h.Flag())),
  ROW(DRO_EnableMask, 2, DRO_EnableMask(h.Flag())),
  ROW(DRO_SetScale, 1, DRO_SetScale(h.OneIn(3) ? h.Any() : h.Range(-1, 4), h.OneIn(3) ? h.Any() : h.Range(-1, 4))),
  ROW(DRO_SetOffset, 1, DRO_SetOffset(h.Any(), h.Any())),
  ROW(DRO_SetViewSize, 1, DRO_SetViewSize(h.OneIn(3) ? h.Any() : h.Range(-1, 120), h.OneIn(3) ? h.Any() : h.Range(-1, 120))),
  ROW(DRO_SetGridSpacing, 1, DRO_SetGridSpacing(h.Any())),
  ROW(DRO_DecDrawingLength, 1, DRO_DecDrawingLength()),
  ROW(DRO_TempDisableBlend, 1, DRO_TempDisableBlend()),
  ROW(DRO_SetMaskMakerOn, 1, DRO_SetMaskMakerOn()),
  ROW(DRO_SetEraseModeOn, 1, DRO_SetEraseModeOn()),
  ROW(DRO_SetTool, 2, DRO_SetTool(h.RealF(), h.OneIn(4) ? h.Any() : h.Range(0, 6), h.Byte(), h.Byte(), h.Byte(), h.Range(0, 100), h.Range(-1, 10), h.Range(0, 256), h.Range(0, 256), h.Below(2), h.Any(), h.Below(2), h.Any(), h.Path(), h.Path(), h.OneIn(3) ? h.Any() : h.Range(-360, 360))),
  ROW(DRO_CalcSpline3, 1, DRO_CalcSpline3(static_cast<uint32_t>(h.Any()), static_cast<uint32_t>(h.Any()), static_cast<uint32_t>(h.Coord()), static_cast<uint32_t>(h.Coord()), static_cast<uint32_t>(h.Coord()), static_cast<uint32_t>(h.Coord()), h.Any())),
  ROW(DRO_GetSplinePointCount, 1, DRO_GetSplinePointCount()),
  ROW(DRO_GetSplinePointX, 1, DRO_GetSplinePointX(h.Any())),
  ROW(DRO_GetSplinePointY, 1, DRO_GetSplinePointY(h.Any())),
  // --- brush shape and dabs -------------------------------------------------
  ROW(DRO_SetBrushShape, 2, DRO_SetBrushShape(h.Path(), h.OneIn(3) ? h.Any() : h.Range(-360, 360))),
  ROW(DRO_SetBrushShape_ORIGINAL, 1, DRO_SetBrushShape_ORIGINAL(h.Path(), h.Any())),
  ROW(DRO_DrawDabGrit, 8, DRO_DrawDabGrit(h.Coord(), h.Coord(), h.Value(), h.Value(), h.Value())),
  ROW(DRO_DrawDabGritMask, 2, DRO_DrawDabGritMask(h.Coord(), h.Coord())),
  // --- layers ------------------------------------------------------------------
  ROW(DRO_CreateLayer, 6, {
    const int32_t slot = h.Slot();
    if (h.OneIn(4)) DRO_CreateLayer(slot, h.Size(), h.Size());
    else DRO_CreateLayer(slot, h.W(), h.H());
  }),
  ROW(DRO_DeleteLayer, 2, DRO_DeleteLayer(h.Slot())),
  ROW(DRO_SetLayer, 4, DRO_SetLayer(h.Slot())),
  ROW(DRO_SetLayerOptions, 3, DRO_SetLayerOptions(h.Slot(), h.Flag(), h.Flag(), h.Percent(), h.Mode())),
  ROW(DRO_SwapLayers, 2, DRO_SwapLayers(h.Slot(), h.Slot())),
  ROW(DRO_MergeLayer, 2, DRO_MergeLayer(h.Slot(), h.Slot())),
  ROW(DRO_MergeLayerIntoRect, 2, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    DRO_MergeLayerIntoRect(h.Slot(), h.Tight(w, ht, 8), x, y, w, ht);
  }),
  ROW(DRO_MergeLayerInto, 2, DRO_MergeLayerInto(h.Slot(), h.CanvasTight(8))),
  ROW(DRO_MergeRect, 2, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    DRO_MergeRect(h.Tight(w, ht, 8), x, y, w, ht);
  }),
  ROW(DRO_Merge, 1, DRO_Merge(h.CanvasTight(8))),
  ROW(DRO_CreatePaintLayer, 2, DRO_CreatePaintLayer(h.Percent(), h.Mode())),
  ROW(DRO_ClearPaintLayer, 1, DRO_ClearPaintLayer()),
  ROW(DRO_ClearPaintLayer_old, 1, DRO_ClearPaintLayer_old()),
  ROW(DRO_MergePaintLayer, 2, DRO_MergePaintLayer(h.Slot())),
  ROW(DRO_BlurPaintLayerAlpha, 1, DRO_BlurPaintLayerAlpha()),
  ROW(DRO_SetLayerAlpha, 1, DRO_SetLayerAlpha(h.Slot(), h.Value())),
  ROW(DRO_NormalizeLayerAlpha, 1, DRO_NormalizeLayerAlpha(h.Slot())),
  ROW(DRO_InvertAlpha, 1, DRO_InvertAlpha(h.Slot())),
  ROW(DRO_InvertAlpha_RGBA32, 1, DRO_InvertAlpha_RGBA32(h.CanvasTight(4))),
  ROW(DRO_SetColorAlpha, 1, DRO_SetColorAlpha(h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_SetColorAlphaRGBABuf, 1, {
    const int32_t w = h.Size(), ht = h.Size();
    DRO_SetColorAlphaRGBABuf(h.Tight(w, ht, 4), w, ht, h.Byte(), h.Byte(), h.Byte());
  }),
  ROW(DRO_SetColorRGBABuf, 1, {
    const int32_t w = h.Size(), ht = h.Size();
    DRO_SetColorRGBABuf(h.Tight(w, ht, 4), w, ht, h.Byte(), h.Byte(), h.Byte());
  }),
  ROW(DRO_SetAlphaFromRGBAImageColor, 1, DRO_SetAlphaFromRGBAImageColor(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_LoadRGBA32Layer_BAD, 2, {
    const int32_t w = h.Size(), ht = h.Size();
    DRO_LoadRGBA32Layer_BAD(h.Tight(w, ht, 4), h.Any(), h.Slot(), w, ht, h.Flag());
  }),
  ROW(DRO_CreateBlobFromImage, 1, DRO_CreateBlobFromImage(h.Slot(), h.Any())),
  ROW(DRO_SetRGBA64Layer, 2, {
    const int32_t stride = h.Stride(h.W(), 8);
    DRO_SetRGBA64Layer(h.Rows(h.W(), h.H(), 8, stride), stride, h.Slot());
  }),
  ROW(DRO_GetRGBA64Layer, 2, {
    const int32_t stride = h.Stride(h.W(), 8);
    DRO_GetRGBA64Layer(h.Rows(h.W(), h.H(), 8, stride), stride, h.Slot());
  }),
  ROW(DRO_GetRGBA64LayerRect, 2, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    const int32_t stride = h.Stride(w, 8);
    DRO_GetRGBA64LayerRect(h.Rows(w, ht, 8, stride), stride, h.Slot(), x, y, w, ht);
  }),
  ROW(DRO_SetLayerData, 2, {
    const int32_t slot = h.Slot(); int64_t w, ht; LayerSize(slot, w, ht);
    DRO_SetLayerData(h.Tight(w, ht, 8), slot);
  }),
  ROW(DRO_GetLayerData, 2, {
    const int32_t slot = h.Slot(); int64_t w, ht; LayerSize(slot, w, ht);
    DRO_GetLayerData(h.Tight(w, ht, 8), slot);
  }),
  ROW(DRO_CopyLayerData, 2, DRO_CopyLayerData(h.Slot(), h.Slot())),
  // --- display ------------------------------------------------------------------
  ROW(DRO_Render, 3, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    int64_t columns, rows; RenderOutput(x, y, w, ht, columns, rows);
    // A negative stride means a bottom-up bitmap (below); here the rows
        // run downwards, however close.
        const int32_t stride = std::max(h.Stride(columns, 3), 0);
    if (h.OneIn(3) && columns > 0 && rows > 0) {
      // A bottom-up bitmap: the top output row is the block's last.
      const int64_t step = std::max<int64_t>(columns * 3, 4 * ((columns * 3 + 3) / 4));
      auto* block = static_cast<uint8_t*>(h.Block(Host::BlockBytes(columns, rows, 3, step)));
      DRO_Render(block ? block + (rows - 1) * step : nullptr, static_cast<int32_t>(-step), x, y, w, ht);
    } else {
      DRO_Render(h.Rows(columns, rows, 3, stride), stride, x, y, w, ht);
    }
  }),
  // --- undo ------------------------------------------------------------------
  ROW(DRO_SaveUndoBuffer, 4, DRO_SaveUndoBuffer(h.Flag(), h.Flag())),
  ROW(DRO_SaveUndoBackBuffer, 2, DRO_SaveUndoBackBuffer(h.Slot())),
  ROW(DRO_Undo, 4, DRO_Undo()),
  ROW(DRO_Redo, 3, DRO_Redo()),
  ROW(DRO_CanUndo, 1, DRO_CanUndo()),
  ROW(DRO_CanRedo, 1, DRO_CanRedo()),
  ROW(DRO_GetRedoCount, 1, DRO_GetRedoCount()),
  ROW(DRO_GetUndoCount, 1, DRO_GetUndoCount()),
  ROW(DRO_ClearUndo, 1, DRO_ClearUndo()),
  ROW(DRO_ReduceUndo, 1, DRO_ReduceUndo(h.OneIn(3) ? h.Any() : h.Range(0, 64))),
  ROW(DRO_PauseUndo, 1, DRO_PauseUndo()),
  ROW(DRO_ResumeUndo, 1, DRO_ResumeUndo()),
  ROW(DRO_SetUndoMB, 1, DRO_SetUndoMB(h.OneIn(3) ? h.Any() : h.Range(0, 8))),
  ROW(DRO_GetTotalUndoMemory, 1, DRO_GetTotalUndoMemory()),
  ROW(DRO_GetCurrentUndoMemory, 1, DRO_GetCurrentUndoMemory()),
  // --- pixel transfers ------------------------------------------------------------
  ROW(DRO_Load, 2, {
    const int32_t w = h.Size(), rows = h.Size(), stride = h.Stride(w, 3);
    DRO_Load(h.Rows(w, rows, 3, stride), stride, w, rows);
  }),
  ROW(DRO_LoadRGBA32Layer, 2, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size(), stride = h.Stride(w, 4);
    DRO_LoadRGBA32Layer(h.Rows(w, ht, 4, stride), stride, h.Slot(), x, y, w, ht, h.Flag());
  }),
  ROW(DRO_LoadRGBA32, 2, {
    const auto* cur = dro::engine().layers.current;
    const int64_t w = cur && cur->pixels ? cur->width : 0, ht = cur && cur->pixels ? cur->height : 0;
    const int32_t stride = h.Stride(w, 4);
    DRO_LoadRGBA32(h.Rows(w, ht, 4, stride), stride, h.Flag());
  }),
  ROW(DRO_LoadRGBA32Into, 2, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size(), stride = h.Stride(w, 4);
    DRO_LoadRGBA32Into(h.Rows(w, ht, 4, stride), stride, h.Slot(), x, y, w, ht);
  }),
  ROW(DRO_LoadRGB24, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_LoadRGB24(h.Rows(h.W(), h.H(), 3, s), s, h.Flag()); }),
  ROW(DRO_LoadRGB24ToAlpha, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_LoadRGB24ToAlpha(h.Rows(h.W(), h.H(), 3, s), s, h.Flag()); }),
  ROW(DRO_GetRGBA32Layer, 2, { const int32_t s = h.Stride(h.W(), 4); DRO_GetRGBA32Layer(h.Rows(h.W(), h.H(), 4, s), s, h.Slot()); }),
  ROW(DRO_GetRGBA32, 1, { const int32_t s = h.Stride(h.W(), 4); DRO_GetRGBA32(h.Rows(h.W(), h.H(), 4, s), s); }),
  ROW(DRO_GetRGB24Layer, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_GetRGB24Layer(h.Rows(h.W(), h.H(), 3, s), s, h.Slot()); }),
  ROW(DRO_GetRGB24, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_GetRGB24(h.Rows(h.W(), h.H(), 3, s), s); }),
  ROW(DRO_GetRGB24FromAlpha, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_GetRGB24FromAlpha(h.Rows(h.W(), h.H(), 3, s), s); }),
  ROW(DRO_GetRGBA32FromRGBA64Rect, 1, {
    const int32_t w = h.Size(), ht = h.Size(), ds = h.Stride(w, 4), ss = h.Stride(w, 8);
    DRO_GetRGBA32FromRGBA64Rect(h.Rows(w, ht, 4, ds), ds, h.Rows(w, ht, 8, ss), ss, h.Coord(), h.Coord(), w, ht);
  }),
  ROW(DRO_GetRGBA32FromRGBA64, 1, {
    const int32_t w = h.Size(), ht = h.Size(), ds = h.Stride(w, 4), ss = h.Stride(w, 8);
    DRO_GetRGBA32FromRGBA64(h.Rows(w, ht, 4, ds), ds, w, ht, h.Rows(w, ht, 8, ss), ss);
  }),
  ROW(DRO_GetRGB24FromRGBA64Rect, 1, {
    const int32_t w = h.Size(), ht = h.Size(), ds = h.Stride(w, 3), ss = h.Stride(w, 8);
    DRO_GetRGB24FromRGBA64Rect(h.Rows(w, ht, 3, ds), ds, h.Rows(w, ht, 8, ss), ss, h.Coord(), h.Coord(), w, ht);
  }),
  ROW(DRO_GetRGB24FromRGBA64, 1, {
    const int32_t ds = h.Stride(h.W(), 3), ss = h.Stride(h.W(), 8);
    DRO_GetRGB24FromRGBA64(h.Rows(h.W(), h.H(), 3, ds), ds, h.Rows(h.W(), h.H(), 8, ss), ss);
  }),
  ROW(DRO_RGBA64RectToRGBA32, 1, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    const int32_t stride = h.OneIn(4) ? h.Any() : static_cast<int32_t>(std::min<int64_t>(int64_t{std::max(0, x)} + std::max(0, w) + h.Below(3), kMax));
    const int64_t srcPixels = x < 0 || y < 0 || w <= 0 || ht <= 0 ? 0 : (int64_t{y} + ht - 1) * std::max(stride, 0) + x + w;
    DRO_RGBA64RectToRGBA32(h.Block(srcPixels > kLargestHostBuffer ? kLargestHostBuffer + 1 : srcPixels * 8), x, y, w, ht, stride, h.Any(), h.Tight(w, ht, 4));
  }),
  ROW(DRO_RGBA64RectToRGBA24, 1, {
    const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size();
    const int32_t stride = h.OneIn(4) ? h.Any() : static_cast<int32_t>(std::min<int64_t>(int64_t{std::max(0, x)} + std::max(0, w) + h.Below(3), kMax));
    const int64_t srcPixels = x < 0 || y < 0 || w <= 0 || ht <= 0 ? 0 : (int64_t{y} + ht - 1) * std::max(stride, 0) + x + w;
    DRO_RGBA64RectToRGBA24(h.Block(srcPixels > kLargestHostBuffer ? kLargestHostBuffer + 1 : srcPixels * 8), x, y, w, ht, stride, h.Any(), h.Tight(w, ht, 3));
  }),
  ROW(DRO_RGBToRGBA, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_RGBToRGBA(h.Tight(w, ht, 4), w, ht, h.Tight(w, ht, 3)); }),
  ROW(DRO_RGBAToRGB, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_RGBAToRGB(h.Tight(w, ht, 3), w, ht, h.Tight(w, ht, 4)); }),
  ROW(DRO_RGBAlphaToRGB, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_RGBAlphaToRGB(h.Tight(w, ht, 3), w, ht, h.Tight(w, ht, 4)); }),
  ROW(DRO_RGBToRGBAlpha, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_RGBToRGBAlpha(h.Tight(w, ht, 4), w, ht, h.Tight(w, ht, 3)); }),
  ROW(DRO_Clear, 2, DRO_Clear(h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_ClearRGBA64, 1, { const int32_t s = h.Stride(h.W(), 8); DRO_ClearRGBA64(h.Rows(h.W(), h.H(), 8, s), s, h.Value(), h.Value(), h.Value(), h.Value()); }),
  ROW(DRO_ClearRGBA32, 1, { const int32_t s = h.Stride(h.W(), 4); DRO_ClearRGBA32(h.Rows(h.W(), h.H(), 4, s), s, h.Byte(), h.Byte(), h.Byte(), h.Byte()); }),
  ROW(DRO_ClearRGBA32Buf, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_ClearRGBA32Buf(h.Tight(w, ht, 4), w, ht, h.Byte(), h.Byte(), h.Byte(), h.Byte()); }),
  ROW(DRO_ClearMasked, 1, DRO_ClearMasked(h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_ClearMaskedAlpha, 1, DRO_ClearMaskedAlpha(h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_GetRed64, 1, DRO_GetRed64(h.Coord(), h.Coord())),
  ROW(DRO_GetGreen64, 1, DRO_GetGreen64(h.Coord(), h.Coord())),
  ROW(DRO_GetBlue64, 1, DRO_GetBlue64(h.Coord(), h.Coord())),
  ROW(DRO_GetAlpha64, 1, DRO_GetAlpha64(h.Coord(), h.Coord())),
  ROW(DRO_GetMask64, 1, DRO_GetMask64(h.Coord(), h.Coord())),
  ROW(DRO_GetRGBAAt, 1, DRO_GetRGBAAt(h.Coord(), h.Coord(), h.CanvasTight(8))),
  ROW(DRO_GetRGBAAtSurface, 1, DRO_GetRGBAAtSurface(h.Coord(), h.Coord())),
  ROW(DRO_GetRGBAAtLayer, 1, DRO_GetRGBAAtLayer(h.Coord(), h.Coord(), h.Slot())),
  ROW(DRO_GetRGBAAtUnderLayer, 1, DRO_GetRGBAAtUnderLayer(h.Coord(), h.Coord())),
  ROW(DRO_GetRGBAAtTrace, 1, DRO_GetRGBAAtTrace(h.Coord(), h.Coord())),
  ROW(DRO_GetColorAt, 1, DRO_GetColorAt(h.Coord(), h.Coord(), h.CanvasTight(8))),
  ROW(DRO_GetColorAtSurface, 1, DRO_GetColorAtSurface(h.Coord(), h.Coord())),
  ROW(DRO_GetColorAtLayer, 1, DRO_GetColorAtLayer(h.Coord(), h.Coord(), h.Slot())),
  ROW(DRO_GetColorAtUnderLayer, 1, DRO_GetColorAtUnderLayer(h.Coord(), h.Coord())),
  ROW(DRO_GetColorAtTrace, 1, DRO_GetColorAtTrace(h.Coord(), h.Coord())),
  ROW(DRO_GetColorAtHistory, 1, DRO_GetColorAtHistory(h.Coord(), h.Coord())),
  ROW(DRO_GetColorAtMerged, 1, DRO_GetColorAtMerged(h.Coord(), h.Coord())),
  ROW(DRO_FindDataExtentsLayer, 1, {
    auto* box = static_cast<int32_t*>(h.Block(16));
    if (box) DRO_FindDataExtentsLayer(h.Slot(), box, box + 1, box + 2, box + 3);
    else DRO_FindDataExtentsLayer(h.Slot(), nullptr, nullptr, nullptr, nullptr);
  }),
  // --- run-length lines -------------------------------------------------------
  ROW(DRO_RLECompressRGBA64ToRGBA32, 1, { const int32_t n = h.Size(); DRO_RLECompressRGBA64ToRGBA32(h.Tight(n, 1, 8), h.Tight(n, 1, 5), n); }),
  ROW(DRO_RLEUncompressRGBA32ToRGBA64, 1, { const int32_t n = h.Size(); DRO_RLEUncompressRGBA32ToRGBA64(h.RleLine(n, 5), h.Tight(n, 1, 8), n); }),
  ROW(DRO_RLECompressG16ToG8, 1, { const int32_t n = h.Size(); DRO_RLECompressG16ToG8(h.Tight(n, 1, 2), h.Tight(n, 1, 2), n); }),
  ROW(DRO_RLEUncompressG8ToG16, 1, { const int32_t n = h.Size(); DRO_RLEUncompressG8ToG16(h.RleLine(n, 2), h.Tight(n, 1, 2), n); }),
  ROW(DRO_GetRGBA32LayerLineRLE, 1, DRO_GetRGBA32LayerLineRLE(h.Tight(h.W(), 1, 5), h.Slot(), h.Coord())),
  ROW(DRO_PutRGBA32LayerLineRLE, 1, DRO_PutRGBA32LayerLineRLE(h.RleLine(h.W(), 5), h.Slot(), h.Coord())),
  ROW(DRO_GetMaskLineRLE, 1, DRO_GetMaskLineRLE(h.Tight(h.W(), 1, 2), h.Coord())),
  ROW(DRO_PutMaskLineRLE, 1, DRO_PutMaskLineRLE(h.RleLine(h.W(), 2), h.Coord())),
  ROW(DRO_GetRGBA32LayerCompressed, 1, {
    const int32_t capacity = h.OneIn(4) ? h.Extreme() : h.Range(0, 20000);
    auto* dst = static_cast<uint8_t*>(h.Block(capacity));
    const int32_t n = DRO_GetRGBA32LayerCompressed(dst, h.Any(), capacity, h.Slot(), h.Any());
    if (dst && n > 0 && n <= capacity) h.compressed.assign(dst, dst + n);
  }),
  ROW(DRO_LoadRGBA32LayerCompressed, 1, {
    if (!h.compressed.empty() && h.OneIn(2)) {
      auto* src = static_cast<uint8_t*>(h.Block(int64_t(h.compressed.size())));
      if (src) std::memcpy(src, h.compressed.data(), h.compressed.size());
      DRO_LoadRGBA32LayerCompressed(src, h.Any(), int32_t(h.compressed.size()), h.Slot());
    } else {
      const int32_t n = h.OneIn(4) ? h.Extreme() : h.Range(0, 200);
      DRO_LoadRGBA32LayerCompressed(h.Block(n), h.Any(), n, h.Slot());
    }
  }),
  // --- colour ------------------------------------------------------------------
  ROW(DRO_ProcessBuffer_HSLAdjust, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_ProcessBuffer_HSLAdjust(h.Tight(w, ht, 4), w, ht, h.Any(), h.Percent(), h.Percent()); }),
  ROW(DRO_ProcessBuffer_HSVAdjust, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_ProcessBuffer_HSVAdjust(h.Tight(w, ht, 4), w, ht, h.Any(), h.Percent(), h.Percent()); }),
  // --- mask ------------------------------------------------------------------
  ROW(DRO_SetMaskOptions, 1, DRO_SetMaskOptions(h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Any())),
  ROW(DRO_InvertMask, 1, DRO_InvertMask()),
  ROW(DRO_ClearMask, 1, DRO_ClearMask(h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_SaveMask, 1, { const int32_t s = h.Stride(h.W(), 3); DRO_SaveMask(h.Rows(h.W(), h.H(), 3, s), s); }),
  ROW(DRO_LoadMask, 1, { const int32_t w = h.Size(), ht = h.Size(), s = h.Stride(w, 3); DRO_LoadMask(h.Rows(w, ht, 3, s), s, w, ht); }),
  ROW(DRO_CreateImageFromMask, 1, DRO_CreateImageFromMask()),
  ROW(DRO_CreateAlphaFromMask, 1, DRO_CreateAlphaFromMask()),
  ROW(DRO_CreateMaskFromAlpha, 1, DRO_CreateMaskFromAlpha()),
  ROW(DRO_CreateMaskFromImage, 1, DRO_CreateMaskFromImage()),
  ROW(DRO_CreateMaskFromDiff_RGBA32, 1, DRO_CreateMaskFromDiff_RGBA32(h.CanvasTight(4), h.CanvasTight(4), h.Any())),
  ROW(DRO_CreateMaskFromRGBAImageColor, 1, DRO_CreateMaskFromRGBAImageColor(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_CreateMaskFromRGB24ImageColor, 1, DRO_CreateMaskFromRGB24ImageColor(h.CanvasTight(3), h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_CreateMaskFromRGBAImageColorRange, 1, DRO_CreateMaskFromRGBAImageColorRange(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte(), h.Percent(), h.Byte())),
  ROW(DRO_CreateMaskFromRGBAImageAlphaRange, 1, DRO_CreateMaskFromRGBAImageAlphaRange(h.CanvasTight(4), h.Byte(), h.Percent(), h.Byte())),
  ROW(DRO_CreateMaskFromRGBAImageLuminanceRange, 1, DRO_CreateMaskFromRGBAImageLuminanceRange(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte(), h.Percent(), h.Byte())),
  ROW(DRO_CreateMaskFromRGBAImageHueRange, 1, DRO_CreateMaskFromRGBAImageHueRange(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte(), h.Percent(), h.Byte())),
  ROW(DRO_CreateMaskFromRGBAImageHSLRange, 1, DRO_CreateMaskFromRGBAImageHSLRange(h.CanvasTight(4), h.Byte(), h.Byte(), h.Byte(), h.Real(), h.Real(), h.Real(), h.Byte())),
  ROW(DRO_CreateMaskFromFloodMask, 1, DRO_CreateMaskFromFloodMask(h.CanvasTight(1), h.Byte())),
  ROW(DRO_ApplyMaskToAlphaRect_RGBA32, 1, {
    const int32_t x0 = h.Coord(), y0 = h.Coord(), x1 = h.Coord(), y1 = h.Coord();
    const int64_t w = int64_t{x1} - x0 + 1, ht = int64_t{y1} - y0 + 1;
    const int32_t s = h.Stride(w, 4);
    DRO_ApplyMaskToAlphaRect_RGBA32(h.Rows(w, ht, 4, s), s, x0, y0, x1, y1);
  }),
  ROW(DRO_ApplyMaskToAlpha_RGBA32, 1, DRO_ApplyMaskToAlpha_RGBA32(h.CanvasTight(4))),
  ROW(DRO_ReplaceFromRGBAImageAlphaRange, 1, DRO_ReplaceFromRGBAImageAlphaRange(h.CanvasTight(4), h.Byte(), h.Percent(), h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  ROW(DRO_GetMaskData16, 1, DRO_GetMaskData16(h.CanvasTight(2))),
  ROW(DRO_SetMaskData16, 1, DRO_SetMaskData16(h.CanvasTight(2))),
  // --- texture ------------------------------------------------------------------
  ROW(DRO_CreateTexture, 2, DRO_CreateTexture(h.Slot())),
  ROW(DRO_DeleteTexture, 1, DRO_DeleteTexture()),
  ROW(DRO_AdjustRGBA32ByMaskAndTexture, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_AdjustRGBA32ByMaskAndTexture(h.Tight(w, ht, 4), w, ht); }),
  ROW(DRO_AdjustRGBA32RectByMaskAndTexture, 1, { const int32_t x = h.Coord(), y = h.Coord(), w = h.Size(), ht = h.Size(); DRO_AdjustRGBA32RectByMaskAndTexture(h.Tight(w, ht, 4), x, y, w, ht); }),
  ROW(DRO_AdjustRGBA32ForAlphaComp, 1, DRO_AdjustRGBA32ForAlphaComp(h.Flag(), h.CanvasTight(4))),
  ROW(DRO_AdjustRGBA32PreFilter, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_AdjustRGBA32PreFilter(h.Tight(w, ht, 4), w, ht); }),
  ROW(DRO_AdjustRGBA32PostFilter, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_AdjustRGBA32PostFilter(h.Tight(w, ht, 4), w, ht); }),
  ROW(DRO_AdjustRGBA64PreFilter, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_AdjustRGBA64PreFilter(h.Tight(w, ht, 8), w, ht); }),
  ROW(DRO_AdjustRGBA64PostFilter, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_AdjustRGBA64PostFilter(h.Tight(w, ht, 8), w, ht); }),
  // --- blend buffer ------------------------------------------------------------
  ROW(DRO_DoCopyBlendBuffer, 2, DRO_DoCopyBlendBuffer(h.Coord(), h.Coord(), h.CanvasTight(8), h.Range(-1, 300), h.Flag())),
  ROW(DRO_CopyBlendBufferSurface, 1, DRO_CopyBlendBufferSurface(h.Coord(), h.Coord(), h.Range(-1, 300), h.Flag())),
  ROW(DRO_CopyBlendBufferLayer, 1, DRO_CopyBlendBufferLayer(h.Slot(), h.Coord(), h.Coord(), h.OneIn(4) ? h.Any() : h.Range(0, 256))),
  ROW(DRO_CopyBlendBufferUnderLayer, 1, DRO_CopyBlendBufferUnderLayer(h.Coord(), h.Coord(), h.Range(0, 256))),
  ROW(DRO_CopyBlendBufferHistory, 1, DRO_CopyBlendBufferHistory(h.Coord(), h.Coord(), h.Range(0, 256))),
  ROW(DRO_CopyBlendBufferTrace, 1, DRO_CopyBlendBufferTrace(h.Coord(), h.Coord(), h.Range(0, 256))),
  ROW(DRO_DoCopyBlendBufferMask, 1, DRO_DoCopyBlendBufferMask(h.Coord(), h.Coord(), h.Any())),
  ROW(DRO_ClearBlendBuffer, 1, DRO_ClearBlendBuffer()),
  ROW(DRO_FilterBlendBuffer, 1, DRO_FilterBlendBuffer(h.OneIn(3) ? h.Any() : h.Range(288, 293), h.Any())),
  // --- image library work buffers, mask shapes, the wand -------------------
  ROW(DRO_IPLInit, 1, DRO_IPLInit(h.Any())),
  ROW(DRO_IPLExit, 1, DRO_IPLExit()),
  ROW(DRO_IPLAllocSrcBuffer32, 2, DRO_IPLAllocSrcBuffer32()),
  ROW(DRO_IPLFreeSrcBuffer32, 1, DRO_IPLFreeSrcBuffer32()),
  ROW(DRO_IPLAllocDstBuffer32, 2, DRO_IPLAllocDstBuffer32()),
  ROW(DRO_IPLFreeDstBuffer32, 1, DRO_IPLFreeDstBuffer32()),
  ROW(DRO_IPLAllocSrcBuffer24, 1, DRO_IPLAllocSrcBuffer24()),
  ROW(DRO_IPLFreeSrcBuffer24, 1, DRO_IPLFreeSrcBuffer24()),
  ROW(DRO_IPLAllocDstBuffer24, 1, DRO_IPLAllocDstBuffer24()),
  ROW(DRO_IPLFreeDstBuffer24, 1, DRO_IPLFreeDstBuffer24()),
  ROW(DRO_IPLUpdateSrcBuffer32, 1, DRO_IPLUpdateSrcBuffer32()),
  ROW(DRO_IPLSetSrcBuffer32, 1, DRO_IPLSetSrcBuffer32(h.CanvasTight(4))),
  ROW(DRO_IPLSetDstBuffer32, 1, DRO_IPLSetDstBuffer32(h.CanvasTight(4))),
  ROW(DRO_ApplyMaskToAlpha_IPLSrcRGBA, 1, DRO_ApplyMaskToAlpha_IPLSrcRGBA()),
  ROW(DRO_IPLMaskEllipse, 1, DRO_IPLMaskEllipse(h.Coord(), h.Coord(), h.Coord(), h.Coord(), h.Percent())),
  ROW(DRO_IPLMaskRectangle, 1, DRO_IPLMaskRectangle(h.Coord(), h.Coord(), h.Coord(), h.Coord(), h.Percent())),
  ROW(DRO_IPLMaskWand, 2, {
    static const char* const modes[] = {"Non-connected", "Connected", "Color Range", "Luminance Range",
                                        "Hue Range", "HSL Range", "Alpha Connected", "Alpha Non-connected"};
    const char* mode = h.OneIn(5) ? h.Mode() : modes[h.Below(8)];
    DRO_IPLMaskWand(h.Coord(), h.Coord(), h.OneIn(4) ? h.Any() : h.Range(0, 50000), h.Percent(), mode);
  }),
  ROW(DRO_ColorRGBA32FromFloodMask, 1, DRO_ColorRGBA32FromFloodMask(h.CanvasTight(4), h.CanvasTight(1), h.Byte(), h.Byte(), h.Byte(), h.Byte())),
  // --- drawing, geometry, image brushes, fonts -------------------------------
  ROW(DRO_IPLRectangle, 1, DRO_IPLRectangle(h.Byte(), h.Byte(), h.Byte(), h.Coord(), h.Coord(), h.Coord(), h.Coord(), h.Percent())),
  ROW(DRO_IPLEllipse, 1, DRO_IPLEllipse(h.Byte(), h.Byte(), h.Byte(), h.Coord(), h.Coord(), h.Coord(), h.Coord(), h.Percent())),
  ROW(DRO_IPLGradient, 1, DRO_IPLGradient(h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.OneIn(4) ? h.Any() : h.Range(0, 4), h.Coord(), h.Coord(), h.Coord(), h.Coord(), h.OneIn(2) ? "Linear" : h.Mode())),
  ROW(DRO_ChooseFont, 1, DRO_ChooseFont()),
  ROW(DRO_XSetFontChooser, 1, DRO_XSetFontChooser(h.OneIn(2) ? FontChooser : nullptr)),
  ROW(DRO_XSetFont, 1, DRO_XSetFont(h.Text(), h.OneIn(3) ? h.Any() : h.Range(1, 40), h.OneIn(3) ? h.Any() : 400, h.Flag())),
  ROW(DRO_IPLText, 1, DRO_IPLText(h.Byte(), h.Byte(), h.Byte(), h.Coord(), h.Coord(), h.Any(), h.Any(), h.Any(), h.Any(), h.OneIn(3) ? "line one\nzwei \xc3\xa4 \xff" : h.Text(), h.Flag())),
  ROW(DRO_IPLFloodFill, 1, {
    static const char* const modes[] = {"Paint Non-connected", "Erase Non-connected", "Paint Connected", "Erase Connected", "Paint Alpha Connected", "Paint Alpha Non-Connected"};
    DRO_IPLFloodFill(h.Byte(), h.Byte(), h.Byte(), h.Coord(), h.Coord(), h.OneIn(4) ? h.Any() : h.Range(0, 50000), h.OneIn(5) ? h.Mode() : modes[h.Below(6)]);
  }),
  ROW(DRO_IPLDisplacementBummp, 1, DRO_IPLDisplacementBummp(h.Path(), h.Real(), h.Any())),
  ROW(DRO_IPLPhotoPop, 1, DRO_IPLPhotoPop(h.OneIn(3) ? h.Any() : h.Range(0, 100), h.Real() * 100, h.Any())),
  ROW(DRO_BlurMoreBufferRGB24, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_BlurMoreBufferRGB24(h.Tight(w, ht, 3), w, ht, h.OneIn(3) ? h.Any() : h.Range(0, 50), h.Percent()); }),
  ROW(DRO_IPLResize, 1, { static const char* const filters[] = {"Area Average", "Nearest Neighbor", "Bilinear", "Bicubic", "Lanczos3", "Mitchell", "Sinc", "Catrom"}; DRO_IPLResize(h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.OneIn(5) ? h.Mode() : filters[h.Below(8)]); }),
  ROW(DRO_IPLResizePage, 1, { static const char* const anchors[] = {"TL", "MC", "BR", "TC", "x"}; DRO_IPLResizePage(h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.OneIn(6) ? h.Text() : anchors[h.Below(5)]); }),
  // Each seam costs a pass over the layer, so a wide layer carved to a
  // narrow one is slow by nature: only small stacks are carved here.
  ROW(DRO_IPLSeamCarvingRGBA, 1, if (LargestLayerSide() <= 128) DRO_IPLSeamCarvingRGBA(h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.OneIn(6) ? h.Extreme() : h.Range(0, 60), h.Any())),
  ROW(DRO_IPLCrop, 1, DRO_IPLCrop(h.Coord(), h.Coord(), h.Coord(), h.Coord())),
  ROW(DRO_IPLRotateLeft, 1, DRO_IPLRotateLeft()),
  ROW(DRO_IPLRotateRight, 1, DRO_IPLRotateRight()),
  ROW(DRO_IPLFlipHorizontal, 1, DRO_IPLFlipHorizontal()),
  ROW(DRO_IPLFlipVertical, 1, DRO_IPLFlipVertical()),
  ROW(DRO_IPLPan, 1, DRO_IPLPan(h.Coord(), h.Coord(), h.Flag(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Flag())),
  ROW(DRO_WarpPointToPoint, 1, DRO_WarpPointToPoint(h.Coord(), h.Coord(), h.Coord(), h.Coord())),
  ROW(DRO_LoadImageBrush, 1, DRO_LoadImageBrush(h.Path())),
  ROW(DRO_LoadImageBrushFromRGBA32, 1, { const int32_t w = h.Size(), ht = h.Size(); DRO_LoadImageBrushFromRGBA32(h.Tight(w, ht, 4), w, ht); }),
  ROW(DRO_LoadImageBrushArray, 1, DRO_LoadImageBrushArray(h.Path())),
  ROW(DRO_CopyFromImageBrushArray, 1, DRO_CopyFromImageBrushArray(h.RealF())),
  ROW(DRO_FillImageBrush, 1, DRO_FillImageBrush(h.Any(), h.Any(), h.Any())),
  ROW(DRO_ColorImageBrush, 1, DRO_ColorImageBrush(h.Any(), h.Any(), h.Any())),
  ROW(DRO_CopyToImageBrush, 1, DRO_CopyToImageBrush()),
  ROW(DRO_SizeImageBrush, 1, DRO_SizeImageBrush()),
  ROW(DRO_RotateImageBrush, 1, DRO_RotateImageBrush(h.Any())),
  ROW(DRO_CopyFromImageBrush, 1, DRO_CopyFromImageBrush(h.Percent())),
  ROW(DRO_CopyFromImageBrushRotate, 1, DRO_CopyFromImageBrushRotate(h.Percent())),
  ROW(DRO_SaveImageBrush, 1, DRO_SaveImageBrush(h.OneIn(2) ? h.files().saved.c_str() : h.Text())),
  // --- effects and filter scripts -------------------------------------------
  ROW(DRO_IPLImageProcess, 2, {
    DRO_IPLImageProcess(h.Any(), h.EffectName(), h.EffectValue(), h.EffectValue(), h.EffectValue(), h.EffectValue(), h.EffectValue(), h.EffectValue(), h.EffectValue(),
                        h.OneIn(3) ? h.Any() : h.Range(0, 8), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Byte(), h.Path());
  }),
  // --- files and the staging image ------------------------------------------
  ROW(DRO_ReadFromFile, 2, DRO_ReadFromFile(h.Path())),
  ROW(DRO_ReadFromFileRGB24, 1, {
    const int32_t w = h.OneIn(2) ? 3 : h.Size(), hh = h.OneIn(2) ? 2 : h.Size();
    DRO_ReadFromFileRGB24(h.Tight(w, hh, 3), w, hh, h.Path());
  }),
  ROW(DRO_ReadFromFileRGBA32, 1, {
    const int32_t w = h.OneIn(2) ? 3 : h.Size(), hh = h.OneIn(2) ? 2 : h.Size();
    DRO_ReadFromFileRGBA32(h.Tight(w, hh, 4), w, hh, h.Path());
  }),
  ROW(DRO_DeleteNewRGBA, 1, DRO_DeleteNewRGBA()),
  ROW(DRO_GetNewRGBAWidth, 1, DRO_GetNewRGBAWidth()),
  ROW(DRO_GetNewRGBAHeight, 1, DRO_GetNewRGBAHeight()),
  ROW(DRO_IsNewRGBA32Transparent, 1, DRO_IsNewRGBA32Transparent()),
  ROW(DRO_SetInNewRGBA, 1, DRO_SetInNewRGBA()),
  ROW(DRO_GetNewRGBA32, 1, DRO_GetNewRGBA32(h.Tight(DRO_GetNewRGBAWidth(), DRO_GetNewRGBAHeight(), 4))),
  ROW(DRO_GetNewRGBA24, 1, DRO_GetNewRGBA24(h.Tight(DRO_GetNewRGBAWidth(), DRO_GetNewRGBAHeight(), 3))),
  ROW(DRO_GetResizedNewRGBA24, 1, {
    const int32_t w = h.Size(), hh = h.Size();
    DRO_GetResizedNewRGBA24(h.Tight(w, hh, 3), w, hh);
  }),
  // --- devices: tablet, AVI, PDF, scanner (fake tablet and scanner) --------
  ROW(DRO_InitTablet, 1, DRO_InitTablet(h.Block(16))),
  ROW(DRO_SetTabletOrigin, 1, DRO_SetTabletOrigin()),
  ROW(DRO_CloseTablet, 1, DRO_CloseTablet()),
  ROW(DRO_ResetTabletPressure, 1, DRO_ResetTabletPressure()),
  ROW(DRO_ReadTabletPackets, 2, {
    std::vector<dro::platform::tablet::Event> events(size_t(h.Range(0, 600)));
    for (auto& e : events) {
      e.type = uint16_t(h.OneIn(3) ? h.Below(4) : 3), e.code = uint16_t(h.OneIn(4) ? h.Any() : h.Range(0, 0x14b));
      e.value = h.OneIn(3) ? h.Any() : h.Range(-2, 5000);
    }
    auto& tablet = drovine_test::fake_devices::Tablet();
    tablet.events.erase(tablet.events.begin(), tablet.events.begin() + int64_t(tablet.next));
    tablet.next = 0;
    tablet.events.insert(tablet.events.end(), events.begin(), events.end());
    DRO_ReadTabletPackets();
  }),
  ROW(DRO_ReadTabletPressure, 2, DRO_ReadTabletPressure(uint32_t(h.OneIn(4) ? h.Any() : h.Range(-2, 260)))),
  ROW(DRO_ReadRawTabletPressure, 1, DRO_ReadRawTabletPressure(h.OneIn(4) ? h.Any() : h.Range(-2, 260))),
  ROW(DRO_IsPacketInvert, 1, DRO_IsPacketInvert(h.OneIn(4) ? h.Any() : h.Range(-2, 260))),
  ROW(DRO_PacketStatus, 1, DRO_PacketStatus(h.OneIn(4) ? h.Any() : h.Range(-2, 260))),
  ROW(DRO_ReadTabletX, 1, DRO_ReadTabletX(h.OneIn(4) ? h.Any() : h.Range(-2, 260))),
  ROW(DRO_ReadTabletY, 1, DRO_ReadTabletY(h.OneIn(4) ? h.Any() : h.Range(-2, 260))),
  ROW(DRO_XSetTabletScreenSize, 1, DRO_XSetTabletScreenSize(h.OneIn(3) ? h.Any() : h.Range(0, 4000), h.OneIn(3) ? h.Any() : h.Range(0, 4000))),
  ROW(DRO_XSetTabletWindowOrigin, 1, DRO_XSetTabletWindowOrigin(h.Any(), h.Any())),
  // Recordings go to the scratch directory only: a path of the others would
  // overwrite a picture the rows read.
  ROW(DRO_CreateAVI, 1, {
    const std::string avi = h.files().dir.File("rec.avi");
    const char* paths[] = {avi.c_str(), nullptr, "", "/no/such/dir/rec.avi"};
    DRO_CreateAVI(paths[h.Below(4)], h.OneIn(4) ? h.Any() : h.Range(-1, 100));
  }),
  ROW(DRO_WriteAVI, 2, DRO_WriteAVI(h.Path())),
  ROW(DRO_CloseAVI, 1, DRO_CloseAVI()),
  ROW(DRO_XSetAVICompression, 1, DRO_XSetAVICompression(h.OneIn(4) ? h.Any() : h.Range(-1, 2), h.OneIn(4) ? h.Any() : h.Range(0, 101))),
  ROW(DRO_I2PDF_Reset, 1, DRO_I2PDF_Reset()),
  // A conversion deletes its pictures: only a copy of the picture is added.
  ROW(DRO_I2PDF_AddImage, 2, {
    const std::string page = h.files().dir.File("page.bmp");
    if (h.OneIn(2)) {
      std::error_code error;
      std::filesystem::copy_file(h.files().picture, page, std::filesystem::copy_options::overwrite_existing, error);
    }
    const char* paths[] = {page.c_str(), h.files().junk.c_str(), h.files().missing.c_str(), nullptr, ""};
    DRO_I2PDF_AddImage(paths[h.Below(5)]);
  }),
  ROW(DRO_I2PDF_MakePDF, 1, {
    const std::string pdf = h.files().dir.File("out.pdf");
    const char* paths[] = {pdf.c_str(), nullptr, "", "/no/such/dir/out.pdf"};
    DRO_I2PDF_MakePDF(paths[h.Below(4)]);
  }),
  ROW(DRO_I2PDF_MakePDFSlideshow, 1, {
    const std::string pdf = h.files().dir.File("show.pdf");
    DRO_I2PDF_MakePDFSlideshow(h.OneIn(4) ? nullptr : pdf.c_str());
  }),
  ROW(DRO_IsTwain, 1, DRO_IsTwain()),
  ROW(DRO_TwainSelectSource, 1, DRO_TwainSelectSource()),
  ROW(DRO_TwainAcquire, 1, {
    const int32_t w = h.OneIn(8) ? h.Any() : h.Range(1, 40), lines = h.OneIn(8) ? h.Any() : h.Range(-1, 40);
    drovine_test::fake_devices::Scanner() = {};
    drovine_test::fake_devices::Scanner().frames = {{drovine_test::fake_devices::Params(dro::platform::scanner::FrameFormat::kRgb, w, int32_t(std::clamp<int64_t>(int64_t{w} * 3, 0, kMax)), lines, 8, true), {}}};
    DRO_TwainAcquire();
  }),
  ROW(DRO_XSetScanSource, 1, DRO_XSetScanSource(h.OneIn(2) ? "fake" : h.Text())),
  ROW(DRO_XSetScanOptions, 1, {
    const char* modes[] = {"Color", "Gray", "Lineart", "color", nullptr};
    DRO_XSetScanOptions(h.OneIn(4) ? h.Any() : h.Range(-1, 1200), modes[h.Below(5)], h.OneIn(4) ? h.Any() : h.Range(0, 16));
  }),
  ROW(DRO_WriteToFileRGB24, 1, {
    const int32_t w = h.Size(), hh = h.Size();
    DRO_WriteToFileRGB24(h.Tight(w, hh, 3), w, hh, h.OutPath(), h.Extension(), h.Any());
  }),
  ROW(DRO_WriteToFileRGBA32, 1, {
    const int32_t w = h.Size(), hh = h.Size();
    DRO_WriteToFileRGBA32(h.Tight(w, hh, 4), w, hh, h.OutPath(), h.Extension(), h.Any());
  }),
  ROW(DRO_SavePageToFileRGB24, 1, DRO_SavePageToFileRGB24(h.OutPath(), h.Extension(), h.Any())),
  ROW(DRO_SavePageToFileRGB32, 1, DRO_SavePageToFileRGB32(h.OutPath(), h.Extension(), h.Any())),
  ROW(DRO_GetDPIFromFile, 1, DRO_GetDPIFromFile(h.OneIn(3) ? h.OutPath() : h.Path())),
  ROW(DRO_MakeThumbnail, 1, DRO_MakeThumbnail(h.Path(), h.OutPath())),
  ROW(DRO_MakeWebPic, 1, DRO_MakeWebPic(h.Path(), h.OutPath(), h.Size(), h.Size())),
  // --- clipboard and screen ----------------------------------------------------
  ROW(DRO_ToClipboard, 1, DRO_ToClipboard()),
  ROW(DRO_ToClipboardRect, 1, DRO_ToClipboardRect(h.Coord(), h.Coord(), h.Coord(), h.Coord())),
  ROW(DRO_RGBA32ToClipboardRect, 1, {
    const int32_t w = h.Size(), hh = h.Size();
    DRO_RGBA32ToClipboardRect(h.Tight(w, hh, 4), h.Coord(), h.Coord(), w, hh);
  }),
  ROW(DRO_FromClipboard, 1, DRO_FromClipboard()),
  ROW(DRO_FromClipboardInto, 1, DRO_FromClipboardInto(h.Coord(), h.Coord(), h.Flag())),
  ROW(DRO_FromClipboardIntoEX, 1, DRO_FromClipboardIntoEX(h.Coord(), h.Coord(), h.OneIn(2) ? h.RealF() : float(h.Range(1, 30)) / 10.0f, h.OneIn(4) ? h.Any() : h.Range(-360, 360), h.Flag(), h.Flag())),
  ROW(DRO_FromClipboardIntoEX2, 1, DRO_FromClipboardIntoEX2(h.Coord(), h.Coord(), h.OneIn(4) ? h.Any() : h.Range(-2, 60), h.OneIn(4) ? h.Any() : h.Range(-360, 360), h.Flag(), h.Flag())),
  ROW(DRO_ScreenCapture, 1, DRO_ScreenCapture()),
  ROW(DRO_ScreenCaptureInto, 1, DRO_ScreenCaptureInto()),
  ROW(DRO_XSetScreenPicture, 1, {
    const int32_t w = h.OneIn(3) ? h.Size() : h.Range(1, 30), hh = h.OneIn(3) ? h.Size() : h.Range(1, 30);
    DRO_XSetScreenPicture(h.Tight(w, hh, 4), w, hh);
  }),
  ROW(DRO_XSetClipboardTimeLimit, 1, DRO_XSetClipboardTimeLimit(h.OneIn(2) ? h.Any() : h.Range(1, 5000))),
  ROW(DRO_XEffectInfo, 1, {
    const char *name = nullptr, *family = nullptr, *summary = nullptr;
    const bool outputs = !h.OneIn(4);
    DRO_XEffectInfo(h.OneIn(4) ? h.Any() : h.Range(-2, 200), outputs ? &name : nullptr, outputs ? &family : nullptr, h.OneIn(2) ? &summary : nullptr);
  }),
  ROW(DRO_XEffectParam, 1, {
    const char *arg = nullptr, *meaning = nullptr;
    int32_t lo = 0, hi = 0, def = 0;
    const bool outputs = !h.OneIn(4);
    DRO_XEffectParam(h.OneIn(4) ? h.Any() : h.Range(-2, 200), h.OneIn(4) ? h.Any() : h.Range(-1, 12), outputs ? &arg : nullptr,
                     outputs ? &lo : nullptr, outputs ? &hi : nullptr, h.OneIn(2) ? &def : nullptr, outputs ? &meaning : nullptr);
  }),
  ROW(DRO_LuaFilterRun, 1, {
    DRO_LuaFilterRun(h.LuaScript(), h.Any(), h.Range(0, 1000), h.Range(0, 1000), h.Range(0, 1000), h.Any(), h.Range(0, 1000),
                     h.OneIn(3) ? h.Any() : h.Range(0, 5), h.Range(0, 5), h.Flag(), h.Flag(), h.Flag(), h.Flag(), h.Flag(), h.Flag());
  }),
  ROW(DRO_XSetScriptMessageHandler, 1, DRO_XSetScriptMessageHandler(h.OneIn(2) ? ScriptMessage : nullptr)),
  ROW(DRO_XSetScriptDebugHandler, 1, DRO_XSetScriptDebugHandler(h.OneIn(2) ? ScriptDebug : nullptr)),
  ROW(DRO_XSetScriptCancel, 1, DRO_XSetScriptCancel(h.Flag())),
  ROW(DRO_XGetVersion, 1, EXPECT_STREQ(DRO_XGetVersion(), DROVINE_VERSION_STRING)),
  ROW(DRO_XGetFastPaths, 1, EXPECT_NE(DRO_XGetFastPaths(), nullptr)),
  ROW(DRO_XBlendModeName, 1, {
    const int32_t mode = h.OneIn(3) ? h.Any() : h.Range(-2, 42);
    EXPECT_EQ(DRO_XBlendModeName(mode) != nullptr, mode >= 0 && mode <= 40) << mode;
  }),
  ROW(DRO_XSetDiagnosticHandler, 1, DRO_XSetDiagnosticHandler(h.OneIn(2) ? Diagnostic : nullptr, &h)),
  ROW(DRO_XSetStrokeOptions, 1, {
    DRO_XSetStrokeOptions(h.OneIn(3) ? h.Real() : 0.2, h.OneIn(3) ? h.Real() : 0.15, h.OneIn(4) ? h.Any() : h.Range(0, 3),
                          h.OneIn(2) ? -1 : h.Range(0, 256), h.Flag(), h.Percent(), h.Mode());
  }),
  ROW(DRO_XStrokeBegin, 2, DRO_XStrokeBegin(h.Slot())),
  ROW(DRO_XStrokeTo, 6, {
    int32_t rect[4];
    const double far = h.OneIn(10) ? h.Real() * 1e6 : 0;
    DRO_XStrokeTo(h.Coord() + h.Real() + far, h.Coord() + h.Real(), h.Real(), h.Real(), h.OneIn(4) ? nullptr : rect);
  }),
  ROW(DRO_XStrokeEnd, 2, {
    int32_t rect[4];
    DRO_XStrokeEnd(h.OneIn(4) ? nullptr : rect);
  }),
};
// clang-format on

// Exports that cannot be fuzzed safely, each with the reason; keep short.
const struct {
  const char* name;
  const char* reason;
} kNotFuzzed[] = {
    {"", ""},  // none so far
};

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

TEST(ExportFuzz, EveryExportHasARow) {
  std::ifstream list(DROVINE_TEST_DATA "/../../exports.txt");
  ASSERT_TRUE(list.good());
  std::set<std::string> rows, skipped;
  for (const Entry& e : kEntries)
    EXPECT_TRUE(rows.insert(e.name).second) << "two rows for " << e.name;
  for (const auto& n : kNotFuzzed)
    if (*n.name) skipped.insert(n.name);
  std::string name;
  std::set<std::string> exported;
  while (std::getline(list, name)) {
    if (name.empty()) continue;
    exported.insert(name);
    EXPECT_TRUE(rows.count(name) || skipped.count(name))
        << name << " has no row in the export fuzzer's table";
  }
  for (const std::string& row : rows) EXPECT_TRUE(exported.count(row)) << row << " is not exported";
}

TEST(ExportFuzz, RandomCallsOverEveryExport) {
  if (&__sanitizer_set_death_callback) __sanitizer_set_death_callback(ReportProgress);
  // The clipboard rows use the in-process clipboard, never the desktop's.
  unsetenv("DISPLAY");
  const uint64_t seed = EnvNumber("DROVINE_EXPORT_FUZZ_SEED", 1);
  const uint64_t calls = EnvNumber("DROVINE_EXPORT_FUZZ_CALLS", 100000);
  const uint64_t seconds = EnvNumber("DROVINE_EXPORT_FUZZ_SECONDS", 0);
  const uint64_t trace = EnvNumber("DROVINE_EXPORT_FUZZ_TRACE", 0);
  int total = 0;
  for (const Entry& e : kEntries) total += e.weight;
  Files files;
  // Relative names ("x", "text") land in the scratch directory, not in the
  // directory the fuzzer was started from.
  struct WorkIn {
    std::filesystem::path before = std::filesystem::current_path();
    explicit WorkIn(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
    ~WorkIn() { std::filesystem::current_path(before); }
  } workIn(files.dir.path());
  Host host(seed, files);
  drovine_test::fake_devices::Install();
  g_progress.seed = seed;
  std::deque<const char*> recent;
  std::vector<uint64_t> counts(std::size(kEntries), 0);
  std::vector<double> spent(std::size(kEntries), 0);
  const auto start = std::chrono::steady_clock::now();
  uint64_t n = 0;
  for (; n < calls; ++n) {
    if (seconds && n % 1000 == 0 &&
        std::chrono::steady_clock::now() - start > std::chrono::seconds(seconds))
      break;
    int pick = host.Below(total);
    size_t i = 0;
    while (pick >= kEntries[i].weight) pick -= kEntries[i++].weight;
    g_progress.call = n;
    g_progress.name = kEntries[i].name;
    if (trace) {
      recent.push_back(kEntries[i].name);
      if (recent.size() > trace) recent.pop_front();
      if (n + trace >= calls)
        std::fprintf(stderr, "call %llu: %s\n", (unsigned long long)n, kEntries[i].name);
    }
    const auto t0 = std::chrono::steady_clock::now();
    kEntries[i].call(host);
    host.FreeBuffers();
    spent[i] += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++counts[i];
    ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "seed " << seed << " call " << n;
  }
  DRO_DeleteImage();
  DRO_XSetWindowMessageHandler(nullptr);
  DRO_XSetDecodeLimits(0, 0);
  DRO_XSetThreads(0);
  DRO_XSetScriptMessageHandler(nullptr);
  DRO_XSetScriptDebugHandler(nullptr);
  DRO_XSetScriptCancel(0);
  DRO_CloseTablet();
  DRO_CloseAVI();
  drovine_test::fake_devices::Remove();
  DRO_XSetDiagnosticHandler(nullptr, nullptr);
  std::printf("export fuzzer: seed %llu, %llu calls\n", (unsigned long long)seed,
              (unsigned long long)n);
  if (std::getenv("DROVINE_EXPORT_FUZZ_PROFILE"))
    for (size_t i = 0; i < counts.size(); ++i)
      if (spent[i] > 0.05)
        std::printf("%8.3f s %7llu calls %s\n", spent[i], (unsigned long long)counts[i],
                    kEntries[i].name);
  // Every row ran at least once in a full default run.
  if (n >= 100000) {
    for (size_t i = 0; i < counts.size(); ++i) EXPECT_GT(counts[i], 0u) << kEntries[i].name;
  }
}

}  // namespace
