#include "cluster/wire.h"

#include <cstring>

namespace chromasect {
namespace wire {

void Writer::u(uint64_t v) {
    while (v >= 0x80) {
        bytes_.push_back(static_cast<char>((v & 0x7f) | 0x80));
        v >>= 7;
    }
    bytes_.push_back(static_cast<char>(v));
}

void Writer::real(double v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    bytes_.append(b, sizeof v);
}

void Writer::text(const std::string& t) {
    u(t.size());
    bytes_ += t;
}

Reader::Reader(const std::string& bytes) : bytes_(bytes) {
    if (bytes_.empty() || static_cast<unsigned char>(bytes_[0]) != kVersion)
        throw WireError("a message of another version");
    at_ = 1;
}

uint64_t Reader::u() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at_ >= bytes_.size()) throw WireError("a message cut short");
        const unsigned char b = static_cast<unsigned char>(bytes_[at_++]);
        v |= static_cast<uint64_t>(b & 0x7f) << shift;
        if (!(b & 0x80)) return v;
    }
    throw WireError("a varint of more than ten bytes");
}

size_t Reader::count(size_t least) {
    const uint64_t n = u();
    if (n > (bytes_.size() - at_) / least) throw WireError("a count larger than the message");
    return static_cast<size_t>(n);
}

double Reader::real() {
    double v;
    if (bytes_.size() - at_ < sizeof v) throw WireError("a message cut short");
    std::memcpy(&v, bytes_.data() + at_, sizeof v);
    at_ += sizeof v;
    return v;
}

std::string Reader::text() {
    const size_t n = count();
    std::string t = bytes_.substr(at_, n);
    at_ += n;
    return t;
}

namespace {

int vertexOf(int64_t v) {
    if (v < INT32_MIN || v > INT32_MAX) throw WireError("a vertex out of range");
    return static_cast<int>(v);
}

void putPairs(Writer& w, const VertexPairs& pairs) {
    w.u(pairs.size());
    int64_t first = 0;
    for (const std::pair<int, int>& p : pairs) {
        w.s(p.first - first);
        w.s(int64_t(p.second) - p.first);
        first = p.first;
    }
}

VertexPairs getPairs(Reader& r) {
    const size_t n = r.count(2);
    std::vector<std::pair<int, int> > pairs;
    pairs.reserve(n);
    int64_t first = 0;
    for (size_t i = 0; i < n; ++i) {
        first += r.s();
        const int a = vertexOf(first);
        const int b = vertexOf(first + r.s());
        if (!pairs.empty() && !(pairs.back() < std::make_pair(a, b)))
            throw WireError("pairs out of order");
        pairs.emplace_back(a, b);
    }
    return VertexPairs::fromSorted(std::move(pairs));
}

}  // namespace

void putProblem(Writer& w, const ColoringProblem& p) {
    w.u(static_cast<uint64_t>(p.n));
    w.u(static_cast<uint64_t>(p.masks));
    putPairs(w, p.conflicts);
    putPairs(w, p.stitches);
    w.real(p.alpha);
    w.real(p.beta);
    w.u(p.densities.size());
    for (double x : p.densities) w.real(x);
    w.u(p.fixed.size());
    for (int c : p.fixed) w.s(c);
}

ColoringProblem getProblem(Reader& r) {
    ColoringProblem p;
    const uint64_t n = r.u(), masks = r.u();
    if (n > INT32_MAX || masks > 64) throw WireError("a problem out of range");
    p.n = static_cast<int>(n);
    p.masks = static_cast<int>(masks);
    p.conflicts = getPairs(r);
    p.stitches = getPairs(r);
    p.alpha = r.real();
    p.beta = r.real();
    const size_t densities = r.count(8);
    for (size_t i = 0; i < densities; ++i) p.densities.push_back(r.real());
    const size_t fixed = r.count();
    for (size_t i = 0; i < fixed; ++i) p.fixed.push_back(vertexOf(r.s()));
    return p;
}

void putResult(Writer& w, const EngineResult& e) {
    w.u(static_cast<uint64_t>(e.engine));
    w.u(e.colors.size());
    for (int c : e.colors) w.s(c);
    w.text(e.output);
    w.u((e.unanswered ? 1u : 0u) | (e.counted ? 2u : 0u) | (e.hasLowerBound ? 4u : 0u) |
        (e.proven ? 8u : 0u));
    w.real(e.cost);
    w.real(e.startCost);
    w.real(e.lowerBound);
    w.s(e.variables);
}

EngineResult getResult(Reader& r) {
    EngineResult e;
    const uint64_t engine = r.u();
    if (engine > static_cast<uint64_t>(Engine::None)) throw WireError("an unknown engine");
    e.engine = static_cast<Engine>(engine);
    const size_t n = r.count();
    e.colors.reserve(n);
    for (size_t i = 0; i < n; ++i) e.colors.push_back(vertexOf(r.s()));
    e.output = r.text();
    const uint64_t flags = r.u();
    e.unanswered = flags & 1;
    e.counted = flags & 2;
    e.hasLowerBound = flags & 4;
    e.proven = flags & 8;
    e.cost = r.real();
    e.startCost = r.real();
    e.lowerBound = r.real();
    e.variables = vertexOf(r.s());
    return e;
}

std::string encodeGreeting(const Greeting& g) {
    Writer w;
    w.u(g.args.size());
    for (const std::string& a : g.args) w.text(a);
    w.real(g.sdpMemoryMB);
    w.u(g.hasCsdpSettings ? 1 : 0);
    w.text(g.csdpSettings);
    return w.bytes();
}

Greeting decodeGreeting(const std::string& bytes) {
    Reader r(bytes);
    Greeting g;
    const size_t n = r.count();
    for (size_t i = 0; i < n; ++i) g.args.push_back(r.text());
    g.sdpMemoryMB = r.real();
    g.hasCsdpSettings = r.u() != 0;
    g.csdpSettings = r.text();
    return g;
}

}  // namespace wire
}  // namespace chromasect
