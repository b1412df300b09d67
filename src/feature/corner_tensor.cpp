// Structure tensor of the corner measures. Buffer layout (start aligned to
// 32 bytes): Gx and Gy (8u input: 16s images with rows 2 * width bytes
// apart; 32f input: float images like the products), the product images A',
// B', C' (float, rows 4 * R16 bytes apart, R16 = width rounded up to 16, each
// start aligned to 32), when more than one worker may run three more such
// images for the averages, then the work area of the filters. With a single
// worker the lowpass runs in place over the products: the filter has turned
// every source row it still needs into a line of its ring before it writes
// the destination row over it.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/corner_tensor.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Gx^2, Gx*Gy, Gy^2 of every pixel: exact 32-bit integer products of 16s
// derivatives, converted to float; float products of 32f ones.
template <class G>
HWY_INLINE void productRows(Image<const G> gx, Image<const G> gy, Image<float> xx, Image<float> xy, Image<float> yy) {
    const hn::ScalableTag<float> df;
    const hn::Rebind<G, decltype(df)> dg;
    const hn::RebindToSigned<decltype(df)> di;
    using V = hn::Vec<decltype(df)>;
    const auto lanesOf = [&](hn::Vec<decltype(dg)> g) {
        if constexpr (hwy::IsFloat<G>()) return g;
        else return hn::PromoteTo(di, g);
    };
    const auto products = [&](auto u, auto v, float* pxx, float* pxy, float* pyy, std::size_t count) {
        V a, b, c;
        if constexpr (hwy::IsFloat<G>()) {
            a = hn::Mul(u, u), b = hn::Mul(u, v), c = hn::Mul(v, v);
        } else {
            a = hn::ConvertTo(df, hn::Mul(u, u)), b = hn::ConvertTo(df, hn::Mul(u, v)), c = hn::ConvertTo(df, hn::Mul(v, v));
        }
        if (count == hn::Lanes(df)) {
            hn::StoreU(a, df, pxx), hn::StoreU(b, df, pxy), hn::StoreU(c, df, pyy);
        } else {
            storePartial(a, df, pxx, count), storePartial(b, df, pxy, count), storePartial(c, df, pyy, count);
        }
    };
    const std::size_t n = static_cast<std::size_t>(gx.width), lanes = hn::Lanes(df);
    for (int y = 0; y < gx.height; ++y) {
        const G *u = gx.row(y), *v = gy.row(y);
        float *pxx = xx.row(y), *pxy = xy.row(y), *pyy = yy.row(y);
        std::size_t x = 0;
        for (; x + lanes <= n; x += lanes)
            products(lanesOf(hn::LoadU(dg, u + x)), lanesOf(hn::LoadU(dg, v + x)), pxx + x, pxy + x, pyy + x, lanes);
        if (x < n)
            products(lanesOf(loadPartial(dg, u + x, n - x)), lanesOf(loadPartial(dg, v + x, n - x)), pxx + x, pxy + x,
                     pyy + x, n - x);
    }
}

void ProductRows16s(Image<const int16_t> gx, Image<const int16_t> gy, Image<float> xx, Image<float> xy,
                    Image<float> yy) {
    productRows(gx, gy, xx, xy, yy);
}
void ProductRows32f(Image<const float> gx, Image<const float> gy, Image<float> xx, Image<float> xy, Image<float> yy) {
    productRows(gx, gy, xx, xy, yy);
}

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "feature/corner_tensor.h"

#include <initializer_list>
#include <type_traits>

#include "core/band_runner.h"
#include "core/export.h"
#include "core/threads.h"
#include "feature/exports.h"
#include "feature/internal.h"
#include "feature/ops.h"
#include "filter/ops.h"

namespace zal {
HWY_EXPORT(ProductRows16s);
HWY_EXPORT(ProductRows32f);
}  // namespace zal

