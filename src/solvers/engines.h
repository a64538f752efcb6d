#pragma once
// The colouring engines that go through outside solvers, as functions of one
// graph's problem. Each exchanges with its solver exactly the working files
// named in csdp.h and below, in the directory it is given.

#include <string>
#include <vector>

#include "solvers/problem.h"

namespace chromasect {

// The SDP relaxation of p in the SDPA sparse format (the density-balanced
// form when p.densities is set): upper-triangle entries only, every unordered
// pair once.
void writeSdpProblem(const ColoringProblem& p, const char* fileName);

struct SdpResult {
    std::vector<int> colors;            // one mask per vertex
    std::vector<std::string> warnings;  // "WARNING| " lines, with line ends, in order
    bool unanswered = false;            // coloured without a usable answer of the solver
};

// The SDP engine: writes "Input.csdp", has CSDP solve it, reads the matrix
// and rounds it into one mask per vertex (with the second-stage rounding when
// secondStage is set). A solver that gave no answer rounds an all-zero
// matrix, with a warning.
// The working files go to dir.
// A solve that passes `seconds` (when above 0) is stopped and the graph
// rounded as one without an answer, with a warning; so is one whose solver
// failed (Csdp::FailureOf) or whose answer is unfit to round (see
// Csdp::ReadVectors).
SdpResult solveSdp(const ColoringProblem& p, bool secondStage, const std::string& dir = ".",
                   double seconds = 0.0);

// CSDP's memory for p in MB, roughly: its Schur complement (constraints
// squared) dominates, with the dense vertex block and its copies beside it.
double sdpMemoryEstimateMB(const ColoringProblem& p);

// The colouring of a graph the solver gave no answer for: an all-zero
// matrix rounded (first stage only when secondStage is not set).
std::vector<int> colorsWithoutAnswer(const ColoringProblem& p, bool secondStage);

// The ILP engine's warning for a mask count its two bits do not serve
// (with its line end); empty for 3 and 4 masks.
std::string unsupportedIlpMasksNote(int masks);

// One variable group of the ILP, in writing order (kind 1..8, see the writer).
struct ILPVariable {
    int kind;
    int index1;
    int index2;
    int index3;
};

// The two-bit 0-1 program of p in LP text format; vars gets one record per
// variable group. relax leaves out the Binaries section.
void writeIlpProblem(const ColoringProblem& p, const char* fileName, std::vector<ILPVariable>* vars,
                     bool relax);

// The two colour bits of each vertex from "problem.sol"; -1 where the
// answer names no value for that bit. A missing file ends the run.
struct IlpBits {
    std::vector<int> high, low;
};
IlpBits readIlpSolution(int n, const std::string& dir = ".");

struct IlpResult {
    IlpBits bits;
    int variables = 0;      // variable groups of the program
    std::string output;     // what the solver script printed, for the caller to report
    bool answered = false;  // false: the script left no "problem.sol"
    bool stopped = false;   // the script passed its time limit and was stopped
    // What makes the answer unfit to use (see checkIlpSolution); empty when
    // nothing does.
    std::string fault;
};

// The first thing that makes the answer "problem.sol" in dir unfit for a
// graph of n vertices on `masks` masks, empty when nothing does: a value
// that is not a number, is fractional or is not 0 or 1, a vertex bit outside
// the graph, a vertex without both bits, or a code the masks do not have.
std::string checkIlpSolution(int n, int masks, const std::string& dir = ".");

// The ILP engine: writes "ILP.lp", runs the solver script (the shell word
// `script`, see findIlpSolverScript; its output filtered to the summary line
// when quiet; kept in the result) and reads the answer back. Without an
// answer file the result says so; the caller decides. An answer file that
// is unfit is named in `fault`, and `bits` is then not to be used.
IlpResult solveIlp(const ColoringProblem& p, const std::string& script, bool quiet,
                   const std::string& dir = ".", double seconds = 0.0);

}  // namespace chromasect
