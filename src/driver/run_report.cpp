#include "driver/run_report.h"

#include <coin/Cbc_C_Interface.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "driver/options.h"
#include "solvers/csdp.h"
#include "solvers/ilp.h"

namespace chromasect {

const char* const kVersion = "2.0";

namespace {

// Keys in the order written, the documented order.
using json = nlohmann::ordered_json;

// Processor seconds and peak memory of this process and of the children it
// has waited for (the solvers do most of the work), read once.
struct Usage {
    double cpuSeconds = 0.0;
    long peakRssKB = 0, peakChildRssKB = 0;
};
Usage usageNow() {
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    Usage u;
    u.cpuSeconds = seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
                   seconds(children.ru_stime);
    u.peakRssKB = self.ru_maxrss;
    u.peakChildRssKB = children.ru_maxrss;
    return u;
}

// The first line the command prints, empty when it cannot be run.
std::string firstLineOf(const std::string& command) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return "";
    char buf[256] = {0};
    std::string line;
    if (std::fgets(buf, sizeof buf, p)) line = buf;
    pclose(p);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The CSDP program a run would start and the version it names (CSDP prints
// it first when started without a problem); empty when none is found.
std::string csdpVersion(std::string& command) {
    command = Csdp::solverCommand();
    if (command.empty()) return "";
    const std::string line = firstLineOf(shellQuote(command));
    return line.compare(0, 5, "CSDP ") == 0 ? line.substr(5) : "unknown";
}

class Sha256 {
  public:
    void add(const unsigned char* data, size_t n) {
        bits_ += 8ull * n;
        // Whole blocks straight from the input; bytes are copied only to
        // fill a partial block.
        while (n > 0) {
            if (fill_ == 0 && n >= 64) {
                compress(data);
                data += 64;
                n -= 64;
                continue;
            }
            const size_t take = std::min(n, size_t(64) - fill_);
            std::copy(data, data + take, block_ + fill_);
            fill_ += take;
            data += take;
            n -= take;
            if (fill_ == 64) {
                compress(block_);
                fill_ = 0;
            }
        }
    }
    std::string hex() {
        const uint64_t bits = bits_;
        const unsigned char one = 0x80, zero = 0;
        add(&one, 1);
        while (fill_ != 56) add(&zero, 1);
        unsigned char length[8];
        for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        add(length, 8);
        std::string out;
        char digits[9];
        for (uint32_t v : h_) {
            std::snprintf(digits, sizeof digits, "%08x", v);
            out += digits;
        }
        return out;
    }

  private:
    static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void compress(const unsigned char* block) {
        static const uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
            0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
            0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
            0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
            0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
            0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
            0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
            0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
            0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = static_cast<uint32_t>(block[4 * i]) << 24 |
                   static_cast<uint32_t>(block[4 * i + 1]) << 16 |
                   static_cast<uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
                 h = h_[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 =
                h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const uint32_t t2 =
                (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const uint32_t add[8] = {a, b, c, d, e, f, g, h};
        for (int i = 0; i < 8; ++i) h_[i] += add[i];
    }

    std::array<uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    unsigned char block_[64] = {0};
    size_t fill_ = 0;
    uint64_t bits_ = 0;
};

json countOrNull(int n) {
    return n < 0 ? json(nullptr) : json(n);
}

json nameOrNull(const std::string& s) {
    return s.empty() ? json(nullptr) : json(s);
}

json countsOf(const MPLDesign& d) {
    const RunStats& s = d.stats;
    json byEngine = {
        {"fast_trial", s.fastTrialGraphs}, {"sdp", 0}, {"ilp", 0}, {"exact", 0}, {"tabu", 0}};
    for (const GraphRecord& g : s.graphs) byEngine[g.engine] = byEngine[g.engine].get<int>() + 1;
    return {{"features_read", countOrNull(s.featuresRead)},
            {"components", countOrNull(s.components)},
            {"set_aside", countOrNull(s.setAside)},
            {"pieces", countOrNull(s.pieces)},
            {"graphs_before_split", countOrNull(s.graphsBeforeSplit)},
            {"graphs_after_split", countOrNull(s.graphsAfterSplit)},
            {"graphs_by_engine", byEngine},
            {"solver_calls", s.solverCalls}};
}

// Seconds to the microsecond, megabytes to the kilobyte: what the clocks
// and the kernel give.
double micro(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
}

json graphsOf(const MPLDesign& d) {
    json out = json::array();
    for (const GraphRecord& g : d.stats.graphs) {
        out.push_back({{"index", g.index},
                       {"vertices", g.vertices},
                       {"conflict_pairs", g.conflictPairs},
                       {"stitch_pairs", g.stitchPairs},
                       {"engine", g.engine},
                       {"cost", g.cost},
                       {"lower_bound", g.hasLowerBound ? json(g.lowerBound) : json(nullptr)},
                       {"proven", g.proven},
                       {"seconds", micro(g.seconds)},
                       {"same_as", g.sameAs >= 0 ? json(g.sameAs) : json(nullptr)},
                       {"warnings", json(g.warnings)}});
    }
    return out;
}

json stageJson(double wall, double cpu, long rssKB, long childRssKB) {
    return {{"wall_seconds", micro(wall)},
            {"cpu_seconds", micro(cpu)},
            {"peak_rss_mb", rssKB / 1024.0},
            {"peak_solver_rss_mb", childRssKB / 1024.0}};
}

// The stages, and their sums (peaks: the highest) in total.
json stagesOf(const MPLDesign& d, json& total) {
    json out = json::array();
    double wall = 0.0, cpu = 0.0;
    long rss = 0, childRss = 0;
    for (const StageRecord& s : d.stats.stages) {
        json stage = {{"name", s.name}};
        stage.update(stageJson(s.wallSeconds, s.cpuSeconds, s.peakRssKB, s.peakChildRssKB));
        out.push_back(stage);
        wall += s.wallSeconds;
        cpu += s.cpuSeconds;
        rss = std::max(rss, s.peakRssKB);
        childRss = std::max(childRss, s.peakChildRssKB);
    }
    total = stageJson(wall, cpu, rss, childRss);
    return out;
}

json resultOf(const MPLDesign& d) {
    int uncoloured = 0;
    for (const myShape* s : d.shapes) {
        bool without = s->myBoxes.empty() && !isMask(s->color);
        for (const myBox* b : s->myBoxes) without = without || !isMask(b->color);
        if (without) ++uncoloured;
    }
    const int stitches = static_cast<int>(d.stitches.size());
    const int conflicts = static_cast<int>(d.conflicts.size());
    return {{"stitch_num", stitches + d.largeUncolored},
            {"conflict_num", conflicts + d.smallUncolored},
            {"stitches", stitches},
            {"conflicts", conflicts},
            {"uncoloured_features", uncoloured},
            {"uncoloured_set_aside_large", d.largeUncolored},
            {"uncoloured_set_aside_small", d.smallUncolored}};
}

}  // namespace

std::vector<std::string> versionLines() {
    std::vector<std::string> lines;
    lines.push_back(std::string("Chromasect ") + kVersion);
    std::string command;
    const std::string csdp = csdpVersion(command);
    lines.push_back(csdp.empty() ? "CSDP: not found (no ./csdp, no csdp on the PATH)"
                                 : "CSDP " + csdp + " (" + command + ")");
    lines.push_back(std::string("CBC ") + Cbc_getVersion() + " (library)");
    const std::string script = findIlpSolverScript(selfExecutablePath());
    lines.push_back(script.empty() ? "ILP solver script: not found"
                                   : "ILP solver script: " + script);
    return lines;
}

StageClock::StageClock(MPLDesign& d)
    : d_(d), begin_(std::chrono::steady_clock::now()), wall_(begin_), cpu_(usageNow().cpuSeconds) {}

bool StageClock::shown() const {
    return !d_.quiet || isatty(STDERR_FILENO) == 1;
}

void StageClock::start(const char* name) {
    if (!shown()) return;
    const double at =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
    std::fprintf(stderr, "[%7.1f s] %s ...\n", at, name);
    std::fflush(stderr);
}

void StageClock::stage(const char* name, const std::string& made) {
    const auto now = std::chrono::steady_clock::now();
    if (shown()) {
        std::fprintf(stderr, "[%7.1f s] %s done in %.1f s%s%s\n",
                     std::chrono::duration<double>(now - begin_).count(), name,
                     std::chrono::duration<double>(now - wall_).count(), made.empty() ? "" : ": ",
                     made.c_str());
        std::fflush(stderr);
    }
    const Usage usage = usageNow();
    StageRecord r;
    r.name = name;
    r.wallSeconds = std::chrono::duration<double>(now - wall_).count();
    r.cpuSeconds = usage.cpuSeconds - cpu_;
    r.peakRssKB = usage.peakRssKB;
    r.peakChildRssKB = usage.peakChildRssKB;
    d_.stats.stages.push_back(r);
    wall_ = now;
    cpu_ = usage.cpuSeconds;
}

bool fileSha256(const std::string& path, std::string& hex, long long& size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    Sha256 sha;
    std::vector<char> buf(1 << 16);
    size = 0;
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        sha.add(reinterpret_cast<const unsigned char*>(buf.data()), static_cast<size_t>(got));
        size += got;
    }
    if (in.bad()) return false;
    hex = sha.hex();
    return true;
}

std::string reportTargetProblem(const std::string& path) {
    const std::string why = whyNotWritable(path);
    return why.empty() ? "" : "ERROR| can NOT write the report \"" + path + "\": " + why;
}

void writeRunReport(const MPLDesign& d, const RunEnd& end) {
    json r;
    r["schema"] = 1;
    r["version"] = kVersion;
    std::string command;
    const std::string csdp = csdpVersion(command);
    r["solvers"] = {{"csdp", nameOrNull(csdp)}, {"cbc", Cbc_getVersion()}};
    r["command_line"] = end.commandLine;
    r["status"] = end.status;
    r["error"] = nameOrNull(end.error);
    std::string hash;
    long long size = 0;
    const bool read = fileSha256(d.inputFile, hash, size);
    r["input"] = {{"name", d.inputFile},
                  {"size_bytes", read ? json(size) : json(nullptr)},
                  {"sha256", read ? json(hash) : json(nullptr)}};
    r["layer"] = d.layer;
    r["parameters"] = reportParameters(d);
    r["result"] = end.resultReached ? resultOf(d) : json(nullptr);
    r["counts"] = countsOf(d);
    json total;
    const json stages = stagesOf(d, total);
    r["total"] = total;
    r["stages"] = stages;
    const RunStats& s = d.stats;
    r["processes"] = {{"count", s.processes},
                      {"graphs_sent", s.graphsSent},
                      {"bytes_sent", s.bytesSent},
                      {"bytes_received", s.bytesReceived},
                      {"peak_worker_rss_mb", s.workerPeakRssKB / 1024.0}};
    auto orNull = [](int n) { return n < 0 ? json(nullptr) : json(n); };
    r["fixed"] = {{"features", s.fixedFeatures},
                  {"kept", orNull(s.keptFeatures)},
                  {"changed", orNull(s.changedFeatures)},
                  {"new", orNull(s.newFeatures)}};
    r["graphs"] = graphsOf(d);
    r["warnings"] = d.report.warnings();
    // Replaced invalid UTF-8 (a file name, a message quoting the input)
    // rather than failing.
    const std::string text = r.dump(2, ' ', false, json::error_handler_t::replace) + "\n";

    WholeFile file(d.reportFile);
    if (file.isOpen()) file.stream() << text;
    if (!file.isOpen() || !file.commit())
        throw FatalError(kExitUsage, "ERROR| can NOT write the report \"" + d.reportFile +
                                         "\": " + std::strerror(errno ? errno : EIO));
}

}  // namespace chromasect
