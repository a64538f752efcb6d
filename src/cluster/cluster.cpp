#include "cluster/cluster.h"

#include <mpi.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <thread>

#include "base/fatal.h"
#include "base/report.h"
#include "base/supervise.h"

namespace chromasect {

namespace {

using Clock = std::chrono::steady_clock;

// A batch holds graphs up to about this many vertices and pairs (at least
// one graph) and at most a share of those left, so that small graphs travel
// many to a message.
constexpr size_t kBatchWeight = 20000;
constexpr size_t kBatchGraphs = 64;
// Batches a rank holds at once: one solving, one waiting.
constexpr size_t kBatchesPerRank = 2;
// A worker says it is alive this often, and one holding work that says
// nothing for kSilence is taken as lost (a launcher that does not end the
// run when a rank dies would otherwise leave it waiting for ever).
constexpr double kHeartbeatSeconds = 1.0;
constexpr double kSilenceSeconds = 60.0;

bool startedByLauncher() {
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
        if (std::getenv(name)) return true;
    return false;
}

void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A message being sent, kept until MPI is done with its bytes.
struct Outgoing {
    std::string bytes;
    MPI_Request request = MPI_REQUEST_NULL;
};

void post(std::list<Outgoing>& out, std::string bytes, int to, int tag) {
    out.emplace_back();
    Outgoing& o = out.back();
    o.bytes = std::move(bytes);
    MPI_Isend(o.bytes.data(), static_cast<int>(o.bytes.size()), MPI_BYTE, to, tag, MPI_COMM_WORLD,
              &o.request);
}

// Forgets the sends that are done; false when MPI reports one failed.
bool reap(std::list<Outgoing>& out) {
    for (auto it = out.begin(); it != out.end();) {
        int done = 0;
        if (MPI_Test(&it->request, &done, MPI_STATUS_IGNORE) != MPI_SUCCESS) return false;
        it = done ? out.erase(it) : std::next(it);
    }
    return true;
}

// The message waiting from `from` (any rank: MPI_ANY_SOURCE), if any.
bool receive(int from, std::string& bytes, MPI_Status& status, bool& failed) {
    int waiting = 0;
    if (MPI_Iprobe(from, MPI_ANY_TAG, MPI_COMM_WORLD, &waiting, &status) != MPI_SUCCESS) {
        failed = true;
        return false;
    }
    if (!waiting) return false;
    int size = 0;
    MPI_Get_count(&status, MPI_BYTE, &size);
    bytes.assign(static_cast<size_t>(size), '\0');
    if (MPI_Recv(&bytes[0], size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE) != MPI_SUCCESS)
        failed = true;
    return !failed;
}

// The status and line of a failure met while solving.
void describe(const std::exception_ptr& failure, int& status, std::string& message) {
    try {
        std::rethrow_exception(failure);
    } catch (const FatalError& e) {
        status = e.status();
        message = e.message();
    } catch (const std::bad_alloc&) {
        status = kExitInternal;
        message = "ERROR| out of memory";
    } catch (const std::exception& e) {
        status = kExitInternal;
        message = std::string("ERROR| ") + e.what();
    } catch (...) {
        status = kExitInternal;
        message = "ERROR| an unknown failure";
    }
}

std::string withoutTag(const std::string& line) {
    const size_t bar = line.find("| ");
    return bar != std::string::npos && bar <= 8 ? line.substr(bar + 2) : line;
}

}  // namespace

// Rank 0's side: its own threads and the other ranks take jobs from one
// queue, largest first.
class Cluster::Farm : public JobFarm {
  public:
    explicit Farm(int size) : size_(size) {}

    void solve(const std::vector<EngineJob*>& jobs, const std::vector<int>& graphs, int threads,
               const std::function<void(EngineJob&, size_t)>& solveHere,
               const std::function<void()>& finished) override;

    void setGreeting(wire::Greeting g) { greeting_ = std::move(g); }
    void tally(RunStats& stats) const {
        stats.graphsSent = graphsSent_;
        stats.bytesSent = bytesSent_;
        stats.bytesReceived = bytesReceived_;
        stats.workerPeakRssKB = workerPeakRssKB_;
    }
    bool lost() const { return lost_; }
    // Tells every worker to stop and waits until they have the message.
    void stopWorkers();

