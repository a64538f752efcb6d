// Command line, banner and usage text.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "driver/app.h"
#include "output/layout_writer.h"

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

// A whole base-10 integer: an optional sign and digits, nothing else, within
// int range. The new options refuse what the tolerant reading would accept.
bool readWholeInt(const char* s, int& out) {
    if (*s == '\0' || std::isspace(static_cast<unsigned char>(*s))) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

bool readChoice(const char* s, int highest, int& out) {
    int v = 0;
    if (!readWholeInt(s, v) || v < 0 || v > highest) return false;
    out = v;
    return true;
}

// Colouring engines by name.
struct EngineName {
    const char* name;
    Engine algo;
};
const EngineName kEngines[] = {
    {"sdp", Engine::Sdp},
    {"ilp", Engine::Ilp},
    {"exact", Engine::Exact},
    {"tabu", Engine::Tabu},
};

bool readEngine(const char* s, Engine& algo) {
    for (const EngineName& e : kEngines) {
        if (std::strcmp(s, e.name) == 0) {
            algo = e.algo;
            return true;
        }
    }
    return false;
}

// A whole decimal number above 0 and at most `highest`, nothing else.
bool readPositive(const char* s, double highest, double& out) {
    if (*s == '\0' || std::isspace(static_cast<unsigned char>(*s))) return false;
    char* end = nullptr;
    const double v = std::strtod(s, &end);
    if (*end != '\0' || !(v > 0.0) || !(v <= highest)) return false;
    out = v;
    return true;
}

// Time limits: a million seconds is eleven days, past any limit a run means.
const double kMaxSeconds = 1e6;
bool readSeconds(const char* s, double& out) {
    return readPositive(s, kMaxSeconds, out);
}

// The objective weights, read as tolerantly as ever, within [0, 1000]: a
// negative or infinite weight makes the relaxation unbounded and the solver
// never ends, and beyond a thousand conflicts no longer come first.
const double kMaxWeight = 1000.0;
bool readWeight(const char* s, double& out) {
    const double v = std::strtod(s, nullptr);
    if (!(v >= 0.0 && v <= kMaxWeight)) return false;
    out = v;
    return true;
}

// "left,bottom,right,top": four whole integers, a window of positive area.
bool readWindow(const char* s, oaBox& window) {
    int v[4];
    std::string text(s);
    size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t comma = text.find(',', start);
        if ((k < 3) != (comma != std::string::npos)) return false;
        const std::string part = text.substr(start, k < 3 ? comma - start : std::string::npos);
        if (!readWholeInt(part.c_str(), v[k])) return false;
        start = comma + 1;
    }
    if (v[0] >= v[2] || v[1] >= v[3]) return false;
    window = oaBox(v[0], v[1], v[2], v[3]);
    return true;
}
}  // namespace

bool parseParameters(Design& d, int argc, char** argv) {
    return parseParametersV2(d, argc, argv);
}

