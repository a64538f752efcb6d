// Command line, banner and usage text.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/design.h"
#include "geometry/params.h"
#include "input/layout_writer.h"

namespace {
const int kMaxSpacing = 46340;  // largest n with n * n <= INT_MAX

// Leading base-10 digits as an int, 0 without any; out-of-range values
// saturate instead of being undefined.
int readInt(const char* s) {
    errno = 0;
    long v = std::strtol(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}
}  // namespace

bool Design::parseParameters(int argc, char** argv) { return parseParametersV2(argc, argv); }

bool Design::parseParametersV2(int argc, char** argv) {
    std::printf("STAT | Parameters: ");
    for (int i = 1; i < argc; ++i) std::printf("%s ", argv[i]);
    std::printf("\n");

    for (int i = 1; i < argc; i += 2) {
        const char* option = argv[i];
        if (std::strcmp(option, "-help") == 0) return false;
        const bool hasValue = i + 1 < argc;
        const char* value = hasValue ? argv[i + 1] : nullptr;
        if (hasValue && std::strcmp(option, "-inlib") == 0) {
            inputFile = value;
        } else if (hasValue && std::strcmp(option, "-layer") == 0) {
            layer = readInt(value);
        } else if (hasValue && std::strcmp(option, "-mindp") == 0) {
            MINDPLDIST = readInt(value);
            // Squared spacings are compared in 32 bits; beyond this they
            // would saturate and every pair would seem to conflict. A
            // negative spacing makes every pair conflict.
            if (MINDPLDIST < 0 || MINDPLDIST > kMaxSpacing) {
                std::printf("ERROR| -mindp must be between 0 and %d\n", kMaxSpacing);
                parseFailed = true;
                return false;
            }
        } else if (hasValue && std::strcmp(option, "-alpha") == 0) {
            alpha = std::strtod(value, nullptr);
        } else if (hasValue && std::strcmp(option, "-beta") == 0) {
            beta = std::strtod(value, nullptr);
        } else if (hasValue && std::strcmp(option, "-out") == 0 &&
                   chromasect::layoutFormatOf(value) != chromasect::LayoutFormat::None) {
            outFile = value;
        } else if (hasValue && std::strcmp(option, "-dump") == 0 &&
                   chromasect::layoutFormatOf(value) == chromasect::LayoutFormat::Text) {
            dumpFile = value;
        } else {
            // An unknown option, a known one missing its value, or a layout
            // name of no format that can be written.
            std::printf("ERROR| can NOT parse: %s\n", option);
            parseFailed = true;
            return false;
        }
    }
    return true;
}

void printWelcomeV2() {
    std::printf("\n\n");
    std::printf("*****************   Chromasect - Version 2.0   ****************\n");
    std::printf("******************************************************************\n");
}

void printUsageV2() {
    std::printf("\n");
    std::printf("***********        Chromasect 2.0 Usage        **********\n");
    std::printf("\"-help\"          : showing the command help. \n");
    std::printf("\"-inlib\"         : followed by input ascii layout name (default: "
                "\"c1sim_merged.ascii\"). \n");
    std::printf("\"-layer\"         : followed by an integer [0, %d], indicate read which layer "
                "(default: 1). \n",
                59);
    std::printf("\"-mindp\"         : followed by an integer, indicate the number of coloring "
                "space. \n");
    std::printf("\"-alpha\"         : followed by a float\n");
    std::printf("\"-beta\"          : followed by a float\n");
    std::printf("\"-out\"           : followed by an output layout name, \".gds\" (GDSII) or "
                "\".ascii\" (text): masks on datatypes 1-3, uncoloured 9, conflicts 10, "
                "stitches 11. \n");
    std::printf("\"-dump\"          : followed by a text layout name (\".ascii\"): the layer "
                "as read, merged; no decomposition. \n");
    std::printf("\n");
}
