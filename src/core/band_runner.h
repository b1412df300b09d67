// The one band runner of the library. A parallel operation, after all its
// checks, calls runBands() with the number of rows (or items) to split, a
// neutral partial result, a per-band worker and a merge:
//
//   * one OpenMP region is opened with the team size threads_omp_of_n_zal;
//   * the master sets n = team size, rowsPerBand = rows / n and the remainder,
//     and provides n partial slots (on the stack up to 32, else from the
//     aligned allocator);
//   * after a barrier every thread processes band id = its thread number:
//     rows [id * rowsPerBand, (id + 1) * rowsPerBand), the last band also
//     taking the remainder rows; a thread with an empty band leaves the
//     neutral partial in its slot;
//   * after the join the calling thread merges slots 0, 1, ..., n - 1 in that
//     order.
//
// Nothing is shared inside the region except those slots, so integer results
// never depend on the team size. When the slot block for more than 32
// threads cannot be allocated, the whole range runs as a single band in the
// calling thread.
#pragma once

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>
#include <utility>

#include "core/align.h"
#include "core/threads.h"
#include "zalcv.h"

namespace zal {

// The rows of band `id` out of `bands` bands over `rows` rows.
struct BandRange {
    int begin = 0;
    int end = 0;
};

constexpr BandRange bandRows(int rows, int bands, int id) {
    const int perBand = rows / bands;
    const int begin = id * perBand;
    const int end = id == bands - 1 ? rows : begin + perBand;
    return {begin, end};
}

// Slot storage: 32 slots inline, more from zalsMalloc_8u. Every slot has
// cache lines of its own: bands that update their partial as they go (once
// per row, say) would otherwise pass a shared line back and forth between
// the cores all the time.
template <class Partial>
class PartialSlots {
public:
    static constexpr int kInline = 32;
    // Two lines: the hardware prefetcher fetches lines in aligned pairs.
    static constexpr std::size_t kLine = 128;

    PartialSlots() = default;
    PartialSlots(const PartialSlots&) = delete;
    PartialSlots& operator=(const PartialSlots&) = delete;
    ~PartialSlots() { release(); }

    // Prepares n slots holding `neutral`; false when the block cannot be had.
    bool reset(int n, const Partial& neutral) {
        release();
        if (n <= kInline) {
            slots_ = inline_;
        } else {
            const long long bytes = static_cast<long long>(sizeof(Slot)) * n + kLine;
            void* block = bytes <= 0x7fffffffLL ? zalsMalloc_8u(static_cast<int>(bytes)) : nullptr;
            if (!block) return false;
            slots_ = alignUp<Slot>(block, kLine);
            heap_ = block;
        }
        for (int i = 0; i < n; ++i) new (&slots_[i].value) Partial(neutral);
        count_ = n;
        return true;
    }
    Partial& operator[](int i) { return slots_[i].value; }
    int size() const { return count_; }

private:
    struct alignas(kLine) Slot {
        union {
            Partial value;
        };
        Slot() {}
        ~Slot() {}
    };
    void release() {
        for (int i = 0; i < count_; ++i) slots_[i].value.~Partial();
        if (heap_) zalsFree(heap_);
        heap_ = nullptr;
        count_ = 0;
    }
    Slot inline_[kInline];
    Slot* slots_ = nullptr;
    void* heap_ = nullptr;
    int count_ = 0;
};

// Runs band(id, begin, end, partial&) over the bands of [0, rows) on a team
// of at most `maxBands` threads (and never more than the configured count),
// then merge(const partial&) for every slot in band order. For callers whose
// work area holds per-band slices for a fixed number of workers. Returns the
// number of bands used.
template <class Partial, class BandFn, class MergeFn>
int runBandsUpTo(int maxBands, int rows, const Partial& neutral, BandFn&& band, MergeFn&& merge) {
    PartialSlots<Partial> slots;
    int bands = 1;
    bool slotsReady = true;
    const int team = maxBands < threads_omp_of_n_zal ? (maxBands < 1 ? 1 : maxBands) : threads_omp_of_n_zal;
#pragma omp parallel num_threads(team) shared(slots, bands, slotsReady)
    {
#pragma omp master
        {
            bands = omp_get_num_threads();
            slotsReady = slots.reset(bands, neutral);
        }
#pragma omp barrier
        const int id = owncvGetIdThreads();
        if (slotsReady && id < bands) {
            const BandRange range = bandRows(rows, bands, id);
            if (range.begin < range.end) band(id, range.begin, range.end, slots[id]);
        }
    }
    if (!slotsReady) {
        // Slot block for a large team unavailable: one band in this thread.
        Partial whole(neutral);
        band(0, 0, rows, whole);
        merge(static_cast<const Partial&>(whole));
        return 1;
    }
    for (int id = 0; id < bands; ++id) merge(static_cast<const Partial&>(slots[id]));
    return bands;
}

// Runs band(id, begin, end, partial&) over the bands of [0, rows) on the
// worker team and then merge(const partial&) for every slot in band order.
// Returns the number of bands used.
template <class Partial, class BandFn, class MergeFn>
int runBands(int rows, const Partial& neutral, BandFn&& band, MergeFn&& merge) {
    return runBandsUpTo(threads_omp_of_n_zal, rows, neutral, static_cast<BandFn&&>(band), static_cast<MergeFn&&>(merge));
}

// Bands without partial results: each band writes only its own rows.
template <class BandFn>
int runBandsUpTo(int maxBands, int rows, BandFn&& band) {
    struct None {};
    return runBandsUpTo(maxBands, rows, None{}, [&](int id, int begin, int end, None&) { band(id, begin, end); },
                        [](const None&) {});
}

template <class BandFn>
int runBands(int rows, BandFn&& band) {
    return runBandsUpTo(threads_omp_of_n_zal, rows, static_cast<BandFn&&>(band));
}

// Runs chunk(id, begin, end) over [0, items) in chunks of `chunkSize` items,
// which the threads of a team of at most `maxWorkers` take one after another
// as they finish their last: for items whose costs differ widely, where equal
// bands would leave one thread waiting for the other. Every item runs once,
// in the thread `id` (below the team size) that took its chunk; which thread
// that is varies from call to call, so results must not depend on it.
template <class ChunkFn>
void runChunksUpTo(int maxWorkers, int items, int chunkSize, ChunkFn&& chunk) {
    const int team = maxWorkers < threads_omp_of_n_zal ? (maxWorkers < 1 ? 1 : maxWorkers) : threads_omp_of_n_zal;
    const long long size = chunkSize < 1 ? 1 : chunkSize;
    std::atomic<long long> next{0};
#pragma omp parallel num_threads(team) shared(next)
    {
        const int id = owncvGetIdThreads();
        for (;;) {
            const long long begin = next.fetch_add(size, std::memory_order_relaxed);
            if (begin >= items) break;
            chunk(id, static_cast<int>(begin), static_cast<int>(std::min<long long>(items, begin + size)));
        }
    }
}

}  // namespace zal
