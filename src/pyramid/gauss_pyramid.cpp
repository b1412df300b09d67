// Gaussian 5x5 pyramid levels: one level down (smooth, keep every second
// pixel of every second row) or one level up (zero-interleave, smooth with the
// kernel scaled by 4). Both run row by row through a ring of horizontally
// filtered rows kept in the caller's scratch buffer. 8-bit rows are filtered
// into 16-bit values (at most 16 x 255 in magnitude down, 8 x 255 up) and
// every sum stays exact in 16-bit lanes; 32f rows keep the documented order
// of the float operations.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pyramid/gauss_pyramid.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/image.h"
#include "core/rows-inl.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

// Ring values: unsigned 16 bits for 8u (the vertical sums reach 65280),
// signed for 8s, floats for 32f. Acc is what one tap sum is formed in.
template <class T>
using Ring = std::conditional_t<std::is_same_v<T, float>, float,
                                std::conditional_t<std::is_same_v<T, uint8_t>, uint16_t, int16_t>>;
template <class T>
using Acc = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;

constexpr long long pad16(long long n) { return (n + 15) & ~15LL; }

// Reflection about the edge pixel without repeating it (-1 -> 1, n -> n - 2);
// one bounce is enough for the distances of a 5-tap kernel on n >= 3.
inline int reflect(int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); }

// A ring of N filtered rows in the caller's buffer (from its first 32-byte
// boundary), each slot remembering which source row it holds.
template <class R, int N>
class RowRing {
public:
    RowRing(uint8_t* buffer, std::ptrdiff_t slotBytes) {
        const auto a = reinterpret_cast<std::uintptr_t>(buffer);
        auto* base = reinterpret_cast<unsigned char*>((a + 31) & ~static_cast<std::uintptr_t>(31));
        for (int k = 0; k < N; ++k) {
            slots_[k] = reinterpret_cast<R*>(base + k * slotBytes);
            tags_[k] = -1;
        }
    }
    // Row r, filtered by fill(r, slot) unless its slot already holds it.
    template <class Fill>
    const R* row(int r, Fill&& fill) {
        const int k = r % N;
        if (tags_[k] != r) {
            fill(r, slots_[k]);
            tags_[k] = r;
        }
        return slots_[k];
    }

private:
    R* slots_[N];
    int tags_[N];
};

// Integer results: the kernel weight is 2^Shift, rounding half up; the low
// byte of the shifted sum is the result for both signed and unsigned data.
template <class T, int Shift>
inline T finish(Acc<T> v) {
    if constexpr (std::is_same_v<T, float>) return v * (1.0f / static_cast<float>(1 << Shift));
    else return static_cast<T>(static_cast<uint8_t>((v + (1 << (Shift - 1))) >> Shift));
}

// ---- Rows through a zero-padded block ------------------------------------------

// Calls step(p, i, n) for the outputs [i, end) in chunks of `lanes`, p
// pointing at source element first(i), from which a chunk reads `span`
// elements (at most 2 lanes + 4). Chunks whose reads end inside the row read
// the row; the last ones read a zero-padded copy of what is left of it, so
// nothing outside the row is touched and every output gets the same lanes.
template <class S, class First, class Step>
HWY_INLINE void chunked(const S* row, int rowLen, int i, int end, int lanes, int span, First first, Step step) {
    for (; i + lanes <= end && first(i) + span <= rowLen; i += lanes) step(row + first(i), i, lanes);
    while (i < end) {
        const int n = std::min(end - i, lanes);
        HWY_ALIGN S block[2 * HWY_MAX_BYTES / sizeof(S) + 8] = {};
        std::memcpy(block, row + first(i), static_cast<std::size_t>(std::min(span, rowLen - first(i))) * sizeof(S));
        step(static_cast<const S*>(block), i, n);
        i += n;
    }
}

// Stores the first n lanes of v at p (all of them when n is the lane count).
template <class D>
HWY_INLINE void storeFirst(hn::Vec<D> v, D d, hn::TFromD<D>* p, int n) {
    if (n == static_cast<int>(hn::Lanes(d))) hn::StoreU(v, d, p);
    else storePartial(v, d, p, static_cast<std::size_t>(n));
}

