#pragma once
// The decomposition checker's whole program (chromasect-check): command line,
// reading, checking and report. Returns the exit status: 0 clean, 1 spacing
// violations or shapes without a mask, 2 when the layout could not be
// checked (bad command line, unreadable or damaged file, nothing to check).

namespace chromasect {
int checkMain(int argc, char** argv);
}  // namespace chromasect
