// The feature family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"
#include "feature/exports.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

TEST(FeatureSizeQueries, ExactOrRefusedUpToIntLimits) {
    std::vector<SizeQuery> table = {
        // The edge map holds a byte per pixel at least.
        {"Canny", [](int w, int h, int* b) { return zaliCannyGetSize(ImageSize{w, h}, b); },
         [](Wide w, Wide h) { return w * h; }},
    };
    // The structure tensor: three float images of the ROI.
#define CORNER_QUERY(name, Src)                                                                                  \
    for (int aperture : {3, 5})                                                                                  \
        table.push_back({#name " aperture " + std::to_string(aperture),                                          \
                         [aperture](int w, int h, int* b) { return name(ImageSize{w, h}, aperture, 8 - aperture, b); }, \
                         [](Wide w, Wide h) { return 12 * w * h; }});
    ZAL_FEATURE_CORNER_SIZE(CORNER_QUERY)
    zaltest::checkSizeQueries(table);
}

}  // namespace
