// Choosing among implementations of one compression by their speed on the processor that runs
// them. Feature flags say what a processor can run, not what runs fastest there: a vector
// variant that wins on one processor can lose to the portable code on another.
//
// Contract: fastest_variant(candidates, n, trial) returns one of the n (>= 1) candidates, all of
// which compute exactly the same function, so the choice changes speed, never a digest. Each
// candidate's `trial` (a fixed piece of work, a few microseconds long) is timed seven times,
// the candidates taking turns so that a change in the machine's speed meets them alike, and
// the one with the shortest best time wins; on a tie the earlier candidate does. It takes well
// under a millisecond. Callers list only candidates the processor's features allow, and
// cache the result (FastestVariantCache) so that it is timed once per process and feature set.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

template <class F> F fastest_variant(const F* candidates, size_t n, void (*trial)(F))
{
    using clock = std::chrono::steady_clock;
    const size_t max_candidates = 4;
    clock::duration best[max_candidates];
    n = n < max_candidates ? n : max_candidates;
    for (size_t i = 0; i < n; ++i)
        best[i] = clock::duration::max();
    for (int round = 0; round < 7; ++round)
        for (size_t i = 0; i < n; ++i) {
            const clock::time_point start = clock::now();
            trial(candidates[i]);
            const clock::duration took = clock::now() - start;
            if (took < best[i])
                best[i] = took;
        }
    size_t fastest = 0;
    for (size_t i = 1; i < n; ++i)
        if (best[i] < best[fastest])
            fastest = i;
    return candidates[fastest];
}

// A variant the processor computes wrongly (a fault of the processor, an emulator or a
// compiler) must never be used, however fast: fastest_agreeing_variant first drops every
// candidate for which same(reference, candidate) is false, where `same` runs both on one short
// known input and compares the results (microseconds, once per process and feature set with
// the cache), then times the rest as fastest_variant does. The reference is the portable code,
// which the caller falls back to when no candidate is left: the result is then `fallback`.
template <class F, class R>
F fastest_agreeing_variant(R reference, const F* candidates, size_t n, void (*trial)(F),
                           bool (*same)(R, F), F fallback)
{
    const size_t max_candidates = 4;
    F agreeing[max_candidates];
    size_t kept = 0;
    for (size_t i = 0; i < n && kept < max_candidates; ++i)
        if (same(reference, candidates[i]))
            agreeing[kept++] = candidates[i];
    if (kept == 0)
        return fallback;
    return kept == 1 ? agreeing[0] : fastest_variant(agreeing, kept, trial);
}

// One algorithm's choices, one per feature set met so far (a process meets one, or a few when
// a test or benchmark limits the features); safe to use from several threads.
template <class F> class FastestVariantCache {
public:
    // The cached choice for `features`, or `choose()`'s, which is then cached.
    template <class Choose> F get(uint32_t features, Choose choose)
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (size_t i = 0; i < used_; ++i)
            if (features_[i] == features)
                return choices_[i];
        const F choice = choose();
        if (used_ < slots) {
            features_[used_] = features;
            choices_[used_++] = choice;
        }
        return choice;
    }

private:
    static const size_t slots = 16;
    std::mutex lock_;
    uint32_t features_[slots] = {};
    F choices_[slots] = {};
    size_t used_ = 0;
};
