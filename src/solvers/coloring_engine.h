#pragma once
// The one seam between the run and its colouring engines: an engine readies
// a solver directory once, colours one problem at a time in such a
// directory, and cleans up after itself. Each engine owns its settings and
// turns its own answer into the common result; the run never looks inside.

#include <memory>
#include <string>
#include <vector>

#include "design/design.h"
#include "solvers/problem.h"
#include "solvers/tabu.h"

namespace chromasect {

// One problem's colouring and what the run tallies of it.
struct EngineResult {
    Engine engine = Engine::None;  // the engine that coloured it
    std::vector<int> colors;       // one mask per vertex
    std::string output;            // report text, in the order it arose
    bool unanswered = false;       // coloured without a usable answer of its solver
    // The engine's own count of the cost (counted), else the run counts it.
    bool counted = false;
    double cost = 0.0;
    double startCost = 0.0;
    // A lower bound of the cost where the engine knows one (proven: the cost
    // reached it).
    bool hasLowerBound = false;
    double lowerBound = 0.0;
    bool proven = false;
    int variables = 0;  // variable groups of a written program
};

class ColoringEngine {
  public:
    virtual ~ColoringEngine() = default;
    // Readies a solver directory, once, before any solve in it.
    virtual void prepare(const std::string& /*dir*/) const {}
    // Colours p with its working files in dir; safe on many threads at once,
    // each in its own directory. It writes into `result` as it goes, so that
    // what it reported before a fatal condition is kept.
    virtual void solve(const ColoringProblem& p, const std::string& dir,
                       EngineResult& result) const = 0;
    // Removes what the solves left in dir.
    virtual void cleanUp(const std::string& /*dir*/) const {}
};

// CSDP on the vector relaxation, rounded; a graph too large for the solver's
// memory goes to the tabu engine with a warning.
class SdpEngine : public ColoringEngine {
  public:
    struct Settings {
        bool secondStage = false;  // second-stage rounding
        double seconds = 0.0;      // limit of each solve (0: none)
        double memoryMB = 0.0;     // memory the solver may use (0: any)
        double tabuSeconds = 0.0;  // limit of the tabu engine taking a graph instead
        // The directory whose "param.csdp" (CSDP's settings) every prepared
        // directory gets.
        std::string settingsDir = ".";
    };
    explicit SdpEngine(Settings s) : s_(std::move(s)) {}
    void prepare(const std::string& dir) const override;
    void solve(const ColoringProblem& p, const std::string& dir,
               EngineResult& result) const override;
    void cleanUp(const std::string& dir) const override;

  private:
    Settings s_;
};

// The two-bit 0-1 program, solved by the ILP solver script.
class IlpEngine : public ColoringEngine {
  public:
    struct Settings {
        std::string script;  // the solver script; empty: none found, a solve ends the run
        bool quiet = true;   // keep only the script's summary line
        double seconds = 0.0;
    };
    explicit IlpEngine(Settings s) : s_(std::move(s)) {}
    void solve(const ColoringProblem& p, const std::string& dir,
               EngineResult& result) const override;
    void cleanUp(const std::string& dir) const override;

  private:
    Settings s_;
};

class TabuEngine : public ColoringEngine {
  public:
    explicit TabuEngine(double seconds) { options_.seconds = seconds; }
    void solve(const ColoringProblem& p, const std::string& dir,
               EngineResult& result) const override;

  private:
    TabuOptions options_;
};

// CBC on the one-hot program, started from the tabu colouring.
class ExactEngine : public ColoringEngine {
  public:
    explicit ExactEngine(double seconds) : seconds_(seconds) {}
    void solve(const ColoringProblem& p, const std::string& dir,
               EngineResult& result) const override;

  private:
    double seconds_;
};

}  // namespace chromasect
