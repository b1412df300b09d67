// Gaussian 5x5 pyramid levels: one level down (smooth, keep every second
// pixel of every second row) or one level up (zero-interleave, smooth with the
// kernel scaled by 4). Both run row by row through a ring of horizontally
// filtered rows kept in the caller's scratch buffer.
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "pyramid/exports.h"
#include "pyramid/ops.h"

namespace zal {
namespace {

// Horizontal sums are exact in 32-bit integers for the 8-bit types.
template <class T>
using Acc = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;

constexpr long long pad16(long long n) { return (n + 15) & ~15LL; }

// Reflection about the edge pixel without repeating it (-1 -> 1, n -> n - 2);
// one bounce is enough for the distances of a 5-tap kernel on n >= 3.
inline int reflect(int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); }

// The ring starts at the first 32-byte boundary of the buffer.
inline unsigned char* alignBuffer(uint8_t* p) {
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<unsigned char*>((a + 31) & ~static_cast<std::uintptr_t>(31));
}

// A ring of N horizontally filtered rows in the caller's buffer (from its
// first 32-byte boundary), each slot remembering which source row it holds.
template <class A, int N>
class RowRing {
public:
    RowRing(uint8_t* buffer, std::ptrdiff_t slotBytes) {
        unsigned char* base = alignBuffer(buffer);
        for (int k = 0; k < N; ++k) {
            slots_[k] = reinterpret_cast<A*>(base + k * slotBytes);
            tags_[k] = -1;
        }
    }
    // Row r, filtered by fill(r, slot) unless its slot already holds it.
    template <class Fill>
    const A* row(int r, Fill&& fill) {
        const int k = r % N;
        if (tags_[k] != r) {
            fill(r, slots_[k]);
            tags_[k] = r;
        }
        return slots_[k];
    }

private:
    A* slots_[N];
    int tags_[N];
};

// Integer results: the kernel weight is 2^shift, rounding half up; the low
// byte of the shifted sum is the result for both signed and unsigned data.
template <class T, int Shift>
inline T finish(Acc<T> v) {
    if constexpr (std::is_same_v<T, float>) {
        return v * (1.0f / static_cast<float>(1 << Shift));
    } else {
        return static_cast<T>(static_cast<uint8_t>((v + (1 << (Shift - 1))) >> Shift));
    }
}

// ---- PyrDown -----------------------------------------------------------

// h(i) = s(2i-2) + 4 (s(2i-1) + s(2i+1)) + 6 s(2i) + s(2i+2) for every
// channel; floats are summed as 6 s0 + 4 (s-1 + s1) + s-2 + s2.
template <class T, int C>
void downRow(const T* __restrict s, Acc<T>* __restrict h, int width, int outWidth) {
    using A = Acc<T>;
    if (width <= 2) {
        // Narrow images: 16 s0 for one column, 8 (s0 + s1) for two.
        for (int c = 0; c < C; ++c) {
            const A s0 = s[c];
            h[c] = width == 1 ? s0 * A(16) : (s0 + A(s[C + c])) * A(8);
        }
        return;
    }
    auto tap = [&](int i, int c) {
        const A sm2 = s[reflect(2 * i - 2, width) * C + c], sm1 = s[reflect(2 * i - 1, width) * C + c];
        const A s0 = s[2 * i * C + c];
        const A sp1 = s[reflect(2 * i + 1, width) * C + c], sp2 = s[reflect(2 * i + 2, width) * C + c];
        return A(6) * s0 + A(4) * (sm1 + sp1) + sm2 + sp2;
    };
    // Interior outputs read 2i - 2 >= 0 and 2i + 2 <= width - 1.
    const int innerEnd = (width - 3) / 2 + 1;
    for (int c = 0; c < C; ++c) h[c] = tap(0, c);
    for (int i = 1; i < innerEnd; ++i) {
        const T* p = s + (2 * i) * C;
        for (int c = 0; c < C; ++c) {
            const A sm2 = p[c - 2 * C], sm1 = p[c - C], s0 = p[c], sp1 = p[c + C], sp2 = p[c + 2 * C];
            h[i * C + c] = A(6) * s0 + A(4) * (sm1 + sp1) + sm2 + sp2;
        }
    }
    for (int i = innerEnd < 1 ? 1 : innerEnd; i < outWidth; ++i)
        for (int c = 0; c < C; ++c) h[i * C + c] = tap(i, c);
}

// ---- PyrUp -------------------------------------------------------------

// Even output column 2x: s(x-1) + 6 s(x) + s(x+1); odd column 2x+1:
// 4 (s(x) + s(x+1)); the reflected zero-interleaved border gives
// e(0) = 6 s0 + 2 s1, e(W-1) = s(W-2) + 7 s(W-1), o(W-1) = 8 s(W-1).
template <class T, int C>
void upRow(const T* __restrict s, Acc<T>* __restrict r, int width) {
    using A = Acc<T>;
    if (width == 1) {
        for (int c = 0; c < C; ++c) r[c] = r[C + c] = A(s[c]) * A(8);
        return;
    }
    for (int c = 0; c < C; ++c) {
        r[c] = A(6) * A(s[c]) + A(2) * A(s[C + c]);
        r[C + c] = A(4) * (A(s[c]) + A(s[C + c]));
    }
    for (int x = 1; x < width - 1; ++x) {
        const T* p = s + x * C;
        A* o = r + 2 * x * C;
        for (int c = 0; c < C; ++c) {
            const A sm = p[c - C], s0 = p[c], sp = p[c + C];
            o[c] = sm + A(6) * s0 + sp;
            o[C + c] = A(4) * (s0 + sp);
        }
    }
    const T* p = s + (width - 1) * C;
    A* o = r + 2 * (width - 1) * C;
    for (int c = 0; c < C; ++c) {
        o[c] = A(p[c - C]) + A(7) * A(p[c]);
        o[C + c] = A(8) * A(p[c]);
    }
}

}  // namespace

