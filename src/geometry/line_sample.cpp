// Integer line iterator and sampling of the pixels along a line.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "geometry/exports.h"
#include "geometry/ops.h"

namespace zal::geometry {

LineSetup setUpLine(std::ptrdiff_t step, std::ptrdiff_t pixelSize, int x1, int y1, int x2, int y2) {
    // 64-bit differences: coordinates far apart cannot overflow.
    const long long dx = static_cast<long long>(x2) - x1, dy = static_cast<long long>(y2) - y1;
    const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const std::ptrdiff_t xStep = dx < 0 ? -pixelSize : pixelSize;
    const std::ptrdiff_t yStep = dy < 0 ? -step : step;
    const bool yMajor = adx <= ady;
    const long long major = yMajor ? ady : adx, minor = yMajor ? adx : ady;
    LineSetup line;
    line.startOffset = static_cast<std::ptrdiff_t>(y1) * step + static_cast<std::ptrdiff_t>(x1) * pixelSize;
    line.error = static_cast<std::ptrdiff_t>(major);
    line.errorRefill = static_cast<std::ptrdiff_t>(2 * major);
    line.errorDecrement = static_cast<std::ptrdiff_t>(2 * minor);
    line.minorStep = yMajor ? xStep : yStep;
    line.majorStep = yMajor ? yStep : xStep;
    line.count = major + 1;
    return line;
}

template <class T, int C>
void sampleLine(Image<const T> src, const LineSetup& line, T* dst) {
    // Pixels travel as bytes, so float payloads are copied bit for bit.
    constexpr std::ptrdiff_t kPixelBytes = static_cast<std::ptrdiff_t>(sizeof(T)) * C;
    const unsigned char* current = src.rowBytes(0) + line.startOffset;
    unsigned char* out = reinterpret_cast<unsigned char*>(dst);
    const std::ptrdiff_t diagonalStep = line.majorStep + line.minorStep;
    std::ptrdiff_t error = line.error;
    for (long long k = 0; k < line.count; ++k) {
        std::memcpy(out, current, kPixelBytes);
        out += kPixelBytes;
        // The step after the last pixel is not taken: it could leave the image.
        if (k + 1 == line.count) break;
        const std::ptrdiff_t e = error - line.errorDecrement;
        if (e < 0) {
            error = e + line.errorRefill;
            current += diagonalStep;
        } else {
            error = e;
            current += line.majorStep;
        }
    }
}

namespace {

// Checks in order: pointers, size, step length, step alignment, end points
// inside the roi (-11), then the point count (-2).
template <class T, int C>
StatusCode checkedSampleLine(const T* pSrc, int srcStep, ImageSize roi, T* pDst, ImagePoint p1, ImagePoint p2) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep));
    const auto outside = [&](ImagePoint p) { return p.x < 0 || p.y < 0 || p.x >= roi.width || p.y >= roi.height; };
    ZAL_CHECK(failIf(outside(p1) || outside(p2), StatusOutOfRange));
    const LineSetup line = setUpLine(srcStep, static_cast<std::ptrdiff_t>(sizeof(T)) * C, p1.x, p1.y, p2.x, p2.y);
    ZAL_CHECK(failIf(line.count < 0 || line.count > INT_MAX, StatusLineError));
    sampleLine<T, C>(image(pSrc, srcStep, roi), line, pDst);
    return StatusOk;
}

}  // namespace
}  // namespace zal::geometry

ZAL_DECLARED(_zlcvInitLineIterator);
extern "C" int _zlcvInitLineIterator(uint8_t* pImage, int step, int pixelSize, int x1, int y1, int x2, int y2,
                                     LineIterator* pIterator) {
    if (pIterator == nullptr) return -1;
    const zal::geometry::LineSetup line = zal::geometry::setUpLine(step, pixelSize, x1, y1, x2, y2);
    if (line.count > INT_MAX) return -1;
    // No bounds are known here: form the address as an integer so that any
    // start point, even one outside the image, is defined behaviour.
    pIterator->current = reinterpret_cast<uint8_t*>(reinterpret_cast<std::uintptr_t>(pImage) +
                                                    static_cast<std::uintptr_t>(line.startOffset));
    pIterator->error = line.error;
    pIterator->errorRefill = line.errorRefill;
    pIterator->errorDecrement = line.errorDecrement;
    pIterator->minorStep = line.minorStep;
    pIterator->majorStep = line.majorStep;
    return static_cast<int>(line.count);
}

#define ZAL_SAMPLE_LINE(name, T, C)                                                                               \
    ZAL_DECLARED(name);                                                                                           \
    template void zal::geometry::sampleLine<T, C>(zal::Image<const T>, const zal::geometry::LineSetup&, T*);     \
    extern "C" StatusCode name(const T* pSrc, int srcStep, ImageSize roiSize, T* pDst, ImagePoint point1,        \
                               ImagePoint point2) {                                                               \
        return zal::geometry::checkedSampleLine<T, C>(pSrc, srcStep, roiSize, pDst, point1, point2);              \
    }
ZAL_GEOMETRY_SAMPLE_LINE(ZAL_SAMPLE_LINE)
