// Command line, banner and usage text.

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "driver/app.h"
#include "driver/options.h"
#include "output/layout_writer.h"

bool parseParameters(Design& d, int argc, char** argv) {
    return parseParametersV2(d, argc, argv);
}

bool parseParametersV2(Design& d, int argc, char** argv) {
    // Every hardware thread unless told otherwise; the output is the same.
    d.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    // A run's masks are its command line's, whatever an earlier run in this
    // process took.
    chromasect::setMaskCount(3);
    d.report.print("STAT | Parameters: ");
    for (int i = 1; i < argc; ++i) d.report.print("%s ", argv[i]);
    d.report.print("\n");

    for (const chromasect::CommandLine::Given& g : chromasect::scanCommandLine(argc, argv).given) {
        if (g.entry && g.entry->kind == chromasect::Option::Help) return false;
        // "--version" ends the run before it is parsed.
        if (g.entry && g.entry->kind == chromasect::Option::Version) continue;
        // An unknown option, a known one missing its value, or a value
        // outside the option's set (a layout name of no format that can be
        // written, a number that is not a whole integer in range).
        if (!g.entry || !g.value || !g.entry->read(d, g.value))
            throw chromasect::UsageError(std::string("ERROR| can NOT parse: ") + g.option);
    }
    // Caught here rather than silently giving no picture, or a picture of a
    // layer that was never decomposed.
    if (d.hasSvgWindow && d.svgFile.empty()) {
        throw chromasect::UsageError("ERROR| -window needs -svg");
    }
    // Its two bits would leave a code no mask has.
    if (d.algo == Engine::Ilp && NUM_COLORS != 3 && NUM_COLORS != 4)
        throw chromasect::UsageError("ERROR| -algo ilp needs -masks 3 or 4");
    if (!d.svgFile.empty() && !d.dumpFile.empty()) {
        throw chromasect::UsageError("ERROR| -svg draws a decomposition and -dump stops before it");
    }
    // Refused before the reading, not after a long decomposition.
    for (const std::string* target : {&d.outFile, &d.svgFile, &d.dumpFile}) {
        if (target->empty()) continue;
        const std::string why = chromasect::whyNotWritable(*target);
        if (!why.empty())
            chromasect::fatal(chromasect::kExitUsage,
                              "ERROR| cannot write file: " + *target + " (" + why + ")");
    }
    return true;
}

void printWelcomeV2(chromasect::Reporter& report) {
    report.print("\n\n");
    report.print("*****************   Chromasect - Version 2.0   ****************\n");
    report.print("******************************************************************\n");
}

void printUsageV2(chromasect::Reporter& report) {
    chromasect::printUsage(report);
}
