// The effect-script seam: a text script format, its parser, and the chain of
// numbered effects a session runs. The format is described for users in
// docs/effect-scripts.md.
#include "platform/effect_script.h"
#include "platform/image_effects.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/allocation.h"
#include "platform/effect_script_internal.h"
#include "platform/image_internal.h"

namespace dro::platform::effects {
namespace {

using detail::EffectInfo;
using detail::kSlotCount;

constexpr int32_t kMaxEffects = 64;
constexpr int32_t kMaxSide = 10000;
constexpr long kMaxScriptBytes = 1 << 20;

struct Entry {
  const EffectInfo* effect = nullptr;
  bool enabled = true;
  int32_t values[kSlotCount] = {};
};

struct Script {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t background[4] = {0, 0, 0, 255};  // red, green, blue, alpha
  int32_t count = 0;
  Entry entries[kMaxEffects];
};

// ---- parsing ----------------------------------------------------------------

class Parser {
 public:
  Parser(std::string_view text, char* error, size_t errorSize)
      : text_(text), error_(error), errorSize_(errorSize) {}

  bool Parse(Script& script) {
    bool sawMagic = false;
    Entry* current = nullptr;
    while (NextLine()) {
      std::string_view word = Word();
      if (word.empty()) continue;  // blank or comment-only line
      if (!sawMagic) {
        int32_t version;
        if (word != "effect-script" || !Int(version) || version != 1 || !End())
          return Fail("the first line must be \"effect-script 1\"");
        sawMagic = true;
        continue;
      }
      if (word == "size") {
        if (script.width) return Fail("size given twice");
        if (!Int(script.width) || !Int(script.height) || !End())
          return Fail("expected \"size <width> <height>\"");
        if (script.width < 1 || script.width > kMaxSide || script.height < 1 ||
            script.height > kMaxSide)
          return Fail("width and height must be 1..10000");
        // A script names the size of the picture it makes: a few bytes of
        // untrusted text, held to the same limits as any picture file.
        if (!image::WithinDecodeLimits(script.width, script.height))
          return Fail("the size is beyond the decode limits");
      } else if (word == "background") {
        int32_t c[4] = {0, 0, 0, 255};
        int n = 0;
        while (n < 4 && Int(c[n])) ++n;
        if (n < 3 || !End()) return Fail("expected \"background <red> <green> <blue> [alpha]\"");
        for (int i = 0; i < 4; ++i) {
          if (c[i] < 0 || c[i] > 255) return Fail("colour values must be 0..255");
          script.background[i] = static_cast<uint8_t>(c[i]);
        }
      } else if (word == "effect") {
        if (!script.width) return Fail("\"size\" must come before the first effect");
        if (script.count == kMaxEffects) return Fail("too many effects (at most 64)");
        const EffectInfo* effect = nullptr;
        std::string_view name;
        int32_t number;
        if (Quoted(name))
          effect = detail::FindEffect(name);
        else if (Int(number))
          effect = detail::FindEffect(number);
        else
          return Fail("expected \"effect <number>\" or \"effect \\\"<name>\\\"\"");
        if (!effect) return Fail("unknown effect");
        if (!End()) return Fail("unexpected text after the effect");
        current = &script.entries[script.count++];
        current->effect = effect;
        detail::DefaultValues(*effect, current->values);
      } else {
        // "<parameter> = <value>" for the effect above; the parameter by
        // name or by slot number.
        if (!current) return Fail("unknown statement");
        const detail::Param* param = nullptr;
        for (const detail::Param& p : current->effect->params) {
          if (!p.name) continue;
          if (word == p.name || word == SlotText(p.slot)) param = &p;
        }
        if (!param) return Fail("unknown parameter of this effect");
        int32_t value;
        if (!Equals() || !Int(value) || !End()) return Fail("expected \"<parameter> = <integer>\"");
        if (value < param->min || value > param->max) return Fail("value out of range");
        current->values[param->slot] = value;
      }
    }
    if (!sawMagic) return Fail("empty script");
    if (!script.width) return Fail("the script gives no size");
    return true;
  }

