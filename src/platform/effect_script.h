// The effect-script library seam: runs a script file that generates a
// picture, and applies numbered effects with integer parameters to a picture
// in place.
//
// Pictures are 32 bits per pixel in the byte order blue, green, red, alpha,
// stride width x 4. A Session is one use of the library: constructing it
// initialises the library and destroying it finishes the use, so every use
// that began ends, whatever path the caller takes.
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
  kEffectRotate = 51,
};

class Session {
 public:
  Session() noexcept;  // initialise
  ~Session();          // finish
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool ready() const noexcept;
  // Loads a script file; false on a parse error or a missing file.
  bool LoadScriptFromFile(const char* path) noexcept;
  void InitBuffers() noexcept;
  bool ReadScriptHeaderFromFile(const char* path, ScriptHeader& header) noexcept;
  // Renders the loaded script into width x height BGRA pixels.
  bool ExecuteScript(uint8_t* bgra, int32_t width, int32_t height) noexcept;
  // Appends an effect to the chain; true when it is known.
  bool AddEffect(int32_t number, int32_t flag) noexcept;
  // Sets parameter `slot` (3 and up) of effect `index` in the chain.
  void SetEffectValue(int32_t index, int32_t slot, int32_t value) noexcept;
  // Runs the chain on the picture in place; on false it is unchanged.
  bool ExecuteScriptOnImage(uint8_t* bgra, int32_t width, int32_t height) noexcept;

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

}  // namespace dro::platform::effects
