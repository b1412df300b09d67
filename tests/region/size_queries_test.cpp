// The region family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

template <StatusCode (*Query)(ImageSize, int*)>
StatusCode byRoi(int w, int h, int* bytes) {
    return Query(ImageSize{w, h}, bytes);
}

TEST(RegionSizeQueries, ExactOrRefusedUpToIntLimits) {
    zaltest::checkSizeQueries({
        // A distance per row or column at least (the envelope of one line).
        {"TrueDistanceTransform 8u32f", byRoi<zaliTrueDistanceTransformGetBufferSize_8u32f_C1R>,
         [](Wide w, Wide h) { return 4 * zaltest::largerWide(w, h); }},
        // The squared distances of the whole ROI do not fit the 16-bit result.
        {"TrueDistanceTransform 8u16u", byRoi<zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs>,
         [](Wide w, Wide h) { return 4 * w * h; }},
        {"FloodFill", byRoi<zaliFloodFillGetSize>, [](Wide w, Wide h) { return 6 * w * h + 32; }, true},
        {"FloodFill gradient", byRoi<zaliFloodFillGetSize_Grad>,
         [](Wide w, Wide h) { return (w + 2) * (h + 2) + 6 * w * h + 32; }, true},
        // Some state per pixel.
        {"SegmentWatershed", byRoi<zaliSegmentWatershedGetBufferSize_8u_C1R>, [](Wide w, Wide h) { return w * h; }},
        {"FastMarching", byRoi<zaliFastMarchingGetBufferSize_8u32f_C1R>, [](Wide, Wide h) { return h; }, true},
    });
}

// The case that once reported 304 bytes and success.
TEST(RegionSizeQueries, WidestRowIsRefused) {
    int bytes = 12345;
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize{INT32_MAX, 1}, &bytes), StatusSizeError);
    EXPECT_EQ(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(ImageSize{1, INT32_MAX}, &bytes), StatusSizeError);
    EXPECT_EQ(bytes, 12345);
}

}  // namespace
