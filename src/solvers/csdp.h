#pragma once
// Runs the outside SDP solver on a problem file and reads its answer back.
// Working files live in the current directory under fixed names:
// "checkintodigital.pl" (the extraction script), "Input.csdp" (the problem),
// "Output.csdp" (the solver's answer), "Output.perl" (the extracted primal
// entries) and "csdp.log" (the solver's console output).

#include <string>
#include <vector>

class Csdp {
  public:
    // Writes the extraction script unless a file of that name can already be
    // opened (an existing one is used as it is). Ends the run with status 1
    // when the solver or perl cannot be found, so a run never starts a long
    // decomposition that could only be coloured from empty answers.
    static void csdpPrepare(const std::string& dir = ".");

    // Runs the solver on problemFile writing solutionFile (its console output
    // to "csdp.log" when toLog is set), then the extraction script. Earlier
    // answers are removed first, so a failed solve can never hand back the
    // previous graph's matrix. Ends the run with status 1 when the solver or
    // perl cannot be found.
    // dir is the directory of the working files (the solver runs there).
    // With seconds above 0 a solver still running then is stopped, the
    // extraction skipped, and the result is false.
    static bool ReadFileAndSolve(const char* problemFile, const char* solutionFile, bool toLog,
                                 const std::string& dir = ".", double seconds = 0.0);

    // Fills matrix with the n x n primal matrix read from the extraction file:
    // a count N, then N lines "matrix block row column value". Block-1 entries
    // with row and column in 1..n are stored in both mirror cells; everything
    // else stays 0. False when the solver gave no answer (a missing file or
    // a count of 0); the caller reports it.
    // *damaged (when given) tells whether a line could not be read.
    static bool ReadVectors(const char* fileName, std::vector<std::vector<double> >& matrix, int n,
                            bool* damaged = nullptr);

    // Removes every working file; the result is the status of the last removal.
    static int csdpClean(const std::string& dir = ".");

    // The command that starts the solver: "./csdp" when the working directory
    // holds an executable of that name, else "csdp" when one is on the PATH;
    // empty when there is neither.
    static std::string solverCommand();
};
