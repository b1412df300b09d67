// Size queries at the int limits. Every family's table lists its queries as
// (w, h) -> status and byte count, with the bytes the operation cannot do
// without (or the documented count, where the header gives a formula),
// evaluated exactly in 128 bits. checkSizeQueries walks each query along
// widths and heights from 1 up to INT32_MAX and requires at every step:
//   - the status is 0 or -6, and -6 whenever the needed bytes exceed an int;
//   - a reported count covers the needed bytes (equals them when exact);
//   - counts never drop and -6 never turns back into 0 as the ROI grows, so
//     an intermediate that wrapped around shows up even where the needed
//     bytes are only a loose lower bound.
// The walk runs with 1 and 3 workers (several queries scale with them).
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace zaltest {

using Wide = __int128;

struct SizeQuery {
    std::string name;
    std::function<StatusCode(int w, int h, int* bytes)> query;
    std::function<Wide(Wide w, Wide h)> needs;
    bool exact = false;
};

inline Wide roundUpWide(Wide v, Wide m) { return (v + m - 1) / m * m; }
inline Wide largerWide(Wide a, Wide b) { return a > b ? a : b; }

inline std::string wideText(Wide v) {
    if (v == 0) return "0";
    std::string s;
    const bool negative = v < 0;
    for (Wide u = negative ? -v : v; u > 0; u /= 10) s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
    return negative ? "-" + s : s;
}

inline const std::vector<int>& limitWalk() {
    static const std::vector<int> walk = {1,           2,           3,           17,          1000,
                                          46341,       65536,       1 << 20,     1 << 24,     INT_MAX / 16,
                                          (1 << 28) + 3, INT_MAX / 4 + 1, INT_MAX / 2, INT_MAX - 64, INT_MAX - 31,
                                          INT_MAX - 8, INT_MAX - 3, INT_MAX - 1, INT_MAX};
    return walk;
}

inline void checkSizeQuery(const SizeQuery& q) {
    // Three walks: along the width, along the height, and both together.
    const auto shapes = [](int v, int walkIndex) {
        return walkIndex == 0 ? ImageSize{v, 1} : walkIndex == 1 ? ImageSize{1, v} : ImageSize{v, v};
    };
    for (int walkIndex = 0; walkIndex < 3; ++walkIndex) {
        bool failedBefore = false;
        long long previous = -1;
        for (int v : limitWalk()) {
            const ImageSize s = shapes(v, walkIndex);
            const std::string where = q.name + " at " + std::to_string(s.width) + "x" + std::to_string(s.height);
            int bytes = -1;
            const StatusCode st = q.query(s.width, s.height, &bytes);
            const Wide needed = q.needs(s.width, s.height);
            ASSERT_TRUE(st == StatusOk || st == StatusSizeError) << where << ": status " << st;
            if (needed > INT_MAX) {
                EXPECT_EQ(st, StatusSizeError) << where << " needs " << wideText(needed);
            }
            if (st == StatusSizeError) {
                failedBefore = true;
                continue;
            }
            EXPECT_FALSE(failedBefore) << where << ": fits although a smaller ROI did not";
            if (q.exact) {
                EXPECT_EQ(Wide(bytes), needed) << where;
            } else {
                EXPECT_GE(Wide(bytes), needed) << where << " reports " << bytes;
            }
            EXPECT_GE(bytes, previous) << where << ": smaller than for a smaller ROI";
            previous = bytes;
        }
    }
}

inline void checkSizeQueries(const std::vector<SizeQuery>& table) {
    for (int workers : {1, 3}) {
        ThreadCount scope(workers);
        for (const SizeQuery& q : table) {
            SCOPED_TRACE(std::to_string(workers) + " workers");
            checkSizeQuery(q);
        }
    }
}

}  // namespace zaltest
