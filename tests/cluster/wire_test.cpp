// The form problems and answers travel in between processes: what arrives
// is what was sent, bit for bit, and a damaged message is refused, never
// read past its end.

#include "cluster/wire.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace chromasect;

TEST(Wire, ProblemsAndAnswersArriveAsSentAndDamageIsRefused) {
    std::mt19937 rng(5);
    for (int round = 0; round < 50; ++round) {
        ColoringProblem p;
        p.n = static_cast<int>(rng() % 40);
        p.masks = 2 + static_cast<int>(rng() % 3);
        std::set<std::pair<int, int> > conflicts, stitches;
        for (int k = 0; k < p.n * 2; ++k) {
            // -1: a rail in another graph, as the run hands them on.
            const int a = static_cast<int>(rng() % (p.n + 1)) - 1;
            const int b = static_cast<int>(rng() % (p.n + 1)) - 1;
            (rng() % 4 ? conflicts : stitches).insert({a, b});
        }
        p.conflicts = conflicts;
        p.stitches = stitches;
        p.alpha = std::uniform_real_distribution<double>(0, 1)(rng);
        if (rng() % 2)
            for (int v = 0; v < p.n; ++v) p.densities.push_back(rng() / 7.0);
        if (rng() % 2)
            for (int v = 0; v < p.n; ++v) p.fixed.push_back(static_cast<int>(rng() % 5) - 1);
        EngineResult e;
        e.engine = static_cast<Engine>(rng() % 5);
        for (int v = 0; v < p.n; ++v) e.colors.push_back(static_cast<int>(rng() % 4));
        e.output = round % 3 ? "WARNING| a line\n" : "";
        e.unanswered = rng() % 2;
        e.proven = rng() % 2;
        e.cost = rng() / 3.0;
        e.lowerBound = -0.1 * round;
        e.variables = static_cast<int>(rng() % 1000);

        wire::Writer w;
        wire::putProblem(w, p);
        wire::putResult(w, e);
        const std::string bytes = w.bytes();
        wire::Reader r(bytes);
        const ColoringProblem q = wire::getProblem(r);
        const EngineResult f = wire::getResult(r);
        EXPECT_TRUE(r.done());
        EXPECT_EQ(q.n, p.n);
        EXPECT_EQ(q.masks, p.masks);
        EXPECT_TRUE(q.conflicts == p.conflicts && q.stitches == p.stitches);
        EXPECT_EQ(q.alpha, p.alpha);
        EXPECT_EQ(q.densities, p.densities);
        EXPECT_EQ(q.fixed, p.fixed);
        EXPECT_EQ(f.engine, e.engine);
        EXPECT_EQ(f.colors, e.colors);
        EXPECT_EQ(f.output, e.output);
        EXPECT_EQ(f.unanswered, e.unanswered);
        EXPECT_EQ(f.proven, e.proven);
        EXPECT_EQ(f.cost, e.cost);
        EXPECT_EQ(f.lowerBound, e.lowerBound);
        EXPECT_EQ(f.variables, e.variables);

        // Every message cut short, and every single byte changed, is
        // either refused or read within its bounds.
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            const std::string part = bytes.substr(0, cut);
            EXPECT_THROW(
                {
                    wire::Reader s(part);
                    wire::getProblem(s);
                    wire::getResult(s);
                },
                wire::WireError)
                << "cut at " << cut;
        }
        std::string damaged = bytes;
        for (size_t at = 0; at < damaged.size(); ++at) {
            damaged[at] = static_cast<char>(damaged[at] ^ (1 + rng() % 255));
            try {
                wire::Reader s(damaged);
                wire::getProblem(s);
                wire::getResult(s);
            } catch (const wire::WireError&) {
            }
            damaged[at] = bytes[at];
        }
    }
}

}  // namespace
