#include "hostkit/effects_doc.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "drovine.h"

namespace hostkit {

std::string EffectsMarkdown() {
  std::string out =
      "# Effects\n"
      "\n"
      "<!-- Generated from the engine's effect table by `drovine effects --markdown`;\n"
      "     a test checks that this page matches the table. -->\n"
      "\n"
      "`DRO_IPLImageProcess` applies one effect, chosen by its exact name (case and\n"
      "blanks count), to the current layer. The RGBA32 work buffers must be\n"
      "allocated first (`DRO_IPLAllocSrcBuffer32`, `DRO_IPLAllocDstBuffer32`); the\n"
      "result goes back into the layer weighted by the mask and the texture.\n"
      "\n"
      "Each effect reads only the arguments listed for it. `p1`..`p6` are mostly\n"
      "tenths (a host value of 500 is 50.0, often a percentage), a few effects take\n"
      "them as thousandths, as their tables say; `opt2`..`opt7` are read by their\n"
      "low byte. Ranges are the values that make sense (others are clamped or\n"
      "wrap as noted); the defaults are what `drovine effect` uses when an\n"
      "argument is not given. Effects that draw random dots follow\n"
      "`DRO_SetRandomSeed`: the same seed gives the same picture, and two calls in\n"
      "a row differ.\n"
      "\n"
      "Try one on a picture: `drovine effect \"Gaussian Blur\" --p1 200 in.png out.png`.\n";
  std::string family;
  for (int32_t i = 0;; ++i) {
    const char* name = nullptr;
    const char* fam = nullptr;
    const char* summary = nullptr;
    const int32_t count = DRO_XEffectInfo(i, &name, &fam, &summary);
    if (count < 0) break;
    if (family != fam) {
      family = fam;
      out += "\n## " + family + "\n";
      if (!family.empty()) out[out.size() - family.size() - 1] = char(std::toupper(family[0]));
    }
    out += "\n### \"" + std::string(name) + "\"\n\n" + summary + "\n";
    if (count == 0) {
      out += "\nNo parameters.\n";
      continue;
    }
    out += "\n| argument | range | default | meaning |\n|---|---|---|---|\n";
    for (int32_t k = 0; k < count; ++k) {
      const char* arg = nullptr;
      const char* meaning = nullptr;
      int32_t lo = 0, hi = 0, def = 0;
      DRO_XEffectParam(i, k, &arg, &lo, &hi, &def, &meaning);
      out += "| `" + std::string(arg) + "` | " + std::to_string(lo) + ".." + std::to_string(hi) +
             " | " + std::to_string(def) + " | " + meaning + " |\n";
    }
  }
  return out;
}

}  // namespace hostkit
