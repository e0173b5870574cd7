// Named effects: one table of rows, each an effect's exact name, its family,
// the function that runs it and the parameters it reads, and the dispatcher
// that looks a name up and runs its row on the current layer.
//
// The model. The host refreshes the RGBA32 source work buffer from the
// current layer, allocates the destination, and calls the dispatcher with a
// name and a fixed set of generic numbers (EffectArgs). The dispatcher
// derives f1..f6 = pN x 0.1 (single precision: most effects read them as
// percentages, a host 500 giving 50.0) and the colour (red in the lowest
// byte, then green, then blue), finds the row whose name is exactly the
// given one (case, blanks and terminator included; a null name matches
// nothing) and runs its function. A row's function is a short recipe of
// steps on the work buffers (effect_call.h): engine filters, image-library
// operations, effect-script runs, and the load or merge back into the
// layer. Each library call is checked: its write-back runs only when it
// succeeds, while later steps of a recipe still run.
//
// Every number derived from a host value goes through the saturating
// conversion; radii, distances and counts are clamped to what the picture
// can use (at most its larger side), so no call runs for hours or
// allocates beyond the picture.
//
// Adding an effect is one function and one row; the documentation
// (docs/effects.md) is checked against the rows by a test.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace dro::imaging {

// The generic numbers of one call, as the host passes them.
struct EffectArgs {
  const char* name = nullptr;
  int32_t value = 0;
  std::array<int32_t, 6> p = {};  // p1..p6, tenths in most effects
  int32_t mode = 0;
  int32_t opt1 = 0;
  std::array<int32_t, 6> opt = {};  // opt2..opt7; effects read the low byte
  int32_t red = 0, green = 0, blue = 0;
  const char* path = nullptr;
};

enum class EffectFamily : uint8_t {
  kArtistic,
  kBlur,
  kToneColour,
  kDistortion,
  kDetail,
  kGenerator,
  kTexture,
  kLua,
};

// What an effect's work rests on, for users and tests: the engine's own
// filters, one image-library call, one effect-script run, or a recipe of
// several steps.
enum class EffectBackend : uint8_t { kEngine, kLibrary, kScript, kRecipe };

// The argument a parameter comes from.
enum class EffectArg : uint8_t {
  kValue,
  kP1,
  kP2,
  kP3,
  kP4,
  kP5,
  kP6,
  kMode,
  kOpt1,
  kOpt2,
  kOpt3,
  kOpt4,
  kOpt5,
  kOpt6,
  kOpt7,
  kRed,
  kGreen,
  kBlue,
  kPath,
  kCount,
};

// A parameter an effect reads: the host values it makes sense for
// (min..max), the default the drovine host uses, and its meaning for a
// user (units, what an option switches).
struct EffectParam {
  EffectArg arg = EffectArg::kCount;  // kCount: no parameter (end of list)
  int32_t min = 0;
  int32_t max = 0;
  int32_t defaultValue = 0;
  const char* meaning = nullptr;
};

class EffectCall;
using EffectFunction = void (*)(EffectCall& call);

constexpr size_t kMaxEffectParams = 16;

struct EffectRow {
  const char* name;
  EffectFamily family;
  EffectBackend backend;
  EffectFunction run;
  const char* summary;  // one sentence for users
  std::array<EffectParam, kMaxEffectParams> params;
};

// Every effect, in the order the documentation lists them.
std::span<const EffectRow> EffectTable() noexcept;
// The row named exactly `name`, or null (also for a null name).
const EffectRow* FindEffect(const char* name) noexcept;

// Names for listings: "artistic", "blur", "tone and colour", ...; "p1",
// "opt2", "red", "path", ...
const char* EffectFamilyName(EffectFamily family) noexcept;
const char* EffectBackendName(EffectBackend backend) noexcept;
const char* EffectArgName(EffectArg arg) noexcept;

// The table for host listings (the DRO_XEffectInfo and DRO_XEffectParam
// exports): -1 / 0 past the end, null outputs skipped.
int32_t DescribeEffect(int32_t index, const char** name, const char** family,
                       const char** summary) noexcept;
int32_t DescribeEffectParam(int32_t index, int32_t k, const char** arg, int32_t* min, int32_t* max,
                            int32_t* defaultValue, const char** meaning) noexcept;

// Runs the named effect on the current layer. 0 without both RGBA32 work
// buffers (nothing changes), else 1, whether or not the name matched and
// its library calls succeeded (the host reads the layer). Guarded:
// "IPLImageProc Excpt". Scratch planes and both RGB24 work buffers are
// released at the end of every call, whatever happened.
int32_t ImageProcess(const EffectArgs& args) noexcept;

}  // namespace dro::imaging
