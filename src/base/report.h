#pragma once
// The one channel for report lines ("STAT | ", "WARNING| ", "ERROR| ", the
// checker's "CHECK | " and the diagnostics of the graphs). A run owns one and
// hands it to whatever reports; it writes the bytes to standard output as
// they come, or, for a test, keeps them in a string instead.

#include <cstdarg>
#include <string>
#include <vector>

namespace chromasect {

// printf into a string, whatever its length.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list args);

class Reporter {
  public:
    Reporter() = default;
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    // Formats like printf and writes the result as it is (line ends
    // included by the caller, so partial lines such as "\r" progress work).
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes text and a line end.
    void line(const std::string& text);
    // Hands what was written to standard output before an outside program
    // writes there too.
    void flush();

    // From now on keeps everything in a string instead of writing it.
    void capture() { capturing_ = true; }
    // What was kept since capture(), emptied by the call.
    std::string takeCaptured();

    // Sets aside what is written from here on, for output that must come
    // out later in a fixed order; release() returns it and restores the
    // mode (and anything kept) from before hold().
    struct Held {
        bool capturing;
        std::string captured;
    };
    Held hold();
    std::string release(Held before);

    // Every "WARNING| " line written so far, without its line end, in the
    // order it came out (held text counts when it is written after all).
    const std::vector<std::string>& warnings() const { return warnings_; }

  private:
    void write(const char* data, size_t size);
    void keepWarnings(const char* data, size_t size);
    bool capturing_ = false;
    std::string captured_;
    int holds_ = 0;
    std::string line_;  // the line being written, while it may be a warning
    bool lineStart_ = true;
    std::vector<std::string> warnings_;
};

}  // namespace chromasect
