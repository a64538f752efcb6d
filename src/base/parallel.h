#pragma once
// Work spread over a few threads whose result cannot depend on how it was
// spread: each index is handled by exactly one call that touches only what
// that index owns, so every thread count gives the same bytes.

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace chromasect {

// Calls f(i) for every i in 0 .. n-1 on up to `threads` workers (the caller
// among them), handing out runs of `run` indices in turn. Below `minPerWorker`
// indices a worker, fewer workers start. An exception thrown by f ends the
// program: f must catch what it can meet.
template <class F>
void parallelFor(size_t n, int threads, F f, size_t run = 64, size_t minPerWorker = 256) {
    const size_t byWork = std::max<size_t>(1, n / std::max<size_t>(1, minPerWorker));
    const size_t workers = std::min<size_t>(static_cast<size_t>(std::max(1, threads)), byWork);
    if (workers <= 1) {
        for (size_t i = 0; i < n; ++i) f(i);
        return;
    }
    std::atomic<size_t> next(0);
    auto loop = [&]() {
        for (size_t from = next.fetch_add(run); from < n; from = next.fetch_add(run))
            for (size_t i = from; i < std::min(n, from + run); ++i) f(i);
    };
    std::vector<std::thread> pool;
    for (size_t w = 1; w < workers; ++w) pool.emplace_back(loop);
    loop();
    for (std::thread& t : pool) t.join();
}

}  // namespace chromasect
