#pragma once
// The machine-readable run report ("-report FILE.json"), the version text
// ("--version") and the clock that times the stages for the report.

#include <chrono>
#include <string>
#include <vector>

#include "design/design.h"

namespace chromasect {

// The tool's version, as the banner shows it.
extern const char* const kVersion;

// "Chromasect 2.0" and one line per outside solver: what was found and its
// version, or that it was not found.
std::vector<std::string> versionLines();

// Times the stages: each call of stage() records the wall and processor time
// since the previous call (or since construction) under a name, with the
// peak resident memory so far, in d.stats.
class StageClock {
  public:
    explicit StageClock(MPLDesign& d);
    // The stage begins: shown on standard error when progress is shown.
    void start(const char* name);
    // The stage ends, having made what `made` says ("" for nothing to say):
    // recorded for the report, and shown.
    void stage(const char* name, const std::string& made = std::string());

  private:
    // With "-progress 1", or when standard error is a terminal.
    bool shown() const;
    MPLDesign& d_;
    std::chrono::steady_clock::time_point begin_, wall_;
    double cpu_;
};

// SHA-256 of the file's bytes as 64 hex digits, and its size; false when it
// cannot be read.
bool fileSha256(const std::string& path, std::string& hex, long long& size);

// How the run ended, for the report.
struct RunEnd {
    std::vector<std::string> commandLine;  // the arguments, program name first
    int status = 0;                        // the process exit status (0 to 255)
    std::string error;                     // the fatal message; empty when none
    bool resultReached = false;            // the result line was printed
};

// Writes the report of d to d.reportFile whole or not at all: into a new
// file beside it, then renamed over it. A failure throws FatalError.
void writeRunReport(const MPLDesign& d, const RunEnd& end);

// The error line when the report could not be written at the end (its
// directory missing or not writable), so that the run can stop before it
// spends its time; empty when it can.
std::string reportTargetProblem(const std::string& path);

}  // namespace chromasect
