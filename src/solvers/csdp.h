#pragma once
// Runs the outside SDP solver on a problem file and reads its answer back.
// Working files live in the directory each call is given, under fixed names:
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
    // *failure (when given) gets what went wrong when the solver died by a
    // signal or ended with a status that leaves no usable answer (see
    // FailureOf; the extraction is then skipped); empty otherwise.
    static bool ReadFileAndSolve(const char* problemFile, const char* solutionFile, bool toLog,
                                 const std::string& dir = ".", double seconds = 0.0,
                                 std::string* failure = nullptr);

    // What a solver run with this wait status did wrong, as words that follow
    // "the SDP solver" ("was killed by signal 9"); empty when its answer is
    // worth reading: statuses 0 (solved), 3 (reduced accuracy), 4 (iteration
    // limit: the last iterate, what a user's "param.csdp" may ask for), 5 and
    // 6 (near-optimal at the edge of feasibility). Every other status is one
    // CSDP gives for an infeasible, singular, NaN-filled or unread problem.
    static std::string FailureOf(int waitStatus);

    // Fills matrix with the n x n primal matrix read from the extraction file:
    // a count N, then N lines "matrix block row column value". Block-1 entries
    // with row and column in 1..n are stored in both mirror cells; everything
    // else stays 0. False when the solver gave no answer (a missing file or
    // a count of 0); the caller reports it.
    // *fault (when given) gets the first thing that makes the answer unfit
    // to round, empty when there is none: a line that cannot be read, a
    // value that is not finite or lies outside [-1, 1] (the matrix has a
    // unit diagonal and is positive semidefinite, so no entry can; a little
    // slack is left for the solver's tolerance), an entry outside block 1
    // or the n vertices, or a vertex without its diagonal entry (never 0,
    // so always written).
    static bool ReadVectors(const char* fileName, std::vector<std::vector<double> >& matrix, int n,
                            std::string* fault = nullptr);

    // Removes every working file; the result is the status of the last removal.
    static int csdpClean(const std::string& dir = ".");

    // The command that starts the solver: "./csdp" when the working directory
    // holds an executable of that name, else "csdp" when one is on the PATH;
    // empty when there is neither.
    static std::string solverCommand();
};
