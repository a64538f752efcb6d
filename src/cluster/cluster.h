#pragma once
// A run over MPI processes. Rank 0 runs every stage and hands the engine
// work out: to its own threads and, a batch at a time, to the other ranks,
// which solve with their own threads in their own solver directories and
// send the answers back by position, so the run applies them in graph order
// as if it had solved them all itself. A process not started by an MPI
// launcher never touches MPI and is the whole run.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cluster/wire.h"
#include "design/run_stats.h"
#include "solvers/solvers.h"

namespace chromasect {

// What a worker rank solves with, built from rank 0's greeting: the engine,
// one solver directory per thread, and whatever keeps those alive.
struct WorkerSetup {
    std::unique_ptr<ColoringEngine> engine;
    std::vector<std::string> dirs;
    std::shared_ptr<void> keep;
};

class Cluster {
  public:
    // Starts MPI when an MPI launcher started the process.
    Cluster(int* argc, char*** argv);
    ~Cluster();
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }
    // Rank 0 of several: the farm that shares the engine work; null otherwise.
    JobFarm* farm();
    // Rank 0: what the workers build their engines from, sent to them with
    // the first jobs.
    void setGreeting(wire::Greeting g);
    // Rank 0, at the end: stops the workers and ends MPI; after a lost rank,
    // ends every process with `status` instead, since MPI cannot end
    // cleanly without it.
    void finish(int status);
    // Rank 0: the process count and the traffic so far, into the run's stats.
    void tally(RunStats& stats) const;
    // A worker rank: solves what rank 0 sends until it says stop; the exit
    // status.
    int serve(const std::function<WorkerSetup(const wire::Greeting&)>& setUp);

  private:
    class Farm;
    int rank_ = 0, size_ = 1;
    bool started_ = false, finished_ = false;
    std::unique_ptr<Farm> farm_;
};

}  // namespace chromasect
