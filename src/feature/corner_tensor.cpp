// Structure tensor of the corner measures, streamed row by row. Each worker
// walks its band of output rows keeping two rings of row-filtered lines: the
// derivative filters' lines of the source rows, and the box lowpass lines of
// the product rows. An output row needs the K box lines of the product rows
// around it (replicated at the image edges); a product row not yet in its
// ring is made from the column pass of the derivative lines around it, the
// products Gx^2, Gx*Gy, Gy^2 and the box row pass. Every row goes through the
// very routines the derivative and lowpass filters run (filter::fixedPlan),
// with the same lines in the same order, so each value is the one those
// filters give over whole images; only the working set changes: a few dozen
// lines per worker, which stay in the core's own cache instead of seven
// passes over whole images through memory.
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
#include "filter/fixed_driver.h"
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

// Images from this many pixels run in row bands on the worker team; smaller
// ones do not repay starting it.
constexpr long long kBandedPixels = 1LL << 15;

// Bytes of one float image of the sizes below, without its alignment slack.
inline ByteCount planeBytes(ImageSize roi) { return ByteCount(roundUp(roi.width, 16)) * 4 * roi.height; }

// Number of float images of planeBytes() each that the buffer size counts
// (the 32f derivatives among them): three, or six when several workers may
// run.
template <class Src>
int planeCount(int maxThreads) {
    const int derivatives = std::is_same_v<Src, uint8_t> ? 0 : 2;
    return derivatives + (singleWorker(maxThreads) ? 3 : 6);
}

// The largest work area the whole-image derivative and lowpass filters ask
// for (the area of either kernel type).
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

// Bytes of a line of `width` values of T, whole 32-byte blocks.
template <class T>
std::ptrdiff_t lineBytes(int width) {
    return static_cast<std::ptrdiff_t>(roundUp(static_cast<long long>(width) * static_cast<long long>(sizeof(T)), 32));
}

// The averaged tensor of rows of one image. Gx is the vertical-edge filter
// ([1 0 -1] across for Sobel, so the negated x derivative; [-3 0 3] for
// Scharr), Gy the horizontal-edge one; the border is replicated.
//
// A worker's slice of the buffer (start aligned to 32): the derivative rings
// (Gx then Gy, min(aperture, height) lines each), the Gx and Gy rows, three
// product rows (which then take the three averages), the box rings
// (min(window, height) lines each of A', B', C') and a strip of 64 bytes for
// the border pixels of a row pass.
template <class Src>
class TensorRows {
public:
    using G = Derivative<Src>;
    using Fixed = filter::Fixed;
    static constexpr int kMaxK = 5;

    TensorRows(Image<const Src> src, int kernType, int aperture, int avgWindow)
        : src_(src),
          gx_(filter::fixedPlan<Src, G>(kernType == DerivKernelSobel ? Fixed::SobelVert : Fixed::ScharrVert, aperture)),
          gy_(filter::fixedPlan<Src, G>(kernType == DerivKernelSobel ? Fixed::SobelHoriz : Fixed::ScharrHoriz, aperture)),
          box_(filter::fixedPlan<float, float>(Fixed::Lowpass, avgWindow)),
          derivLines_(aperture < src.height ? aperture : src.height),
          boxLines_(avgWindow < src.height ? avgWindow : src.height),
          lineG_(lineBytes<G>(src.width)),
          lineF_(lineBytes<float>(src.width)) {}

    std::ptrdiff_t sliceBytes() const {
        return 32 + (2 * derivLines_ + 2) * lineG_ + (3 + 3 * boxLines_) * lineF_ + kExtBytes;
    }

