// Pyramidal Lucas-Kanade tracking: from the coarsest requested level down to
// level 0, a window around each point in the first image is compared with a
// window around the current estimate in the second image, and the estimate
// moves by the solution of the 2 x 2 normal equations until the step is
// small, the motion oscillates or the iteration limit is reached.
//
// The whole tracker is compiled per SIMD target and dispatched once per
// call. 8u windows run their gradients and sums in vectors; the 16u and 32f
// sums keep their scalar order (double-precision sums are not associative).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pyramid/flow_track.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "core/band_runner.h"
#include "core/image.h"
#include "core/threads.h"
#include "pyramid/flow_internal.h"
#include "pyramid/subpix-inl.h"
#include "pyramid/subpix_weights.h"

HWY_BEFORE_NAMESPACE();
namespace zal {
namespace HWY_NAMESPACE {

static_assert(HWY_MAX_BYTES <= kFlowSlack, "window buffers need a vector of slack");

// Below this the estimate is taken to swing back and forth: 2^-11.5.
constexpr double kOscillation = 0.0003452669770922512;

// Inclusive window range; empty when x1 < x0 or y1 < y0.
struct Range {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    bool empty() const { return x1 < x0 || y1 < y0; }
    bool operator==(const Range&) const = default;
};

// Whether the sub-pixel copy can read a level: a positive size, and rows at
// least one level row long on element boundaries. The caller fills the
// pyramids in, so a level may be unusable; its points then fail there.
template <class T>
bool readable(const FlowLevel<T>& lv) {
    constexpr int kBytes = static_cast<int>(sizeof(T));
    return lv.size.width >= 1 && lv.size.height >= 1 &&
           lv.step >= static_cast<std::ptrdiff_t>(lv.size.width) * kBytes && lv.step % kBytes == 0;
}

// ---- 8u window sums in vectors ---------------------------------------------------
// Window values are bounded by construction: patch pixels are at most
// (255 x 16386 + 64) >> 7 = 32644 (Q14 weights sum to at most 16386), so a
// difference D of two fits 16 bits, and gradients are at most 16321 in
// magnitude (4 x the 8-bit Scharr filter's 4080, or 32 x 1/32 of a patch
// difference; interpolation adds at most one). Two pairs of such products
// therefore fit 32 bits (4 x 16321 x 32644 < 2^31, and 4 x 16321^2 for the
// gradient products), and every such sum is widened to 64 bits at once.

struct Sums {
    int64_t a = 0, b = 0, c = 0;
};

#if HWY_TARGET != HWY_SCALAR
// Lane-wise a * b summed in pairs into 32 bits.
template <class D16>
HWY_INLINE hn::Vec<hn::RepartitionToWide<D16>> pairProducts(D16 /*tag*/, hn::Vec<D16> a, hn::Vec<D16> b) {
    const hn::RepartitionToWide<D16> d32;
    auto odd = hn::Zero(d32);
    const auto even = hn::ReorderWidenMulAccumulate(d32, a, b, hn::Zero(d32), odd);
    return hn::RearrangeToOddPlusEven(even, odd);
}

// 32-bit lanes widened into two 64-bit accumulators.
template <class V32, class V64>
HWY_INLINE void addWidened(V32 v, V64& acc) {
    const hn::DFromV<V32> d32;
    const hn::RepartitionToWide<decltype(d32)> d64;
    acc = hn::Add(acc, hn::PromoteTo(d64, hn::LowerHalf(v)));
    acc = hn::Add(acc, hn::PromoteTo(d64, hn::UpperHalf(hn::Half<decltype(d32)>(), v)));
}
#endif

// Sums over n consecutive window elements (rows whose range spans the whole
// window are consecutive): Σ ix^2, Σ ix iy, Σ iy^2, or Σ ix D, Σ iy D with
// D = p1 - p2. Lanes past n are masked; the buffers' slack covers the reads.
template <bool Mismatch>
HWY_INLINE Sums windowSums(const int16_t* ix, const int16_t* iy, const uint16_t* p1, const uint16_t* p2,
                           std::size_t n) {
    Sums s;
#if HWY_TARGET == HWY_SCALAR
    for (std::size_t i = 0; i < n; ++i) {
        if constexpr (Mismatch) {
            const int64_t d = int64_t{p1[i]} - p2[i];
            s.a += ix[i] * d;
            s.b += iy[i] * d;
        } else {
            s.a += int64_t{ix[i]} * ix[i];
            s.b += int64_t{ix[i]} * iy[i];
            s.c += int64_t{iy[i]} * iy[i];
        }
    }
#else
    const hn::ScalableTag<int16_t> d16;
    const hn::RebindToUnsigned<decltype(d16)> du16;
    const hn::Repartition<int64_t, decltype(d16)> d64;
    auto a = hn::Zero(d64), b = hn::Zero(d64), c = hn::Zero(d64);
    const std::size_t lanes = hn::Lanes(d16);
    auto diff = [&](std::size_t i) {
        return hn::Sub(hn::BitCast(d16, hn::LoadU(du16, p1 + i)), hn::BitCast(d16, hn::LoadU(du16, p2 + i)));
    };
    // Two vectors at a time: the sum of two pair sums still fits 32 bits
    // (4 x 16321 x 32644 < 2^31), so it is widened once.
    std::size_t i = 0;
    for (; i + 2 * lanes <= n; i += 2 * lanes) {
        const auto gx0 = hn::LoadU(d16, ix + i), gx1 = hn::LoadU(d16, ix + i + lanes);
        const auto gy0 = hn::LoadU(d16, iy + i), gy1 = hn::LoadU(d16, iy + i + lanes);
        if constexpr (Mismatch) {
            const auto d0 = diff(i), d1 = diff(i + lanes);
            addWidened(hn::Add(pairProducts(d16, gx0, d0), pairProducts(d16, gx1, d1)), a);
            addWidened(hn::Add(pairProducts(d16, gy0, d0), pairProducts(d16, gy1, d1)), b);
        } else {
            addWidened(hn::Add(pairProducts(d16, gx0, gx0), pairProducts(d16, gx1, gx1)), a);
            addWidened(hn::Add(pairProducts(d16, gx0, gy0), pairProducts(d16, gx1, gy1)), b);
            addWidened(hn::Add(pairProducts(d16, gy0, gy0), pairProducts(d16, gy1, gy1)), c);
        }
    }
    for (; i < n; i += lanes) {
        const auto keep = hn::FirstN(d16, n - i);
        const auto gx = hn::IfThenElseZero(keep, hn::LoadU(d16, ix + i));
        const auto gy = hn::IfThenElseZero(keep, hn::LoadU(d16, iy + i));
        if constexpr (Mismatch) {
            const auto d = diff(i);
            addWidened(pairProducts(d16, gx, d), a);
            addWidened(pairProducts(d16, gy, d), b);
        } else {
            addWidened(pairProducts(d16, gx, gx), a);
            addWidened(pairProducts(d16, gx, gy), b);
            addWidened(pairProducts(d16, gy, gy), c);
        }
    }
    s.a = hn::GetLane(hn::SumOfLanes(d64, a));
    s.b = hn::GetLane(hn::SumOfLanes(d64, b));
    s.c = hn::GetLane(hn::SumOfLanes(d64, c));
#endif
    return s;
}

// 4 g clamped to the int16 range, in place, on `height` rows of `width`
// elements `rowLength` apart: two saturating doublings (once a doubling
// saturates, the next one stays at the same bound).
void QuadrupleSaturated(int16_t* g, int rowLength, int width, int height) {
    const hn::ScalableTag<int16_t> d;
    const std::size_t lanes = hn::Lanes(d), w = static_cast<std::size_t>(width);
    for (int y = 0; y < height; ++y) {
        int16_t* row = g + static_cast<std::ptrdiff_t>(y) * rowLength;
        std::size_t x = 0;
        for (; x + lanes <= w; x += lanes) {
            const auto v = hn::LoadU(d, row + x);
            const auto twice = hn::SaturatedAdd(v, v);
            hn::StoreU(hn::SaturatedAdd(twice, twice), d, row + x);
        }
        for (; x < w; ++x) row[x] = static_cast<int16_t>(std::clamp(row[x] * 4, -32768, 32767));
    }
}

#if HWY_TARGET != HWY_SCALAR
// Σ (p1 - p2)^2 over n window elements (D^2 < 2^30, a pair of them fits 32
// bits). Lanes past n are masked; the buffers' slack covers the reads.
HWY_INLINE int64_t squaredDifferences(const uint16_t* p1, const uint16_t* p2, std::size_t n) {
    const hn::ScalableTag<int16_t> d16;
    const hn::RebindToUnsigned<decltype(d16)> du16;
    const hn::Repartition<int64_t, decltype(d16)> d64;
    auto acc = hn::Zero(d64);
    for (std::size_t i = 0; i < n; i += hn::Lanes(d16)) {
        const auto diff = hn::Sub(hn::BitCast(d16, hn::LoadU(du16, p1 + i)), hn::BitCast(d16, hn::LoadU(du16, p2 + i)));
        const auto d = hn::IfThenElseZero(hn::FirstN(d16, n - i), diff);
        addWidened(pairProducts(d16, d, d), acc);
    }
    return hn::GetLane(hn::SumOfLanes(d64, acc));
}
#endif

// ---- The tracker ----------------------------------------------------------------

template <class T>
class Tracker {
public:
    using P = FlowPatch<T>;
    using G = FlowGrad<T>;

