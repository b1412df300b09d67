// Standard deviation of a sliding window from a sum table and a square-sum
// table. Each output reads four corners of each table; the window is either
// an upright rectangle or a rectangle rotated by 45 degrees (tilted tables).
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/image.h"
#include "objdetect/exports.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

// Four-corner combination ((a - b) - c) + d: wrapping for 32-bit integer
// tables, in the table's precision for floating-point ones.
inline int32_t corners(int32_t a, int32_t b, int32_t c, int32_t d) { return wrapAdd(wrapSub(wrapSub(a, b), c), d); }
inline float corners(float a, float b, float c, float d) { return ((a - b) - c) + d; }
inline double corners(double a, double b, double c, double d) { return ((a - b) - c) + d; }

// Multiplier 2^-scaleFactor of the scaled variants, in single precision; the
// shift count is taken modulo 32 and formed unsigned so that 2^31 stays positive.
inline float scaleMultiplier(int scaleFactor) {
    if (scaleFactor >= 0) return 1.0f / static_cast<float>(1u << (static_cast<unsigned>(scaleFactor) & 31u));
    return static_cast<float>(1u << ((0u - static_cast<unsigned>(scaleFactor)) & 31u));
}

// Deviation from the window sums s1 (sum) and s2 (square sum) of n pixels.
// The mean is formed in single precision; the mean square in double from a
// double square table, in single precision from an integer one.
template <class SumT, class SqrT>
float deviation(SumT s1, SqrT s2, float n) {
    const float mean = static_cast<float>(s1) / n;
    double meanSquare;
    if constexpr (std::is_same_v<SqrT, double>) meanSquare = s2 / static_cast<double>(n);
    else meanSquare = static_cast<double>(static_cast<float>(s2) / n);
    double var = meanSquare - static_cast<double>(mean) * static_cast<double>(mean);
    if (!(var > 0.0)) var = 0.0;  // rounding can leave a constant window slightly negative
    return std::sqrt(static_cast<float>(var));
}

// Scaled integer result: trunc(sd * m + 0.5) in double. The cast saturates at
// INT32_MAX instead of leaving an out-of-range conversion undefined.
inline int32_t scaled(float sd, float m) {
    const double r = static_cast<double>(sd) * static_cast<double>(m) + 0.5;
    return r >= 2147483648.0 ? INT32_MAX : static_cast<int32_t>(r);
}

}  // namespace

template <class G, class SumT, class SqrT, class OutT>
void rectStdDev(Image<const SumT> sum, Image<const SqrT> sqr, Image<OutT> dst, ImageRect rect, int scaleFactor) {
    constexpr bool kTilted = std::is_same_v<G, Tilted>;
    const long long pixels = static_cast<long long>(rect.width) * rect.height * (kTilted ? 2 : 1);
    const float n = static_cast<float>(pixels);
    [[maybe_unused]] const float m = scaleMultiplier(scaleFactor);
    const std::ptrdiff_t w = rect.width, h = rect.height;

    for (int py = 0; py < dst.height; ++py) {
        // Corner rows and the column of the first output's first corner:
        // upright  A = (top, c0)      B = (top, c0 + w)  C = (bottom, c0)  D = (bottom, c0 + w)
        // tilted   P = (r0, c0)       Pr = (r0 + w, c0 + w)
        //          Pl = (r0 + h, c0 - h)  Pb = (r0 + w + h, c0 + w - h)
        std::ptrdiff_t r0, rowA, rowB, rowC, c0, dB, dC, dD;
        if constexpr (kTilted) {
            r0 = static_cast<std::ptrdiff_t>(py) + rect.x + rect.y;
            c0 = static_cast<std::ptrdiff_t>(rect.x) - rect.y;
            rowA = r0 + w;      // Pr
            rowB = r0 + h;      // Pl
            rowC = r0 + w + h;  // Pb
            dB = w, dC = -h, dD = w - h;
        } else {
            r0 = static_cast<std::ptrdiff_t>(py) + rect.y;
            c0 = rect.x;
            rowA = r0;      // top-right
            rowB = r0 + h;  // bottom-left
            rowC = r0 + h;  // bottom-right
            dB = w, dC = 0, dD = w;
        }
        const SumT *sTop = sum.row(r0) + c0, *sA = sum.row(rowA) + c0, *sB = sum.row(rowB) + c0,
                   *sC = sum.row(rowC) + c0;
        const SqrT *qTop = sqr.row(r0) + c0, *qA = sqr.row(rowA) + c0, *qB = sqr.row(rowB) + c0,
                   *qC = sqr.row(rowC) + c0;
        OutT* out = dst.row(py);
        for (std::ptrdiff_t px = 0; px < dst.width; ++px) {
            // Far corner first, then the two side corners, then the near corner:
            // upright (BR - TR) - BL + TL, tilted (Pb - Pl) - Pr + P.
            SumT s1;
            SqrT s2;
            if constexpr (kTilted) {
                s1 = corners(sC[px + dD], sB[px + dC], sA[px + dB], sTop[px]);
                s2 = corners(qC[px + dD], qB[px + dC], qA[px + dB], qTop[px]);
            } else {
                s1 = corners(sC[px + dD], sA[px + dB], sB[px + dC], sTop[px]);
                s2 = corners(qC[px + dD], qA[px + dB], qB[px + dC], qTop[px]);
            }
            const float sd = deviation(s1, s2, n);
            if constexpr (std::is_same_v<OutT, float>) out[px] = sd;
            else out[px] = scaled(sd, m);
        }
    }
}

