// Checks a run report (-report) against its documented fields
// (docs/run-report.md) and against the standard output of the same run:
// every count the run also prints in a
// "STAT | " line must agree, and the warnings must be the run's
// "WARNING| " lines. Prints each disagreement; exit status 1 when any.
//
//   golden_check_report REPORT.json STDOUT STATUS INPUT

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (ok) return;
    std::cerr << "report: " << what << "\n";
    ++failures;
}

// The object's keys, exactly these, in this order, each of one of the kinds
// named by the letters: i integer, n number, s string, b bool, a array, o
// object, 0 null.
// False when any is missing or of another kind.
bool expectFields(const json& o, const std::string& where,
                  const std::vector<std::pair<std::string, std::string> >& fields) {
    if (!o.is_object()) {
        expect(false, where + " is not an object");
        return false;
    }
    const int before = failures;
    std::vector<std::string> keys;
    for (auto it = o.begin(); it != o.end(); ++it) keys.push_back(it.key());
    std::vector<std::string> wanted;
    for (const auto& f : fields) wanted.push_back(f.first);
    expect(keys.size() == wanted.size(), where + ": other keys than documented");
    for (const auto& f : fields) {
        if (!o.contains(f.first)) {
            expect(false, where + " has no " + f.first);
            continue;
        }
        const json& v = o[f.first];
        bool kind = false;
        for (char k : f.second) {
            kind = kind || (k == 'i' && v.is_number_integer()) || (k == 'n' && v.is_number()) ||
                   (k == 's' && v.is_string()) || (k == 'b' && v.is_boolean()) ||
                   (k == 'a' && v.is_array()) || (k == 'o' && v.is_object()) ||
                   (k == '0' && v.is_null());
        }
        expect(kind, where + "." + f.first + " is not of kind " + f.second);
    }
    return failures == before;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The numbers of the last line matching re, or none.
std::vector<double> lastMatch(const std::vector<std::string>& lines, const std::string& re) {
    const std::regex r(re);
    std::vector<double> found;
    for (const std::string& line : lines) {
        std::smatch m;
        if (!std::regex_search(line, m, r)) continue;
        found.clear();
        for (size_t i = 1; i < m.size(); ++i) found.push_back(std::stod(m[i].str()));
    }
    return found;
}

bool near(double a, double b) {
    return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: golden_check_report REPORT.json STDOUT STATUS INPUT\n";
        return 2;
    }
    json r;
    try {
        r = json::parse(readText(argv[1]));
    } catch (const std::exception& e) {
        std::cerr << "report: not JSON: " << e.what() << "\n";
        return 1;
    }
    std::vector<std::string> lines;
    {
        std::istringstream out(readText(argv[2]));
        for (std::string line; std::getline(out, line);) lines.push_back(line);
    }
    const int status = std::stoi(argv[3]);

    if (!expectFields(r, "report",
                      {{"schema", "i"},
                       {"version", "s"},
                       {"solvers", "o"},
                       {"command_line", "a"},
                       {"status", "i"},
                       {"error", "s0"},
                       {"input", "o"},
                       {"layer", "i"},
                       {"parameters", "o"},
                       {"result", "o0"},
                       {"counts", "o"},
                       {"total", "o"},
                       {"stages", "a"},
                       {"processes", "o"},
                       {"fixed", "o"},
                       {"graphs", "a"},
                       {"warnings", "a"}}))
        return 1;
    expect(r["schema"] == 1, "schema is not 1");
    expect(r["status"] == status, "status differs from the run's");
    expect(r["error"].is_null() == (status == 0), "error and status disagree");
    expectFields(r["solvers"], "solvers", {{"csdp", "s0"}, {"cbc", "s"}});
    expectFields(r["processes"], "processes",
                 {{"count", "i"},
                  {"graphs_sent", "i"},
                  {"bytes_sent", "i"},
                  {"bytes_received", "i"},
                  {"peak_worker_rss_mb", "n"}});
    expectFields(r["fixed"], "fixed",
                 {{"features", "i"}, {"kept", "i0"}, {"changed", "i0"}, {"new", "i0"}});
    expectFields(r["input"], "input", {{"name", "s"}, {"size_bytes", "i0"}, {"sha256", "s0"}});
    struct stat st;
    expect(stat(argv[4], &st) == 0 && r["input"]["size_bytes"] == st.st_size,
           "input size is not the file's");
    expect(std::regex_match(r["input"]["sha256"].get<std::string>(), std::regex("[0-9a-f]{64}")),
           "input sha256 is not 64 hex digits");
    // In the options' order (the usage's).
    expectFields(r["parameters"], "parameters",
                 {{"layer", "i"},     {"mindp", "i"},      {"alpha", "n"},      {"beta", "n"},
                  {"out", "s0"},      {"dump", "s0"},      {"algo", "s"},       {"simlg", "i"},
                  {"simdg", "i"},     {"stitch", "i"},     {"tplstitch", "i"},  {"balance", "i"},
                  {"round2", "i"},    {"progress", "i"},   {"svg", "s0"},       {"window", "a0"},
                  {"exact_sec", "n"}, {"quality", "i"},    {"threads", "i"},    {"solver_sec", "n"},
                  {"tabu_sec", "n"},  {"sdp_max_mb", "n"}, {"max_shapes", "i"}, {"report", "s"},
                  {"masks", "i"},     {"fixed", "i"},      {"previous", "s0"}});
    expect(r["layer"] == r["parameters"]["layer"], "layer is not the parameter's");

    // Counts against the "STAT | " lines.
    const json& c = r["counts"];
    if (!expectFields(c, "counts",
                      {{"features_read", "i"},
                       {"components", "i"},
                       {"set_aside", "i"},
                       {"pieces", "i"},
                       {"graphs_before_split", "i"},
                       {"graphs_after_split", "i"},
                       {"graphs_by_engine", "o"},
                       {"solver_calls", "i"}}))
        return 1;
    auto stat1 = [&](const std::string& re, double fallback) {
        const std::vector<double> v = lastMatch(lines, re);
        return v.empty() ? fallback : v[0];
    };
    expect(c["features_read"] == stat1("^STAT \\| After read all wires, wire# = (\\d+)$", -1),
           "features_read differs from the STAT line");
    expect(c["components"] == stat1("^STAT \\| number of Independent Components: (-?\\d+)$", -1),
           "components differs from the STAT line");
    expect(c["set_aside"] == stat1("^STAT \\| after 2nd LG simplification, simplified wire# = "
                                   "(\\d+)$",
                                   0),
           "set_aside differs from the STAT line");
    expect(c["graphs_before_split"] ==
               stat1("^STAT \\| before DG simplification, number of DGs: (\\d+)$", -1),
           "graphs_before_split differs from the STAT line");
    expect(c["graphs_after_split"] ==
               stat1("^STAT \\| after  DG simplification, number of DGs: (\\d+)$", -1),
           "graphs_after_split differs from the STAT line");
    expect(c["solver_calls"] == stat1("^STAT \\| Solver Calling time: (\\d+)$", -1),
           "solver_calls differs from the STAT line");
    expectFields(c["graphs_by_engine"], "counts.graphs_by_engine",
                 {{"fast_trial", "i"}, {"sdp", "i"}, {"ilp", "i"}, {"exact", "i"}, {"tabu", "i"}});

    // Every graph that reached an engine, in graph order.
    const json& graphs = r["graphs"];
    int lastIndex = -1, engines = 0, proven = 0;
    double cost = 0.0, bound = 0.0;
    std::map<std::string, int> byEngine;
    std::map<int, const json*> byIndex;
    for (const json& g : graphs) {
        if (!expectFields(g, "graph",
                          {{"index", "i"},
                           {"vertices", "i"},
                           {"conflict_pairs", "i"},
                           {"stitch_pairs", "i"},
                           {"engine", "s"},
                           {"cost", "n"},
                           {"lower_bound", "n0"},
                           {"proven", "b"},
                           {"seconds", "n"},
                           {"same_as", "i0"},
                           {"warnings", "a"}}))
            return 1;
        expect(g["index"].get<int>() > lastIndex, "graphs out of order");
        expect(g["index"].get<int>() < c["graphs_after_split"].get<int>(), "graph index too high");
        lastIndex = g["index"];
        byIndex[lastIndex] = &g;
        if (!g["same_as"].is_null()) {
            // A reused answer: an earlier graph of the same size, pairs and cost.
            auto twin = byIndex.find(g["same_as"].get<int>());
            expect(twin != byIndex.end() && twin->first < lastIndex &&
                       (*twin->second)["same_as"].is_null() &&
                       (*twin->second)["vertices"] == g["vertices"] &&
                       (*twin->second)["conflict_pairs"] == g["conflict_pairs"] &&
                       (*twin->second)["stitch_pairs"] == g["stitch_pairs"] &&
                       (*twin->second)["cost"] == g["cost"],
                   "a graph reusing the answer of no earlier graph like it");
        }
        expect(g["vertices"].get<int>() >= 2, "a graph of fewer than 2 vertices");
        expect(g["cost"].get<double>() <=
                   g["conflict_pairs"].get<double>() +
                       r["parameters"]["alpha"].get<double>() * g["stitch_pairs"].get<double>() +
                       1e-9,
               "a cost above all pairs");
        if (!g["lower_bound"].is_null()) {
            expect(g["lower_bound"].get<double>() <= g["cost"].get<double>() + 1e-9,
                   "a lower bound above the cost");
            bound += g["lower_bound"].get<double>();
        }
        if (g["proven"].get<bool>()) ++proven;
        ++byEngine[g["engine"].get<std::string>()];
        ++engines;
        cost += g["cost"].get<double>();
    }
    for (const char* e : {"sdp", "ilp", "exact", "tabu"})
        expect(c["graphs_by_engine"][e] == byEngine[e], std::string("count of ") + e + " graphs");
    expect(engines == c["solver_calls"], "solver calls and graphs at engines differ");
    expect(c["graphs_by_engine"]["fast_trial"].get<int>() + engines <= c["graphs_after_split"],
           "more graphs coloured than there are");
    const std::vector<double> quality =
        lastMatch(lines, "^STAT \\| Engine cost: ([-0-9.e+]+) over (\\d+) graphs$");
    if (!quality.empty())
        expect(near(cost, quality[0]) && quality[1] == engines, "engine cost differs");
    const std::vector<double> exact =
        lastMatch(lines,
                  "^STAT \\| Exact engine: (\\d+) of (\\d+) graphs proven optimal, engine cost "
                  "([-0-9.e+]+) \\(start cost [-0-9.e+]+\\), lower bound ([-0-9.e+]+)$");
    if (!exact.empty())
        expect(exact[0] == proven && exact[1] == engines && near(cost, exact[2]) &&
                   near(bound, exact[3]),
               "the exact engine's line differs");

    // The result against the result line and the written markers.
    const json& res = r["result"];
    if (!expectFields(res, "result",
                      {{"stitch_num", "i"},
                       {"conflict_num", "i"},
                       {"stitches", "i"},
                       {"conflicts", "i"},
                       {"uncoloured_features", "i"},
                       {"uncoloured_set_aside_large", "i"},
                       {"uncoloured_set_aside_small", "i"}}))
        return 1;
    const std::vector<double> final =
        lastMatch(lines, "^STAT \\| Final Stitch Num: (\\d+), Conflict Num: (\\d+)$");
    expect(final.size() == 2 && res["stitch_num"] == final[0] && res["conflict_num"] == final[1],
           "the result differs from the result line");
    expect(res["stitch_num"] ==
                   res["stitches"].get<int>() + res["uncoloured_set_aside_large"].get<int>() &&
               res["conflict_num"] ==
                   res["conflicts"].get<int>() + res["uncoloured_set_aside_small"].get<int>(),
           "the result's sums");
    const std::vector<double> markers =
        lastMatch(lines,
                  "^STAT \\| Decomposed layout written to .*: (\\d+) on datatype 10, "
                  "(\\d+) on datatype 11$");
    if (!markers.empty())
        expect(res["conflicts"] == markers[0] && res["stitches"] == markers[1],
               "conflicts and stitches differ from the markers written");

    // Stages in their order, memory never going down.
    const std::vector<std::string> names = {
        "reading",   "layout graphs",   "simplification", "projection", "decomposition graphs",
        "colouring", "back-annotation", "counting",       "writing"};
    const json& stages = r["stages"];
    expect(stages.size() == names.size(), "not every stage is there");
    double wall = 0.0, rss = 0.0;
    for (size_t i = 0; i < stages.size() && i < names.size(); ++i) {
        const json& s = stages[i];
        if (!expectFields(s, "stage",
                          {{"name", "s"},
                           {"wall_seconds", "n"},
                           {"cpu_seconds", "n"},
                           {"peak_rss_mb", "n"},
                           {"peak_solver_rss_mb", "n"}}))
            return 1;
        expect(s["name"] == names[i], "stage " + names[i] + " missing or out of order");
        expect(s["wall_seconds"].get<double>() >= 0 && s["cpu_seconds"].get<double>() >= 0,
               "a negative time");
        expect(s["peak_rss_mb"].get<double>() >= rss && s["peak_rss_mb"].get<double>() > 0,
               "peak memory going down");
        rss = s["peak_rss_mb"];
        wall += s["wall_seconds"].get<double>();
    }
    expect(std::fabs(r["total"]["wall_seconds"].get<double>() - wall) < 1e-5 &&
               r["total"]["peak_rss_mb"] == rss,
           "total is not the stages' sum");

    // The warnings: exactly the run's "WARNING| " lines.
    std::vector<std::string> warnings;
    for (const std::string& line : lines)
        if (line.compare(0, 9, "WARNING| ") == 0) warnings.push_back(line);
    expect(r["warnings"] == json(warnings), "warnings differ from the WARNING| lines");
    return failures ? 1 : 0;
}
