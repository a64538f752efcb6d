#pragma once
// Outside programs run under supervision: in a process group of their own,
// stopped (the whole group killed) when they pass a time limit, so that a
// solver that hangs can never hang the run.

#include <string>

namespace chromasect {

struct ShellResult {
    int status = -1;        // as waitpid gives it; -1 when it could not start
    bool timedOut = false;  // stopped at the limit
};

// Runs `sh -c command` and waits for it, at most `seconds` when that is
// above 0. With `out` the command's standard output is kept there instead
// of written. Safe to call from several threads at once.
ShellResult runSupervised(const std::string& command, double seconds, std::string* out);

// Kills every supervised process group still running, and every one that
// starts from now on (the run is ending). Async-signal-safe: for a signal
// handler that ends the run.
void killSupervised();

// The line a run ended by a signal leaves as its last words (say, what was
// being solved where when the launcher ended it); empty: none. Set from one
// thread at a time; writeStopNote is async-signal-safe.
void setStopNote(const std::string& line);
void writeStopNote();

}  // namespace chromasect