namespace {

// Checks in order: pointers, size, steps (destination, then the tables
// against the columns the windows reach), alignment, then the window.
template <class G, class SumT, class SqrT, class OutT>
StatusCode checkedRectStdDev(const SumT* pSrc, int srcStep, const SqrT* pSqr, int sqrStep, OutT* pDst, int dstStep,
                             ImageSize roi, ImageRect rect, int scaleFactor) {
    ZAL_CHECK(requireNonNull(pSrc, pSqr, pDst));
    ZAL_CHECK(requireSize(roi));
    // Columns of the tables that the outputs reach, in 64 bits.
    const long long span = std::is_same_v<G, Tilted>
                               ? static_cast<long long>(rect.x) + rect.y + rect.width + rect.height + roi.width - 1
                               : static_cast<long long>(roi.width) + rect.x + rect.width;
    ZAL_CHECK(requireTableStep<OutT>(dstStep, roi.width));
    ZAL_CHECK(requireTableStep<SumT>(srcStep, span));
    ZAL_CHECK(requireTableStep<SqrT>(sqrStep, span));
    ZAL_CHECK(requireStepsAligned<SumT>(srcStep));
    ZAL_CHECK(requireStepsAligned<SqrT>(sqrStep));
    ZAL_CHECK(requireStepsAligned<OutT>(dstStep));
    ZAL_CHECK(failIf(rect.x < 0 || rect.y < 0 || rect.width < 1 || rect.height < 1, StatusSizeError));
    rectStdDev<G, SumT, SqrT, OutT>(image(pSrc, srcStep, roi), image(pSqr, sqrStep, roi),
                                           image(pDst, dstStep, roi), rect, scaleFactor);
    return StatusOk;
}

}  // namespace
}  // namespace zal::objdetect

// The float outputs take no scale factor.
#define ZAL_RECT_STDDEV(name, SumT, SqrT, G)                                                                      \
    ZAL_DECLARED(name);                                                                                           \
    template void zal::objdetect::rectStdDev<zal::objdetect::G, SumT, SqrT, float>(                               \
        zal::Image<const SumT>, zal::Image<const SqrT>, zal::Image<float>, ImageRect, int);                       \
    extern "C" StatusCode name(const SumT* pSrc, int srcStep, const SqrT* pSqr, int sqrStep, float* pDst,         \
                               int dstStep, ImageSize roiSize, ImageRect rect) {                                  \
        return zal::objdetect::checkedRectStdDev<zal::objdetect::G>(pSrc, srcStep, pSqr, sqrStep, pDst, dstStep,  \
                                                                    roiSize, rect, 0);                            \
    }
#define ZAL_RECT_STDDEV_SFS(name, G)                                                                              \
    ZAL_DECLARED(name);                                                                                           \
    template void zal::objdetect::rectStdDev<zal::objdetect::G, int32_t, int32_t, int32_t>(                       \
        zal::Image<const int32_t>, zal::Image<const int32_t>, zal::Image<int32_t>, ImageRect, int);               \
    extern "C" StatusCode name(const int32_t* pSrc, int srcStep, const int32_t* pSqr, int sqrStep, int32_t* pDst, \
                               int dstStep, ImageSize roiSize, ImageRect rect, int scaleFactor) {                 \
        return zal::objdetect::checkedRectStdDev<zal::objdetect::G>(pSrc, srcStep, pSqr, sqrStep, pDst, dstStep,  \
                                                                    roiSize, rect, scaleFactor);                  \
    }
ZAL_OBJDETECT_RECT_STDDEV(ZAL_RECT_STDDEV)
ZAL_OBJDETECT_RECT_STDDEV_SFS(ZAL_RECT_STDDEV_SFS)