// ---- Down ----------------------------------------------------------------

// Scalar taps of output i on any row: s(2i-2) + 4 (s(2i-1) + s(2i+1)) +
// 6 s(2i) + s(2i+2) per channel; floats summed as 6 s0 + 4 (s-1 + s1) + s-2
// + s2.
template <class T, int C>
inline Acc<T> downTap(const T* s, int width, int i, int c) {
    using A = Acc<T>;
    const A sm2 = s[reflect(2 * i - 2, width) * C + c], sm1 = s[reflect(2 * i - 1, width) * C + c];
    const A s0 = s[2 * i * C + c];
    const A sp1 = s[reflect(2 * i + 1, width) * C + c], sp2 = s[reflect(2 * i + 2, width) * C + c];
    return A(6) * s0 + A(4) * (sm1 + sp1) + sm2 + sp2;
}

// Lanes(d) 16-bit lanes from the bytes at p, lane k holding p[2k] in its low
// byte and p[2k + 1] in its high byte.
template <class D, class S>
HWY_INLINE hn::Vec<D> loadPairs(D d, const S* p) {
#if HWY_TARGET == HWY_SCALAR
    hn::TFromD<D> v;
    std::memcpy(&v, p, sizeof(v));
    return hn::Set(d, v);
#else
    return hn::BitCast(d, hn::LoadU(hn::Repartition<S, D>(), p));
#endif
}

// The taps of Lanes(d) consecutive outputs from p = s + 2i - 2 (reads p[0]
// to p[2 Lanes + 3]). 8-bit pairs are read as 16-bit lanes: the low byte is
// the even pixel, the high byte the odd one.
template <class D, class S>
HWY_INLINE hn::Vec<D> downTaps(D d, const S* p) {
    if constexpr (std::is_same_v<S, float>) {
        hn::Vec<D> em1, om1, e0, o0, e1, o1;
        hn::LoadInterleaved2(d, p, em1, om1);
        hn::LoadInterleaved2(d, p + 2, e0, o0);
        hn::LoadInterleaved2(d, p + 4, e1, o1);
        const auto v = hn::Add(hn::Mul(hn::Set(d, 6.0f), e0), hn::Mul(hn::Set(d, 4.0f), hn::Add(om1, o0)));
        return hn::Add(hn::Add(v, em1), e1);
    } else {
        const auto a = loadPairs(d, p), b = loadPairs(d, p + 2), c = loadPairs(d, p + 4);
        auto even = [&](hn::Vec<D> v) {
            if constexpr (std::is_signed_v<S>) return hn::ShiftRight<8>(hn::ShiftLeft<8>(v));
            else return hn::And(v, hn::Set(d, 0xFF));
        };
        auto odd = [](hn::Vec<D> v) { return hn::ShiftRight<8>(v); };
        const auto outer = hn::Add(even(a), even(c));
        return hn::Add(hn::Add(outer, hn::ShiftLeft<2>(hn::Add(odd(a), odd(b)))), hn::Mul(even(b), hn::Set(d, 6)));
    }
}

// One source row filtered at the even columns into outWidth values per
// channel.
template <class T, int C>
HWY_INLINE void downRow(const T* s, Ring<T>* h, int width, int outWidth) {
    using A = Acc<T>;
    using R = Ring<T>;
    if (width <= 2) {
        // Narrow images: 16 s0 for one column, 8 (s0 + s1) for two.
        for (int c = 0; c < C; ++c) {
            const A s0 = s[c];
            h[c] = static_cast<R>(width == 1 ? s0 * A(16) : (s0 + A(s[C + c])) * A(8));
        }
        return;
    }
    // Interior outputs read 2i - 2 >= 0 and 2i + 2 <= width - 1.
    const int innerEnd = (width - 3) / 2 + 1;
    for (int c = 0; c < C; ++c) h[c] = static_cast<R>(downTap<T, C>(s, width, 0, c));
    if constexpr (C == 1) {
        const hn::ScalableTag<R> d;
        const int lanes = static_cast<int>(hn::Lanes(d));
        chunked(s, width, 1, innerEnd, lanes, 2 * lanes + 4, [](int i) { return 2 * i - 2; },
                [&](const T* p, int i, int n) { storeFirst(downTaps(d, p), d, h + i, n); });
    } else {
        for (int i = 1; i < innerEnd; ++i)
            for (int c = 0; c < C; ++c) h[i * C + c] = static_cast<R>(downTap<T, C>(s, width, i, c));
    }
    for (int i = std::max(innerEnd, 1); i < outWidth; ++i)
        for (int c = 0; c < C; ++c) h[i * C + c] = static_cast<R>(downTap<T, C>(s, width, i, c));
}