namespace pyramid {

template <class T, int C>
void pyrDown(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    using A = Acc<T>;
    const int W = src.width, H = src.height, dw = dst.width, rowLen = dw * C;

    // Ring of six filtered rows: any five consecutive source rows (all a
    // destination row reads, reflections included) occupy distinct slots.
    RowRing<A, 6> ring(buffer, pad16(4LL * W * C));
    auto filtered = [&](int r) {
        return ring.row(r, [&](int row, A* out) { downRow<T, C>(src.row(row), out, W, dw); });
    };

    if (H < 3) {
        // One row: weights collapse to 16 h0; two rows: to 8 (h0 + h1).
        const A* h0 = filtered(0);
        const A* h1 = H == 2 ? filtered(1) : h0;
        T* d = dst.row(0);
        for (int i = 0; i < rowLen; ++i) d[i] = finish<T, 8>(H == 1 ? h0[i] * A(16) : (h0[i] + h1[i]) * A(8));
        return;
    }
    for (int j = 0; j < dst.height; ++j) {
        const A* __restrict hm2 = filtered(reflect(2 * j - 2, H));
        const A* __restrict hm1 = filtered(reflect(2 * j - 1, H));
        const A* __restrict h0 = filtered(2 * j);
        const A* __restrict hp1 = filtered(reflect(2 * j + 1, H));
        const A* __restrict hp2 = filtered(reflect(2 * j + 2, H));
        T* __restrict d = dst.row(j);
        for (int i = 0; i < rowLen; ++i) d[i] = finish<T, 8>(A(6) * h0[i] + A(4) * (hm1[i] + hp1[i]) + hm2[i] + hp2[i]);
    }
}

template <class T, int C>
void pyrUp(Image<const T> src, Image<T> dst, uint8_t* buffer) {
    using A = Acc<T>;
    const int H = src.height, rowLen = dst.width * C;

    // Ring of three filtered rows R(r - 1), R(r), R(r + 1).
    RowRing<A, 3> ring(buffer, pad16(8LL * src.width * C));
    auto filtered = [&](int r) {
        return ring.row(r, [&](int row, A* out) { upRow<T, C>(src.row(row), out, src.width); });
    };

    if (H == 1) {
        const A* r0 = filtered(0);
        T* d0 = dst.row(0);
        T* d1 = dst.row(1);
        for (int i = 0; i < rowLen; ++i) d0[i] = d1[i] = finish<T, 6>(r0[i] * A(8));
        return;
    }
    for (int r = 0; r < H; ++r) {
        // R(-1) = R(1) and R(H) = R(H - 1).
        const A* __restrict rm = filtered(r == 0 ? 1 : r - 1);
        const A* __restrict r0 = filtered(r);
        const A* __restrict rp = filtered(r == H - 1 ? H - 1 : r + 1);
        T* __restrict even = dst.row(2 * static_cast<std::ptrdiff_t>(r));
        T* __restrict odd = dst.row(2 * static_cast<std::ptrdiff_t>(r) + 1);
        for (int i = 0; i < rowLen; ++i) {
            even[i] = finish<T, 6>(rm[i] + A(6) * r0[i] + rp[i]);
            odd[i] = finish<T, 6>(A(4) * (r0[i] + rp[i]));
        }
    }
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
