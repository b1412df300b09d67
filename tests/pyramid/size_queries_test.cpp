// The Gaussian pyramid's scratch-size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

TEST(PyramidSizeQueries, ExactOrRefusedUpToIntLimits) {
    // The documented counts for a source of w pixels (h is not a parameter):
    // pad16(4 w c) * 6 + 32 down, pad16(8 w c) * 3 + 32 up.
    std::vector<SizeQuery> table;
    for (int type : {DataType8u, DataType8s, DataType32f})
        for (int c : {1, 3}) {
            const std::string suffix = " type " + std::to_string(type) + " C" + std::to_string(c);
            table.push_back({"PyrDown" + suffix,
                             [type, c](int w, int, int* b) { return zaliPyrDownGetBufSize_Gauss5x5(w, type, c, b); },
                             [c](Wide w, Wide) { return zaltest::roundUpWide(4 * w * c, 16) * 6 + 32; }, true});
            table.push_back({"PyrUp" + suffix,
                             [type, c](int w, int, int* b) { return zaliPyrUpGetBufSize_Gauss5x5(w, type, c, b); },
                             [c](Wide w, Wide) { return zaltest::roundUpWide(8 * w * c, 16) * 3 + 32; }, true});
        }
    zaltest::checkSizeQueries(table);
}

}  // namespace
