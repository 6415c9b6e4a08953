#pragma once
// Work spread over every core whose results are used in their order: the
// items are made a run at a time by as many threads as there are cores,
// and each run is handed to the caller's thread as soon as it and every
// run before it are made (the lines of a search, printed as they come).

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

// make(i) for every i below count, each run of `run` items on one thread;
// take(first, results) in the caller's thread, runs in order. make must be
// safe to call from several threads at once. The caller's thread makes runs
// too, one core's share, and hands over those made in order between its
// own; the other cores each have a thread of their own.
template <typename Make, typename Take>
void Make_in_order(std::size_t count, std::size_t run, const Make& make, const Take& take)
{
    using Result = decltype(make(std::size_t(0)));
    run = std::max<std::size_t>(run, 1);
    const std::size_t runs = (count + run - 1) / run;
    std::vector<std::vector<Result>> made(runs);
    std::vector<char> done(runs, 0);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    // Runs taken by a thread, made and kept until the caller takes them.
    const auto make_run = [&](std::size_t r) {
        std::vector<Result> results;
        const std::size_t end = std::min(count, (r + 1) * run);
        results.reserve(end - r * run);
        for (std::size_t i = r * run; i < end; ++i)
            results.push_back(make(i));
        {
            const std::lock_guard<std::mutex> lock(mutex);
            made[r] = std::move(results);
            done[r] = 1;
        }
        ready.notify_one();
    };
    const auto work = [&] {
        for (std::size_t r; (r = next.fetch_add(1)) < runs;)
            make_run(r);
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < std::min(cores, runs); ++t)
        threads.emplace_back(work);
    // Hands over the runs made in order from `taken` on; waits for them
    // when `wait`, else stops at the first one not made yet.
    std::size_t taken = 0;
    const auto take_made = [&](bool wait) {
        while (taken < runs) {
            std::vector<Result> results;
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (wait)
                    ready.wait(lock, [&] { return done[taken] != 0; });
                else if (!done[taken])
                    return;
                results = std::move(made[taken]);
            }
            take(taken * run, results);
            ++taken;
        }
    };
    for (std::size_t r; (r = next.fetch_add(1)) < runs;) {
        make_run(r);
        take_made(false);
    }
    take_made(true);
    for (std::thread& thread : threads)
        thread.join();
}
