// Integer line iterator and sampling of the pixels along a line.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/checks.h"

namespace zal {
namespace {

// Bresenham set-up from (x1, y1) to (x2, y2). The major axis is the longer
// one, y on ties. The error starts at the major length; each step subtracts
// twice the minor length, and when the result is strictly negative the
// minor coordinate advances and twice the major length is added back, so a
// point exactly halfway keeps the previous minor coordinate.
struct LineSetup {
    std::ptrdiff_t startOffset;  // bytes from the image pointer to (x1, y1)
    std::ptrdiff_t error, errorRefill, errorDecrement, minorStep, majorStep;
    long long count;  // major length + 1
};

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
StatusCode sampleLine(const T* pSrc, int srcStep, ImageSize roi, T* pDst, ImagePoint p1, ImagePoint p2) {
    ZAL_CHECK(requireNonNull(pSrc, pDst));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep));
    const auto outside = [&](ImagePoint p) { return p.x < 0 || p.y < 0 || p.x >= roi.width || p.y >= roi.height; };
    ZAL_CHECK(failIf(outside(p1) || outside(p2), StatusOutOfRange));
    constexpr std::ptrdiff_t kPixelBytes = static_cast<std::ptrdiff_t>(sizeof(T)) * C;
    LineSetup line = setUpLine(srcStep, kPixelBytes, p1.x, p1.y, p2.x, p2.y);
    ZAL_CHECK(failIf(line.count < 0 || line.count > INT_MAX, StatusLineError));

    // Pixels travel as bytes, so float payloads are copied bit for bit.
    const unsigned char* current = reinterpret_cast<const unsigned char*>(pSrc) + line.startOffset;
    unsigned char* out = reinterpret_cast<unsigned char*>(pDst);
    const std::ptrdiff_t diagonalStep = line.majorStep + line.minorStep;
    for (long long k = 0; k < line.count; ++k) {
        std::memcpy(out, current, kPixelBytes);
        out += kPixelBytes;
        // The step after the last pixel is not taken: it could leave the image.
        if (k + 1 == line.count) break;
        const std::ptrdiff_t e = line.error - line.errorDecrement;
        if (e < 0) {
            line.error = e + line.errorRefill;
            current += diagonalStep;
        } else {
            line.error = e;
            current += line.majorStep;
        }
    }
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

int _zlcvInitLineIterator(uint8_t* pImage, int step, int pixelSize, int x1, int y1, int x2, int y2,
                          LineIterator* pIterator) {
    if (pIterator == nullptr) return -1;
    const zal::LineSetup line = zal::setUpLine(step, pixelSize, x1, y1, x2, y2);
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

StatusCode zaliSampleLine_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, uint8_t* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<uint8_t, 1>(pSrc, srcStep, roiSize, pDst, point1, point2); }
StatusCode zaliSampleLine_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, uint8_t* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<uint8_t, 3>(pSrc, srcStep, roiSize, pDst, point1, point2); }
StatusCode zaliSampleLine_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, uint16_t* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<uint16_t, 1>(pSrc, srcStep, roiSize, pDst, point1, point2); }
StatusCode zaliSampleLine_16u_C3R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, uint16_t* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<uint16_t, 3>(pSrc, srcStep, roiSize, pDst, point1, point2); }
StatusCode zaliSampleLine_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, float* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<float, 1>(pSrc, srcStep, roiSize, pDst, point1, point2); }
StatusCode zaliSampleLine_32f_C3R(const float* pSrc, int srcStep, ImageSize roiSize, float* pDst, ImagePoint point1, ImagePoint point2) { return zal::sampleLine<float, 3>(pSrc, srcStep, roiSize, pDst, point1, point2); }

}  // extern "C"
