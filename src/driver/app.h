#pragma once
// The entry point's pieces: banner and usage, the command line, and the
// whole program.

#include "design/design.h"

void printWelcomeV2(chromasect::Reporter& report);
void printUsageV2(chromasect::Reporter& report);

// Fills d from the command line; false when the run must not go on (usage
// shown).
bool parseParameters(Design& d, int argc, char** argv);
bool parseParametersV2(Design& d, int argc, char** argv);

namespace chromasect {
// The whole program: banner, parsing, reading, decomposition and report.
// Returns the exit status; fatal conditions are reported here. With
// quickExit (the program itself, not a test) the process ends at the end of
// the run with that status, its records never freed.
int chromasectMain(int argc, char** argv, bool quickExit = false);
}  // namespace chromasect
