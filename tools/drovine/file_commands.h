// The drovine host's file commands: `drovine convert in out` reads a picture
// and writes it in the format its extension names; `drovine info FILE`
// prints a picture file's size and resolution.
#pragma once

int RunConvertCommand(int argc, char** argv);  // argv[0] is "convert"
int RunInfoCommand(int argc, char** argv);     // argv[0] is "info", argv[1] the file
