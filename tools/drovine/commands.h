// The drovine subcommands. Each takes the arguments after its own name and
// returns the exit code (cli.h).
#pragma once

int RunDemo(int argc, char** argv);       // demo.cpp
int RunReplay(int argc, char** argv);     // commands.cpp
int RunList(int argc, char** argv);       // commands.cpp
int RunInfo(int argc, char** argv);       // commands.cpp
int RunComposite(int argc, char** argv);  // commands.cpp