    Tracker(const Pyramid& first, const Pyramid& second, const float* prev, float* next, int8_t* status,
            float* error, int window, int maxIterations, float threshold)
        : first_(first), second_(second), prev_(prev), next_(next), status_(status), error_(error), W_(window),
          maxIterations_(maxIterations), threshold2_(threshold * threshold) {}

    int8_t status(int i) const { return status_[i]; }
    float* next(int i) const { return next_ + 2 * i; }

    // The per-level procedure for point i at level L; (ex, ey) is the
    // estimate in level-L pixels. True when the level converged; on failure
    // the status becomes L + 1.
    bool trackLevel(int i, int L, const LevelGradients<T>* grads, float& ex, float& ey, const FlowWorker<T>& wk) {
        status_[i] = static_cast<int8_t>(L);
        const double s = first_.levelScales[L];
        const FlowLevel<T> lv1 = flowLevel<T>(first_, L), lv2 = flowLevel<T>(second_, L);
        const float cx = static_cast<float>(prev_[2 * i] * s), cy = static_cast<float>(prev_[2 * i + 1] * s);
        ImagePoint mn, mx;
        bool converged = false;
        Range last;  // the region of the last iteration (for the error)
        // A level the sub-pixel copy cannot read fails the point, error 0.
        if (readable(lv1) && readable(lv2)) {
            extractPatch(lv1, wk.p1, W_ + 2, W_ + 2, cx, cy, &mn, &mx);
            // Window pixel j is patch pixel j + 1.
            const Range win{std::max(mn.x - 1, 0), std::min(mx.x - 1, W_ - 1), std::max(mn.y - 1, 0), std::min(mx.y - 1, W_ - 1)};
            if (grads) interpolateGradients(*grads, win, cx, cy, wk);
            else patchGradients(win, wk);
            if constexpr (std::is_same_v<T, uint8_t>) windowPixels(wk);
            converged = iterate(i, s, lv1.size, lv2, win, ex, ey, wk, &last);
        }
        error_[i] = residual(last, wk);
        if (!converged) status_[i] = static_cast<int8_t>(L + 1);
        return converged;
    }

private:
    // The intersecting sub-pixel copy of a w x h patch centred on (cx, cy):
    // 8u at 128 x the pixel (scale factor -7), the others as floats.
    void extractPatch(const FlowLevel<T>& lv, P* dst, int w, int h, float cx, float cy, ImagePoint* mn,
                      ImagePoint* mx) const {
        const Image<const T> src(lv.base, lv.step, lv.size);
        const Image<P> patch(dst, static_cast<std::ptrdiff_t>(w) * sizeof(P), w, h);
        if constexpr (std::is_same_v<T, uint8_t>) {
            // Scale factor -7 is (sum + 64) >> 7; the Q14 sums of 8-bit
            // pixels stay below 255 x 16386 < 2^22, so the result is below
            // 2^15 and needs no saturation.
            copyClippedWith(src, patch, cx, cy, mn, mx, [](float fx, float fy) {
                return FixedKernel<uint8_t, uint16_t, 14, ShiftOut<uint16_t, false>>{FixedWeights<14>(fx, fy), {64u, 7u}};
            });
        } else {
            copyClipped<T, P>(src, patch, cx, cy, mn, mx, 0);
        }
    }

