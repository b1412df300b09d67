// The pyramid descriptor and the size rules relating neighbouring levels for
// a reduction rate in (1, 10].
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"

namespace zal {

namespace {

// trunc(v) for the products below, held to the int range (sizes near
// INT32_MAX times a rate would not convert otherwise).
long long truncBounded(float v) { return static_cast<long long>(std::fmin(v, 2147483647.0f)); }

// Up range of one dimension; products in single precision.
void axisUpRange(int n, float rate, int* lo, int* hi) {
    const long long next = static_cast<long long>(n) + 1;
    const long long a = n == 1 ? 1 : std::max(truncBounded(static_cast<float>(n - 1) * rate) + 1, next);
    const long long b = std::max(truncBounded(static_cast<float>(n) * rate), next);
    *lo = static_cast<int>(std::min<long long>(a, INT32_MAX));
    *hi = static_cast<int>(std::min<long long>(b, INT32_MAX));
}

}  // namespace

namespace pyramid {

void upRange(ImageSize size, float rate, ImageSize* pMin, ImageSize* pMax) {
    axisUpRange(size.width, rate, &pMin->width, &pMax->width);
    axisUpRange(size.height, rate, &pMin->height, &pMax->height);
}

ImageSize downSize(ImageSize size, float rate) {
    ImageSize d{std::max(static_cast<int>(static_cast<float>(size.width) / rate + 0.5f), 1),
                std::max(static_cast<int>(static_cast<float>(size.height) / rate + 0.5f), 1)};
    // Step each dimension toward the size whose up range holds the source.
    // The ranges of neighbouring sizes meet, so a few passes settle it; the
    // bound only guards against a rate rounding into a gap.
    for (int pass = 0; pass < 4096; ++pass) {
        ImageSize lo, hi;
        upRange(d, rate, &lo, &hi);
        bool changed = false;
        if (size.height < lo.height) --d.height, changed = true;
        else if (size.height > hi.height) ++d.height, changed = true;
        if (size.width < lo.width) --d.width, changed = true;
        else if (size.width > hi.width) ++d.width, changed = true;
        if (!changed || d.width < 1 || d.height < 1) break;
    }
    d.width = std::max(d.width, 1);
    d.height = std::max(d.height, 1);
    return d;
}

}  // namespace pyramid

namespace {

StatusCode pyramidInitAlloc(Pyramid** ppPyramid, int level, ImageSize roi, float rate) {
    ZAL_CHECK(requireNonNull(ppPyramid));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(!rateInRange(rate) || level < 1, StatusBadArgument));

    // Count the down steps until 1 x 1.
    int top = 0;
    for (ImageSize s = roi; top < level && (s.width >= 2 || s.height > 1); ++top) s = pyramid::downSize(s, rate);

    const std::size_t n = static_cast<std::size_t>(top) + 1;
    const std::size_t offImages = align32(sizeof(Pyramid));
    const std::size_t offSizes = offImages + align32(n * sizeof(void*));
    const std::size_t offScales = offSizes + align32(n * sizeof(ImageSize));
    const std::size_t offSteps = offScales + align32(n * sizeof(double));
    const std::size_t total = offSteps + align32(n * sizeof(int32_t));
    uint8_t* block = zalsMalloc_8u(static_cast<int>(total));
    if (!block) return StatusNoMemory;

    auto* p = reinterpret_cast<Pyramid*>(block);
    p->levelImages = reinterpret_cast<void**>(block + offImages);
    p->levelSizes = reinterpret_cast<ImageSize*>(block + offSizes);
    p->levelScales = reinterpret_cast<double*>(block + offScales);
    p->levelSteps = reinterpret_cast<int32_t*>(block + offSteps);
    p->layerState = nullptr;
    p->topLevel = top;
    // Scales by repeated multiplication: (1/rate)^L.
    const double inv = 1.0 / static_cast<double>(rate);
    double scale = 1.0;
    ImageSize s = roi;
    for (std::size_t L = 0; L < n; ++L) {
        p->levelImages[L] = nullptr;
        p->levelSteps[L] = 0;
        p->levelSizes[L] = s;
        p->levelScales[L] = scale;
        s = pyramid::downSize(s, rate);
        scale *= inv;
    }
    *ppPyramid = p;
    return StatusOk;
}

StatusCode downRoi(ImageSize src, ImageSize* pDst, float rate) {
    ZAL_CHECK(requireNonNull(pDst));
    ZAL_CHECK(requireSize(src));
    ZAL_CHECK(failIf(!rateInRange(rate), StatusBadArgument));
    *pDst = pyramid::downSize(src, rate);
    return StatusOk;
}

StatusCode upRoi(ImageSize src, ImageSize* pMin, ImageSize* pMax, float rate) {
    ZAL_CHECK(requireNonNull(pMin, pMax));
    ZAL_CHECK(requireSize(src));
    ZAL_CHECK(failIf(!rateInRange(rate), StatusBadArgument));
    ImageSize lo, hi;
    pyramid::upRange(src, rate, &lo, &hi);
    *pMin = lo;
    *pMax = hi;
    return StatusOk;
}

}  // namespace
}  // namespace zal

ZAL_DECLARED(zaliPyramidInitAlloc);
extern "C" StatusCode zaliPyramidInitAlloc(Pyramid** ppPyramid, int level, ImageSize roiSize, float rate) {
    return zal::pyramidInitAlloc(ppPyramid, level, roiSize, rate);
}
ZAL_DECLARED(zaliPyramidFree);
extern "C" StatusCode zaliPyramidFree(Pyramid* pPyramid) {
    if (!pPyramid) return StatusNullPointer;
    zalsFree(pPyramid);
    return StatusOk;
}
ZAL_DECLARED(zaliGetPyramidDownROI);
extern "C" StatusCode zaliGetPyramidDownROI(ImageSize srcRoi, ImageSize* pDstRoi, float rate) {
    return zal::downRoi(srcRoi, pDstRoi, rate);
}
ZAL_DECLARED(zaliGetPyramidUpROI);
extern "C" StatusCode zaliGetPyramidUpROI(ImageSize srcRoi, ImageSize* pDstRoiMin, ImageSize* pDstRoiMax, float rate) {
    return zal::upRoi(srcRoi, pDstRoiMin, pDstRoiMax, rate);
}
