// The run report (-report), --version and the KLayout layer properties,
// through the built binary and the real solvers.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testsupport::binaryPath;
using testsupport::readFile;
using testsupport::runCommand;
using testsupport::sourceDir;

std::string example() {
    return sourceDir() + "/examples/example.ascii";
}

std::string withoutParameterLine(const std::string& out) {
    return std::regex_replace(out, std::regex("STAT \\| Parameters: [^\n]*\n"), "");
}

// The report without what may differ between equal runs: times, memory,
// the command line and the thread count.
json withoutTimings(json r) {
    r.erase("command_line");
    r.erase("total");
    r["parameters"].erase("threads");
    r["parameters"].erase("report");
    for (json& s : r["stages"]) s = s["name"];
    for (json& g : r["graphs"]) g.erase("seconds");
    return r;
}

// Every graph made too big for the SDP solver goes to the tabu engine with a
// warning: the report holds each graph's warning and bound, the same for any
// thread count, and leaves standard output as it was.
TEST(RunReport, GraphsWarningsAndInputAreRecordedWhateverTheThreads) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + example() + " -sdp_max_mb 0.000001";
    const auto plain = runCommand(run + " -threads 1");
    const auto one = runCommand(run + " -threads 1 -report one.json");
    const auto two = runCommand(run + " -threads 2 -report two.json");
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(withoutParameterLine(one.out), withoutParameterLine(plain.out));
    const json r = json::parse(readFile("one.json"));
    EXPECT_EQ(withoutTimings(r), withoutTimings(json::parse(readFile("two.json"))));

    // The input as sha256sum and the file system see it.
    const std::string sum = runCommand("sha256sum " + example()).out.substr(0, 64);
    EXPECT_EQ(r["input"]["sha256"], sum);
    EXPECT_EQ(r["input"]["size_bytes"], fs::file_size(example()));

    std::vector<std::string> warnings;
    std::istringstream lines(one.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("WARNING| ", 0) == 0) warnings.push_back(line);
    ASSERT_EQ(warnings.size(), 4u);
    EXPECT_EQ(r["warnings"], json(warnings));
    ASSERT_EQ(r["graphs"].size(), 4u);
    EXPECT_EQ(r["counts"]["graphs_by_engine"]["tabu"], 4);
    EXPECT_EQ(r["counts"]["graphs_by_engine"]["sdp"], 0);
    for (size_t i = 0; i < 4; ++i) {
        const json& g = r["graphs"][i];
        EXPECT_EQ(g["engine"], "tabu");
        EXPECT_EQ(g["warnings"], json::array({warnings[i]}));
        // The tabu engine's clique bound: proven exactly when reached.
        ASSERT_TRUE(g["lower_bound"].is_number());
        EXPECT_LE(g["lower_bound"].get<double>(), g["cost"].get<double>());
        EXPECT_EQ(g["proven"], g["lower_bound"] == g["cost"]);
    }
    EXPECT_EQ(r["parameters"]["sdp_max_mb"], 0.000001);

    // The table of a folder of reports: a header, a rule, one row each.
    const auto table = runCommand("sh " + sourceDir() + "/scripts/report-table.sh .");
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("| example.ascii | 500 | sdp + tabu 4 | "), std::string::npos)
        << table.out;
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 4);
    // Nothing but the reports is left: no temporary file beside them.
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.path())) left.insert(e.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"one.json", "two.json"}));
}

// A run that fails still writes its report, with the error; a report that
// could not be written ends the run before it starts.
TEST(RunReport, FailuresAreReportedAndAnUnwritableTargetStopsTheRun) {
    testsupport::ScopedWorkDir dir;
    testsupport::writeFile("r.json", "old");
    auto missing = runCommand(binaryPath() + " -inlib missing.ascii -report r.json");
    EXPECT_EQ(missing.status, 1);
    json r = json::parse(readFile("r.json"));
    EXPECT_EQ(r["status"], 1);
    EXPECT_EQ(r["error"], "ERROR| cannot open file: missing.ascii");
    EXPECT_NE(missing.out.find("\nERROR| cannot open file: missing.ascii\n"), std::string::npos);
    EXPECT_TRUE(r["result"].is_null());
    EXPECT_TRUE(r["input"]["sha256"].is_null());

    // A bad option after -report: the report still tells.
    auto bad = runCommand(binaryPath() + " -report r.json -inlib " + example() + " -foo 1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(json::parse(readFile("r.json"))["error"], "ERROR| can NOT parse: -foo");

    auto unwritable = runCommand(binaryPath() + " -inlib " + example() + " -report no/such/r.json");
    EXPECT_EQ(unwritable.status, 1);
    const std::string error = "\nERROR| can NOT write the report \"no/such/r.json\": ";
    EXPECT_NE(unwritable.out.find(error), std::string::npos) << unwritable.out;
    EXPECT_EQ(unwritable.out.find(error), unwritable.out.rfind(error));  // said once
    EXPECT_EQ(unwritable.out.find("wire# ="), std::string::npos);
}

// The version, with the solvers found as the solvers themselves tell it.
TEST(Version, NamesTheSolversFound) {
    testsupport::ScopedWorkDir dir;
    for (const char* option : {"--version", "-version"}) {
        auto r = runCommand(binaryPath() + " " + option);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Chromasect 2.0\n", 0), 0u) << r.out;
        const std::string csdp = runCommand("csdp 2>&1 | head -1").out;  // "CSDP 6.2.0"
        EXPECT_NE(r.out.find(csdp.substr(0, csdp.find_last_not_of(" \n") + 1) + " (csdp)\n"),
                  std::string::npos)
            << r.out;
        const std::string cbc = runCommand("pkg-config --modversion cbc").out;
        EXPECT_NE(r.out.find("CBC " + cbc.substr(0, cbc.find('\n')) + " (library)\n"),
                  std::string::npos);
    }
    // Without CSDP on the PATH the version says so.
    auto none = runCommand("env PATH=/nonexistent " + binaryPath() + " --version");
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("CSDP: not found"), std::string::npos);
}

// KLayout opens a real -out file with the layer properties installed beside
// the binary: every datatype the file holds has its named entry.
TEST(KLayoutLayerProperties, NameEveryDatatypeOfTheMasks) {
    if (runCommand("command -v klayout >/dev/null 2>&1").status != 0)
        GTEST_SKIP() << "klayout not installed";
    testsupport::ScopedWorkDir dir;
    ASSERT_EQ(runCommand(binaryPath() + " -inlib " + example() + " -out masks.gds").status, 0);
    const std::string lyp = fs::path(binaryPath()).parent_path().string() + "/chromasect.lyp";
    auto r = runCommand("klayout -b -rd input=masks.gds -rd lyp=" + lyp + " -r " + sourceDir() +
                        "/klayout/layer_names.rb 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    // The example has shapes of every kind.
    EXPECT_EQ(r.out,
              "1/1 mask 0\n1/2 mask 1\n1/3 mask 2\n1/9 uncoloured\n1/10 conflict\n1/11 stitch\n");
}

}  // namespace