    bool iterate(int i, double s, ImageSize size1, const FlowLevel<T>& lv2, const Range& win, float& ex, float& ey,
                 const FlowWorker<T>& wk, Range* last) {
        double pdx = size1.width + size1.height, pdy = pdx;
        double gxx = 0, gxy = 0, gyy = 0;
        Range prevR;
        for (int k = 0;; ++k) {
            ImagePoint mn, mx;
            extractPatch(lv2, wk.p2, W_, W_, ex, ey, &mn, &mx);
            const Range R{std::max(win.x0, mn.x), std::min(win.x1, mx.x), std::max(win.y0, mn.y), std::min(win.y1, mx.y)};
            *last = R;
            if (R.empty()) {
                next_[2 * i] = static_cast<float>(ex / s);
                next_[2 * i + 1] = static_cast<float>(ey / s);
                return false;
            }
            if (k == 0 || !(R == prevR)) gradientMatrix(R, wk, &gxx, &gxy, &gyy);
            double bx = 0, by = 0;
            mismatch(R, wk, &bx, &by);
            const double det = gxx * gyy - gxy * gxy;
            if (det < DBL_EPSILON) return false;
            const double dx = (gyy * bx - gxy * by) / det, dy = (gxx * by - gxy * bx) / det;
            ex = static_cast<float>(static_cast<double>(ex) + dx);
            ey = static_cast<float>(static_cast<double>(ey) + dy);
            if (dx * dx + dy * dy < static_cast<double>(threshold2_)) return true;
            if (std::fabs(pdx + dx) < kOscillation && std::fabs(pdy + dy) < kOscillation) {
                ex = static_cast<float>(static_cast<double>(ex) - 0.5 * dx);
                ey = static_cast<float>(static_cast<double>(ey) - 0.5 * dy);
                return true;
            }
            if (k + 1 >= maxIterations_) return true;
            pdx = dx;
            pdy = dy;
            prevR = R;
        }
    }

    // Sums per row (64-bit integers for 8u, so strong edges cannot wrap)
    // and over rows in double precision.
    using RowSum = std::conditional_t<std::is_same_v<T, uint8_t>, int64_t, double>;

    // 8u regions spanning whole window rows are summed in vectors as one
    // run: every row sum and partial sum is an integer below 2^53 for
    // windows up to 4096 (4096^2 x 2 x 16321 x 32644 < 2^53), so summing
    // rows in double precision is exact and equals the 64-bit total.
    bool vectorRun(const Range& R) const {
        if constexpr (std::is_same_v<T, uint8_t>) return R.x0 == 0 && R.x1 == W_ - 1 && W_ <= 4096;
        else return false;
    }

