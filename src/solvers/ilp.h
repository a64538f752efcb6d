#pragma once
// Locating and invoking the ILP solver script. The engine itself is
// MPLDesign::GroupILP (driver/design.h).

#include <string>

#include "base/files.h"

namespace chromasect {

// The shell word that runs the ILP solver script: "./rungrb.csh" when the
// working directory holds an executable of that name (a user's own script
// wins), else the rungrb.csh installed in the directory of exePath, quoted
// for the shell. Empty when neither exists or exePath is empty.
std::string findIlpSolverScript(const std::string& exePath);

// The path of the running executable (from /proc/self/exe); empty when the
// system does not tell.
std::string selfExecutablePath();

}  // namespace chromasect