// d = 6 h0 + 4 (hm1 + hp1) + hm2 + hp2, then (v + 128) >> 8 or v / 256; n
// elements.
template <class T>
HWY_INLINE void downColumn(const Ring<T>* hm2, const Ring<T>* hm1, const Ring<T>* h0, const Ring<T>* hp1,
                           const Ring<T>* hp2, T* out, std::size_t n) {
    using R = Ring<T>;
    const hn::ScalableTag<R> d;
    const std::size_t lanes = hn::Lanes(d);
    auto column = [&](auto a2, auto a1, auto a0, auto b1, auto b2) {
        const auto v = hn::Add(hn::Add(hn::Add(hn::Mul(hn::Set(d, R(6)), a0), hn::Mul(hn::Set(d, R(4)), hn::Add(a1, b1))), a2), b2);
        if constexpr (std::is_same_v<T, float>) {
            return hn::Mul(v, hn::Set(d, 1.0f / 256.0f));
        } else {
            const hn::Rebind<T, decltype(d)> d8;
            const hn::RebindToSigned<decltype(d)> ds;
            return hn::DemoteTo(d8, hn::BitCast(ds, hn::ShiftRight<8>(hn::Add(v, hn::Set(d, R(128))))));
        }
    };
    using DOut = std::conditional_t<std::is_same_v<T, float>, decltype(d), hn::Rebind<T, decltype(d)>>;
    const DOut dOut;
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes)
        hn::StoreU(column(hn::LoadU(d, hm2 + x), hn::LoadU(d, hm1 + x), hn::LoadU(d, h0 + x), hn::LoadU(d, hp1 + x),
                          hn::LoadU(d, hp2 + x)),
                   dOut, out + x);
    if (x < n) {
        const std::size_t r = n - x;
        storePartial(column(loadPartial(d, hm2 + x, r), loadPartial(d, hm1 + x, r), loadPartial(d, h0 + x, r),
                            loadPartial(d, hp1 + x, r), loadPartial(d, hp2 + x, r)),
                     dOut, out + x, r);
    }
}

template <class T, int C>
void pyrDownLevel(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    using A = Acc<T>;
    using R = Ring<T>;
    const int W = src.width, H = src.height, dw = dst.width;
    const std::size_t rowLen = static_cast<std::size_t>(dw) * C;

    // Ring of six filtered rows: any five consecutive source rows (all a
    // destination row reads, reflections included) occupy distinct slots.
    RowRing<R, 6> ring(buffer, pad16(4LL * W * C));
    auto filtered = [&](int r) {
        return ring.row(r, [&](int row, R* out) { downRow<T, C>(src.row(row), out, W, dw); });
    };

    if (H < 3) {
        // One row: weights collapse to 16 h0; two rows: to 8 (h0 + h1).
        const R* h0 = filtered(0);
        const R* h1 = H == 2 ? filtered(1) : h0;
        T* d = dst.row(0);
        for (std::size_t i = 0; i < rowLen; ++i)
            d[i] = finish<T, 8>(H == 1 ? A(h0[i]) * A(16) : (A(h0[i]) + A(h1[i])) * A(8));
        return;
    }
    for (int j = 0; j < dst.height; ++j) {
        const R* hm2 = filtered(reflect(2 * j - 2, H));
        const R* hm1 = filtered(reflect(2 * j - 1, H));
        const R* h0 = filtered(2 * j);
        const R* hp1 = filtered(reflect(2 * j + 1, H));
        const R* hp2 = filtered(reflect(2 * j + 2, H));
        downColumn<T>(hm2, hm1, h0, hp1, hp2, dst.row(j), rowLen);
    }
}