bool parseParametersV2(Design& d, int argc, char** argv) {
    // Every hardware thread unless told otherwise; the output is the same.
    d.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    using chromasect::LayoutFormat;
    using chromasect::layoutFormatOf;
    d.report.print("STAT | Parameters: ");
    for (int i = 1; i < argc; ++i) d.report.print("%s ", argv[i]);
    d.report.print("\n");

    int choice = 0;
    for (int i = 1; i < argc; i += 2) {
        const char* option = argv[i];
        if (std::strcmp(option, "-help") == 0) return false;
        const bool hasValue = i + 1 < argc;
        const char* value = hasValue ? argv[i + 1] : nullptr;
        auto is = [&](const char* name) { return hasValue && std::strcmp(option, name) == 0; };
        if (is("-inlib")) {
            d.inputFile = value;
        } else if (is("-layer")) {
            d.layer = readInt(value);
        } else if (is("-mindp")) {
            MINDPLDIST = readInt(value);
            // Squared spacings are compared in 32 bits; beyond this they
            // would saturate and every pair would seem to conflict. A
            // negative spacing makes every pair conflict.
            if (MINDPLDIST < 0 || MINDPLDIST > kMaxSpacing) {
                throw chromasect::UsageError("ERROR| -mindp must be between 0 and " +
                                             std::to_string(kMaxSpacing));
            }
        } else if (is("-alpha") && readWeight(value, d.alpha)) {
        } else if (is("-beta") && readWeight(value, d.beta)) {
        } else if (is("-out") && layoutFormatOf(value) != LayoutFormat::None) {
            d.outFile = value;
        } else if (is("-dump") && layoutFormatOf(value) == LayoutFormat::Text) {
            d.dumpFile = value;
        } else if (is("-algo") && readEngine(value, d.algo)) {
        } else if (is("-simlg") && readWholeInt(value, d.simlg)) {
        } else if (is("-simdg") && readWholeInt(value, d.simdg)) {
        } else if (is("-stitch") && readChoice(value, 1, choice)) {
            d.allowStitch = choice == 1;
        } else if (is("-tplstitch") && readChoice(value, 1, choice)) {
            d.dplStitch = choice == 0;
        } else if (is("-balance") && readChoice(value, 2, choice)) {
            d.densityBalance = static_cast<Balance>(choice);
        } else if (is("-round2") && readChoice(value, 1, choice)) {
            d.sdpRoundFlag = choice == 1;
        } else if (is("-progress") && readChoice(value, 1, choice)) {
            d.quiet = choice == 0;
        } else if (is("-exact_sec") && readSeconds(value, d.exactSeconds)) {
        } else if (is("-threads") && readWholeInt(value, d.threads) && d.threads >= 1) {
        } else if (is("-max_shapes") && readWholeInt(value, choice) && choice >= 1) {
            d.maxFlatShapes = choice;
        } else if (is("-tabu_sec") && readSeconds(value, d.tabuSeconds)) {
        } else if (is("-sdp_max_mb") && readPositive(value, 1e12, d.sdpMemoryMB)) {
            d.sdpMemoryGiven = true;
        } else if (is("-solver_sec") &&
                   (std::strcmp(value, "0") == 0 ? (d.solverSeconds = 0.0, true)
                                                 : readSeconds(value, d.solverSeconds))) {
        } else if (is("-quality") && readChoice(value, 1, choice)) {
            d.reportQuality = choice == 1;
        } else if (is("-svg") && *value != '\0') {
            d.svgFile = value;
        } else if (is("-report") && *value != '\0') {
            d.reportFile = value;
        } else if (is("-window") && readWindow(value, d.svgWindow)) {
            d.hasSvgWindow = true;
        } else {
            // An unknown option, a known one missing its value, or a value
            // outside the option's set (a layout name of no format that can
            // be written, a number that is not a whole integer in range).
            throw chromasect::UsageError(std::string("ERROR| can NOT parse: ") + option);
        }
    }
    // Caught here rather than silently giving no picture, or a picture of a
    // layer that was never decomposed.
    if (d.hasSvgWindow && d.svgFile.empty()) {
        throw chromasect::UsageError("ERROR| -window needs -svg");
    }
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
    report.print("\n");
    report.print("***********        Chromasect 2.0 Usage        **********\n");
    report.print("\"-help\"          : showing the command help. \n");
    report.print(
        "\"-inlib\"         : followed by input ascii layout name (default: "
        "\"c1sim_merged.ascii\"). \n");
    report.print(
        "\"-layer\"         : followed by an integer [0, %d], indicate read which layer "
        "(default: 1). \n",
        59);
    report.print(
        "\"-mindp\"         : followed by an integer, indicate the number of coloring "
        "space. \n");
    report.print("\"-alpha\"         : followed by a float\n");
    report.print("\"-beta\"          : followed by a float\n");
    report.print(
        "\"-out\"           : followed by an output layout name, \".gds\" (GDSII) or "
        "\".ascii\" (text): masks on datatypes 1-3, uncoloured 9, conflicts 10, "
        "stitches 11. \n");
    report.print(
        "\"-dump\"          : followed by a text layout name (\".ascii\"): the layer "
        "as read, merged; no decomposition. \n");
    report.print(
        "\"-algo\"          : followed by sdp, ilp, exact or tabu, the colouring engine "
        "(default: sdp). \n");
    report.print(
        "\"-simlg\"         : followed by an integer, layout graph simplification level "
        "(default: 2). \n");
    report.print(
        "\"-simdg\"         : followed by an integer, decomposition graph simplification "
        "level (default: 2). \n");
    report.print("\"-stitch\"        : followed by 0 or 1, allow stitches (default: 1). \n");
    report.print(
        "\"-tplstitch\"     : followed by 0 or 1, the three-mask stitch candidates "
        "(default: 0). \n");
    report.print(
        "\"-balance\"       : followed by 0, 1 or 2, density balance: none, local, global "
        "(default: 0). \n");
    report.print(
        "\"-round2\"        : followed by 0 or 1, second-stage SDP rounding "
        "(default: 0). \n");
    report.print(
        "\"-progress\"      : followed by 0 or 1, show colouring progress "
        "(default: 0). \n");
    report.print(
        "\"-svg\"           : followed by an SVG picture name: masks, uncoloured "
        "features, conflicts and stitches. \n");
    report.print(
        "\"-window\"        : followed by left,bottom,right,top: the part of the "
        "layout the picture shows. \n");
    report.print(
        "\"-exact_sec\"     : followed by a number, the exact engine's time limit per "
        "graph in seconds (default: 10). \n");
    report.print(
        "\"-quality\"       : followed by 0 or 1, report the engines' summed cost "
        "(default: 0). \n");
    report.print(
        "\"-threads\"       : followed by an integer of at least 1, the graphs solved at "
        "once (default: the number of hardware threads). \n");
    report.print(
        "\"-solver_sec\"    : followed by a number, the time limit of each outside solve in "
        "seconds, 0 for none (default: 0). \n");
    report.print(
        "\"-tabu_sec\"      : followed by a number, the tabu engine's time limit per graph in "
        "seconds (default: none). \n");
    report.print(
        "\"-sdp_max_mb\"    : followed by a number, the memory one SDP solve may take in MB; "
        "larger graphs go to the tabu engine (default: available memory / threads). \n");
    report.print(
        "\"-max_shapes\"    : followed by an integer of at least 1, the most shapes of the layer "
        "a GDSII library may flatten into (default: 500000000). \n");
    report.print(
        "\"-report\"        : followed by a JSON file name, the machine-readable run "
        "report. \n");
    report.print("\"--version\"      : the version and the solvers found. \n");
    report.print("\n");
}
