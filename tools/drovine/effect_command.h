// The drovine host's effect commands: `drovine effect` applies one named
// effect to a PNG file, `drovine effects` lists the effect table.
#pragma once

int RunEffectCommand(int argc, char** argv);   // argv[0] is "effect"
int RunEffectsCommand(int argc, char** argv);  // argv[0] is "effects"
