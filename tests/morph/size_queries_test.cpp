// The morphology family's size queries near the int limits (see
// common/size_queries.h for what every query must satisfy).
#include "common/size_queries.h"

namespace {

using zaltest::SizeQuery;
using zaltest::Wide;

const uint8_t kSquare[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
const uint8_t kCross[9] = {0, 1, 0, 1, 1, 1, 0, 1, 0};
const uint8_t kScattered[9] = {1, 0, 0, 0, 0, 1, 0, 1, 0};  // a General kernel

// Morphology states for ROI rows of w pixels (h is not a parameter): a work
// row of the ROI's pixels at least.
template <StatusCode (*Query)(int, const uint8_t*, ImageSize, int*)>
SizeQuery stateQuery(std::string name, const uint8_t* mask, int pixelBytes) {
    return {std::move(name), [mask](int w, int, int* bytes) { return Query(w, mask, ImageSize{3, 3}, bytes); },
            [pixelBytes](Wide w, Wide) { return w * pixelBytes; }};
}

// Advanced states hold an intermediate image of the ROI.
template <StatusCode (*Query)(ImageSize, const uint8_t*, ImageSize, int*)>
SizeQuery advancedQuery(std::string name, const uint8_t* mask, int pixelBytes) {
    return {std::move(name), [mask](int w, int h, int* bytes) { return Query(ImageSize{w, h}, mask, ImageSize{3, 3}, bytes); },
            [pixelBytes](Wide w, Wide h) { return w * h * pixelBytes; }};
}

// Grayscale kernels: the state copies the w x h kernel (int32 or float). The
// query reads no kernel values, only the size, so one value stands in for
// kernels far larger than memory.
template <class K, StatusCode (*Query)(ImageSize, const K*, ImageSize, int*)>
SizeQuery grayQuery(std::string name) {
    static const K kernel[1] = {};
    return {std::move(name), [](int w, int h, int* bytes) { return Query(ImageSize{4, 4}, kernel, ImageSize{w, h}, bytes); },
            [](Wide w, Wide h) { return 4 * w * h; }};
}

TEST(MorphSizeQueries, ExactOrRefusedUpToIntLimits) {
    std::vector<SizeQuery> table = {
        stateQuery<zaliMorphologyGetSize_8u_C1R>("Morphology 8u C1 square", kSquare, 1),
        stateQuery<zaliMorphologyGetSize_8u_C3R>("Morphology 8u C3 cross", kCross, 3),
        stateQuery<zaliMorphologyGetSize_8u_C4R>("Morphology 8u C4 scattered", kScattered, 4),
        stateQuery<zaliMorphologyGetSize_32f_C1R>("Morphology 32f C1 cross", kCross, 4),
        stateQuery<zaliMorphologyGetSize_32f_C3R>("Morphology 32f C3 scattered", kScattered, 12),
        stateQuery<zaliMorphologyGetSize_32f_C4R>("Morphology 32f C4 square", kSquare, 16),
        advancedQuery<zaliMorphAdvGetSize_8u_C1R>("MorphAdv 8u C1 scattered", kScattered, 1),
        advancedQuery<zaliMorphAdvGetSize_8u_C3R>("MorphAdv 8u C3 square", kSquare, 3),
        advancedQuery<zaliMorphAdvGetSize_8u_C4R>("MorphAdv 8u C4 cross", kCross, 4),
        advancedQuery<zaliMorphAdvGetSize_32f_C1R>("MorphAdv 32f C1 square", kSquare, 4),
        advancedQuery<zaliMorphAdvGetSize_32f_C3R>("MorphAdv 32f C3 cross", kCross, 12),
        advancedQuery<zaliMorphAdvGetSize_32f_C4R>("MorphAdv 32f C4 scattered", kScattered, 16),
        grayQuery<int32_t, zaliMorphGrayGetSize_8u_C1R>("MorphGray 8u"),
        grayQuery<float, zaliMorphGrayGetSize_32f_C1R>("MorphGray 32f"),
        {"MorphReconstruct 8u", [](int w, int h, int* b) { return zaliMorphReconstructGetBufferSize_8u_C1(ImageSize{w, h}, b); },
         [](Wide w, Wide h) { return w + h + 64; }, true},
        {"MorphReconstruct 32f", [](int w, int h, int* b) { return zaliMorphReconstructGetBufferSize_32f_C1(ImageSize{w, h}, b); },
         [](Wide w, Wide h) { return 4 * w + h + 64; }, true},
    };
    zaltest::checkSizeQueries(table);
}

}  // namespace
