// Element-wise maximum and minimum of two vectors. For 32f the second operand
// replaces the first only when it compares strictly greater (smaller), so a
// comparison with NaN keeps the first operand.
#include <cstdint>

#include "core/checks.h"

namespace zal {
namespace {

struct Greater {
    template <class T>
    static T pick(T a, T b) { return b > a ? b : a; }
};
struct Less {
    template <class T>
    static T pick(T a, T b) { return b < a ? b : a; }
};

template <class Pick, class T>
void everyOf(const T* a, const T* b, T* dst, int len) {
    for (int i = 0; i < len; ++i) dst[i] = Pick::pick(a[i], b[i]);
}

// In place: a = srcDst[i], b = src[i].
template <class Pick, class T>
void everyOfInPlace(const T* src, T* srcDst, int len) {
    for (int i = 0; i < len; ++i) srcDst[i] = Pick::pick(srcDst[i], src[i]);
}

template <class Pick, class T>
StatusCode checkedEveryOfInPlace(const T* src, T* srcDst, int len) {
    ZAL_CHECK(requireNonNull(src, srcDst));
    ZAL_CHECK(requireLength(len));
    everyOfInPlace<Pick>(src, srcDst, len);
    return StatusOk;
}

}  // namespace
}  // namespace zal

extern "C" {

// Unchecked members: len <= 0 does nothing.
StatusCode zalsMaxEvery_8u(const uint8_t* pSrc1, const uint8_t* pSrc2, uint8_t* pDst, int len) { zal::everyOf<zal::Greater>(pSrc1, pSrc2, pDst, len); return StatusOk; }
StatusCode zalsMinEvery_8u(const uint8_t* pSrc1, const uint8_t* pSrc2, uint8_t* pDst, int len) { zal::everyOf<zal::Less>(pSrc1, pSrc2, pDst, len); return StatusOk; }
StatusCode zalsMaxEvery_32f(const float* pSrc1, const float* pSrc2, float* pDst, int len) { zal::everyOf<zal::Greater>(pSrc1, pSrc2, pDst, len); return StatusOk; }
StatusCode zalsMinEvery_32f(const float* pSrc1, const float* pSrc2, float* pDst, int len) { zal::everyOf<zal::Less>(pSrc1, pSrc2, pDst, len); return StatusOk; }
StatusCode zalsMaxEvery_8u_I(const uint8_t* pSrc, uint8_t* pSrcDst, int len) { zal::everyOfInPlace<zal::Greater>(pSrc, pSrcDst, len); return StatusOk; }
StatusCode zalsMinEvery_8u_I(const uint8_t* pSrc, uint8_t* pSrcDst, int len) { zal::everyOfInPlace<zal::Less>(pSrc, pSrcDst, len); return StatusOk; }

// Checked members.
StatusCode zalsMaxEvery_32f_I(const float* pSrc, float* pSrcDst, int len) { return zal::checkedEveryOfInPlace<zal::Greater>(pSrc, pSrcDst, len); }
StatusCode zalsMinEvery_32f_I(const float* pSrc, float* pSrcDst, int len) { return zal::checkedEveryOfInPlace<zal::Less>(pSrc, pSrcDst, len); }

}  // extern "C"