// ---- Up ------------------------------------------------------------------

// Even output column 2x: s(x-1) + 6 s(x) + s(x+1); odd column 2x+1:
// 4 (s(x) + s(x+1)); the reflected zero-interleaved border gives
// e(0) = 6 s0 + 2 s1, e(W-1) = s(W-2) + 7 s(W-1), o(W-1) = 8 s(W-1).
template <class T, int C>
HWY_INLINE void upRow(const T* s, Ring<T>* r, int width) {
    using A = Acc<T>;
    using R = Ring<T>;
    if (width == 1) {
        for (int c = 0; c < C; ++c) r[c] = r[C + c] = static_cast<R>(A(s[c]) * A(8));
        return;
    }
    for (int c = 0; c < C; ++c) {
        r[c] = static_cast<R>(A(6) * A(s[c]) + A(2) * A(s[C + c]));
        r[C + c] = static_cast<R>(A(4) * (A(s[c]) + A(s[C + c])));
    }
    if constexpr (C == 1) {
        // Interior x in [1, width - 1) reads s(x - 1) .. s(x + 1).
        const hn::ScalableTag<R> d;
        const hn::Rebind<T, decltype(d)> dIn;
        auto load = [&](const T* p) {
            if constexpr (std::is_same_v<T, float>) return hn::LoadU(d, p);
            else return hn::PromoteTo(d, hn::LoadU(dIn, p));
        };
        const int lanes = static_cast<int>(hn::Lanes(d));
        chunked(s, width, 1, width - 1, lanes, lanes + 2, [](int x) { return x - 1; },
                [&](const T* p, int x, int n) {
                    const auto sm = load(p), s0 = load(p + 1), sp = load(p + 2);
                    // Floats: (sm + 6 s0) + sp, as the scalar definition sums.
                    const auto e = hn::Add(hn::Add(sm, hn::Mul(hn::Set(d, R(6)), s0)), sp);
                    const auto o = hn::Mul(hn::Set(d, R(4)), hn::Add(s0, sp));
                    if (n == lanes) {
                        hn::StoreInterleaved2(e, o, d, r + 2 * x);
                    } else {
                        HWY_ALIGN R pair[2 * HWY_MAX_BYTES / sizeof(R)];
                        hn::StoreInterleaved2(e, o, d, pair);
                        std::memcpy(r + 2 * x, pair, 2 * static_cast<std::size_t>(n) * sizeof(R));
                    }
                });
    } else {
        for (int x = 1; x < width - 1; ++x) {
            const T* p = s + x * C;
            R* o = r + 2 * x * C;
            for (int c = 0; c < C; ++c) {
                const A sm = p[c - C], s0 = p[c], sp = p[c + C];
                o[c] = static_cast<R>(sm + A(6) * s0 + sp);
                o[C + c] = static_cast<R>(A(4) * (s0 + sp));
            }
        }
    }
    const T* p = s + (width - 1) * C;
    R* o = r + 2 * (width - 1) * C;
    for (int c = 0; c < C; ++c) {
        o[c] = static_cast<R>(A(p[c - C]) + A(7) * A(p[c]));
        o[C + c] = static_cast<R>(A(8) * A(p[c]));
    }
}