    void gradientMatrix(const Range& R, const FlowWorker<T>& wk, double* gxx, double* gxy, double* gyy) const {
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (vectorRun(R)) {
                const std::size_t at = static_cast<std::size_t>(R.y0) * W_, n = static_cast<std::size_t>(R.y1 - R.y0 + 1) * W_;
                const Sums s = windowSums<false>(wk.ix + at, wk.iy + at, nullptr, nullptr, n);
                *gxx = static_cast<double>(s.a);
                *gxy = static_cast<double>(s.b);
                *gyy = static_cast<double>(s.c);
                return;
            }
        }
        *gxx = *gxy = *gyy = 0;
        for (int y = R.y0; y <= R.y1; ++y) {
            const G* ix = wk.ix + y * W_;
            const G* iy = wk.iy + y * W_;
            RowSum sxx = 0, sxy = 0, syy = 0;
            for (int x = R.x0; x <= R.x1; ++x) {
                sxx += static_cast<RowSum>(ix[x]) * ix[x];
                sxy += static_cast<RowSum>(ix[x]) * iy[x];
                syy += static_cast<RowSum>(iy[x]) * iy[x];
            }
            *gxx += static_cast<double>(sxx);
            *gxy += static_cast<double>(sxy);
            *gyy += static_cast<double>(syy);
        }
    }

    // D = P1 - P2 at window pixel (x, y).
    RowSum diff(const FlowWorker<T>& wk, int x, int y) const {
        return static_cast<RowSum>(wk.p1[(y + 1) * (W_ + 2) + x + 1]) - static_cast<RowSum>(wk.p2[y * W_ + x]);
    }

    void mismatch(const Range& R, const FlowWorker<T>& wk, double* bx, double* by) const {
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (vectorRun(R)) {
                const std::size_t at = static_cast<std::size_t>(R.y0) * W_, n = static_cast<std::size_t>(R.y1 - R.y0 + 1) * W_;
                const Sums s = windowSums<true>(wk.ix + at, wk.iy + at, wk.inner + at, wk.p2 + at, n);
                *bx = static_cast<double>(s.a);
                *by = static_cast<double>(s.b);
                return;
            }
        }
        for (int y = R.y0; y <= R.y1; ++y) {
            const G* ix = wk.ix + y * W_;
            const G* iy = wk.iy + y * W_;
            RowSum sx = 0, sy = 0;
            for (int x = R.x0; x <= R.x1; ++x) {
                const RowSum d = diff(wk, x, y);
                sx += static_cast<RowSum>(ix[x]) * d;
                sy += static_cast<RowSum>(iy[x]) * d;
            }
            *bx += static_cast<double>(sx);
            *by += static_cast<double>(sy);
        }
    }

    // sqrt(mean D^2) over the last region without its last row and column.
    float residual(const Range& R, const FlowWorker<T>& wk) const {
        if (R.x1 <= R.x0 || R.y1 <= R.y0) return 0.0f;
        double sum = 0;
        for (int y = R.y0; y < R.y1; ++y) {
            RowSum s = 0;
#if HWY_TARGET != HWY_SCALAR
            if constexpr (std::is_same_v<T, uint8_t>) {
                const std::size_t at = static_cast<std::size_t>(y) * W_ + R.x0;
                s = squaredDifferences(wk.inner + at, wk.p2 + at, static_cast<std::size_t>(R.x1 - R.x0));
                sum += static_cast<double>(s);
                continue;
            }
#endif
            for (int x = R.x0; x < R.x1; ++x) {
                const RowSum d = diff(wk, x, y);
                s += d * d;
            }
            sum += static_cast<double>(s);
        }
        if (!(sum > 0)) return 0.0f;
        double err = std::sqrt(sum / (static_cast<double>(R.x1 - R.x0) * (R.y1 - R.y0)));
        if constexpr (std::is_same_v<T, uint8_t>) err *= 1.0 / 128.0;
        return static_cast<float>(err);
    }

    // The first patch's pixels under the window, in window order, for the
    // vector sums.
    void windowPixels(const FlowWorker<T>& wk) const {
        for (int y = 0; y < W_; ++y) {
            const P* from = wk.p1 + (y + 1) * (W_ + 2) + 1;
            P* to = wk.inner + y * W_;
            overlapped<P>(static_cast<std::size_t>(W_), [&](auto d, std::size_t x) { hn::StoreU(hn::LoadU(d, from + x), d, to + x); });
        }
    }