namespace zal::feature {
namespace {

template <class Src>
using Derivative = std::conditional_t<std::is_same_v<Src, uint8_t>, int16_t, float>;

constexpr bool singleWorker(int maxThreads) { return maxThreads < 2; }

// Images from this many pixels run their per-pixel steps (the products and
// the measure) in row bands on the worker team; smaller ones do not repay
// starting it.
constexpr long long kBandedPixels = 1LL << 15;

// fn(y0, y1) over the rows [0, height): in the calling thread, or over the
// worker bands. Every pixel is computed alone, so no bit depends on the
// band count.
template <class Fn>
void pixelRows(int width, int height, Fn&& fn) {
    if (owncvGetNumThreads() < 2 || static_cast<long long>(width) * height < kBandedPixels) {
        fn(0, height);
        return;
    }
    runBands(height, [&](int, int begin, int end) { fn(begin, end); });
}

// Bytes of one float image of the tensor, without its alignment slack.
inline ByteCount planeBytes(ImageSize roi) { return ByteCount(roundUp(roi.width, 16)) * 4 * roi.height; }

// Number of float images of planeBytes() each (the 32f derivatives count
// among them): the products, plus the averages when several workers may run.
template <class Src>
int planeCount(int maxThreads) {
    const int derivatives = std::is_same_v<Src, uint8_t> ? 0 : 2;
    return derivatives + (singleWorker(maxThreads) ? 3 : 6);
}

// F: the largest work area any filter of the measure asks for (the area of
// either kernel type, so one buffer serves both).
template <class Src>
ByteCount filterWorkBytes(ImageSize roi, int aperture, int avgWindow, int workers) {
    using filter::Fixed;
    using G = Derivative<Src>;
    ByteCount bytes = filter::fixedBufferBytes<float, float>(Fixed::Lowpass, roi, avgWindow, workers);
    for (Fixed op : {Fixed::SobelVert, Fixed::SobelHoriz})
        bytes = larger(bytes, filter::fixedBufferBytes<Src, G>(op, roi, aperture, workers));
    for (Fixed op : {Fixed::ScharrVert, Fixed::ScharrHoriz})
        bytes = larger(bytes, filter::fixedBufferBytes<Src, G>(op, roi, 3, workers));
    return bytes;
}

// Gx is the vertical-edge filter ([1 0 -1] across for Sobel, so the negated x
// derivative; [-3 0 3] for Scharr), Gy the horizontal-edge one.
template <class Src>
void derivatives(Image<const Src> src, int kernType, int aperture, Image<Derivative<Src>> gx,
                 Image<Derivative<Src>> gy, uint8_t* work, int workers) {
    using filter::Fixed;
    const bool sobel = kernType == DerivKernelSobel;
    filter::fixedFilter<Src, Derivative<Src>>(sobel ? Fixed::SobelVert : Fixed::ScharrVert, src, gx, aperture,
                                              BorderReplicate, Src(0), 1, work, workers);
    filter::fixedFilter<Src, Derivative<Src>>(sobel ? Fixed::SobelHoriz : Fixed::ScharrHoriz, src, gy, aperture,
                                              BorderReplicate, Src(0), 1, work, workers);
}

}  // namespace

template <class Src>
CornerTensor structureTensor(Image<const Src> src, int kernType, int aperture, int avgWindow, uint8_t* buffer) {
    using G = Derivative<Src>;
    const int W = src.width, H = src.height;
    const std::ptrdiff_t planeStep = roundUp(W, 16) * 4;
    const std::ptrdiff_t plane = planeStep * H;
    // The filters run with the worker count the buffer was sized for.
    const int workers = owncvGetMaxNumThreads();
    const bool inPlace = singleWorker(workers);

    uint8_t* cursor = alignUp32(buffer);
    Image<G> gx, gy;
    if constexpr (std::is_same_v<Src, uint8_t>) {
        const std::ptrdiff_t derivStep = 2 * static_cast<std::ptrdiff_t>(W);
        gx = Image<G>(reinterpret_cast<G*>(cursor), derivStep, W, H);
        gy = Image<G>(reinterpret_cast<G*>(cursor + derivStep * H), derivStep, W, H);
        cursor += 2 * derivStep * H;
    } else {
        gx = Image<G>(alignUp32<G>(cursor), planeStep, W, H);
        gy = Image<G>(alignUp32<G>(reinterpret_cast<uint8_t*>(gx.base) + plane), planeStep, W, H);
        cursor = reinterpret_cast<uint8_t*>(gy.base) + plane;
    }
    Image<float> products[3], averages[3];
    for (auto& p : products) {
        p = Image<float>(alignUp32<float>(cursor), planeStep, W, H);
        cursor = reinterpret_cast<uint8_t*>(p.base) + plane;
    }
    for (int i = 0; i < 3; ++i) {
        if (inPlace) {
            averages[i] = products[i];
        } else {
            averages[i] = Image<float>(alignUp32<float>(cursor), planeStep, W, H);
            cursor = reinterpret_cast<uint8_t*>(averages[i].base) + plane;
        }
    }
    uint8_t* work = alignUp32(cursor);

    derivatives<Src>(src, kernType, aperture, gx, gy, work, workers);
    pixelRows(W, H, [&](int y0, int y1) {
        const auto band = [&](auto img) { return img.offset(0, y0, 1, W, y1 - y0); };
        if constexpr (std::is_same_v<G, int16_t>)
            HWY_DYNAMIC_DISPATCH(ProductRows16s)(band(gx), band(gy), band(products[0]), band(products[1]),
                                                 band(products[2]));
        else
            HWY_DYNAMIC_DISPATCH(ProductRows32f)(band(gx), band(gy), band(products[0]), band(products[1]),
                                                 band(products[2]));
    });
    for (int i = 0; i < 3; ++i)
        filter::fixedFilter<float, float>(filter::Fixed::Lowpass, products[i], averages[i], avgWindow, BorderReplicate,
                                          0.0f, 1, work, workers);
    return CornerTensor{averages[0].base, averages[1].base, averages[2].base, planeStep};
}

// Planes with 32 bytes of alignment slack each, the 16s derivatives, the
// filters' work area and 64 bytes (the size the query has always reported,
// kept for compatibility).
template <class Src>
ByteCount cornerBufferBytes(ImageSize roi, int aperture, int avgWindow) {
    const int workers = owncvGetMaxNumThreads();
    const ByteCount planes = (planeBytes(roi) + 32) * planeCount<Src>(workers);
    const ByteCount derivatives16s = std::is_same_v<Src, uint8_t> ? ByteCount(4) * roi.width * roi.height : 0;
    return planes + derivatives16s + filterWorkBytes<Src>(roi, aperture, avgWindow, workers) + 64;
}

float cornerScale(int kernType, int apertureSize) {
    const float s = apertureSize == 5 ? 1.0f / 65280.0f : 1.0f / 4080.0f;
    return kernType == DerivKernelScharr ? s * 0.6125f : s;
}

template <class Src, CornerMeasure M>
void cornerMeasure(Image<const Src> src, Image<float> dst, int kernType, int aperture, int avgWindow, uint8_t* buffer) {
    const CornerTensor t = structureTensor(src, kernType, aperture, avgWindow, buffer);
    const float scale = cornerScale(kernType, aperture);
    pixelRows(dst.width, dst.height, [&](int y0, int y1) {
        const Image<float> band = dst.offset(0, y0, 1, dst.width, y1 - y0);
        if constexpr (M == CornerMeasure::MinEigenVal) minEigenValRows(t.from(y0), band, scale);
        else eigenValsVecsRows(t.from(y0), band, scale, kernType == DerivKernelSobel ? -1.0f : 1.0f);
    });
}

template ByteCount cornerBufferBytes<uint8_t>(ImageSize, int, int);
template ByteCount cornerBufferBytes<float>(ImageSize, int, int);

namespace {

// The documented checks of a corner measure writing `dstValues` floats per
// pixel. The inner filters cannot fail once these pass (their own checks
// ask nothing more of these arguments), so no status of theirs is passed on.
template <class Src, CornerMeasure M>
StatusCode checkedCornerMeasure(const Src* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roi, int kernType,
                                int apertureSize, int avgWindow, uint8_t* pBuffer, int dstValues) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<Src, 1>(roi, srcStep)));
    ZAL_CHECK(requireStepsAtLeast(static_cast<std::ptrdiff_t>(roi.width) * dstValues * 4, dstStep));
    ZAL_CHECK(requireStepsAligned<Src>(srcStep));
    ZAL_CHECK(requireStepsAligned<float>(dstStep));
    ZAL_CHECK(failIf(kernType != DerivKernelSobel && kernType != DerivKernelScharr, StatusBadArgument));
    ZAL_CHECK(failIf(kernType == DerivKernelScharr ? apertureSize != 3 : apertureSize != 3 && apertureSize != 5,
                     StatusSizeError));
    ZAL_CHECK(failIf(avgWindow != 3 && avgWindow != 5, StatusSizeError));
    cornerMeasure<Src, M>(image(pSrc, srcStep, roi), image(pDst, dstStep, roi), kernType, apertureSize, avgWindow,
                          pBuffer);
    return StatusOk;
}