    // sink(y, tensor of row y) for the rows [y0, y1), in order, with the
    // slice at `slice` (sliceBytes() bytes).
    template <class Sink>
    void run(int y0, int y1, uint8_t* slice, Sink&& sink) const {
        const int W = src_.width, H = src_.height;
        const int kd = gx_.kernelSize, kb = box_.kernelSize;
        unsigned char* cursor = alignUp32(slice);
        const auto take = [&](std::ptrdiff_t bytes) {
            unsigned char* p = cursor;
            cursor += bytes;
            return p;
        };
        G *xRing[kMaxK], *yRing[kMaxK];
        for (int s = 0; s < derivLines_; ++s) xRing[s] = reinterpret_cast<G*>(take(lineG_));
        for (int s = 0; s < derivLines_; ++s) yRing[s] = reinterpret_cast<G*>(take(lineG_));
        G* gxRow = reinterpret_cast<G*>(take(lineG_));
        G* gyRow = reinterpret_cast<G*>(take(lineG_));
        float* rows[3];
        for (auto& r : rows) r = reinterpret_cast<float*>(take(lineF_));
        float* boxRing[3][kMaxK];
        for (auto& ring : boxRing)
            for (int s = 0; s < boxLines_; ++s) ring[s] = reinterpret_cast<float*>(take(lineF_));
        void* ext = take(kExtBytes);

        // Row m sits in slot m % K of its ring: the rows of one window are at
        // most K consecutive ones, so a row that a load replaces is never in
        // the window being gathered (and with fewer than K rows, every row
        // has a slot of its own).
        int derivTags[kMaxK], boxTags[kMaxK];
        for (int s = 0; s < kMaxK; ++s) derivTags[s] = boxTags[s] = -1;
        const auto clampRow = [H](int r) { return r < 0 ? 0 : r >= H ? H - 1 : r; };

        const auto loadSource = [&](int r) {
            const int slot = r % kd;
            if (derivTags[slot] == r) return slot;
            Src* srcExt = static_cast<Src*>(ext);
            fixedRowPass(gx_, src_.row(r), W, BorderReplicate, Src(0), srcExt, &xRing[slot]);
            fixedRowPass(gy_, src_.row(r), W, BorderReplicate, Src(0), srcExt, &yRing[slot]);
            derivTags[slot] = r;
            return slot;
        };
        const auto loadProduct = [&](int m) {
            const int slot = m % kb;
            if (boxTags[slot] == m) return slot;
            const G *xWindow[kMaxK], *yWindow[kMaxK];
            for (int k = 0; k < kd; ++k) {
                const int s = loadSource(clampRow(m - kd / 2 + k));
                xWindow[k] = xRing[s], yWindow[k] = yRing[s];
            }
            gx_.column(xWindow, xWindow, gxRow, W, 1.0f);
            gy_.column(yWindow, yWindow, gyRow, W, 1.0f);
            const Image<const G> u(gxRow, 0, W, 1), v(gyRow, 0, W, 1);
            const Image<float> xx(rows[0], 0, W, 1), xy(rows[1], 0, W, 1), yy(rows[2], 0, W, 1);
            if constexpr (std::is_same_v<G, int16_t>) HWY_DYNAMIC_DISPATCH(ProductRows16s)(u, v, xx, xy, yy);
            else HWY_DYNAMIC_DISPATCH(ProductRows32f)(u, v, xx, xy, yy);
            for (int i = 0; i < 3; ++i)
                fixedRowPass(box_, rows[i], W, BorderReplicate, 0.0f, static_cast<float*>(ext),
                             &boxRing[i][slot]);
            boxTags[slot] = m;
            return slot;
        };

        for (int y = y0; y < y1; ++y) {
            const float* window[3][kMaxK];
            for (int k = 0; k < kb; ++k) {
                const int s = loadProduct(clampRow(y - kb / 2 + k));
                for (int i = 0; i < 3; ++i) window[i][k] = boxRing[i][s];
            }
            // The product rows are spent: they take the averages.
            for (int i = 0; i < 3; ++i) box_.column(window[i], window[i], rows[i], W, 1.0f);
            sink(y, CornerTensor{rows[0], rows[1], rows[2], 0});
        }
    }

private:
    static constexpr std::ptrdiff_t kExtBytes = 64;  // 2K - 2 pixels of either type

    Image<const Src> src_;
    FixedPlan<Src, G, G> gx_, gy_;
    FixedPlan<float, float, float> box_;
    int derivLines_, boxLines_;
    std::ptrdiff_t lineG_, lineF_;
};

}  // namespace

// The size callers have always been given: planes with 32 bytes of
// alignment slack each, the 16s derivatives, the whole-image filters' work
// area and 64 bytes. The rows need far less; TensorRows' slices are cut
// from it, as many as fit.
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
    const TensorRows<Src> tensor(src, kernType, aperture, avgWindow);
    const float scale = cornerScale(kernType, aperture);
    const float sigma = kernType == DerivKernelSobel ? -1.0f : 1.0f;
    const auto measure = [&](int y, const CornerTensor& t) {
        const Image<float> row = dst.offset(0, y, 1, dst.width, 1);
        if constexpr (M == CornerMeasure::MinEigenVal) minEigenValRows(t, row, scale);
        else eigenValsVecsRows(t, row, scale, sigma);
    };
    const int H = src.height;
    // The buffer was sized for the maximum worker count; a band takes a
    // slice of it, and every row is computed alone, so the split changes no
    // bit. One slice always fits: the size counts the whole-image lowpass
    // area alone, over 21 float lines, besides three float planes.
    const long long slice = tensor.sliceBytes();
    const long long bytes = cornerBufferBytes<Src>(ImageSize{src.width, H}, aperture, avgWindow).value();
    const long long slices = bytes / slice;
    if (owncvGetNumThreads() < 2 || static_cast<long long>(src.width) * H < kBandedPixels || slices < 2) {
        tensor.run(0, H, buffer, measure);
        return;
    }
    const int maxBands = static_cast<int>(slices < owncvGetMaxNumThreads() ? slices : owncvGetMaxNumThreads());
    runBandsUpTo(maxBands, H, [&](int id, int begin, int end) {
        tensor.run(begin, end, buffer + static_cast<std::ptrdiff_t>(id) * static_cast<std::ptrdiff_t>(slice), measure);
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
