// Subtraction dst = src2 - src1 (in place: srcDst = srcDst - src). The 8u
// members saturate negative differences to 0 and scale by 2^-scaleFactor with
// rounding to nearest even. The multi-channel members run the one-channel
// worker over width * channels elements.
#include <algorithm>
#include <cstdint>

#include "core/checks.h"
#include "core/image.h"
#include "core/simd.h"
#include "core/sub_row_8u.h"
#include "core/unaligned.h"

namespace zal {
namespace {

// Steps are not checked, so rows may start at any byte: unaligned loads and
// stores. In place, d is b.
ZAL_TARGET_CLONES void subRow32f(const unsigned char* a, const unsigned char* b, unsigned char* d, int n) {
    for (int x = 0; x < n; ++x) storeUnaligned<float>(d, x, loadUnaligned<float>(b, x) - loadUnaligned<float>(a, x));
}

StatusCode sub8u(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep,
                 ImageSize roi, int s) {
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pDst));
    ZAL_CHECK(requireSize(roi));
    if (s > 8) return zaliSet_8u_C1R(0, pDst, dstStep, roi);
    const Image<const uint8_t> a(pSrc1, src1Step, roi), b(pSrc2, src2Step, roi);
    const Image<uint8_t> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) subRow8u(a.row(y), b.row(y), dst.row(y), roi.width, s);
    return StatusOk;
}

StatusCode sub32f(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep,
                  ImageSize roi) {
    ZAL_CHECK(requireNonNull(pSrc1, pSrc2, pDst));
    ZAL_CHECK(requireSize(roi));
    const Image<const float> a(pSrc1, src1Step, roi), b(pSrc2, src2Step, roi);
    const Image<float> dst(pDst, dstStep, roi);
    for (int y = 0; y < roi.height; ++y) subRow32f(a.rowBytes(y), b.rowBytes(y), dst.rowBytes(y), roi.width);
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