 private:
  bool NextLine() {
    if (pos_ >= text_.size()) return false;
    const size_t end = text_.find('\n', pos_);
    line_ = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    ++lineNumber_;
    // Comments run from '#' to the end of the line (never inside quotes:
    // effect names carry no '#').
    if (const size_t hash = line_.find('#'); hash != std::string_view::npos)
      line_ = line_.substr(0, hash);
    at_ = 0;
    return true;
  }
  void Space() {
    while (at_ < line_.size() && std::isspace(static_cast<unsigned char>(line_[at_]))) ++at_;
  }
  std::string_view Word() {
    Space();
    const size_t start = at_;
    while (at_ < line_.size() && !std::isspace(static_cast<unsigned char>(line_[at_])) &&
           line_[at_] != '=' && line_[at_] != '"')
      ++at_;
    return line_.substr(start, at_ - start);
  }
  bool Int(int32_t& out) {
    Space();
    size_t i = at_;
    bool negative = false;
    if (i < line_.size() && (line_[i] == '-' || line_[i] == '+')) negative = line_[i++] == '-';
    const size_t digits = i;
    int64_t v = 0;
    while (i < line_.size() && std::isdigit(static_cast<unsigned char>(line_[i]))) {
      v = v * 10 + (line_[i++] - '0');
      if (v > 2147483648LL) return false;
    }
    if (i == digits) return false;
    if (i < line_.size() && !std::isspace(static_cast<unsigned char>(line_[i]))) return false;
    v = negative ? -v : v;
    if (v > 2147483647LL || v < -2147483647LL) return false;
    out = static_cast<int32_t>(v);
    at_ = i;
    return true;
  }
  bool Quoted(std::string_view& out) {
    Space();
    if (at_ >= line_.size() || line_[at_] != '"') return false;
    const size_t close = line_.find('"', at_ + 1);
    if (close == std::string_view::npos) return false;
    out = line_.substr(at_ + 1, close - at_ - 1);
    at_ = close + 1;
    return true;
  }
  bool Equals() {
    Space();
    if (at_ >= line_.size() || line_[at_] != '=') return false;
    ++at_;
    return true;
  }
  bool End() {
    Space();
    return at_ == line_.size();
  }
  std::string_view SlotText(int32_t slot) {
    const int n = std::snprintf(slotText_, sizeof slotText_, "%d", slot);
    return std::string_view(slotText_, static_cast<size_t>(n));
  }
  bool Fail(const char* message) {
    if (error_ && errorSize_)
      std::snprintf(error_, errorSize_, "line %d: %s", lineNumber_, message);
    return false;
  }

  std::string_view text_;
  std::string_view line_;
  size_t pos_ = 0;
  size_t at_ = 0;
  int lineNumber_ = 0;
  char slotText_[16] = {};
  char* error_;
  size_t errorSize_;
};

bool ParseFile(const char* path, Script& script, char* error, size_t errorSize, bool& noMemory) {
  auto fail = [&](const char* message) {
    if (error && errorSize) std::snprintf(error, errorSize, "%s", message);
    return false;
  };
  if (!path || !path[0]) return fail("no script path");
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return fail("cannot open the script");
  bool ok = false;
  try {
    ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && size <= kMaxScriptBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
      Buffer<char> text = Buffer<char>::Make(static_cast<size_t>(size));
      ok = std::fread(text.data(), 1, text.size(), file) == text.size();
      // A text file: a NUL byte means something else (a picture) was given.
      ok = ok && std::memchr(text.data(), 0, text.size()) == nullptr;
      if (ok) {
        ok = Parser(std::string_view(text.data(), text.size()), error, errorSize).Parse(script);
      } else {
        fail("not a script file");
      }
    } else {
      fail("not a script file (empty or larger than 1 MiB)");
    }
  } catch (...) {
    ok = false;
    noMemory = true;
    fail("out of memory");
  }
  std::fclose(file);
  return ok;
}

bool ValidPicture(const uint8_t* bgra, int32_t width, int32_t height) {
  return bgra && width > 0 && height > 0 && width <= 30000 && height <= 30000;
}

}  // namespace

struct Session::Impl {
  bool loaded = false;
  Script script;
  int32_t chainCount = 0;
  Entry chain[kMaxEffects];
  char error[256] = {};
  bool noMemory = false;  // the last load, header read or run ran out of memory

