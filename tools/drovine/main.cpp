// drovine: a command-line host that drives the engine the way a painting
// application does, through the public header only.
//
// Subcommands in the manner of image tools: `drovine COMMAND [options]
// [operands]`, with `demo` when no command is given. Every command checks
// all of its arguments before it starts any work (cli.h). The commands are
// rows of one table: adding a command is adding a row.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli.h"
#include "commands.h"
#include "drovine.h"
#include "effect_command.h"
#include "file_commands.h"
#include "record_command.h"

namespace {

struct Command {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);  // the arguments after the command's name
};

// The effect commands take their own name as argv[0].
int Effect(int argc, char** argv) {
  return RunEffectCommand(argc + 1, argv - 1);
}
int Effects(int argc, char** argv) {
  return RunEffectsCommand(argc + 1, argv - 1);
}
int Record(int argc, char** argv) {
  return RunRecordCommand(argc + 1, argv - 1);
}
int Convert(int argc, char** argv) {
  return RunConvertCommand(argc + 1, argv - 1);
}
// With a file: its size and resolution; without: the versions and fast paths.
int Info(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (argv[i][0] != '-') return RunInfoCommand(argc + 1, argv - 1);
  }
  return RunInfo(argc, argv);
}

const Command kCommands[] = {
    {"demo", "paint the demonstration landscape (the default)", RunDemo},
    {"replay", "paint a tablet recording with a chosen brush", RunReplay},
    {"composite", "blend one picture over another in a blend mode", RunComposite},
    {"effect", "apply one named effect to a picture", Effect},
    {"effects", "the effect table with its parameters (--markdown)", Effects},
    {"list", "list blend-modes or effects", RunList},
    {"info", "versions and fast paths; with FILE, a picture's size and resolution", Info},
    {"convert", "a picture file into another format (OUT's extension picks it)", Convert},
    {"record", "a tablet recording painted as an AVI video, its pages as PDF", Record},
};

void PrintHelp() {
  std::printf(
      "usage: drovine [COMMAND] [OPTIONS] [ARGUMENTS]\n"
      "       drovine --version | --help\n"
      "\n"
      "Commands (drovine COMMAND --help for each):\n");
  for (const Command& c : kCommands) std::printf("  %-10s %s\n", c.name, c.summary);
  std::printf(
      "\n"
      "Options take their value as --name value or --name=value; - as an output\n"
      "path means standard output (PNG). Pictures are written in the format their\n"
      "extension names:\n"
      "  %s.\n"
      "Exit status: 0 done, 1 the work failed, 2 a bad command line.\n",
      cli::KnownFormats().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
    std::printf("drovine %s (library %s)\n", DROVINE_VERSION_STRING, DRO_XGetVersion());
    return 0;
  }
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                   std::strcmp(argv[1], "help") == 0)) {
    PrintHelp();
    return 0;
  }
  // No command, or options first: the demonstration.
  if (argc < 2 || argv[1][0] == '-') return RunDemo(argc - 1, argv + 1);
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  cli::Complain("", "unknown command '%s' (drovine --help lists them)", argv[1]);
  return cli::kUsage;
}
