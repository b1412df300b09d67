// Structure tensor of the corner measures. Buffer layout (start aligned to
// 32 bytes): Gx and Gy (8u input: 16s images with rows 2 * width bytes
// apart; 32f input: float images like the products), the product images A',
// B', C' (float, rows 4 * R16 bytes apart, R16 = width rounded up to 16, each
// start aligned to 32), when more than one worker may run three more such
// images for the averages, then the work area of the filters. With a single
// worker the lowpass runs in place over the products: the filter has turned
// every source row it still needs into a line of its ring before it writes
// the destination row over it.
#include "feature/corner_tensor.h"

#include <algorithm>
#include <type_traits>

#include "core/image.h"
#include "core/simd.h"
#include "core/threads.h"
#include "feature/internal.h"

namespace zal {
namespace {

template <class Src>
using Derivative = std::conditional_t<std::is_same_v<Src, uint8_t>, int16_t, float>;

constexpr bool singleWorker(int maxThreads) { return maxThreads < 2; }

// Bytes of one float image of the tensor, without its alignment slack.
inline ByteCount planeBytes(ImageSize roi) { return ByteCount(roundUp(roi.width, 16)) * 4 * roi.height; }

inline ApertureSize apertureCode(int size) { return size == 5 ? Aperture5x5 : Aperture3x3; }

// Number of float images of planeBytes() each (the 32f derivatives count
// among them): the products, plus the averages when several workers may run.
template <class Src>
int planeCount(int maxThreads) {
    const int derivatives = std::is_same_v<Src, uint8_t> ? 0 : 2;
    return derivatives + (singleWorker(maxThreads) ? 3 : 6);
}

// F: the largest work area any filter of the measure asks for.
template <class Src>
StatusCode filterWorkSize(ImageSize roi, int apertureSize, int avgWindow, long long* pBytes) {
    const ApertureSize derivMask = apertureCode(apertureSize);
    int sizes[5] = {};
    if constexpr (std::is_same_v<Src, uint8_t>) {
        ZAL_CHECK(zaliFilterSobelVertGetBufferSize_8u16s_C1R(roi, derivMask, &sizes[0]));
        ZAL_CHECK(zaliFilterSobelHorizGetBufferSize_8u16s_C1R(roi, derivMask, &sizes[1]));
        ZAL_CHECK(zaliFilterScharrVertGetBufferSize_8u16s_C1R(roi, &sizes[2]));
        ZAL_CHECK(zaliFilterScharrHorizGetBufferSize_8u16s_C1R(roi, &sizes[3]));
    } else {
        ZAL_CHECK(zaliFilterSobelVertGetBufferSize_32f_C1R(roi, derivMask, &sizes[0]));
        ZAL_CHECK(zaliFilterSobelHorizGetBufferSize_32f_C1R(roi, derivMask, &sizes[1]));
        ZAL_CHECK(zaliFilterScharrVertGetBufferSize_32f_C1R(roi, &sizes[2]));
        ZAL_CHECK(zaliFilterScharrHorizGetBufferSize_32f_C1R(roi, &sizes[3]));
    }
    ZAL_CHECK(zaliFilterLowpassGetBufferSize_32f_C1R(roi, apertureCode(avgWindow), &sizes[4]));
    *pBytes = *std::max_element(sizes, sizes + 5);
    return StatusOk;
}

template <class Src>
StatusCode derivatives(const Src* pSrc, int srcStep, ImageSize roi, int kernType, int apertureSize,
                       Image<Derivative<Src>> gx, Image<Derivative<Src>> gy, uint8_t* work) {
    const ApertureSize mask = apertureCode(apertureSize);
    const int gxStep = static_cast<int>(gx.step), gyStep = static_cast<int>(gy.step);
    // Gx is the vertical-edge filter ([1 0 -1] across for Sobel, so the
    // negated x derivative; [-3 0 3] for Scharr), Gy the horizontal-edge one.
    if constexpr (std::is_same_v<Src, uint8_t>) {
        if (kernType == DerivKernelSobel) {
            ZAL_CHECK(zaliFilterSobelVertBorder_8u16s_C1R(pSrc, srcStep, gx.base, gxStep, roi, mask, BorderReplicate, 0, work));
            return zaliFilterSobelHorizBorder_8u16s_C1R(pSrc, srcStep, gy.base, gyStep, roi, mask, BorderReplicate, 0, work);
        }
        ZAL_CHECK(zaliFilterScharrVertBorder_8u16s_C1R(pSrc, srcStep, gx.base, gxStep, roi, BorderReplicate, 0, work));
        return zaliFilterScharrHorizBorder_8u16s_C1R(pSrc, srcStep, gy.base, gyStep, roi, BorderReplicate, 0, work);
    } else {
        if (kernType == DerivKernelSobel) {
            ZAL_CHECK(zaliFilterSobelVertBorder_32f_C1R(pSrc, srcStep, gx.base, gxStep, roi, mask, BorderReplicate, 0.0f, work));
            return zaliFilterSobelHorizBorder_32f_C1R(pSrc, srcStep, gy.base, gyStep, roi, mask, BorderReplicate, 0.0f, work);
        }
        ZAL_CHECK(zaliFilterScharrVertBorder_32f_C1R(pSrc, srcStep, gx.base, gxStep, roi, BorderReplicate, 0.0f, work));
        return zaliFilterScharrHorizBorder_32f_C1R(pSrc, srcStep, gy.base, gyStep, roi, BorderReplicate, 0.0f, work);
    }
}

// Gx^2, Gx*Gy, Gy^2 of one row: exact 32-bit integer products for 16s
// derivatives, converted to float; float products for 32f ones.
template <class G>
ZAL_TARGET_CLONES void productRow(const G* __restrict gx, const G* __restrict gy, float* __restrict xx,
                                  float* __restrict xy, float* __restrict yy, int width) {
    for (int x = 0; x < width; ++x) {
        if constexpr (std::is_same_v<G, int16_t>) {
            const int32_t u = gx[x], v = gy[x];
            xx[x] = static_cast<float>(u * u);
            xy[x] = static_cast<float>(u * v);
            yy[x] = static_cast<float>(v * v);
        } else {
            xx[x] = gx[x] * gx[x];
            xy[x] = gx[x] * gy[x];
            yy[x] = gy[x] * gy[x];
        }
    }
}

}  // namespace

template <class Src>
StatusCode structureTensor(const Src* pSrc, int srcStep, ImageSize roi, int kernType, int apertureSize, int avgWindow,
                           uint8_t* pBuffer, CornerTensor* tensor) {
    using G = Derivative<Src>;
    const int W = roi.width, H = roi.height;
    const std::ptrdiff_t planeStep = roundUp(W, 16) * 4;
    const std::ptrdiff_t plane = planeStep * H;
    const bool inPlace = singleWorker(owncvGetMaxNumThreads());

    uint8_t* cursor = alignUp32(pBuffer);
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

    ZAL_CHECK(derivatives<Src>(pSrc, srcStep, roi, kernType, apertureSize, gx, gy, work));
    for (int y = 0; y < H; ++y)
        productRow<G>(gx.row(y), gy.row(y), products[0].row(y), products[1].row(y), products[2].row(y), W);
    const int step = static_cast<int>(planeStep);
    for (int i = 0; i < 3; ++i)
        ZAL_CHECK(zaliFilterLowpassBorder_32f_C1R(products[i].base, step, averages[i].base, step, roi,
                                                  apertureCode(avgWindow), BorderReplicate, 0.0f, work));
    *tensor = CornerTensor{averages[0].base, averages[1].base, averages[2].base, planeStep};
    return StatusOk;
}

template <class Src>
StatusCode cornerBufferSize(ImageSize roi, int apertureSize, int avgWindow, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK(failIf(apertureSize != 3 && apertureSize != 5, StatusSizeError));
    ZAL_CHECK(failIf(avgWindow != 3 && avgWindow != 5, StatusSizeError));
    long long filterBytes = 0;
    ZAL_CHECK(filterWorkSize<Src>(roi, apertureSize, avgWindow, &filterBytes));
    const ByteCount planes = (planeBytes(roi) + 32) * planeCount<Src>(owncvGetMaxNumThreads());
    const ByteCount derivatives16s = std::is_same_v<Src, uint8_t> ? ByteCount(4) * roi.width * roi.height : 0;
    return storeSize(planes + derivatives16s + filterBytes + 64, pBufferSize);
}

float cornerScale(int kernType, int apertureSize) {
    const float s = apertureSize == 5 ? 1.0f / 65280.0f : 1.0f / 4080.0f;
    return kernType == DerivKernelScharr ? s * 0.6125f : s;
}

template StatusCode structureTensor<uint8_t>(const uint8_t*, int, ImageSize, int, int, int, uint8_t*, CornerTensor*);
template StatusCode structureTensor<float>(const float*, int, ImageSize, int, int, int, uint8_t*, CornerTensor*);
template StatusCode cornerBufferSize<uint8_t>(ImageSize, int, int, int*);
template StatusCode cornerBufferSize<float>(ImageSize, int, int, int*);

}  // namespace zal

extern "C" {

StatusCode zaliMinEigenValGetBufferSize_8u32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize) { return zal::cornerBufferSize<uint8_t>(roiSize, apertureSize, avgWindow, pBufferSize); }
StatusCode zaliMinEigenValGetBufferSize_32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize) { return zal::cornerBufferSize<float>(roiSize, apertureSize, avgWindow, pBufferSize); }
StatusCode zaliEigenValsVecsGetBufferSize_8u32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize) { return zal::cornerBufferSize<uint8_t>(roiSize, apertureSize, avgWindow, pBufferSize); }
StatusCode zaliEigenValsVecsGetBufferSize_32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize) { return zal::cornerBufferSize<float>(roiSize, apertureSize, avgWindow, pBufferSize); }

}  // extern "C"