// Output rows 2r and 2r + 1 from the filtered rows R(r - 1), R(r), R(r + 1):
// (rm + 6 r0) + rp and 4 (r0 + rp), then (v + 32) >> 6 or v / 64; n
// elements each.
template <class T>
HWY_INLINE void upColumns(const Ring<T>* rm, const Ring<T>* r0, const Ring<T>* rp, T* even, T* odd, std::size_t n) {
    using R = Ring<T>;
    const hn::ScalableTag<R> d;
    const std::size_t lanes = hn::Lanes(d);
    auto finishV = [&](hn::Vec<decltype(d)> v) {
        if constexpr (std::is_same_v<T, float>) {
            return hn::Mul(v, hn::Set(d, 1.0f / 64.0f));
        } else {
            const hn::Rebind<T, decltype(d)> d8;
            const hn::RebindToSigned<decltype(d)> ds;
            return hn::DemoteTo(d8, hn::BitCast(ds, hn::ShiftRight<6>(hn::Add(v, hn::Set(d, R(32))))));
        }
    };
    using DOut = std::conditional_t<std::is_same_v<T, float>, decltype(d), hn::Rebind<T, decltype(d)>>;
    const DOut dOut;
    auto both = [&](auto a, auto b, auto c, std::size_t x, std::size_t count) {
        const auto e = finishV(hn::Add(hn::Add(a, hn::Mul(hn::Set(d, R(6)), b)), c));
        const auto o = finishV(hn::Mul(hn::Set(d, R(4)), hn::Add(b, c)));
        if (count == lanes) {
            hn::StoreU(e, dOut, even + x);
            hn::StoreU(o, dOut, odd + x);
        } else {
            storePartial(e, dOut, even + x, count);
            storePartial(o, dOut, odd + x, count);
        }
    };
    std::size_t x = 0;
    for (; x + lanes <= n; x += lanes) both(hn::LoadU(d, rm + x), hn::LoadU(d, r0 + x), hn::LoadU(d, rp + x), x, lanes);
    if (x < n) {
        const std::size_t r = n - x;
        both(loadPartial(d, rm + x, r), loadPartial(d, r0 + x, r), loadPartial(d, rp + x, r), x, r);
    }
}

template <class T, int C>
void pyrUpLevel(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    using A = Acc<T>;
    using R = Ring<T>;
    const int H = src.height;
    const std::size_t rowLen = static_cast<std::size_t>(dst.width) * C;

    // Ring of three filtered rows R(r - 1), R(r), R(r + 1).
    RowRing<R, 3> ring(buffer, pad16(8LL * src.width * C));
    auto filtered = [&](int r) {
        return ring.row(r, [&](int row, R* out) { upRow<T, C>(src.row(row), out, src.width); });
    };

    if (H == 1) {
        const R* r0 = filtered(0);
        T* d0 = dst.row(0);
        T* d1 = dst.row(1);
        for (std::size_t i = 0; i < rowLen; ++i) d0[i] = d1[i] = finish<T, 6>(A(r0[i]) * A(8));
        return;
    }
    for (int r = 0; r < H; ++r) {
        // R(-1) = R(1) and R(H) = R(H - 1).
        const R* rm = filtered(r == 0 ? 1 : r - 1);
        const R* r0 = filtered(r);
        const R* rp = filtered(r == H - 1 ? H - 1 : r + 1);
        const std::ptrdiff_t y = 2 * static_cast<std::ptrdiff_t>(r);
        upColumns<T>(rm, r0, rp, dst.row(y), dst.row(y + 1), rowLen);
    }
}

// One entry per element type, the channel count (1 or 3) given.
#define ZAL_GAUSS_ENTRIES(T, suffix)                                                                  \
    void PyrDown##suffix(Image<const T> src, Image<T> dst, uint8_t* buffer, int channels) {          \
        if (channels == 1) pyrDownLevel<T, 1>(src, dst, buffer);                                      \
        else pyrDownLevel<T, 3>(src, dst, buffer);                                                    \
    }                                                                                                 \
    void PyrUp##suffix(Image<const T> src, Image<T> dst, uint8_t* buffer, int channels) {            \
        if (channels == 1) pyrUpLevel<T, 1>(src, dst, buffer);                                        \
        else pyrUpLevel<T, 3>(src, dst, buffer);                                                      \
    }
ZAL_GAUSS_ENTRIES(uint8_t, 8u)
ZAL_GAUSS_ENTRIES(int8_t, 8s)
ZAL_GAUSS_ENTRIES(float, 32f)
#undef ZAL_GAUSS_ENTRIES

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "pyramid/exports.h"
#include "pyramid/ops.h"

