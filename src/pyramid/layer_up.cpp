// One general pyramid level up: every source pixel (and every border pixel
// within reach) is splatted with the state's kernel at its position scaled by
// the rate, first along the rows and then along the columns, and each
// destination position is normalised by the total weight it received.
//
// 8u scales: the row pass keeps 128 x the pixel ((A * 32768 / W + 128) >> 8),
// the column pass returns to pixels ((B * 32768 / W + 2^21) >> 22). 16u uses
// the same scales with 64-bit sums and double products; 32f divides by W.
//
// Steps need only cover a row, so 16u and 32f rows may start at any byte:
// source and destination elements move with unaligned loads and stores.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "core/unaligned.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"

namespace zal {
namespace {

// Where a source sample lands: i = floor(s * rate) (taken as
// trunc(p + 100) - 100 within the usual range), f the fraction. A sample with
// f > 0 reaches i - c + 1 .. i + c with the kernel interpolated at the
// fraction; an integral one reaches i - c' .. i + c' with the kernel itself.
struct Splat {
    int i = 0;
    float f = 0;
    bool frac = false;
};

Splat splatAt(int s, float rate) {
    const float p = static_cast<float>(s) * rate;
    Splat sp;
    sp.i = p > -100.0f ? static_cast<int>(p + 100.0f) - 100 : static_cast<int>(std::floor(p));
    sp.f = p - static_cast<float>(sp.i);
    sp.frac = sp.f > kFloatMin;
    return sp;
}

template <class T>
struct UpTypes {
    using K = LayerKernel<T>;
    using Real = std::conditional_t<std::is_same_v<T, uint16_t>, double, float>;  // products
    using Row = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;     // row-pass values
    using Sum = std::conditional_t<std::is_same_v<T, float>, float, int64_t>;     // accumulators
};

template <class T>
class Splatter {
public:
    using K = typename UpTypes<T>::K;
    using Real = typename UpTypes<T>::Real;
    using Sum = typename UpTypes<T>::Sum;

    Splatter(const K* q, int kerSize) : q_(q), c_(kerSize / 2), cInt_(q[0] == 0 ? kerSize / 2 - 1 : kerSize / 2) {}

    int lo(const Splat& sp) const { return sp.frac ? -c_ + 1 : -cInt_; }
    int hi(const Splat& sp) const { return sp.frac ? c_ : cInt_; }
    float weight(const Splat& sp, int t) const {
        return static_cast<float>(q_[c_ + t - 1]) * sp.f + static_cast<float>(q_[c_ + t]) * (1.0f - sp.f);
    }
    float kernel(int t) const { return static_cast<float>(q_[c_ + t]); }

