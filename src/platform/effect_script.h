// The effect-script library seam: runs a script file that generates a
// picture, and applies numbered effects with integer parameters to a picture
// in place.
//
// Pictures are 32 bits per pixel in the byte order blue, green, red, alpha,
// stride width x 4. A Session is one use of the library: constructing it
// initialises the library and destroying it finishes the use, so every use
// that began ends, whatever path the caller takes.
//
// Scripts are our own text format (docs/effect-scripts.md). The effects are
// our own code in a table (effect_script_effects.cpp); the rotation warps
// with OpenCV (cv::warpAffine, bilinear).
#pragma once

#include <cstdint>
#include <cstring>

namespace dro::platform::effects {

// The 100-byte script header record: width at byte 16, height at byte 20.
struct ScriptHeader {
  uint8_t bytes[100] = {};
  int32_t width() const noexcept { return Field(16); }
  int32_t height() const noexcept { return Field(20); }

 private:
  int32_t Field(int offset) const noexcept {
    int32_t v;
    std::memcpy(&v, bytes + offset, sizeof v);
    return v;
  }
};

// Effect numbers the engine uses.
enum EffectNumber : int32_t {
  kEffectPlasma = 5,
  kEffectPerlinNoise = 11,
  kEffectEmboss = 23,
  kEffectColorize = 28,
  kEffectRotate = 51,
};

// The warp effects (effect_script_warps.cpp).
enum WarpEffectNumber : int32_t {
  kEffectTwirl = 6,
  kEffectSineDistortion = 13,
  kEffectWaves = 16,
  kEffectDivider = 17,
  kEffectCarpet = 18,
  kEffectVoxel = 22,
  kEffectGlass = 39,
  kEffectKaleidoscope = 49,
  kEffectZoom = 50,
  kEffectSeamless = 52,
  kEffectTilt = 54,
  kEffectScratch = 56,
};

// True for an effect that moves pixels by a map of the picture's size and
// its slots alone and treats the four channels alike: a run moves alpha
// exactly as it moves colour.
bool MovesAlphaWithColour(int32_t number) noexcept;

// One use of the library. A session holds at most one loaded script (its
// size, background and effects) and a chain of effects added by number.
// Running it applies the script's effects first, then the chain, in order.
class Session {
 public:
  Session() noexcept;  // initialise
  ~Session();          // finish
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // True when the session could be set up (false only without memory).
  bool ready() const noexcept;
  // True when the session could not be set up, or its last load, header
  // read or run failed for want of memory.
  bool ranOutOfMemory() const noexcept;
  // Why the last load or header read failed ("line 3: unknown effect").
  const char* error() const noexcept;

  // Loads a script file (the text format of docs/effect-scripts.md); false on
  // a parse error or a missing file, which leaves a loaded script in place.
  bool LoadScriptFromFile(const char* path) noexcept;
  // Kept for the library's order of use; the session takes its working
  // memory per run, so there is nothing to prepare.
  void InitBuffers() noexcept;
  // Parses a script file and fills the 100-byte record: "DRFX" at 0, the
  // format version (1) at 4, the effect count at 8, the record size (100)
  // at 12, width at 16, height at 20, the background red, green, blue and
  // alpha bytes at 24..27, zeros after. False (record unchanged) on error.
  bool ReadScriptHeaderFromFile(const char* path, ScriptHeader& header) noexcept;
  // Renders the loaded script into width x height BGRA pixels: the
  // background, then every effect. False without a loaded script.
  bool ExecuteScript(uint8_t* bgra, int32_t width, int32_t height) noexcept;
  // Appends an effect to the chain with its default values; true when the
  // number is known. The first added effect is index 0 of SetEffectValue
  // (a loaded script's own effects take no index). flag 0 adds the effect
  // switched off: it keeps its index but does not run.
  bool AddEffect(int32_t number, int32_t flag) noexcept;
  // Sets parameter `slot` (3..19) of added effect `index`; other indexes
  // and slots are ignored. Values are clamped to the parameter's range
  // when the effect runs.
  void SetEffectValue(int32_t index, int32_t slot, int32_t value) noexcept;
  // Runs the script's effects and the chain on the picture in place. False
  // (picture unchanged) when there is nothing to run or an effect fails.
  bool ExecuteScriptOnImage(uint8_t* bgra, int32_t width, int32_t height) noexcept;

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

}  // namespace dro::platform::effects
