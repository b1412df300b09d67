// What the statistics families share: the thread gates, the
// sequential-or-banded scan that produces partials and the shared checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/threads.h"
#include "stats/ops.h"
#include "zalcv.h"

namespace zal::stats {

// ROI area in pixels, without overflow.
inline long long area(ImageSize roi) { return static_cast<long long>(roi.width) * roi.height; }

inline bool goesParallel(Gate gate, ImageSize roi) {
    if (gate == Gate::Never) return false;
    const long long a = area(roi);
    if (gate == Gate::Area16384) return a >= 16384;
    const long long maxT = owncvGetMaxNumThreads();
    const auto atLeast = [&](int shift) { return a >= (maxT << shift); };
    switch (gate) {
        case Gate::T15: return atLeast(15);
        case Gate::T15Multi: return atLeast(15) && runomp() != 0;
        case Gate::T15MultiOrT17: return (atLeast(15) && runomp() != 0) || atLeast(17);
        case Gate::T16: return atLeast(16);
        case Gate::T17: return atLeast(17);
        case Gate::T17Multi: return atLeast(17) && runomp() != 0;
        case Gate::T19: return atLeast(19);
        default: return false;
    }
}

// Runs band(id, begin, end, partial&) over all rows, either once in the
// calling thread or over the worker bands, then merge(partial) in band order.
// The sequential path is the one-band case of the same code.
template <class Partial, class BandFn, class MergeFn>
void scanRows(bool parallel, int rows, const Partial& neutral, BandFn&& band, MergeFn&& merge) {
    if (parallel) {
        runBands(rows, neutral, band, merge);
        return;
    }
    Partial whole(neutral);
    band(0, 0, rows, whole);
    merge(static_cast<const Partial&>(whole));
}

// -8 when a source or, in masked members, the mask is null.
template <bool Masked, class... P>
StatusCode requireInputs(const uint8_t* pMask, const P*... sources) {
    ZAL_CHECK(requireNonNull(sources...));
    if constexpr (Masked) return requireNonNull(pMask);
    return StatusOk;
}

// Checks shared by the masked statistics, in their documented order:
// pointers, size, the source and mask length tests, the source alignment
// test, then the channel of interest. `alignFirst` moves the alignment test
// directly after the source length test (masked 16u mean members).
template <class T, int Channels, bool Masked>
StatusCode checkSourceAndMask(ImageSize roi, int srcStep, int maskStep, int coi, bool alignFirst = false) {
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, Channels>(roi, srcStep)));
    if (alignFirst) ZAL_CHECK(requireStepsAligned<T>(srcStep));
    if (Masked) ZAL_CHECK((requireRowSteps<uint8_t, 1>(roi, maskStep)));
    if (!alignFirst) ZAL_CHECK(requireStepsAligned<T>(srcStep));
    if (Channels == 3) ZAL_CHECK(requireChannelOfInterest(coi));
    return StatusOk;
}

// Starting values of a row scan: +-infinity for 32f so that infinite data are
// reported as such, the type's range otherwise.
template <class T>
constexpr T highestOf() {
    if constexpr (std::is_same_v<T, float>) return std::numeric_limits<float>::infinity();
    else return std::numeric_limits<T>::max();
}
template <class T>
constexpr T lowestOf() {
    if constexpr (std::is_same_v<T, float>) return -std::numeric_limits<float>::infinity();
    else return std::numeric_limits<T>::min();
}

// The extremes of a band (or of the whole ROI) and the rows they were met in.
template <class T>
struct RunningExtremes {
    T min = highestOf<T>();
    T max = lowestOf<T>();
    int minRow = 0;
    int maxRow = 0;
    bool found = false;  // some pixel was selected

    // Takes a later row's (or band's) extremes; strict comparisons keep ties
    // at the earlier one.
    void take(T lo, int loRow, T hi, int hiRow) {
        if (!found || lo < min) {
            min = lo;
            minRow = loRow;
        }
        if (!found || hi > max) {
            max = hi;
            maxRow = hiRow;
        }
        found = true;
    }
};

// Exact integer accumulators: unsigned 64-bit for non-negative terms, signed
// 64-bit for 8s sums; double for 32f.
template <class T>
using SumOf = std::conditional_t<std::is_same_v<T, float>, double,
                                 std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>;

}  // namespace zal::stats
