#include "driver/app.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>

#include "base/fatal.h"
#include "base/files.h"
#include "coloring/coloring.h"
#include "driver/pipeline.h"
#include "driver/run_directory.h"
#include "input/input.h"
#include "output/layout_writer.h"
#include "output/svg_writer.h"

namespace chromasect {

int chromasectMain(int argc, char** argv) {
    // A multithreaded BLAS sums in an order that depends on the thread count,
    // which would make the SDP solver's answers, and so the colouring, differ
    // between machines; one thread is also the fastest at these sizes. A
    // value the user set is kept.
    setenv("OPENBLAS_NUM_THREADS", "1", 0);
    // The same for the OpenBLAS in this process (under CBC's LP solver): it
    // read the environment when it was loaded, so it is told directly. Its
    // thread pool would also spin forever when entered from a solving
    // thread.
    using SetThreads = void (*)(int);
    if (auto set = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads")))
        set(1);
    auto design = std::make_unique<MPLDesign>();
    Reporter& report = design->report;
    printWelcomeV2(report);
    int status = 0;
    try {
        if (!parseParameters(*design, argc, argv)) {
            printUsageV2(report);  // "-help"
        } else {
            ReadAll(*design);
            if (!design->dumpFile.empty()) {
                writeLayerDump(*design);
            } else {
                {
                    if (!design->sdpMemoryGiven)
                        design->sdpMemoryMB =
                            chromasect::availableMemoryMB() / std::max(1, design->threads);
                    RunDirectory solverFiles;
                    design->solverDir = solverFiles.path();
                    Decomposition(*design);
                    design->solverDir = ".";
                }
                ResultStat(*design);
                // After the report, so that the specified output stays as it is.
                if (!design->outFile.empty()) writeDecomposedLayout(*design);
                if (!design->svgFile.empty()) writeDecomposedPicture(*design);
            }
        }
    } catch (const UsageError& e) {
        report.line(e.message());
        printUsageV2(report);
        status = e.status();
    } catch (const FatalError& e) {
        report.line(e.message());
        status = e.status();
    } catch (const std::bad_alloc&) {
        // What was being made is gone again, so the line can still be written.
        report.line("ERROR| out of memory: the layout needs more than this machine has");
        status = kExitInternal;
    }
    report.flush();
    return status;
}

}  // namespace chromasect