    // Gradients from the whole-level images at the window's sub-pixel
    // position (the first patch's corner plus one), only where the window is
    // valid, so every read lies inside the level.
    void interpolateGradients(const LevelGradients<T>& g, const Range& win, float cx, float cy, const FlowWorker<T>& wk) const {
        if (win.empty()) return;
        const SubpixCorner sx = subpixCorner(cx, W_ + 2), sy = subpixCorner(cy, W_ + 2);
        const std::ptrdiff_t col0 = sx.corner + 1 + win.x0, row0 = sy.corner + 1 + win.y0;
        const int w = win.x1 - win.x0 + 1, h = win.y1 - win.y0 + 1;
        const Image<const G> gx(g.gx, g.step, 0, 0), gy(g.gy, g.step, 0, 0);
        if constexpr (std::is_same_v<T, uint8_t>) {
            // Q15 weights, (sum + 16384) >> 15 in 32-bit lanes, saturated
            // to int16.
            const FixedWeights<15> q(sx.frac, sy.frac);
#if HWY_TARGET != HWY_SCALAR
            // Weights below 2^15 (all but the 32768 of w00 at the fractions
            // (0, 0)) fit int16 beside the gradients, so the even and odd
            // outputs take pairwise multiply-adds as in the sub-pixel copy:
            // each pair sum stays below 2^31, and the four-term sum, at most
            // 32768 x 32770 in magnitude, fits as well.
            const bool pairs = std::max({q.w00, q.w01, q.w10, q.w11}) < 32768;
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
            // Rows of up to 32 in one vector: masked loads of the row's w + 1
            // gradients (at p for the pairs of the even outputs, at p + 1 for
            // the odd outputs'), a masked store of its w outputs. Each
            // gradient row serves as the lower row of one window row and the
            // upper row of the next.
            if (pairs && w <= 32) {
                const hn::Full512<int16_t> d16;
                const hn::Full512<int32_t> d32;
                const std::size_t n = static_cast<std::size_t>(w);
                const __mmask32 evenLoad = firstLanes32(n + 1), oddLoad = firstLanes32(n), store = firstLanes32(n);
                auto pair = [&](uint16_t w0, uint16_t w1) {
                    return hn::BitCast(d16, hn::Set(d32, static_cast<int32_t>(w0 | uint32_t{w1} << 16)));
                };
                const auto top = pair(q.w00, q.w01), bottom = pair(q.w10, q.w11);
                const auto round = hn::Set(d32, 16384), lo = hn::Set(d32, -32768), hi = hn::Set(d32, 32767);
                auto sums = [&](hn::Vec512<int16_t> a, hn::Vec512<int16_t> b) {
                    auto odd = hn::Zero(d32);
                    auto v = hn::ReorderWidenMulAccumulate(d32, a, top, hn::Zero(d32), odd);
                    v = hn::ReorderWidenMulAccumulate(d32, b, bottom, v, odd);
                    v = hn::ShiftRight<15>(hn::Add(hn::RearrangeToOddPlusEven(v, odd), round));
                    return hn::Min(hn::Max(v, lo), hi);
                };
                struct Row {
                    hn::Vec512<int16_t> even, odd;
                };
                auto load = [&](const G* p) {
                    return Row{hn::Vec512<int16_t>{_mm512_maskz_loadu_epi16(evenLoad, p)},
                               hn::Vec512<int16_t>{_mm512_maskz_loadu_epi16(oddLoad, p + 1)}};
                };
                for (const auto& [img, out] : {std::pair{&gx, wk.ix}, std::pair{&gy, wk.iy}}) {
                    Row upper = load(img->row(row0) + col0);
                    for (int y = 0; y < h; ++y) {
                        const Row lower = load(img->row(row0 + y + 1) + col0);
                        // Even outputs in the low halves of the 32-bit lanes,
                        // odd ones in the high halves.
                        const auto even = hn::And(sums(upper.even, lower.even), hn::Set(d32, 0xFFFF));
                        const auto odd = hn::ShiftLeft<16>(sums(upper.odd, lower.odd));
                        _mm512_mask_storeu_epi16(out + (win.y0 + y) * W_ + win.x0, store, hn::Or(even, odd).raw);
                        upper = lower;
                    }
                }
                return;
            }
#endif
            // Elsewhere each row in whole vectors, the last one overlapping.
            if (pairs && w >= 8) {
                const std::size_t n = static_cast<std::size_t>(w);
                withPairTag(n, [&](auto d16) {
                    const hn::Repartition<int32_t, decltype(d16)> d32;
                    auto pair = [&](uint16_t w0, uint16_t w1) {
                        return hn::BitCast(d16, hn::Set(d32, static_cast<int32_t>(w0 | uint32_t{w1} << 16)));
                    };
                    const auto top = pair(q.w00, q.w01), bottom = pair(q.w10, q.w11);
                    const auto round = hn::Set(d32, 16384), lo = hn::Set(d32, -32768), hi = hn::Set(d32, 32767);
                    for (const auto& [img, out] : {std::pair{&gx, wk.ix}, std::pair{&gy, wk.iy}})
                        for (int y = 0; y < h; ++y) {
                            const G* a = img->row(row0 + y) + col0;
                            const G* b = img->row(row0 + y + 1) + col0;
                            G* o = out + (win.y0 + y) * W_ + win.x0;
                            forBlocks(hn::Lanes(d16), n, [&](std::size_t x) {
                                auto sums = [&](std::size_t at) {
                                    auto odd = hn::Zero(d32);
                                    auto v = hn::ReorderWidenMulAccumulate(d32, hn::LoadU(d16, a + at), top, hn::Zero(d32), odd);
                                    v = hn::ReorderWidenMulAccumulate(d32, hn::LoadU(d16, b + at), bottom, v, odd);
                                    v = hn::ShiftRight<15>(hn::Add(hn::RearrangeToOddPlusEven(v, odd), round));
                                    return hn::Min(hn::Max(v, lo), hi);
                                };
                                const auto both = hn::Or(hn::And(sums(x), hn::Set(d32, 0xFFFF)), hn::ShiftLeft<16>(sums(x + 1)));
                                hn::StoreU(hn::BitCast(d16, both), d16, o + x);
                            });
                        }
                });
                return;
            }
#endif
            auto rows = [&](const Image<const G>& img, G* out) {
                for (int y = 0; y < h; ++y) {
                    const G* a = img.row(row0 + y) + col0;
                    const G* b = img.row(row0 + y + 1) + col0;
                    G* o = out + (win.y0 + y) * W_ + win.x0;
                    overlapped<int32_t>(static_cast<std::size_t>(w), [&](auto d32, std::size_t x) {
                        auto tap = [&](const G* p, uint16_t weight) {
                            return hn::Mul(hn::PromoteTo(d32, hn::LoadU(hn::Rebind<G, decltype(d32)>(), p)), hn::Set(d32, int32_t{weight}));
                        };
                        const auto v = hn::Add(hn::Add(tap(a + x, q.w00), tap(a + x + 1, q.w01)), hn::Add(tap(b + x, q.w10), tap(b + x + 1, q.w11)));
                        const hn::Rebind<G, decltype(d32)> d16;
                        hn::StoreU(hn::DemoteTo(d16, hn::ShiftRight<15>(hn::Add(v, hn::Set(d32, 16384)))), d16, o + x);
                    });
                }
            };
            rows(gx, wk.ix);
            rows(gy, wk.iy);
        } else {
            const std::ptrdiff_t dstStep = static_cast<std::ptrdiff_t>(W_) * sizeof(float);
            auto copy = [&](const Image<const G>& img, G* out) {
                copyBlock<float, float>(Image<const float>(img.row(row0) + col0, g.step, w + 1, h + 1),
                                        Image<float>(out + win.y0 * W_ + win.x0, dstStep, w, h), sx.frac, sy.frac, 0);
            };
            copy(gx, wk.ix);
            copy(gy, wk.iy);
        }
    }

