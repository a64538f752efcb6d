// The options table and the scanning of a command line by it.

#include "driver/options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/params.h"
#include "layout/layout_file.h"

namespace chromasect {

namespace {

using json = nlohmann::ordered_json;

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

// The same, handing the choice to `take`.
template <class Take>
bool readChoice(const char* s, int highest, Take take) {
    int v = 0;
    if (!readChoice(s, highest, v)) return false;
    take(v);
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

json nameOrNull(const std::string& s) {
    return s.empty() ? json(nullptr) : json(s);
}

// The usage lines of the options kept since the first release stay byte for
// byte; the later ones follow them.
const std::vector<Option> kOptions = {
    {"-help", Option::Help, "showing the command help. ", 0, nullptr, nullptr},
    {"-inlib", Option::Value,
     "followed by input ascii layout name (default: \"c1sim_merged.ascii\"). ", 0,
     [](Design& d, const char* v) -> bool {
         d.inputFile = v;
         return true;
     },
     nullptr},
    {"-layer", Option::Value,
     "followed by an integer [0, %d], indicate read which layer (default: 1). ", 59,
     [](Design& d, const char* v) -> bool {
         d.layer = readInt(v);
         return true;
     },
     [](const Design& d) -> json { return d.layer; }},
    {"-mindp", Option::Value, "followed by an integer, indicate the number of coloring space. ", 0,
     [](Design&, const char* v) -> bool {
         MINDPLDIST = readInt(v);
         // Squared spacings are compared in 32 bits; beyond this they would
         // saturate and every pair would seem to conflict. A negative
         // spacing makes every pair conflict.
         if (MINDPLDIST < 0 || MINDPLDIST > kMaxSpacing)
             throw UsageError("ERROR| -mindp must be between 0 and " + std::to_string(kMaxSpacing));
         return true;
     },
     [](const Design&) -> json { return MINDPLDIST; }},
    {"-alpha", Option::Value, "followed by a float", 0,
     [](Design& d, const char* v) -> bool { return readWeight(v, d.alpha); },
     [](const Design& d) -> json { return d.alpha; }},
    {"-beta", Option::Value, "followed by a float", 0,
     [](Design& d, const char* v) -> bool { return readWeight(v, d.beta); },
     [](const Design& d) -> json { return d.beta; }},
    {"-out", Option::Value,
     "followed by an output layout name, \".gds\" (GDSII), \".oas\" (OASIS) or \".ascii\" (text): "
     "masks on datatypes 1 to K (-masks), uncoloured 9, conflicts 10, stitches 11. ",
     0,
     [](Design& d, const char* v) -> bool {
         if (layoutFormatOf(v) == LayoutFormat::None) return false;
         d.outFile = v;
         return true;
     },
     [](const Design& d) -> json { return nameOrNull(d.outFile); }},
    {"-dump", Option::Value,
     "followed by a text layout name (\".ascii\"): the layer as read, merged; no decomposition. ",
     0,
     [](Design& d, const char* v) -> bool {
         if (layoutFormatOf(v) != LayoutFormat::Text) return false;
         d.dumpFile = v;
         return true;
     },
     [](const Design& d) -> json { return nameOrNull(d.dumpFile); }},
    {"-algo", Option::Value,
     "followed by sdp, ilp, exact or tabu, the colouring engine (default: sdp). ", 0,
     [](Design& d, const char* v) -> bool { return readEngine(v, d.algo); },
     [](const Design& d) -> json { return engineName(d.algo); }},
    {"-simlg", Option::Value,
     "followed by an integer, layout graph simplification level (default: 2). ", 0,
     [](Design& d, const char* v) -> bool { return readWholeInt(v, d.simlg); },
     [](const Design& d) -> json { return d.simlg; }},
    {"-simdg", Option::Value,
     "followed by an integer, decomposition graph simplification level (default: 2). ", 0,
     [](Design& d, const char* v) -> bool { return readWholeInt(v, d.simdg); },
     [](const Design& d) -> json { return d.simdg; }},
    {"-stitch", Option::Value, "followed by 0 or 1, allow stitches (default: 1). ", 0,
     [](Design& d, const char* v) {
         return readChoice(v, 1, [&d](int c) { d.allowStitch = c == 1; });
     },
     [](const Design& d) -> json { return d.allowStitch ? 1 : 0; }},
    {"-tplstitch", Option::Value,
     "followed by 0 or 1, the three-mask stitch candidates (default: 0). ", 0,
     [](Design& d, const char* v) {
         return readChoice(v, 1, [&d](int c) { d.dplStitch = c == 0; });
     },
     [](const Design& d) -> json { return d.dplStitch ? 0 : 1; }},
    {"-balance", Option::Value,
     "followed by 0, 1 or 2, density balance: none, local, global (default: 0). ", 0,
     [](Design& d, const char* v) {
         return readChoice(v, 2, [&d](int c) { d.densityBalance = static_cast<Balance>(c); });
     },
     [](const Design& d) -> json { return static_cast<int>(d.densityBalance); }},
    {"-round2", Option::Value, "followed by 0 or 1, second-stage SDP rounding (default: 0). ", 0,
     [](Design& d, const char* v) {
         return readChoice(v, 1, [&d](int c) { d.sdpRoundFlag = c == 1; });
     },
     [](const Design& d) -> json { return d.sdpRoundFlag ? 1 : 0; }},
    {"-progress", Option::Value, "followed by 0 or 1, show colouring progress (default: 0). ", 0,
     [](Design& d, const char* v) { return readChoice(v, 1, [&d](int c) { d.quiet = c == 0; }); },
     [](const Design& d) -> json { return d.quiet ? 0 : 1; }},
    {"-svg", Option::Value,
     "followed by an SVG picture name: masks, uncoloured features, conflicts and stitches. ", 0,
     [](Design& d, const char* v) -> bool {
         if (*v == '\0') return false;
         d.svgFile = v;
         return true;
     },
     [](const Design& d) -> json { return nameOrNull(d.svgFile); }},
    {"-window", Option::Value,
     "followed by left,bottom,right,top: the part of the layout the picture shows. ", 0,
     [](Design& d, const char* v) -> bool {
         if (!readWindow(v, d.svgWindow)) return false;
         d.hasSvgWindow = true;
         return true;
     },
     [](const Design& d) -> json {
         return d.hasSvgWindow ? json::array({d.svgWindow.left(), d.svgWindow.bottom(),
                                              d.svgWindow.right(), d.svgWindow.top()})
                               : json(nullptr);
     }},
    {"-exact_sec", Option::Value,
     "followed by a number, the exact engine's time limit per graph in seconds (default: 10). ", 0,
     [](Design& d, const char* v) -> bool { return readSeconds(v, d.exactSeconds); },
     [](const Design& d) -> json { return d.exactSeconds; }},
    {"-quality", Option::Value,
     "followed by 0 or 1, report the engines' summed cost (default: 0). ", 0,
     [](Design& d, const char* v) {
         return readChoice(v, 1, [&d](int c) { d.reportQuality = c == 1; });
     },
     [](const Design& d) -> json { return d.reportQuality ? 1 : 0; }},
    {"-threads", Option::Value,
     "followed by an integer of at least 1, the graphs solved at once (default: the number of "
     "hardware threads). ",
     0,
     [](Design& d, const char* v) -> bool { return readWholeInt(v, d.threads) && d.threads >= 1; },
     [](const Design& d) -> json { return d.threads; }},
    {"-solver_sec", Option::Value,
     "followed by a number, the time limit of each outside solve in seconds, 0 for none (default: "
     "0). ",
     0,
     [](Design& d, const char* v) -> bool {
         if (std::strcmp(v, "0") != 0) return readSeconds(v, d.solverSeconds);
         d.solverSeconds = 0.0;
         return true;
     },
     [](const Design& d) -> json { return d.solverSeconds; }},
    {"-tabu_sec", Option::Value,
     "followed by a number, the tabu engine's time limit per graph in seconds (default: none). ", 0,
     [](Design& d, const char* v) -> bool { return readSeconds(v, d.tabuSeconds); },
     [](const Design& d) -> json { return d.tabuSeconds; }},
    {"-sdp_max_mb", Option::Value,
     "followed by a number, the memory one SDP solve may take in MB; larger graphs go to the tabu "
     "engine (default: available memory / threads). ",
     0,
     [](Design& d, const char* v) -> bool {
         if (!readPositive(v, 1e12, d.sdpMemoryMB)) return false;
         d.sdpMemoryGiven = true;
         return true;
     },
     [](const Design& d) -> json { return d.sdpMemoryMB; }},
    {"-max_shapes", Option::Value,
     "followed by an integer of at least 1, the most shapes of the layer a GDSII library may "
     "flatten into (default: 500000000). ",
     0,
     [](Design& d, const char* v) -> bool {
         int c = 0;
         if (!readWholeInt(v, c) || c < 1) return false;
         d.maxFlatShapes = c;
         return true;
     },
     [](const Design& d) -> json { return d.maxFlatShapes; }},
    {"-report", Option::Value, "followed by a JSON file name, the machine-readable run report. ", 0,
     [](Design& d, const char* v) -> bool {
         if (*v == '\0') return false;
         d.reportFile = v;
         return true;
     },
     [](const Design& d) -> json { return d.reportFile; }},
    {"-masks", Option::Value, "followed by 2, 3 or 4, the number of masks (default: 3). ", 0,
     [](Design&, const char* v) -> bool {
         int k = 0;
         if (!readWholeInt(v, k) || k < 2 || k > 4) return false;
         chromasect::setMaskCount(k);
         return true;
     },
     [](const Design&) -> json { return NUM_COLORS; }},
    {"-fixed", Option::Value,
     "followed by 0 or 1: 1 reads datatypes 1 to K as shapes fixed to masks 0 to K-1 (default: "
     "0). ",
     0,
     [](Design& d, const char* v) {
         return readChoice(v, 1, [&d](int c) { d.fixedInput = c == 1; });
     },
     [](const Design& d) -> json { return d.fixedInput ? 1 : 0; }},
    {"-previous", Option::Value,
     "followed by a decomposed layout: features it holds unchanged keep their mask. ", 0,
     [](Design& d, const char* v) -> bool {
         if (layoutFormatOf(v) == LayoutFormat::None) return false;
         d.previousFile = v;
         return true;
     },
     [](const Design& d) -> json { return nameOrNull(d.previousFile); }},
    {"--version", Option::Version, "the version and the solvers found. ", 0, nullptr, nullptr},
};

}  // namespace

const std::vector<Option>& optionTable() {
    return kOptions;
}

const Option* findOption(const char* name) {
    if (std::strcmp(name, "-version") == 0) name = "--version";
    for (const Option& o : kOptions)
        if (std::strcmp(o.name, name) == 0) return &o;
    return nullptr;
}

CommandLine scanCommandLine(int argc, char** argv) {
    CommandLine c;
    for (int i = 1; i < argc; i += 2) {
        CommandLine::Given g{argv[i], i + 1 < argc ? argv[i + 1] : nullptr, findOption(argv[i])};
        if (g.entry && g.entry->kind == Option::Version) c.version = true;
        if (g.entry && g.value && std::strcmp(g.entry->name, "-report") == 0)
            c.reportFile = g.value;
        c.given.push_back(g);
    }
    return c;
}

void printUsage(Reporter& report) {
    report.print("\n");
    report.print("***********        Chromasect 2.0 Usage        **********\n");
    for (const Option& o : kOptions) {
        // The quoted name in a column of 17.
        const std::string quoted = std::string("\"") + o.name + "\"";
        report.print("%-17s: ", quoted.c_str());
        report.print(o.usage, o.usageArg);
        report.print("\n");
    }
    report.print("\n");
}

json reportParameters(const Design& d) {
    json p = json::object();
    for (const Option& o : kOptions)
        if (o.report) p[o.name + 1] = o.report(d);
    return p;
}

}  // namespace chromasect
