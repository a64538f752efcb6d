// Times one solve of the SDP engine, step by step, on random layout-like
// graphs: problem writer, solver with the extraction script, the script
// alone, the reader and the rounding, and the whole GroupSDP call.
//
//   bench_sdp_solve [-r REPEATS] [N ...]          timings (default 5 20 80)
//   bench_sdp_solve -w DIR [N ...]                only write DIR/gN.csdp
//
// Runs in a fresh temporary directory (the solver's files have fixed names)
// and needs csdp and perl like a real run. Reports the median of the repeats.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "design/design.h"
#include "solvers/csdp.h"
#include "solvers/rounding.h"
#include "solvers/solvers.h"

namespace {

// Random geometric graph on n points of the unit square: pairs closer than
// r conflict (about four neighbours per vertex); one pair in four among the
// next ring becomes a stitch instead. Every pair in both orders, as the
// decomposition graph hands them over.
void makeGraph(MPLDesign& design, int n, std::vector<mySuperShape*>& dg) {
    std::mt19937 rng(12345u + unsigned(n));
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = u(rng);
        y[i] = u(rng);
    }
    const double r = std::sqrt(4.0 / (3.14159265358979 * n));
    design.conflictSet.clear();
    design.stitchSet.clear();
    dg.clear();
    for (int i = 0; i < n; ++i) dg.push_back(design.superShapePool.make());
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            double d = std::hypot(x[i] - x[j], y[i] - y[j]);
            if (d < r) {
                design.conflictSet.insert({i, j});
                design.conflictSet.insert({j, i});
            } else if (d < 1.3 * r && rng() % 4 == 0) {
                design.stitchSet.insert({i, j});
                design.stitchSet.insert({j, i});
            }
        }
    }
}

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 5;
    std::string writeDir;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-r" && i + 1 < argc)
            repeats = std::max(1, std::atoi(argv[++i]));
        else if (a == "-w" && i + 1 < argc)
            writeDir = std::filesystem::absolute(argv[++i]).string();
        else
            sizes.push_back(std::atoi(a.c_str()));
    }
    if (sizes.empty()) sizes = {5, 20, 80};

    char tmpl[] = "/tmp/chromasect-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(tmpl);

    MPLDesign design;
    std::vector<mySuperShape*> dg;
    int status = 0;
    try {
        if (!writeDir.empty()) {
            for (int n : sizes) {
                makeGraph(design, n, dg);
                std::string file = writeDir + "/g" + std::to_string(n) + ".csdp";
                WriteGroupSDP(design, file.c_str(), dg);
                std::printf("%s: %d vertices, %zu conflicts, %zu stitches\n", file.c_str(), n,
                            design.conflictSet.size() / 2, design.stitchSet.size() / 2);
            }
        } else {
            Csdp::csdpPrepare();
            std::printf("%5s %6s %6s | %8s %12s %8s %8s %8s | %10s  (ms, median of %d)\n", "n",
                        "confl", "stitch", "write", "solve+perl", "perl", "read", "round",
                        "GroupSDP", repeats);
            for (int n : sizes) {
                makeGraph(design, n, dg);
                std::vector<double> tw, ts, tp, tr, tq, tg;
                for (int k = 0; k < repeats; ++k) {
                    auto t0 = std::chrono::steady_clock::now();
                    WriteGroupSDP(design, "Input.csdp", dg);
                    tw.push_back(msSince(t0));
                    t0 = std::chrono::steady_clock::now();
                    Csdp::ReadFileAndSolve("Input.csdp", "Output.csdp", true);
                    ts.push_back(msSince(t0));
                    t0 = std::chrono::steady_clock::now();
                    std::system("perl checkintodigital.pl");
                    tp.push_back(msSince(t0));
                    t0 = std::chrono::steady_clock::now();
                    std::vector<std::vector<double> > matrix;
                    Csdp::ReadVectors("Output.perl", matrix, n);
                    tr.push_back(msSince(t0));
                    t0 = std::chrono::steady_clock::now();
                    Rounding rounding(matrix, design.conflictSet, design.stitchSet);
                    std::vector<int> colours;
                    rounding.Solve(colours, false, false);
                    tq.push_back(msSince(t0));
                    t0 = std::chrono::steady_clock::now();
                    GroupSDP(design, dg);
                    tg.push_back(msSince(t0));
                }
                std::printf("%5d %6zu %6zu | %8.3f %12.1f %8.1f %8.3f %8.3f | %10.1f\n", n,
                            design.conflictSet.size() / 2, design.stitchSet.size() / 2, median(tw),
                            median(ts), median(tp), median(tr), median(tq), median(tg));
            }
            Csdp::csdpClean();
        }
    } catch (const chromasect::FatalError& e) {
        std::printf("%s\n", e.what());
        status = 1;
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(tmpl);
    return status;
}
