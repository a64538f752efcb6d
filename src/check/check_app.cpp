#include "check/check_app.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "base/fatal.h"
#include "base/params.h"
#include "check/layout_check.h"

namespace chromasect {

namespace {

const int kExitUnchecked = 2;
const int kMaxSpacing = 46340;  // largest n with n * n <= INT_MAX, as for the decomposer

void printCheckUsage(Reporter& report) {
    report.print(
        "usage: chromasect-check FILE [-layer L] [-mindp D] [-masks K]\n"
        "  FILE    decomposed layout as chromasect -out writes it: binary GDSII (.gds, .gds2,\n"
        "          .gdsii), OASIS (.oas, .oasis) or text dump (name containing .ascii);\n"
        "          masks on datatypes 1-3, shapes without a mask on 9\n"
        "  -layer  layer to check (default 1)\n"
        "  -mindp  same-mask spacing in nanometres, 0 to %d (default 120): polygons of one\n"
        "          mask closer than D violate it, polygons exactly D apart do not\n"
        "  -masks  number of masks, 2 to 4 (default 3): masks on datatypes 1 to K\n"
        "  -help   show this text\n"
        "exit status: 0 clean (stitches allowed), 1 spacing violations or shapes without a\n"
        "mask, 2 the layout could not be checked\n",
        kMaxSpacing);
}

// A whole argument as a decimal integer within [low, high].
bool readNumber(const char* text, long low, long high, int& value) {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

struct CheckArgs {
    std::string file;
    int layer = 1;
    int spacing = 120;
    int masks = 3;
};

// False with the message printed, or with an empty message for "-help".
bool parse(int argc, char** argv, CheckArgs& args, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-help" || option == "--help" || option == "-h") return false;
        if (option == "-layer" || option == "-mindp" || option == "-masks") {
            if (i + 1 >= argc) {
                error = "ERROR| " + option + " needs a value";
                return false;
            }
            const char* value = argv[++i];
            const bool ok = option == "-layer"   ? readNumber(value, 0, INT_MAX, args.layer)
                            : option == "-mindp" ? readNumber(value, 0, kMaxSpacing, args.spacing)
                                                 : readNumber(value, 2, 4, args.masks);
            if (!ok) {
                error = "ERROR| can NOT parse: " + option + " " + value;
                return false;
            }
        } else if (option.size() > 1 && option[0] == '-') {
            error = "ERROR| can NOT parse: " + option;
            return false;
        } else if (args.file.empty()) {
            args.file = option;
        } else {
            error = "ERROR| more than one layout given: " + args.file + " and " + option;
            return false;
        }
    }
    if (args.file.empty()) {
        error = "ERROR| no layout given";
        return false;
    }
    return true;
}

}  // namespace

int checkMain(int argc, char** argv) {
    CheckArgs args;
    std::string error;
    int status = 0;
    Reporter report;
    if (!parse(argc, argv, args, error)) {
        if (!error.empty()) report.line(error);
        printCheckUsage(report);
        status = error.empty() ? 0 : kExitUnchecked;
    } else {
        MINDPLDIST = args.spacing;
        setMaskCount(args.masks);
        try {
            status = reportLayerCheck(readDecomposedLayer(args.file, args.layer, report), args.file,
                                      args.layer, report);
        } catch (const FatalError& e) {
            // A layout that cannot be read proves nothing, whatever the reason.
            report.line(e.message());
            status = kExitUnchecked;
        } catch (const std::bad_alloc&) {
            report.line("ERROR| out of memory: the layout needs more than this machine has");
            status = kExitUnchecked;
        }
    }
    report.flush();
    return status;
}

}  // namespace chromasect