    // Separable Scharr kernels on the first patch: smoothing (3 10 3) across,
    // central difference along; 8u (sum + 16) >> 5 saturated, float with the
    // weights 3/32, 10/32, 3/32.
    void patchGradients(const Range& win, const FlowWorker<T>& wk) const {
        const int ps = W_ + 2;
        auto p = [&](int x, int y) { return wk.p1[y * ps + x]; };
        if constexpr (std::is_same_v<T, uint8_t>) {
            if (win.empty()) return;
            for (int y = win.y0; y <= win.y1; ++y) {
                // Window pixel (x, y) is patch pixel (x + 1, y + 1).
                const P* r0 = wk.p1 + y * ps + win.x0;
                const P* r1 = r0 + ps;
                const P* r2 = r1 + ps;
                overlapped<int32_t>(static_cast<std::size_t>(win.x1 - win.x0 + 1), [&](auto d32, std::size_t x) {
                    const hn::Rebind<P, decltype(d32)> dp;
                    auto at = [&](const P* r, std::size_t k) { return hn::BitCast(d32, hn::PromoteTo(hn::Rebind<uint32_t, decltype(d32)>(), hn::LoadU(dp, r + x + k))); };
                    const auto three = hn::Set(d32, 3), ten = hn::Set(d32, 10);
                    auto smooth = [&](auto u, auto v, auto w) { return hn::Add(hn::Add(hn::Mul(three, u), hn::Mul(ten, v)), hn::Mul(three, w)); };
                    const auto sx = hn::Sub(smooth(at(r0, 2), at(r1, 2), at(r2, 2)), smooth(at(r0, 0), at(r1, 0), at(r2, 0)));
                    const auto sy = hn::Sub(smooth(at(r2, 0), at(r2, 1), at(r2, 2)), smooth(at(r0, 0), at(r0, 1), at(r0, 2)));
                    const hn::Rebind<G, decltype(d32)> d16;
                    const auto round = hn::Set(d32, 16);
                    hn::StoreU(hn::DemoteTo(d16, hn::ShiftRight<5>(hn::Add(sx, round))), d16, wk.ix + y * W_ + win.x0 + x);
                    hn::StoreU(hn::DemoteTo(d16, hn::ShiftRight<5>(hn::Add(sy, round))), d16, wk.iy + y * W_ + win.x0 + x);
                });
            }
        } else {
            for (int y = win.y0; y <= win.y1; ++y)
                for (int x = win.x0; x <= win.x1; ++x) {
                    auto col = [&](int c) { return 0.09375f * p(c, y) + 0.3125f * p(c, y + 1) + 0.09375f * p(c, y + 2); };
                    auto row = [&](int r) { return 0.09375f * p(x, r) + 0.3125f * p(x + 1, r) + 0.09375f * p(x + 2, r); };
                    wk.ix[y * W_ + x] = col(x + 2) - col(x);
                    wk.iy[y * W_ + x] = row(y + 2) - row(y);
                }
        }
    }