  private:
    struct Batch {
        uint64_t id;
        std::vector<size_t> positions;
    };
    // The ranks holding work and their first graphs, for messages.
    std::string holders(const std::vector<int>& graphs) const;
    void noteWork(const std::vector<int>& graphs);
    [[noreturn]] void lose(const std::string& line);

    const int size_;
    wire::Greeting greeting_;
    bool greeted_ = false, lost_ = false;
    std::list<Outgoing> out_;
    std::vector<std::deque<Batch> > held_;  // per rank, oldest first
    long long graphsSent_ = 0, bytesSent_ = 0, bytesReceived_ = 0;
    long workerPeakRssKB_ = 0;
};

std::string Cluster::Farm::holders(const std::vector<int>& graphs) const {
    std::string line;
    for (int r = 1; r < size_; ++r) {
        if (held_[r].empty()) continue;
        line += line.empty() ? "" : ", ";
        line += "rank " + std::to_string(r) + " (graph";
        const std::vector<size_t>& first = held_[r].front().positions;
        for (size_t k = 0; k < first.size() && k < 3; ++k)
            line += (k ? ", " : " ") + std::to_string(graphs[first[k]]);
        line += first.size() > 3 ? ", ...)" : ")";
    }
    return line;
}

void Cluster::Farm::noteWork(const std::vector<int>& graphs) {
    // Said if the launcher ends the run, as it does when a rank dies.
    const std::string line = holders(graphs);
    setStopNote(line.empty() ? line
                             : "ERROR| the run was ended while " + line +
                                   " solved: a rank died, or the job was cancelled");
}

void Cluster::Farm::lose(const std::string& line) {
    lost_ = true;
    setStopNote("");
    fatal(kExitInternal, line);
}

void Cluster::Farm::solve(const std::vector<EngineJob*>& jobs, const std::vector<int>& graphs,
                          int threads, const std::function<void(EngineJob&, size_t)>& solveHere,
                          const std::function<void()>& finished) {
    if (jobs.empty()) return;
    if (!greeted_) {
        const std::string hello = wire::encodeGreeting(greeting_);
        for (int r = 1; r < size_; ++r) post(out_, hello, r, wire::kHello);
        greeted_ = true;
    }
    held_.assign(size_, std::deque<Batch>());
    std::atomic<size_t> next(0);
    std::atomic<bool> quit(false);
    std::atomic<size_t> answered(0);
    std::vector<std::thread> pool;
    for (int w = 0; w < threads; ++w)
        pool.emplace_back([&, w]() {
            for (size_t k; !quit && (k = next++) < jobs.size();) {
                solveHere(*jobs[k], static_cast<size_t>(w));
                finished();
                ++answered;
            }
        });
    auto join = [&]() {
        quit = true;
        for (std::thread& t : pool) t.join();
        pool.clear();
    };
    std::vector<Clock::time_point> heard(size_, Clock::now());
    uint64_t batches = 0;
    std::string bytes;
    try {
        while (answered < jobs.size()) {
            bool busy = false;
            for (int r = 1; r < size_; ++r) {
                while (held_[r].size() < kBatchesPerRank && next < jobs.size()) {
                    Batch b{++batches, {}};
                    wire::Writer w;
                    w.u(b.id);
                    std::string body;
                    // Guided: a share of what is left that shrinks as it
                    // goes, so that no process ends long after the others.
                    const size_t left = jobs.size() - std::min<size_t>(next, jobs.size());
                    const size_t share = std::min<size_t>(
                        kBatchGraphs,
                        std::max<size_t>(1, left / (2 * static_cast<size_t>(size_) * threads)));
                    size_t weight = 0;
                    while (weight < kBatchWeight && b.positions.size() < share) {
                        const size_t k = next++;
                        if (k >= jobs.size()) break;
                        const ColoringProblem& p = jobs[k]->problem;
                        b.positions.push_back(k);
                        weight += static_cast<size_t>(p.n) + p.conflicts.size() + p.stitches.size();
                    }
                    if (b.positions.empty()) break;
                    w.u(b.positions.size());
                    for (size_t k : b.positions) {
                        w.u(k);
                        putProblem(w, jobs[k]->problem);
                    }
                    graphsSent_ += static_cast<long long>(b.positions.size());
                    bytesSent_ += static_cast<long long>(w.bytes().size());
                    post(out_, w.bytes(), r, wire::kJobs);
                    if (held_[r].empty()) heard[r] = Clock::now();
                    held_[r].push_back(std::move(b));
                    noteWork(graphs);
                    busy = true;
                }
            }
            MPI_Status status;
            bool failed = false;
            if (receive(MPI_ANY_SOURCE, bytes, status, failed)) {
                busy = true;
                const int r = status.MPI_SOURCE;
                heard[r] = Clock::now();
                bytesReceived_ += static_cast<long long>(bytes.size());
                if (status.MPI_TAG == wire::kAnswers) {
                    const std::string where = "rank " + std::to_string(r);
                    try {
                        wire::Reader in(bytes);
                        const uint64_t id = in.u();
                        workerPeakRssKB_ = std::max(workerPeakRssKB_, static_cast<long>(in.u()));
                        if (held_[r].empty() || held_[r].front().id != id)
                            throw wire::WireError("answers to a batch it was not given");
                        for (size_t k : held_[r].front().positions) {
                            if (in.u() != k) throw wire::WireError("answers out of order");
                            EngineJob& job = *jobs[k];
                            job.result = wire::getResult(in);
                            job.solveSeconds = in.real();
                            if (in.u() != 0) {
                                const int code = static_cast<int>(in.u());
                                const std::string line = in.text();
                                job.failure = std::make_exception_ptr(FatalError(
                                    code, "ERROR| " + where + ", graph " +
                                              std::to_string(graphs[k]) + ": " + withoutTag(line)));
                            }
                            finished();
                            ++answered;
                        }
                        if (!in.done()) throw wire::WireError("answers too long");
                    } catch (const wire::WireError& e) {
                        const std::string of =
                            held_[r].empty()
                                ? "no graph it was given"
                                : "graph " + std::to_string(graphs[held_[r].front().positions[0]]);
                        lose("ERROR| " + where + " sent answers that cannot be read (" + e.what() +
                             ") for " + of);
                    }
                    held_[r].pop_front();
                    noteWork(graphs);
                }
            }
            if (failed || !reap(out_))
                lose("ERROR| lost the connection while " + holders(graphs) + " solved");
            const Clock::time_point now = Clock::now();
            for (int r = 1; r < size_; ++r)
                if (!held_[r].empty() &&
                    std::chrono::duration<double>(now - heard[r]).count() > kSilenceSeconds)
                    lose("ERROR| rank " + std::to_string(r) +
                         " stopped answering while it solved graph " +
                         std::to_string(graphs[held_[r].front().positions[0]]));
            if (!busy) pause();
        }
    } catch (...) {
        join();
        throw;
    }
    join();
    setStopNote("");
}

void Cluster::Farm::stopWorkers() {
    for (int r = 1; r < size_; ++r) post(out_, wire::Writer().bytes(), r, wire::kStop);
    while (!out_.empty())
        if (!reap(out_))
            return;
        else
            pause();
}

Cluster::Cluster(int* argc, char*** argv) {
    if (!startedByLauncher()) return;
    int provided = 0;
    MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
    started_ = true;
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    if (rank_ == 0 && size_ > 1) farm_ = std::make_unique<Farm>(size_);
}

Cluster::~Cluster() {
    finish(kExitInternal);
}

void Cluster::tally(RunStats& stats) const {
    stats.processes = size_;
    if (farm_) farm_->tally(stats);
}

JobFarm* Cluster::farm() {
    return farm_.get();
}

void Cluster::setGreeting(wire::Greeting g) {
    if (farm_) farm_->setGreeting(std::move(g));
}

void Cluster::finish(int status) {
    if (!started_ || finished_) return;
    finished_ = true;
    if (farm_ && farm_->lost()) {
        std::fflush(nullptr);
        MPI_Abort(MPI_COMM_WORLD, status & 0xff ? status & 0xff : 1);
    }
    if (farm_) farm_->stopWorkers();
    MPI_Finalize();
}

int Cluster::serve(const std::function<WorkerSetup(const wire::Greeting&)>& setUp) {
    struct Task {
        uint64_t batch;
        size_t position;
        EngineJob job;
    };
    struct Answers {
        uint64_t id;
        size_t left;
        std::vector<Task*> tasks;
    };
    WorkerSetup setup;
    std::exception_ptr setupFailure;
    std::deque<std::unique_ptr<Task> > all;  // every task of the batches held
    std::deque<Task*> queue;
    std::deque<Answers> batches;
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    std::vector<std::thread> pool;
    auto work = [&](size_t w) {
        std::unique_lock<std::mutex> hold(lock);
        while (true) {
            wake.wait(hold, [&]() { return stopping || !queue.empty(); });
            if (stopping) return;
            Task* t = queue.front();
            queue.pop_front();
            hold.unlock();
            if (setupFailure) {
                t->job.failure = setupFailure;
            } else {
                t->job.dir = setup.dirs[w];
                SolveEngineJob(t->job, *setup.engine);
            }
            hold.lock();
            for (Answers& a : batches)
                if (a.id == t->batch) --a.left;
        }
    };
    std::list<Outgoing> out;
    Clock::time_point beat = Clock::now();
    std::string bytes;
    int status = 0;
    while (true) {
        MPI_Status st;
        bool failed = false;
        bool busy = false;
        if (receive(0, bytes, st, failed)) {
            busy = true;
            if (st.MPI_TAG == wire::kStop) break;
            try {
                if (st.MPI_TAG == wire::kHello) {
                    const wire::Greeting greeting = wire::decodeGreeting(bytes);
                    try {
                        setup = setUp(greeting);
                    } catch (...) {
                        setupFailure = std::current_exception();
                    }
                    const size_t threads = setup.dirs.empty() ? 1 : setup.dirs.size();
                    for (size_t w = 0; w < threads; ++w) pool.emplace_back(work, w);
                } else if (st.MPI_TAG == wire::kJobs) {
                    wire::Reader in(bytes);
                    Answers a{in.u(), 0, {}};
                    const size_t n = in.count();
                    for (size_t i = 0; i < n; ++i) {
                        auto t = std::make_unique<Task>();
                        t->batch = a.id;
                        t->position = static_cast<size_t>(in.u());
                        t->job.problem = wire::getProblem(in);
                        a.tasks.push_back(t.get());
                        all.push_back(std::move(t));
                    }
                    a.left = a.tasks.size();
                    std::lock_guard<std::mutex> hold(lock);
                    for (Task* t : a.tasks) queue.push_back(t);
                    batches.push_back(std::move(a));
                    wake.notify_all();
                }
            } catch (const wire::WireError&) {
                status = kExitInternal;  // rank 0 sent what cannot be read: it is gone
                break;
            }
        }
        if (failed) {
            status = kExitInternal;
            break;
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            while (!batches.empty() && batches.front().left == 0) {
                Answers& a = batches.front();
                wire::Writer w;
                w.u(a.id);
                struct rusage use;
                getrusage(RUSAGE_SELF, &use);
                w.u(static_cast<uint64_t>(use.ru_maxrss));
                for (Task* t : a.tasks) {
                    w.u(t->position);
                    wire::putResult(w, t->job.result);
                    w.real(t->job.solveSeconds);
                    if (t->job.failure) {
                        int code = 0;
                        std::string line;
                        describe(t->job.failure, code, line);
                        w.u(1);
                        w.u(static_cast<uint64_t>(code));
                        w.text(line);
                    } else {
                        w.u(0);
                    }
                }
                post(out, w.bytes(), 0, wire::kAnswers);
                while (!all.empty() && all.front()->batch == a.id) all.pop_front();
                batches.pop_front();
                busy = true;
            }
        }
        const Clock::time_point now = Clock::now();
        if (std::chrono::duration<double>(now - beat).count() > kHeartbeatSeconds) {
            post(out, wire::Writer().bytes(), 0, wire::kHeartbeat);
            beat = now;
        }
        if (!reap(out)) {
            status = kExitInternal;
            break;
        }
        if (!busy) pause();
    }
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        wake.notify_all();
    }
    for (std::thread& t : pool) t.join();
    if (status == 0)
        while (!out.empty() && reap(out)) pause();
    return status;
}

}  // namespace chromasect
