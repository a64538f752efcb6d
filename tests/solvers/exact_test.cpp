#include "solvers/exact.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "base/params.h"
#include "solvers/coloring_engine.h"
#include "solvers/ilp.h"
#include "solvers/solvers.h"
#include "support/test_support.h"

namespace {

using chromasect::colouringCost;
using chromasect::ExactProblem;
using chromasect::ExactResult;
using chromasect::solveExact;
using namespace chromasect;

// Minimum cost over every colouring (k^n of them) that honours the fixed
// masks.
double bruteForce(const ExactProblem& p) {
    std::vector<int> c(p.n, 0);
    double best = 1e18;
    while (true) {
        bool honours = true;
        for (int v = 0; v < p.n; ++v)
            honours = honours && (p.fixedMask(v) < 0 || c[v] == p.fixedMask(v));
        if (honours) best = std::min(best, colouringCost(p, c));
        int i = 0;
        while (i < p.n && ++c[i] == p.masks) c[i++] = 0;
        if (i == p.n) break;
    }
    return best;
}

void both(ExactProblem& p, int a, int b, bool stitch = false) {
    auto& s = stitch ? p.stitches : p.conflicts;
    s.insert({a, b});
    s.insert({b, a});
}

TEST(ExactEngine, MatchesBruteForceOnHandMadeGraphs) {
    // Odd wheel: hub 0 with rim 1..5 (a 5-cycle) is 4-chromatic: one conflict
    // at least; a stitch pair between rim vertices 1 and 2 adds nothing when
    // a colouring keeps them on one mask.
    ExactProblem wheel;
    wheel.n = 6;
    for (int v = 1; v <= 5; ++v) both(wheel, 0, v);
    for (int v = 1; v <= 5; ++v) both(wheel, v, v % 5 + 1);
    both(wheel, 1, 2, true);
    ExactResult r = solveExact(wheel, std::vector<int>(6, 0), 10);
    EXPECT_TRUE(r.proven);
    EXPECT_DOUBLE_EQ(r.cost, bruteForce(wheel));
    EXPECT_DOUBLE_EQ(r.startCost, colouringCost(wheel, std::vector<int>(6, 0)));

    // K4 plus a pendant: exactly one conflict.
    ExactProblem k4;
    k4.n = 5;
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b) both(k4, a, b);
    both(k4, 3, 4);
    r = solveExact(k4, {0, 1, 2, 0, 0}, 10);
    EXPECT_TRUE(r.proven);
    EXPECT_DOUBLE_EQ(r.cost, 1.0);
    EXPECT_DOUBLE_EQ(bruteForce(k4), 1.0);

    // K7 on three masks: sizes 3, 2, 2 give 3 + 1 + 1 same-mask pairs; the
    // clique bound makes this provable at once.
    ExactProblem k7;
    k7.n = 7;
    for (int a = 0; a < 7; ++a)
        for (int b = a + 1; b < 7; ++b) both(k7, a, b);
    r = solveExact(k7, std::vector<int>(7, 0), 10);
    EXPECT_TRUE(r.proven);
    EXPECT_DOUBLE_EQ(r.cost, 5.0);
    EXPECT_DOUBLE_EQ(bruteForce(k7), 5.0);
}

TEST(ExactEngine, StitchWeightDecidesBetweenColourings) {
    // Vertices 0 and 1 conflict; 2 touches 0 (stitch) and conflicts with 3,
    // which is pinned by conflicts with 0 and 1 to the third mask. Vertex 2
    // can follow 0 (no stitch) only when that mask is free of conflict.
    ExactProblem p;
    p.n = 4;
    both(p, 0, 1);
    both(p, 0, 3);
    both(p, 1, 3);
    both(p, 2, 3);
    both(p, 0, 2, true);
    ExactResult r = solveExact(p, {0, 0, 0, 0}, 10);
    EXPECT_TRUE(r.proven);
    EXPECT_DOUBLE_EQ(r.cost, 0.0);
    EXPECT_EQ(r.colors[2], r.colors[0]);
    // With 2 also in conflict with 0 the stitch is the cheaper violation.
    both(p, 0, 2);
    r = solveExact(p, {0, 0, 0, 0}, 10);
    EXPECT_DOUBLE_EQ(r.cost, 0.1);
    EXPECT_DOUBLE_EQ(r.cost, bruteForce(p));
}

TEST(ExactEngine, SymmetryBreakingKeepsEveryOptimum) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 25; ++trial) {
        ExactProblem p;
        p.n = 4 + trial % 4;
        for (int a = 0; a < p.n; ++a)
            for (int b = a + 1; b < p.n; ++b) {
                unsigned r = rng() % 10;
                if (r < 5)
                    both(p, a, b);
                else if (r == 5)
                    both(p, a, b, true);
            }
        std::vector<int> start(p.n);
        for (int& c : start) c = static_cast<int>(rng() % 3);
        ExactResult with = solveExact(p, start, 10, true);
        ExactResult without = solveExact(p, start, 10, false);
        const double best = bruteForce(p);
        EXPECT_TRUE(with.proven);
        EXPECT_NEAR(with.cost, best, 1e-9) << "trial " << trial;
        EXPECT_NEAR(without.cost, best, 1e-9) << "trial " << trial;
        EXPECT_NEAR(colouringCost(p, with.colors), with.cost, 1e-9);
    }
}

