// Subtraction dst = src2 - src1 (in place: srcDst = srcDst - src). The 8u
// members saturate negative differences to 0 and scale by 2^-scaleFactor with
// rounding to nearest even. The multi-channel members run the one-channel
// worker over width * channels elements.
#include <algorithm>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "core/saturate.h"

namespace zal {
namespace {

// Per-element scaling of a non-negative difference d (0..255) by 2^-s for
// -7 <= s <= 8; the other scales are handled by the caller.
struct ScaleDown {
    int s;
    uint8_t operator()(int32_t d) const { return static_cast<uint8_t>(s == 0 ? d : roundShiftEven(d, s)); }
};
struct ScaleUp {
    int s;
    uint8_t operator()(int32_t d) const { return static_cast<uint8_t>(std::min(d << s, 255)); }
};
// s < -7: any positive difference saturates.
struct Saturating {
    uint8_t operator()(int32_t d) const { return d > 0 ? 255 : 0; }
};

template <class Scale>
void subRows(Image<const uint8_t> a, Image<const uint8_t> b, Image<uint8_t> dst, Scale scale) {
    for (int y = 0; y < dst.height; ++y) {
        const uint8_t* ra = a.row(y);
        const uint8_t* rb = b.row(y);
        uint8_t* rd = dst.row(y);
        for (int x = 0; x < dst.width; ++x) {
            const int32_t d = std::max(static_cast<int32_t>(rb[x]) - static_cast<int32_t>(ra[x]), 0);
            rd[x] = scale(d);
        }
    }
}

StatusCode sub8u(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep,
                 ImageSize roi, int s) {
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pDst));
    ZAL_CHECK(requireSize(roi));
    if (s > 8) return zaliSet_8u_C1R(0, pDst, dstStep, roi);
    const Image<const uint8_t> a(pSrc1, src1Step, roi), b(pSrc2, src2Step, roi);
    const Image<uint8_t> dst(pDst, dstStep, roi);
    if (s >= 0) subRows(a, b, dst, ScaleDown{s});
    else if (s >= -7) subRows(a, b, dst, ScaleUp{-s});
    else subRows(a, b, dst, Saturating{});
    return StatusOk;
}

StatusCode sub32f(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep,
                  ImageSize roi) {
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pDst));
    ZAL_CHECK(requireSize(roi));
    const Image<const float> a(pSrc1, src1Step, roi), b(pSrc2, src2Step, roi);
    const Image<float> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) {
        const float* ra = a.row(y);
        const float* rb = b.row(y);
        float* rd = dst.row(y);
        for (int x = 0; x < roi.width; ++x) rd[x] = rb[x] - ra[x];
    }
    return StatusOk;
}

// Multi-channel members test the width before the worker tests its pointers
// (a width whose element count overflows is a size error as well).
template <int Channels, class Fn>
StatusCode perChannel(ImageSize roi, Fn&& worker) {
    if constexpr (Channels > 1) ZAL_CHECK(failIf(roi.width < 1 || roi.width > INT32_MAX / Channels, StatusSizeError));
    return worker(ImageSize{roi.width * Channels, roi.height});
}

}  // namespace
}  // namespace zal

#define ZAL_SUB_8U(C)                                                                                              \
    StatusCode zaliSub_8u_C##C##RSfs(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step,        \
                                     uint8_t* pDst, int dstStep, ImageSize roiSize, int scaleFactor) {              \
        return zal::perChannel<C>(roiSize, [&](ImageSize r) {                                                      \
            return zal::sub8u(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, r, scaleFactor);                    \
        });                                                                                                        \
    }                                                                                                              \
    StatusCode zaliSub_8u_C##C##IRSfs(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep,           \
                                      ImageSize roiSize, int scaleFactor) {                                         \
        return zal::perChannel<C>(roiSize, [&](ImageSize r) {                                                      \
            return zal::sub8u(pSrc, srcStep, pSrcDst, srcDstStep, pSrcDst, srcDstStep, r, scaleFactor);            \
        });                                                                                                        \
    }

#define ZAL_SUB_32F(C)                                                                                             \
    StatusCode zaliSub_32f_C##C##R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst,  \
                                   int dstStep, ImageSize roiSize) {                                               \
        return zal::perChannel<C>(roiSize, [&](ImageSize r) {                                                      \
            return zal::sub32f(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, r);                                \
        });                                                                                                        \
    }                                                                                                              \
    StatusCode zaliSub_32f_C##C##IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep,                 \
                                    ImageSize roiSize) {                                                           \
        return zal::perChannel<C>(roiSize, [&](ImageSize r) {                                                      \
            return zal::sub32f(pSrc, srcStep, pSrcDst, srcDstStep, pSrcDst, srcDstStep, r);                        \
        });                                                                                                        \
    }

extern "C" {
ZAL_SUB_8U(1)
ZAL_SUB_8U(3)
ZAL_SUB_8U(4)
ZAL_SUB_32F(1)
ZAL_SUB_32F(3)
ZAL_SUB_32F(4)
}  // extern "C"
