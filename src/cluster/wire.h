#pragma once
// What goes between the processes of a run: problems out, colourings back,
// in a compact binary form that starts with a version byte. Integers are
// varints (zigzag where they may be negative), pairs are delta-coded in
// their sorted order, reals travel as their eight bytes, so an answer
// arrives bit for bit as it was made.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "solvers/coloring_engine.h"
#include "solvers/problem.h"

namespace chromasect {
namespace wire {

constexpr unsigned char kVersion = 2;  // 2: problems carry fixed masks

// Message kinds, also the MPI tags.
enum Tag : int { kHello = 1, kJobs = 2, kAnswers = 3, kHeartbeat = 4, kStop = 5 };

// A message that cannot be read: cut short, a bad varint, another version.
class WireError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Writer {
  public:
    explicit Writer(unsigned char version = kVersion) { bytes_.push_back(char(version)); }
    void u(uint64_t v);
    void s(int64_t v) { u((static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63)); }
    void real(double v);
    void text(const std::string& t);
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

class Reader {
  public:
    // Throws WireError unless the message starts with kVersion.
    explicit Reader(const std::string& bytes);
    uint64_t u();
    int64_t s() {
        const uint64_t v = u();
        return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
    }
    // A count of things of at least `least` bytes each that the rest holds.
    size_t count(size_t least = 1);
    double real();
    std::string text();
    bool done() const { return at_ == bytes_.size(); }

  private:
    const std::string& bytes_;
    size_t at_ = 0;
};

void putProblem(Writer& w, const ColoringProblem& p);
ColoringProblem getProblem(Reader& r);
void putResult(Writer& w, const EngineResult& e);
EngineResult getResult(Reader& r);

// What a worker needs to build the run's engine as rank 0 did: the command
// line, rank 0's SDP memory limit (fallbacks depend on it) and CSDP's
// settings file ("param.csdp"), since no file system is shared.
struct Greeting {
    std::vector<std::string> args;
    double sdpMemoryMB = 0.0;
    bool hasCsdpSettings = false;
    std::string csdpSettings;
};
std::string encodeGreeting(const Greeting& g);
Greeting decodeGreeting(const std::string& bytes);

}  // namespace wire
}  // namespace chromasect