template <class Src>
StatusCode cornerBufferSize(ImageSize roi, int apertureSize, int avgWindow, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(apertureSize != 3 && apertureSize != 5, StatusSizeError));
    ZAL_CHECK(failIf(avgWindow != 3 && avgWindow != 5, StatusSizeError));
    return storeSize(cornerBufferBytes<Src>(roi, apertureSize, avgWindow), pBufferSize);
}

}  // namespace
}  // namespace zal::feature

#define ZAL_CORNER(name, Src, M, VALUES)                                                                        \
    ZAL_DECLARED(name);                                                                                         \
    template void zal::feature::cornerMeasure<Src, zal::feature::CornerMeasure::M>(                            \
        zal::Image<const Src>, zal::Image<float>, int, int, int, uint8_t*);                                     \
    extern "C" StatusCode name(const Src* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize,       \
                               DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer) {   \
        return zal::feature::checkedCornerMeasure<Src, zal::feature::CornerMeasure::M>(                         \
            pSrc, srcStep, pDst, dstStep, roiSize, kernType, apertureSize, avgWindow, pBuffer, VALUES);         \
    }
#define ZAL_CORNER_SIZE(name, Src)                                                                              \
    ZAL_DECLARED(name);                                                                                         \
    extern "C" StatusCode name(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize) {          \
        return zal::feature::cornerBufferSize<Src>(roiSize, apertureSize, avgWindow, pBufferSize);              \
    }
ZAL_FEATURE_CORNER(ZAL_CORNER)
ZAL_FEATURE_CORNER_SIZE(ZAL_CORNER_SIZE)
#endif  // HWY_ONCE
