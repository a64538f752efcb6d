#include <cstdio>
#include <iostream>
#include <memory>

#include "driver/design.h"
#include "geometry/fatal.h"

namespace chromasect {

int chromasectMain(int argc, char** argv) {
    printWelcomeV2();
    auto design = std::make_unique<MPLDesign>();
    int status = 0;
    try {
        if (!design->parseParameters(argc, argv)) {
            printUsageV2();
            status = design->parseFailed ? kExitUsage : 0;
        } else {
            design->ReadAll();
            design->Decomposition();
            design->ResultStat();
        }
    } catch (const FatalError& e) {
        std::printf("%s\n", e.what());
        status = e.status();
    }
    std::fflush(stdout);
    return status;
}

}  // namespace chromasect
