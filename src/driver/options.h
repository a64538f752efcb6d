#pragma once
// The command line's options in one table: the parser, the usage text and
// the run report's parameters all come from it.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "design/design.h"

namespace chromasect {

struct Option {
    enum Kind { Value, Help, Version };
    const char* name;
    Kind kind;
    // The usage line after the name column, as printed ("%d" takes `usageArg`).
    const char* usage;
    int usageArg;
    // Reads the value into the run; false when it is outside the option's set.
    bool (*read)(Design& d, const char* value);
    // Its value among the run report's parameters (named without the dash),
    // or null for an option the report does not list there.
    nlohmann::ordered_json (*report)(const Design& d);
};

// In usage order.
const std::vector<Option>& optionTable();
// The entry named `name` (aliases included), or null.
const Option* findOption(const char* name);

// The command line as options in option positions (1, 3, 5, ...), each
// with the value after it (null past the end); nothing read into a run yet.
struct CommandLine {
    struct Given {
        const char* option;
        const char* value;
        const Option* entry;  // null: an unknown option
    };
    std::vector<Given> given;
    bool version = false;    // "--version" or "-version" among them
    std::string reportFile;  // the value of the last "-report", if any
};
CommandLine scanCommandLine(int argc, char** argv);

// The usage text, one line per option.
void printUsage(Reporter& report);
// The run report's parameters, in table order.
nlohmann::ordered_json reportParameters(const Design& d);

}  // namespace chromasect
