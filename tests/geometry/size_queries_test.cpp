// The geometry family's size query near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::Wide;

TEST(GeometrySizeQueries, ExactOrRefusedUpToIntLimits) {
    // 24 bytes per column, columns rounded up to 4, plus 32 for alignment.
    zaltest::checkSizeQueries({{"Undistort", [](int w, int h, int* b) { return zaliUndistortGetSize(ImageSize{w, h}, b); },
                                [](Wide w, Wide) { return 24 * zaltest::roundUpWide(w, 4) + 32; }, true}});
}

}  // namespace