    // One contribution; `rounded` adds 0.5 before truncation (row pass).
    template <class V>
    Sum contribution(const Splat& sp, int t, V value, bool rounded) const {
        if constexpr (std::is_same_v<T, float>) {
            return (sp.frac ? weight(sp, t) : kernel(t)) * value;
        } else if (sp.frac) {
            const Real v = static_cast<Real>(weight(sp, t)) * static_cast<Real>(value) + (rounded ? Real(0.5) : Real(0));
            return static_cast<Sum>(v);
        } else {
            return static_cast<Sum>(q_[c_ + t]) * static_cast<Sum>(value);
        }
    }

private:
    const K* q_;
    int c_, cInt_;
};

}  // namespace

namespace pyramid {

template <class T, int C>
bool layerUp(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    using Types = UpTypes<T>;
    using RowT = typename Types::Row;
    using Sum = typename Types::Sum;
    using Real = typename Types::Real;
    const ImageSize srcRoi{src.width, src.height}, dstRoi{dst.width, dst.height};
    const float rate = state.rate;
    const int c = state.kerSize / 2;
    const int m = static_cast<int>(static_cast<float>(c) / rate + 0.5f);
    const int W = srcRoi.width, H = srcRoi.height, dW = dstRoi.width, dH = dstRoi.height;
    const int bW = W + 2 * c, bH = H + 2 * c, nx = W + 2 * m, ny = H + 2 * m;
    const int len = std::max(dW, dH);

    // One block: bordered source, row-pass rows, two accumulator rows, the
    // normalisation factors and the splat positions of both axes.
    const std::size_t rowElems = static_cast<std::size_t>(dW) * C;
    std::size_t off = 0;
    auto reserve = [&](std::size_t bytes) { const std::size_t at = off; off += align32(bytes); return at; };
    const std::size_t offB = reserve(static_cast<std::size_t>(bW) * bH * C * sizeof(T));
    const std::size_t offR = reserve(static_cast<std::size_t>(ny) * rowElems * sizeof(RowT));
    const std::size_t offA = reserve(rowElems * sizeof(Sum));
    const std::size_t offF = reserve(static_cast<std::size_t>(len) * sizeof(float));
    const std::size_t offSx = reserve(static_cast<std::size_t>(nx) * sizeof(Splat));
    const std::size_t offSy = reserve(static_cast<std::size_t>(ny) * sizeof(Splat));
    uint8_t* block = off <= INT32_MAX ? zalsMalloc_8u(static_cast<int>(off)) : nullptr;
    if (!block) return false;
    T* bordered = reinterpret_cast<T*>(block + offB);
    RowT* rows = reinterpret_cast<RowT*>(block + offR);
    Sum* acc = reinterpret_cast<Sum*>(block + offA);
    float* factor = reinterpret_cast<float*>(block + offF);
    Splat* sx = reinterpret_cast<Splat*>(block + offSx);
    Splat* sy = reinterpret_cast<Splat*>(block + offSy);

    const Splatter<T> splat(static_cast<const typename Types::K*>(state.kernel), state.kerSize);

    // 1. Source with a reflected border of c pixels on every side.
    for (int y = 0; y < bH; ++y) {
        const auto* s = src.rowBytes(reflectBounce(y - c, H));
        T* b = bordered + static_cast<std::ptrdiff_t>(y) * bW * C;
        for (int x = 0; x < bW; ++x)
            for (int ch = 0; ch < C; ++ch)
                b[x * C + ch] = loadUnaligned<T>(s, static_cast<std::ptrdiff_t>(reflectBounce(x - c, W)) * C + ch);
    }
    // 2. Splat positions of samples -m .. n + m - 1 along each axis.
    for (int s = 0; s < nx; ++s) sx[s] = splatAt(s - m, rate);
    for (int s = 0; s < ny; ++s) sy[s] = splatAt(s - m, rate);

    // 3. Weight received by each position, summed along the width. Positions
    // beyond the destination width exist only for the height axis, so they
    // take their sums from the height's own samples.
    for (int o = 0; o < len; ++o) factor[o] = 0.0f;
    auto addWeights = [&](const Splat* sp, int n, int oBegin) {
        for (int s = 0; s < n; ++s)
            for (int t = splat.lo(sp[s]); t <= splat.hi(sp[s]); ++t) {
                const int o = sp[s].i + t;
                if (o >= oBegin && o < len) factor[o] += sp[s].frac ? splat.weight(sp[s], t) : splat.kernel(t);
            }
    };
    addWeights(sx, nx, 0);
    if (dH > dW) {
        for (int o = dW; o < len; ++o) factor[o] = 0.0f;
        addWeights(sy, ny, dW);
    }
    const float scale = std::is_same_v<T, float> ? 1.0f : 32768.0f;
    for (int o = 0; o < len; ++o)
        if (std::fabs(factor[o]) > kFloatMin) factor[o] = scale / factor[o];

    // 4. Row pass over the work rows that reach the destination.
    for (int v = 0; v < ny; ++v) {
        const T* b = bordered + static_cast<std::ptrdiff_t>(v - m + c) * bW * C;
        std::fill(acc, acc + rowElems, Sum(0));
        for (int s = 0; s < nx; ++s) {
            const Splat& sp = sx[s];
            const T* px = b + static_cast<std::ptrdiff_t>(s - m + c) * C;
            for (int t = splat.lo(sp); t <= splat.hi(sp); ++t) {
                const int o = sp.i + t;
                if (o < 0 || o >= dW) continue;
                for (int ch = 0; ch < C; ++ch) acc[o * C + ch] += splat.contribution(sp, t, px[ch], true);
            }
        }
        RowT* r = rows + static_cast<std::ptrdiff_t>(v) * rowElems;
        for (int o = 0; o < dW; ++o)
            for (int ch = 0; ch < C; ++ch) {
                const Sum a = acc[o * C + ch];
                if constexpr (std::is_same_v<T, float>) r[o * C + ch] = a * factor[o];
                else r[o * C + ch] = static_cast<RowT>(static_cast<int64_t>(static_cast<Real>(a) * static_cast<Real>(factor[o]) + Real(128)) >> 8);
            }
    }

    // 5. Column pass: destination row y gathers the work rows that reach it.
    const double inv = 1.0 / static_cast<double>(rate);
    for (int y = 0; y < dH; ++y) {
        std::fill(acc, acc + rowElems, Sum(0));
        const int vLo = std::max(0, static_cast<int>(std::floor((y - c - 2) * inv)) + m - 1);
        const int vHi = std::min(ny - 1, static_cast<int>(std::ceil((y + c + 2) * inv)) + m + 1);
        for (int v = vLo; v <= vHi; ++v) {
            const Splat& sp = sy[v];
            const int t = y - sp.i;
            if (t < splat.lo(sp) || t > splat.hi(sp)) continue;
            const RowT* r = rows + static_cast<std::ptrdiff_t>(v) * rowElems;
            for (std::size_t e = 0; e < rowElems; ++e) acc[e] += splat.contribution(sp, t, r[e], false);
        }
        auto* d = dst.rowBytes(y);
        const float f = factor[y];
        for (std::size_t e = 0; e < rowElems; ++e) {
            const auto i = static_cast<std::ptrdiff_t>(e);
            if constexpr (std::is_same_v<T, float>) {
                storeUnaligned<T>(d, i, acc[e] * f);
            } else {
                const int64_t v = static_cast<int64_t>(static_cast<Real>(acc[e]) * static_cast<Real>(f) + Real(2097152)) >> 22;
                storeUnaligned<T>(d, i, static_cast<T>(std::clamp<int64_t>(v, 0, std::numeric_limits<T>::max())));
            }
        }
    }
    zalsFree(block);
    return true;
}

}  // namespace pyramid
}  // namespace zal

#define ZAL_LAYER_UP_INSTANCE(name, T, C) \
    template bool zal::pyramid::layerUp<T, C>(zal::Image<const T>, zal::Image<T>, const PyramidLayerState&);
ZAL_PYRAMID_LAYER_UP(ZAL_LAYER_UP_INSTANCE)