    const Pyramid& first_;
    const Pyramid& second_;
    const float* prev_;
    float* next_;
    int8_t* status_;
    float* error_;
    int W_;
    int maxIterations_;
    float threshold2_;
};

// Points in chunks that the workers take as they finish their last: points
// cost from one iteration to the limit, so equal shares would leave a worker
// idle. Each worker tracks with its own buffer set; a point's result does not
// depend on the worker or on the points tracked before it.
template <class Fn>
void forPointChunks(int pointCount, int workers, Fn&& fn) {
    constexpr int kChunk = 8;
    runChunksUpTo(workers, pointCount, kChunk, [&](int id, int begin, int end) {
        for (int i = begin; i < end; ++i) fn(id, i);
    });
}

template <class T>
void track(const Pyramid& first, const Pyramid& second, const float* prev, float* next, int8_t* status, float* error,
           int pointCount, int maxLevel, int maxIterations, float threshold, const OpticalFlowState& st) {
    for (int i = 0; i < pointCount; ++i) status[i] = static_cast<int8_t>(maxLevel + 1);
    // Levels L0..maxLevel are smaller than the state's region in both
    // dimensions and use whole-level gradients.
    int L0 = 0;
    for (int L = maxLevel; L >= 0; --L)
        if (first.levelSizes[L].width >= st.width || first.levelSizes[L].height >= st.height) {
            L0 = L + 1;
            break;
        }
    const double factor = maxLevel >= 1 ? 1.0 / first.levelScales[1] : 1.0;
    const int workers = std::max(1, std::min(st.threads, owncvGetNumThreads()));
    Tracker<T> tracker(first, second, prev, next, status, error, st.windowSize, maxIterations, threshold);

    for (int L = maxLevel; L >= L0; --L) {
        LevelGradients<T> grads;
        const bool whole = levelGradients(st, flowLevel<T>(first, L), first.levelSizes[L0].width + 5, &grads);
        const double s = first.levelScales[L];
        forPointChunks(pointCount, workers, [&](int w, int i) {
            if (tracker.status(i) != L + 1) return;
            float* p = tracker.next(i);
            float ex = static_cast<float>(p[0] * s), ey = static_cast<float>(p[1] * s);
            if (!tracker.trackLevel(i, L, whole ? &grads : nullptr, ex, ey, flowWorker<T>(st, w))) return;
            if (L == 0) status[i] = 0;
            p[0] = static_cast<float>(ex / s);
            p[1] = static_cast<float>(ey / s);
        });
    }
    if (L0 >= 1) {
        const double s = first.levelScales[L0 - 1];
        forPointChunks(pointCount, workers, [&](int w, int i) {
            if (tracker.status(i) != L0) return;
            float* p = tracker.next(i);
            float ex = static_cast<float>(p[0] * s), ey = static_cast<float>(p[1] * s);
            for (int L = L0 - 1; L >= 0; --L) {
                if (!tracker.trackLevel(i, L, nullptr, ex, ey, flowWorker<T>(st, w))) return;
                if (L > 0) {
                    ex = static_cast<float>(ex * factor);
                    ey = static_cast<float>(ey * factor);
                }
            }
            status[i] = 0;
            p[0] = ex;
            p[1] = ey;
        });
    }
}

#define ZAL_FLOW_ENTRY(T, suffix)                                                                          \
    void Track##suffix(const Pyramid& first, const Pyramid& second, const float* prev, float* next,        \
                       int8_t* status, float* error, int pointCount, int maxLevel, int maxIterations,      \
                       float threshold, const OpticalFlowState& st) {                                      \
        track<T>(first, second, prev, next, status, error, pointCount, maxLevel, maxIterations, threshold, st); \
    }
ZAL_FLOW_ENTRY(uint8_t, 8u)
ZAL_FLOW_ENTRY(uint16_t, 16u)
ZAL_FLOW_ENTRY(float, 32f)
#undef ZAL_FLOW_ENTRY

}  // namespace HWY_NAMESPACE
}  // namespace zal
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "core/checks.h"
#include "core/export.h"
#include "filter/ops.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"

