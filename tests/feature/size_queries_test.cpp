// The feature family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

using CornerQuery = StatusCode (*)(ImageSize, int, int, int*);

TEST(FeatureSizeQueries, ExactOrRefusedUpToIntLimits) {
    std::vector<SizeQuery> table = {
        // The edge map holds a byte per pixel at least.
        {"Canny", [](int w, int h, int* b) { return zaliCannyGetSize(ImageSize{w, h}, b); },
         [](Wide w, Wide h) { return w * h; }},
    };
    // The structure tensor: three float images of the ROI.
    for (auto [name, q] : {std::pair<const char*, CornerQuery>{"MinEigenVal 8u32f", zaliMinEigenValGetBufferSize_8u32f_C1R},
                           {"MinEigenVal 32f", zaliMinEigenValGetBufferSize_32f_C1R},
                           {"EigenValsVecs 8u32f", zaliEigenValsVecsGetBufferSize_8u32f_C1R},
                           {"EigenValsVecs 32f", zaliEigenValsVecsGetBufferSize_32f_C1R}})
        for (int aperture : {3, 5})
            table.push_back({std::string(name) + " aperture " + std::to_string(aperture),
                             [q = q, aperture](int w, int h, int* b) { return q(ImageSize{w, h}, aperture, 8 - aperture, b); },
                             [](Wide w, Wide h) { return 12 * w * h; }});
    zaltest::checkSizeQueries(table);
}

}  // namespace