  // Runs the loaded script's effects, then the chain, on a copy of the
  // picture; the picture takes the result only when every effect ran.
  bool Run(uint8_t* bgra, int32_t width, int32_t height, bool fillBackground) {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    Buffer<uint8_t> work = Buffer<uint8_t>::Make(bytes);
    if (fillBackground) {
      const uint8_t* c = script.background;
      const uint8_t pixel[4] = {c[2], c[1], c[0], c[3]};
      for (size_t i = 0; i < bytes; i += 4) std::memcpy(work.data() + i, pixel, 4);
    } else {
      std::memcpy(work.data(), bgra, bytes);
    }
    auto apply = [&](const Entry& e) {
      if (!e.enabled) return true;
      int32_t values[kSlotCount];
      detail::ClampValues(*e.effect, e.values, values);
      return e.effect->run(work.data(), width, height, values);
    };
    for (int32_t i = 0; loaded && i < script.count; ++i)
      if (!apply(script.entries[i])) return false;
    for (int32_t i = 0; i < chainCount; ++i)
      if (!apply(chain[i])) return false;
    std::memcpy(bgra, work.data(), bytes);
    return true;
  }
};

Session::Session() noexcept {
  try {
    impl_ = image::detail::NewObject<Impl>();
  } catch (...) {
    impl_ = nullptr;
  }
}

Session::~Session() {
  image::detail::DeleteObject(impl_);
}

bool Session::ready() const noexcept {
  return impl_ != nullptr;
}

bool Session::ranOutOfMemory() const noexcept {
  return !impl_ || impl_->noMemory;
}

const char* Session::error() const noexcept {
  return impl_ ? impl_->error : "";
}

bool Session::LoadScriptFromFile(const char* path) noexcept {
  if (!impl_) return false;
  Script script;
  impl_->noMemory = false;
  if (!ParseFile(path, script, impl_->error, sizeof impl_->error, impl_->noMemory)) return false;
  impl_->script = script;
  impl_->loaded = true;
  impl_->error[0] = 0;
  return true;
}

void Session::InitBuffers() noexcept {
  // Working memory is taken for each run and given back after it, so there
  // is nothing to prepare; the call keeps the library's order of use.
}

bool Session::ReadScriptHeaderFromFile(const char* path, ScriptHeader& header) noexcept {
  if (!impl_) return false;
  Script script;
  impl_->noMemory = false;
  if (!ParseFile(path, script, impl_->error, sizeof impl_->error, impl_->noMemory)) return false;
  ScriptHeader h;
  auto put = [&](int offset, int32_t v) { std::memcpy(h.bytes + offset, &v, sizeof v); };
  std::memcpy(h.bytes, "DRFX", 4);
  put(4, 1);  // format version
  put(8, script.count);
  put(12, static_cast<int32_t>(sizeof h.bytes));
  put(16, script.width);
  put(20, script.height);
  std::memcpy(h.bytes + 24, script.background, 4);
  header = h;
  return true;
}

bool Session::ExecuteScript(uint8_t* bgra, int32_t width, int32_t height) noexcept {
  if (!impl_ || !impl_->loaded || !ValidPicture(bgra, width, height)) return false;
  impl_->noMemory = false;
  try {
    return impl_->Run(bgra, width, height, true);
  } catch (const std::bad_alloc&) {
    impl_->noMemory = true;
    return false;
  } catch (...) {
    return false;
  }
}

bool Session::AddEffect(int32_t number, int32_t flag) noexcept {
  if (!impl_ || impl_->chainCount == kMaxEffects) return false;
  const EffectInfo* effect = detail::FindEffect(number);
  if (!effect) return false;
  Entry& e = impl_->chain[impl_->chainCount++];
  e.effect = effect;
  e.enabled = flag != 0;
  detail::DefaultValues(*effect, e.values);
  return true;
}

void Session::SetEffectValue(int32_t index, int32_t slot, int32_t value) noexcept {
  if (!impl_ || index < 0 || index >= impl_->chainCount || slot < detail::kFirstSlot ||
      slot >= kSlotCount)
    return;
  impl_->chain[index].values[slot] = value;
}

bool Session::ExecuteScriptOnImage(uint8_t* bgra, int32_t width, int32_t height) noexcept {
  if (!impl_ || !ValidPicture(bgra, width, height)) return false;
  if (image::EffectFailuresForTesting()) return false;
  if ((!impl_->loaded || impl_->script.count == 0) && impl_->chainCount == 0) return false;
  impl_->noMemory = false;
  try {
    return impl_->Run(bgra, width, height, false);
  } catch (const std::bad_alloc&) {
    impl_->noMemory = true;
    return false;
  } catch (...) {
    return false;
  }
}

}  // namespace dro::platform::effects
