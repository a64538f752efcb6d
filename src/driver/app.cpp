#include "driver/app.h"

#include <dlfcn.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>

#include "base/fatal.h"
#include "base/files.h"
#include "cluster/cluster.h"
#include "coloring/coloring.h"
#include "driver/options.h"
#include "driver/pipeline.h"
#include "driver/run_directory.h"
#include "driver/run_report.h"
#include "input/input.h"
#include "output/layout_writer.h"
#include "output/svg_writer.h"

namespace chromasect {

namespace {

// What the process needs before any run: solver libraries on one thread and
// one kernel set, and no signal for a write past the file-size limit.
void prepareProcess() {
    // A multithreaded BLAS sums in an order that depends on the thread count,
    // which would make the SDP solver's answers, and so the colouring, differ
    // between machines; one thread is also the fastest at these sizes. A
    // value the user set is kept.
    setenv("OPENBLAS_NUM_THREADS", "1", 0);
    // OpenBLAS picks its kernels by processor, and kernels of other widths
    // round differently (AVX-512 machines gave other masks than AVX2 ones):
    // one kernel set for the SDP solver, the one every x86-64 machine of the
    // last decade runs. A value the user set is kept.
    setenv("OPENBLAS_CORETYPE", "Haswell", 0);
    // The same for the OpenBLAS in this process (under CBC's LP solver): it
    // read the environment when it was loaded, so it is told directly. Its
    // thread pool would also spin forever when entered from a solving
    // thread, and the threads it started on loading spin for their first
    // tenths of a second, taking a core from a short run: they are ended.
    using SetThreads = void (*)(int);
    if (auto set = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads")))
        set(1);
    using Shutdown = int (*)();
    if (auto shutdown = reinterpret_cast<Shutdown>(dlsym(RTLD_DEFAULT, "blas_thread_shutdown_")))
        shutdown();
    // Past a file-size limit a write then fails and is reported, instead of
    // the signal ending the run half way through an output.
    std::signal(SIGXFSZ, SIG_IGN);
}

// The run proper, after a good command line: the report target, the layer,
// the decomposition and the outputs. A failure throws.
void runDecomposition(MPLDesign& d, StageClock& clock, RunEnd& end, Cluster& cluster) {
    const std::string problem = d.reportFile.empty() ? "" : reportTargetProblem(d.reportFile);
    if (!problem.empty()) {
        d.reportFile.clear();  // nothing to write at the end either
        fatal(kExitUsage, problem);
    }
    clock.start("reading");
    d.keepOutlines =
        !d.outFile.empty() || !d.svgFile.empty() || !d.dumpFile.empty() || !d.previousFile.empty();
    ReadAll(d);
    d.stats.featuresRead = static_cast<int>(d.shapes.size());
    clock.stage("reading", std::to_string(d.shapes.size()) + " features");
    if (!d.dumpFile.empty()) {
        clock.start("writing");
        writeLayerDump(d);
    } else {
        // Outlines kept only to match a previous layout are done with.
        if (d.outFile.empty() && d.svgFile.empty())
            for (myShape* s : d.shapes) s->points.release();
        {
            if (!d.sdpMemoryGiven)
                d.sdpMemoryMB = chromasect::availableMemoryMB() / std::max(1, d.threads);
            RunDirectory solverFiles;
            d.solverDir = solverFiles.path();
            wire::Greeting greeting;
            greeting.args = end.commandLine;
            greeting.sdpMemoryMB = d.sdpMemoryMB;
            std::ifstream params(inDir(d.solverDir, "param.csdp"), std::ios::binary);
            if (params.is_open()) {
                greeting.hasCsdpSettings = true;
                greeting.csdpSettings.assign(std::istreambuf_iterator<char>(params), {});
            }
            cluster.setGreeting(std::move(greeting));
            Decomposition(d, &clock, cluster.farm());
            cluster.tally(d.stats);
            d.solverDir = ".";
        }
        ReportPreviousLayout(d);
        ResultStat(d);
        end.resultReached = true;
        clock.stage("counting",
                    std::to_string(d.stitches.size() + d.largeUncolored) + " stitches, " +
                        std::to_string(d.conflicts.size() + d.smallUncolored) + " conflicts");
        clock.start("writing");
        // After the report, so that the lines before it stay as they are.
        if (!d.outFile.empty()) writeDecomposedLayout(d);
        if (!d.svgFile.empty()) writeDecomposedPicture(d);
    }
    clock.stage("writing");
}

// A worker rank's engine, built from rank 0's command line as rank 0 built
// its own, in a private directory of the node's temporary directory.
WorkerSetup setUpWorker(const wire::Greeting& greeting) {
    MPLDesign d;
    d.report.capture();
    std::vector<char*> args;
    for (const std::string& a : greeting.args) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    parseParameters(d, static_cast<int>(greeting.args.size()), args.data());
    d.sdpMemoryMB = greeting.sdpMemoryMB;
    auto dir = std::make_shared<RunDirectory>(RunDirectory::Where::Temporary);
    d.solverDir = dir->path();
    const std::string params = inDir(d.solverDir, "param.csdp");
    std::remove(params.c_str());
    if (greeting.hasCsdpSettings) std::ofstream(params, std::ios::binary) << greeting.csdpSettings;
    WorkerSetup setup;
    setup.engine = MakeEngine(d, d.algo);
    if (!setup.engine) fatal(kExitInternal, "ERROR| no engine to solve with");
    setup.engine->prepare(d.solverDir);
    setup.dirs =
        WorkerDirectories(*setup.engine, d.solverDir, static_cast<size_t>(std::max(1, d.threads)));
    setup.keep = dir;
    return setup;
}

int finishProcess(Cluster& cluster, int status, bool quickExit) {
    cluster.finish(status);
    if (quickExit) {
        // Millions of records die with the process; freeing them one by one
        // took seconds after the last line of a chip-sized run.
        std::fflush(nullptr);
        std::_Exit(status & 0xff);
    }
    return status;
}

}  // namespace

int chromasectMain(int argc, char** argv, bool quickExit) {
    prepareProcess();
    Cluster cluster(&argc, &argv);
    if (cluster.rank() > 0) {
        // Rank 0 alone reports.
        if (!std::freopen("/dev/null", "w", stdout)) std::fclose(stdout);
        return finishProcess(cluster, cluster.serve(setUpWorker), quickExit);
    }
    auto design = std::make_unique<MPLDesign>();
    Reporter& report = design->report;
    const CommandLine commandLine = scanCommandLine(argc, argv);
    if (commandLine.version) {
        for (const std::string& line : versionLines()) report.line(line);
        report.flush();
        return 0;
    }
    printWelcomeV2(report);
    StageClock clock(*design);
    RunEnd end;
    end.commandLine.assign(argv, argv + argc);
    // Known before the rest is parsed, so that a bad command line is
    // reported too.
    design->reportFile = commandLine.reportFile;
    bool ran = true;
    int status = 0;
    try {
        if (!parseParameters(*design, argc, argv)) {
            printUsageV2(report);  // "-help"
            ran = false;
        } else {
            runDecomposition(*design, clock, end, cluster);
        }
    } catch (const UsageError& e) {
        clock.stage("until the error");
        report.line(e.message());
        printUsageV2(report);
        status = e.status();
        end.error = e.message();
    } catch (const FatalError& e) {
        clock.stage("until the error");
        report.line(e.message());
        status = e.status();
        end.error = e.message();
    } catch (const std::bad_alloc&) {
        // What was being made is gone again, so the line can still be written.
        const char* line = "ERROR| out of memory: the layout needs more than this machine has";
        report.line(line);
        status = kExitInternal;
        end.error = line;
    }
    if (ran && !design->reportFile.empty()) {
        end.status = status & 0xff;
        try {
            writeRunReport(*design, end);
        } catch (const FatalError& e) {
            report.line(e.message());
            if (status == 0) status = e.status();
        }
    }
    report.flush();
    return finishProcess(cluster, status, quickExit);
}

}  // namespace chromasect