namespace zal {
HWY_EXPORT(PyrDown8u);
HWY_EXPORT(PyrDown8s);
HWY_EXPORT(PyrDown32f);
HWY_EXPORT(PyrUp8u);
HWY_EXPORT(PyrUp8s);
HWY_EXPORT(PyrUp32f);

namespace pyramid {

template <class T, int C>
void pyrDown(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(PyrDown8u)(src, dst, buffer, C);
    else if constexpr (std::is_same_v<T, int8_t>) HWY_DYNAMIC_DISPATCH(PyrDown8s)(src, dst, buffer, C);
    else HWY_DYNAMIC_DISPATCH(PyrDown32f)(src, dst, buffer, C);
}

template <class T, int C>
void pyrUp(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    if constexpr (std::is_same_v<T, uint8_t>) HWY_DYNAMIC_DISPATCH(PyrUp8u)(src, dst, buffer, C);
    else if constexpr (std::is_same_v<T, int8_t>) HWY_DYNAMIC_DISPATCH(PyrUp8s)(src, dst, buffer, C);
    else HWY_DYNAMIC_DISPATCH(PyrUp32f)(src, dst, buffer, C);
}

}  // namespace pyramid

namespace {

// The destination of a level down is ceil(W/2) x ceil(H/2), up 2W x 2H. The
// up destination's row length is tested in 64 bits: 2W may not fit an int,
// and no int step can hold such a row.
template <class T, int C, bool Up>
StatusCode gaussLevel(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roi, uint8_t* pBuffer) {
    ZAL_CHECK(requireNonNull(pSrc, pDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    const long long dstWidth = Up ? 2LL * roi.width : (roi.width + 1LL) / 2;
    ZAL_CHECK((requireRowSteps<T, C>(roi, srcStep)));
    ZAL_CHECK(requireStepsAtLeast(static_cast<std::ptrdiff_t>(dstWidth * C * sizeof(T)), dstStep));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, dstStep));
    const Image<const T> src = image(pSrc, srcStep, roi);
    if constexpr (Up) {
        // The up destination's rows are addressed from the source height, so
        // its view needs no height (2H need not fit an int).
        pyramid::pyrUp<T, C>(src, Image<T>(pDst, dstStep, static_cast<int>(dstWidth), 0), pBuffer);
    } else {
        pyramid::pyrDown<T, C>(src, image(pDst, dstStep, ImageSize{static_cast<int>(dstWidth), (roi.height + 1) / 2}), pBuffer);
    }
    return StatusOk;
}

constexpr long long pad16(long long n) { return (n + 15) & ~15LL; }

StatusCode bufSize(int width, int dataType, int channels, int* pBufSize, int bytesPerPixelChannel, int rows) {
    ZAL_CHECK(requireNonNull(pBufSize));
    ZAL_CHECK(requireLength(width));
    ZAL_CHECK(failIf(channels != 1 && channels != 3, StatusChannelCountError));
    ZAL_CHECK(failIf(dataType != DataType8u && dataType != DataType8s && dataType != DataType32f, StatusDataTypeError));
    return storeSize(pad16(static_cast<long long>(bytesPerPixelChannel) * width * channels) * rows + 32, pBufSize);
}

}  // namespace
}  // namespace zal

#define ZAL_PYR_LEVEL(name, T, C, op, Up)                                                                \
    ZAL_DECLARED(name);                                                                                  \
    template void zal::pyramid::op<T, C>(zal::Image<const T>, zal::Image<T>, uint8_t*);                  \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,      \
                               uint8_t* pBuffer) {                                                       \
        return zal::gaussLevel<T, C, Up>(pSrc, srcStep, pDst, dstStep, roiSize, pBuffer);                 \
    }
#define ZAL_PYR_DOWN(name, T, C) ZAL_PYR_LEVEL(name, T, C, pyrDown, false)
#define ZAL_PYR_UP(name, T, C) ZAL_PYR_LEVEL(name, T, C, pyrUp, true)
ZAL_PYRAMID_PYR_DOWN(ZAL_PYR_DOWN)
ZAL_PYRAMID_PYR_UP(ZAL_PYR_UP)

ZAL_DECLARED(zaliPyrDownGetBufSize_Gauss5x5);
extern "C" StatusCode zaliPyrDownGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize) {
    return zal::bufSize(roiWidth, dataType, channels, pBufSize, 4, 6);
}
ZAL_DECLARED(zaliPyrUpGetBufSize_Gauss5x5);
extern "C" StatusCode zaliPyrUpGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize) {
    return zal::bufSize(roiWidth, dataType, channels, pBufSize, 8, 3);
}
#endif  // HWY_ONCE
