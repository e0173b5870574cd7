// `drovine effect NAME [--arg N ...] IN OUT` applies one named
// effect to a picture file the way a painting host does (the picture in a
// layer, the work buffers, DRO_IPLImageProcess, the layer read back);
// `drovine effects` lists the effect table, `--markdown` as docs/effects.md.
#include "effect_command.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli.h"
#include "drovine.h"
#include "hostkit/effects_doc.h"

namespace {

// The argument names of DRO_IPLImageProcess, in order, after the name.
const char* const kArgNames[] = {"value", "p1",   "p2",   "p3",   "p4",    "p5",
                                 "p6",    "mode", "opt1", "opt2", "opt3",  "opt4",
                                 "opt5",  "opt6", "opt7", "red",  "green", "blue"};
constexpr int kArgCount = int(sizeof kArgNames / sizeof kArgNames[0]);

int FindEffect(const std::string& name) {
  const char* n = nullptr;
  for (int32_t i = 0; DRO_XEffectInfo(i, &n, nullptr, nullptr) >= 0; ++i)
    if (name == n) return i;
  return -1;
}

}  // namespace

int RunEffectsCommand(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "--markdown") != 0)) {
    const bool first = std::strcmp(argv[1], "--markdown") != 0;
    cli::Complain("effects", "unexpected argument '%s' (only --markdown)", argv[first ? 1 : 2]);
    return cli::kUsage;
  }
  if (argc > 1) {
    std::fputs(hostkit::EffectsMarkdown().c_str(), stdout);
    return 0;
  }
  const char *name = nullptr, *family = nullptr, *summary = nullptr;
  for (int32_t i = 0;; ++i) {
    const int32_t count = DRO_XEffectInfo(i, &name, &family, &summary);
    if (count < 0) break;
    std::printf("%-34s %-18s %s\n", name, family, summary);
    for (int32_t k = 0; k < count; ++k) {
      const char *arg = nullptr, *meaning = nullptr;
      int32_t lo = 0, hi = 0, def = 0;
      DRO_XEffectParam(i, k, &arg, &lo, &hi, &def, &meaning);
      std::printf("    --%-6s %d..%d, default %d: %s\n", arg, lo, hi, def, meaning);
    }
  }
  return 0;
}

int RunEffectCommand(int argc, char** argv) {
  static const char kUsageText[] =
      "usage: drovine effect NAME [--value N] [--p1 N .. --p6 N] [--mode N] [--opt1 N .. --opt7 "
      "N]\n"
      "                      [--red N --green N --blue N] [--path FILE] [--seed N] IN OUT\n"
      "Arguments not given take the effect's defaults; each effect takes the ones\n"
      "drovine effects lists for it, within their ranges.\n";
  std::vector<cli::OptionRule> rules;
  for (const char* a : kArgNames) rules.push_back({a, true});
  rules.push_back({"path", true});
  rules.push_back({"seed", true});
  rules.push_back({"help", false, "h"});
  cli::Args options;
  // argv[0] is the command's own name.
  if (!cli::Parse("effect", argc - 1, argv + 1, rules, options)) return cli::kUsage;
  if (options.Has("help")) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (options.operands.size() != 3) {
    cli::Complain("effect",
                  "give the effect's name, one input and one output picture (try "
                  "drovine effect --help)");
    return cli::kUsage;
  }
  const std::string name = options.operands[0];
  const int index = FindEffect(name);
  if (index < 0) {
    cli::Complain("effect", "no effect named \"%s\" (drovine effects lists them)", name.c_str());
    return cli::kUsage;
  }
  int32_t args[kArgCount] = {};
  // The effect's defaults first, then what the command line sets, each
  // within the effect's range for it.
  const char* arg = nullptr;
  int32_t lo = 0, hi = 0, def = 0;
  for (int32_t k = 0; DRO_XEffectParam(index, k, &arg, &lo, &hi, &def, nullptr); ++k)
    for (int a = 0; a < kArgCount; ++a)
      if (std::strcmp(arg, kArgNames[a]) == 0 &&
          !cli::IntOption(options, kArgNames[a], lo, hi, def, args[a]))
        return cli::kUsage;
  for (int a = 0; a < kArgCount; ++a) {
    if (!options.Has(kArgNames[a])) continue;
    bool taken = false;
    for (int32_t k = 0; DRO_XEffectParam(index, k, &arg, nullptr, nullptr, nullptr, nullptr); ++k)
      taken = taken || std::strcmp(arg, kArgNames[a]) == 0;
    if (!taken) {
      cli::Complain("effect", "\"%s\" takes no --%s (drovine effects lists its arguments)",
                    name.c_str(), kArgNames[a]);
      return cli::kUsage;
    }
  }
  int32_t seed = 1;
  if (!cli::IntOption(options, "seed", INT32_MIN, INT32_MAX, 1, seed)) return cli::kUsage;
  const std::string path = options.Has("path") ? options.values.at("path") : "";
  if (!path.empty() && !cli::CheckInput("effect", "the --path file", path)) return cli::kUsage;
  const char* files[2] = {options.operands[1].c_str(), options.operands[2].c_str()};
  cli::Output out;
  if (!cli::CheckInput("effect", "the picture", files[0]) || !out.Open("effect", files[1]))
    return cli::kUsage;
  std::vector<uint8_t> rgba;
  int32_t width = 0, height = 0;
  std::string reason;
  if (!cli::ReadPicture(files[0], rgba, width, height, reason)) {
    std::fprintf(stderr, "drovine: cannot read %s as a picture of 1..10000 a side%s\n", files[0],
                 reason.c_str());
    return 1;
  }
  DRO_SetLastError("");
  DRO_CreateImage(nullptr, width, height, 8, 0);
  DRO_CreateLayer(1, width, height);
  DRO_SetLayerOptions(1, 1, 0, 100, "Normal");
  DRO_SetLayer(1);
  DRO_LoadRGBA32Layer(rgba.data(), width * 4, 1, 0, 0, width, height, 0);
  DRO_SetRandomSeed(seed);
  DRO_IPLInit(0);
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
  const int32_t ran = DRO_IPLImageProcess(
      0, name.c_str(), args[0], args[1], args[2], args[3], args[4], args[5], args[6], args[7],
      args[8], args[9], args[10], args[11], args[12], args[13], args[14], args[15], args[16],
      args[17], path.empty() ? nullptr : path.c_str());
  DRO_IPLFreeSrcBuffer32();
  DRO_IPLFreeDstBuffer32();
  DRO_GetRGBA32Layer(rgba.data(), width * 4, 1);
  const std::string error = DRO_GetLastError();
  DRO_DeleteImage();
  if (!ran || !error.empty()) {
    std::fprintf(stderr, "drovine: the effect did not run%s%s\n", error.empty() ? "" : ": ",
                 error.c_str());
    return 1;
  }
  if (!out.Write(rgba.data(), width, height, width * 4, cli::Output::Order::kRgba)) {
    std::fprintf(stderr, "drovine: cannot write %s%s\n", files[1], out.reason().c_str());
    return 1;
  }
  return 0;
}
