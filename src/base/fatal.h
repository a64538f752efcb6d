#pragma once
// A fatal condition of a run: the one message line to print and the exit
// status to end with. It is thrown where the condition is met and turned into
// output and status by the entry point only, so tests can check both without
// losing the test process.

#include <stdexcept>
#include <string>

namespace chromasect {

// Exit status of command-line and input-file failures.
constexpr int kExitUsage = 1;
// Exit status of internal inconsistencies (the process returns 255).
constexpr int kExitInternal = -1;

class FatalError : public std::runtime_error {
  public:
    FatalError(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    // Exit status the process ends with.
    int status() const { return status_; }
    // The message line, without its line end.
    std::string message() const { return what(); }

  private:
    int status_;
};

// A bad command line: the entry point shows the usage after the message.
class UsageError : public FatalError {
  public:
    explicit UsageError(const std::string& message) : FatalError(kExitUsage, message) {}
};

// Throws a FatalError; never returns.
[[noreturn]] inline void fatal(int status, const std::string& message) {
    throw FatalError(status, message);
}

}  // namespace chromasect