namespace zal {
HWY_EXPORT(Track8u);
HWY_EXPORT(Track16u);
HWY_EXPORT(Track32f);
HWY_EXPORT(QuadrupleSaturated);

// The filters run with the worker count the state's work area is laid out
// for, whatever the current count, so every level smaller than the state's
// region fits (the area grows with the size) and the gradients never depend
// on the current count.
template <class T>
bool levelGradients(const OpticalFlowState& st, const FlowLevel<T>& lv, int rowLength, LevelGradients<T>* out) {
    using G = FlowGrad<T>;
    const int gStep = rowLength * static_cast<int>(sizeof(G));
    G* gx = reinterpret_cast<G*>(st.scratch + st.gradX);
    G* gy = reinterpret_cast<G*>(st.scratch + st.gradY);
    uint8_t* area = st.scratch + st.filterArea;
    const int workers = st.filterWorkers;
    if (scharrBufferBytes<FlowFilterSrc<T>>(lv.size, workers) > st.filterBytes) return false;
    if constexpr (std::is_same_v<T, uint8_t>) {
        if (scharrReplicate(ScharrDirection::Vert, lv.base, lv.step, gx, gStep, lv.size, workers, area) != StatusOk ||
            scharrReplicate(ScharrDirection::Horiz, lv.base, lv.step, gy, gStep, lv.size, workers, area) != StatusOk)
            return false;
        // 32 x the derivative from the filter, times 4: the window scale 128.
        for (G* g : {gx, gy}) HWY_DYNAMIC_DISPATCH(QuadrupleSaturated)(g, rowLength, lv.size.width, lv.size.height);
    } else {
        const float* src = nullptr;
        int srcStep = 0;
        if constexpr (std::is_same_v<T, uint16_t>) {
            float* copy = reinterpret_cast<float*>(st.scratch + st.levelCopy);
            const Image<const uint16_t> in(lv.base, lv.step, lv.size);
            for (int y = 0; y < lv.size.height; ++y)
                for (int x = 0; x < lv.size.width; ++x) copy[y * rowLength + x] = static_cast<float>(in.row(y)[x]);
            src = copy;
            srcStep = gStep;
        } else {
            src = lv.base;
            srcStep = lv.step;
        }
        if (scharrReplicate(ScharrDirection::Vert, src, srcStep, gx, gStep, lv.size, workers, area) != StatusOk ||
            scharrReplicate(ScharrDirection::Horiz, src, srcStep, gy, gStep, lv.size, workers, area) != StatusOk)
            return false;
        for (int y = 0; y < lv.size.height; ++y)
            for (G* g : {gx + y * rowLength, gy + y * rowLength})
                for (int x = 0; x < lv.size.width; ++x) g[x] *= 0.03125f;
    }
    out->gx = gx;
    out->gy = gy;
    out->step = gStep;
    return true;
}

namespace pyramid {

template <class T>
void opticalFlow(const Pyramid& first, const Pyramid& second, const float* prev, float* next, int8_t* status,
                 float* error, int pointCount, int maxLevel, int maxIterations, float threshold,
                 const OpticalFlowState& st) {
    if constexpr (std::is_same_v<T, uint8_t>)
        HWY_DYNAMIC_DISPATCH(Track8u)(first, second, prev, next, status, error, pointCount, maxLevel, maxIterations, threshold, st);
    else if constexpr (std::is_same_v<T, uint16_t>)
        HWY_DYNAMIC_DISPATCH(Track16u)(first, second, prev, next, status, error, pointCount, maxLevel, maxIterations, threshold, st);
    else
        HWY_DYNAMIC_DISPATCH(Track32f)(first, second, prev, next, status, error, pointCount, maxLevel, maxIterations, threshold, st);
}

}  // namespace pyramid

namespace {

template <class T>
StatusCode opticalFlow(const Pyramid* pyr1, const Pyramid* pyr2, const float* prev, float* next, int8_t* status,
                       float* error, int pointCount, int window, int maxLevel, int maxIterations, float threshold,
                       OpticalFlowState* st) {
    ZAL_CHECK(requireNonNull(pyr1, pyr2, st, prev, next, status, error));
    ZAL_CHECK(failIf(pointCount < 1 || window < 1 || window != st->windowSize, StatusSizeError));
    ZAL_CHECK(failIf(maxLevel < 0 || maxIterations < 1 || !(threshold >= 0.0f), StatusBadArgument));
    // The levels read must exist in both pyramids and hold images.
    ZAL_CHECK(failIf(maxLevel > pyr1->topLevel || maxLevel > pyr2->topLevel, StatusBadArgument));
    for (int L = 0; L <= maxLevel; ++L) ZAL_CHECK(requireNonNull(pyr1->levelImages[L], pyr2->levelImages[L]));
    ZAL_CHECK(failIf(st->dataType != layerDataType<T>(), StatusDataTypeError));
    pyramid::opticalFlow<T>(*pyr1, *pyr2, prev, next, status, error, pointCount, maxLevel, maxIterations, threshold,
                            *st);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_FLOW(name, T)                                                                                  \
    ZAL_DECLARED(name);                                                                                    \
    template bool zal::levelGradients<T>(const OpticalFlowState&, const zal::FlowLevel<T>&, int,           \
                                         zal::LevelGradients<T>*);                                         \
    template void zal::pyramid::opticalFlow<T>(const Pyramid&, const Pyramid&, const float*, float*, int8_t*, \
                                               float*, int, int, int, float, const OpticalFlowState&);      \
    extern "C" StatusCode name(const Pyramid* pPyr1, const Pyramid* pPyr2, const float* pPrev, float* pNext, \
                               int8_t* pStatus, float* pError, int numFeat, int winSize, int maxLev,        \
                               int maxIter, float threshold, OpticalFlowState* pState) {                    \
        return zal::opticalFlow<T>(pPyr1, pPyr2, pPrev, pNext, pStatus, pError, numFeat, winSize, maxLev,  \
                                   maxIter, threshold, pState);                                            \
    }
ZAL_PYRAMID_FLOW(ZAL_FLOW)
#endif  // HWY_ONCE