TEST(ExactEngine, TimeLimitKeepsTheStartWhenNothingBetterIsFound) {
    // A dense random graph that no solver proves in a millisecond.
    std::mt19937 rng(3);
    ExactProblem p;
    p.n = 60;
    for (int a = 0; a < p.n; ++a)
        for (int b = a + 1; b < p.n; ++b)
            if (rng() % 4 == 0) both(p, a, b);
    std::vector<int> start(p.n);
    for (int v = 0; v < p.n; ++v) start[v] = v % 3;
    ExactResult r = solveExact(p, start, 0.001);
    EXPECT_FALSE(r.proven);
    EXPECT_LE(r.cost, r.startCost);
    EXPECT_DOUBLE_EQ(colouringCost(p, r.colors), r.cost);
    // Masks out of range in the start are read as mask 0.
    ExactProblem tiny;
    tiny.n = 2;
    both(tiny, 0, 1);
    r = solveExact(tiny, {-1, 7}, 5);
    EXPECT_DOUBLE_EQ(r.startCost, 1.0);
    EXPECT_DOUBLE_EQ(r.cost, 0.0);
    EXPECT_TRUE(r.proven);
}

// CBC 2.10's C interface is not safe for separate models on separate
// threads: solved four at a time without a lock, these graphs came back
// with other graphs' answers. The engine jobs hold a lock over the CBC
// part; on four threads they give exactly the serial answers.
TEST(ExactEngine, JobsOnThreadsMatchTheSerialOnes) {
    std::mt19937 rng(11);
    std::vector<ExactProblem> problems(32);
    for (ExactProblem& p : problems) {
        p.n = 6 + static_cast<int>(rng() % 8);
        for (int a = 0; a < p.n; ++a)
            for (int b = a + 1; b < p.n; ++b) {
                const unsigned r = rng() % 100;
                if (r < 35)
                    both(p, a, b);
                else if (r < 40)
                    both(p, a, b, true);
            }
    }
    auto solveAll = [&](int threads) {
        const chromasect::ExactEngine engine(30);
        std::vector<EngineJob> jobs(problems.size());
        for (size_t i = 0; i < jobs.size(); ++i) {
            jobs[i].engine = Engine::Exact;
            jobs[i].problem = problems[i];
        }
        std::atomic<size_t> next(0);
        auto work = [&]() {
            for (size_t i = next++; i < jobs.size(); i = next++) SolveEngineJob(jobs[i], engine);
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
        for (std::thread& t : pool) t.join();
        return jobs;
    };
    const std::vector<EngineJob> serial = solveAll(1);
    const std::vector<EngineJob> together = solveAll(4);
    for (size_t i = 0; i < problems.size(); ++i) {
        ASSERT_FALSE(together[i].failure) << "graph " << i;
        const chromasect::EngineResult &one = serial[i].result, &many = together[i].result;
        EXPECT_TRUE(one.proven) << "graph " << i;
        EXPECT_EQ(many.colors, one.colors) << "graph " << i;
        EXPECT_EQ(many.cost, one.cost) << "graph " << i;
        EXPECT_EQ(many.lowerBound, one.lowerBound) << "graph " << i;
    }
}

// Every engine, through the run's seam, on two and on four masks, with a
// third of the vertices fixed in half the graphs: tabu and exact reach the
// least cost that honours them, and no engine moves a fixed vertex.
TEST(Masks, EveryEngineColoursWithinTheMasksAndTheExactOnesReachTheLeastCost) {
    testsupport::ScopedWorkDir dir;
    std::mt19937 rng(21);
    for (int masks : {2, 4}) {
        setMaskCount(masks);  // the SDP rounding's class count
        IlpEngine::Settings ilp;
        ilp.script = findIlpSolverScript(testsupport::binaryPath());
        std::vector<std::unique_ptr<ColoringEngine> > engines;
        engines.push_back(std::make_unique<TabuEngine>(0.0));
        engines.push_back(std::make_unique<ExactEngine>(30.0));
        engines.push_back(std::make_unique<SdpEngine>(SdpEngine::Settings()));
        if (masks == 4) engines.push_back(std::make_unique<IlpEngine>(ilp));
        for (const auto& e : engines) e->prepare(dir.path());
        for (int trial = 0; trial < 12; ++trial) {
            ColoringProblem p;
            p.masks = masks;
            p.n = 4 + static_cast<int>(rng() % 4);
            for (int a = 0; a < p.n; ++a)
                for (int b = a + 1; b < p.n; ++b) {
                    const unsigned r = rng() % 10;
                    auto& pairs = r < 6 ? p.conflicts : p.stitches;
                    if (r < 7) {
                        pairs.insert({a, b});
                        pairs.insert({b, a});
                    }
                }
            if (trial % 2)
                for (int v = 0; v < p.n; ++v)
                    p.fixed.push_back(rng() % 3 == 0 ? static_cast<int>(rng() % masks) : -1);
            const double best = bruteForce(p);
            for (const auto& e : engines) {
                EngineResult r;
                e->solve(p, dir.path(), r);
                const std::string what = std::string(engineName(r.engine)) + " on " +
                                         std::to_string(masks) + " masks, trial " +
                                         std::to_string(trial);
                ASSERT_EQ(r.colors.size(), static_cast<size_t>(p.n)) << what;
                for (int v = 0; v < p.n; ++v) {
                    EXPECT_TRUE(r.colors[v] >= 0 && r.colors[v] < masks) << what;
                    if (p.fixedMask(v) >= 0) {
                        EXPECT_EQ(r.colors[v], p.fixedMask(v)) << what;
                    }
                }
                const double cost = colouringCost(p, r.colors);
                EXPECT_GE(cost, best - 1e-9) << what;
                if (r.engine == Engine::Tabu || r.engine == Engine::Exact) {
                    EXPECT_NEAR(cost, best, 1e-9) << what;
                }
            }
        }
        for (const auto& e : engines) e->cleanUp(dir.path());
    }
    resetGlobalParameters();
}

}  // namespace
