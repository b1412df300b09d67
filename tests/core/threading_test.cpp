// Worker configuration and the band runner.
#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "core/band_runner.h"
#include "core/threads.h"
#include "zalcore.h"

namespace {

TEST(CoreLibrary, WorkerCountAndProcessorFacts) {
    int saved = 0;
    ASSERT_EQ(zalGetNumThreads(&saved), 0);
    EXPECT_GE(saved, 1);
    EXPECT_EQ(zalGetNumThreads(nullptr), -8);
    EXPECT_EQ(zalSetNumThreads(0), -5);
    EXPECT_EQ(threads_omp_of_n_zal, saved);
    {
        zaltest::ThreadCount scope(3);
        int n = 0;
        zalGetNumThreads(&n);
        EXPECT_EQ(n, 3);
        EXPECT_EQ(threads_omp_of_n_zal, 3);
        EXPECT_EQ(zal::owncvGetNumThreads(), 3);
        EXPECT_GE(zal::owncvGetMaxNumThreads(), 3);
    }
    EXPECT_EQ(threads_omp_of_n_zal, saved);
    int cache = 0;
    EXPECT_EQ(zalGetMaxCacheSizeB(&cache), 0);
    EXPECT_GT(cache, 0);
    EXPECT_EQ(zalGetMaxCacheSizeB(nullptr), -8);
}

TEST(BandRows, SplitsWithTheRemainderOnTheLastBand) {
    // Fewer rows than bands: the leading bands are empty, the last takes all.
    const struct { int rows, bands, id, begin, end; } cases[] = {
        {10, 3, 0, 0, 3}, {10, 3, 1, 3, 6}, {10, 3, 2, 6, 10}, {2, 5, 0, 0, 0}, {2, 5, 4, 0, 2}};
    for (const auto& c : cases) {
        const zal::BandRange r = zal::bandRows(c.rows, c.bands, c.id);
        EXPECT_TRUE(r.begin == c.begin && r.end == c.end) << c.rows << " rows, band " << c.id << " of " << c.bands;
    }
}

struct BandRecord {
    int begin = -1, end = -1, thread = -1;
    int64_t sum = 0;
};

// Runs a per-row sum through the runner and checks coverage, ownership and
// the merge order for one team size.
void checkRunner(int threads, int rows) {
    zaltest::ThreadCount scope(threads);
    std::vector<int> visits(static_cast<std::size_t>(rows), 0);
    std::vector<int> mergedOrder;
    int64_t total = 0;
    const int bands = zal::runBands(
        rows, BandRecord{},
        [&](int id, int begin, int end, BandRecord& slot) {
            slot.begin = begin;
            slot.end = end;
            slot.thread = omp_get_thread_num();
            EXPECT_EQ(slot.thread, id);
            for (int r = begin; r < end; ++r) {
                visits[static_cast<std::size_t>(r)] += 1;
                slot.sum += r;
            }
        },
        [&](const BandRecord& slot) {
            mergedOrder.push_back(slot.begin);
            total += slot.sum;
        });
    EXPECT_EQ(bands, threads);
    EXPECT_EQ(static_cast<int>(mergedOrder.size()), bands);
    for (int v : visits) EXPECT_EQ(v, 1);
    EXPECT_EQ(total, static_cast<int64_t>(rows) * (rows - 1) / 2);
    // Slots are merged in band order; empty bands keep the neutral partial.
    const int perBand = rows / bands;
    for (int i = 0; i < bands; ++i) {
        const bool empty = perBand == 0 && i < bands - 1;
        EXPECT_EQ(mergedOrder[static_cast<std::size_t>(i)], empty ? -1 : i * perBand) << "band " << i;
    }
}

TEST(BandRunner, CoversEveryRowOnceAndMergesInBandOrder) {
    for (int threads : {1, 2, 3, 40}) {
        SCOPED_TRACE(threads);
        checkRunner(threads, 97);
        checkRunner(threads, 2);  // fewer rows than threads
    }
}

TEST(BandRunner, MergeOrderFixesFloatSums) {
    // Band partials of a float sum are added in slot order: the result equals
    // a sequential sum of the per-band sums, every time.
    std::vector<float> values(1000);
    zaltest::Lcg rng(3);
    for (float& v : values) v = rng.uniformf(-1e6f, 1e6f);
    for (int threads : {2, 3, 40}) {
        zaltest::ThreadCount scope(threads);
        double merged = 0.0;
        zal::runBands(
            1000, 0.0, [&](int, int begin, int end, double& slot) {
                for (int i = begin; i < end; ++i) slot += values[static_cast<std::size_t>(i)];
            },
            [&](const double& slot) { merged += slot; });
        double expected = 0.0;
        for (int id = 0; id < threads; ++id) {
            const zal::BandRange r = zal::bandRows(1000, threads, id);
            double band = 0.0;
            for (int i = r.begin; i < r.end; ++i) band += values[static_cast<std::size_t>(i)];
            expected += band;
        }
        EXPECT_EQ(merged, expected) << threads;
    }
}

TEST(BandRunner, ChunksCoverEveryItemOnceWithinTheTeam) {
    for (int threads : {1, 2, 3}) {
        zaltest::ThreadCount scope(threads);
        // Chunk sizes that divide the items, leave a short last chunk, and
        // exceed the items; a team capped below the worker count.
        struct Case {
            int items, chunk, cap;
        };
        for (const Case& c : {Case{96, 8, 8}, Case{97, 8, 8}, Case{5, 64, 8}, Case{0, 8, 8}, Case{50, 1, 2}}) {
            const int items = c.items, chunk = c.chunk, cap = c.cap;
            SCOPED_TRACE(::testing::Message() << threads << " workers, " << items << " items, chunk " << chunk);
            std::vector<int> visits(static_cast<std::size_t>(items), 0);
            std::vector<int> owner(static_cast<std::size_t>(items), -1);
            zal::runChunksUpTo(cap, items, chunk, [&](int id, int begin, int end) {
                EXPECT_EQ(id, omp_get_thread_num());
                EXPECT_LE(end - begin, chunk);
                for (int i = begin; i < end; ++i) {
                    visits[static_cast<std::size_t>(i)] += 1;
                    owner[static_cast<std::size_t>(i)] = id;
                }
            });
            for (int v : visits) EXPECT_EQ(v, 1);
            for (int id : owner) EXPECT_LT(id, std::min(threads, cap));
        }
    }
}

TEST(BandRunner, NestedRegionRunsAsOneBand) {
    zaltest::ThreadCount scope(2);
    int innerBands = 0;
#pragma omp parallel num_threads(2)
    {
#pragma omp master
        innerBands = zal::runBands(10, [](int, int, int) {});
    }
    EXPECT_EQ(innerBands, 1);
}

}  // namespace
