// Pyramidal Lucas-Kanade tracking: from the coarsest requested level down to
// level 0, a window around each point in the first image is compared with a
// window around the current estimate in the second image, and the estimate
// moves by the solution of the 2 x 2 normal equations until the step is
// small, the motion oscillates or the iteration limit is reached.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "core/band_runner.h"
#include "core/checks.h"
#include "core/image.h"
#include "core/export.h"
#include "core/threads.h"
#include "filter/ops.h"
#include "pyramid/exports.h"
#include "pyramid/flow_internal.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"
#include "pyramid/subpix_weights.h"

namespace zal {
namespace {

// Below this the estimate is taken to swing back and forth: 2^-11.5.
constexpr double kOscillation = 0.0003452669770922512;

// Inclusive window range; empty when x1 < x0 or y1 < y0.
struct Range {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    bool empty() const { return x1 < x0 || y1 < y0; }
    bool operator==(const Range&) const = default;
};

template <class T>
struct Level {
    const T* base;
    int step;
    ImageSize size;
};

template <class T>
Level<T> levelOf(const Pyramid* p, int L) {
    return {static_cast<const T*>(p->levelImages[L]), p->levelSteps[L], p->levelSizes[L]};
}

// Whether the sub-pixel copy can read a level: a positive size, and rows at
// least one level row long on element boundaries. The caller fills the
// pyramids in, so a level may be unusable; its points then fail there.
template <class T>
bool readable(const Level<T>& lv) {
    constexpr int kBytes = static_cast<int>(sizeof(T));
    return lv.size.width >= 1 && lv.size.height >= 1 &&
           lv.step >= static_cast<std::ptrdiff_t>(lv.size.width) * kBytes && lv.step % kBytes == 0;
}

// The intersecting sub-pixel copy of a w x h patch centred on (cx, cy) of a
// readable level: 8u at 128 x the pixel, the others as floats.
template <class T>
void extractPatch(const Level<T>& lv, FlowPatch<T>* dst, int w, int h, float cx, float cy, ImagePoint* mn,
                  ImagePoint* mx) {
    const Image<const T> src(lv.base, lv.step, lv.size);
    const Image<FlowPatch<T>> patch(dst, static_cast<std::ptrdiff_t>(w) * sizeof(FlowPatch<T>), w, h);
    pyramid::copySubpixIntersect<T, FlowPatch<T>>(src, patch, cx, cy, mn, mx, std::is_same_v<T, uint8_t> ? -7 : 0);
}

// Whole-level gradients of the first image (null when the level computes
// its gradients per window).
template <class T>
struct LevelGradients {
    const FlowGrad<T>* gx = nullptr;
    const FlowGrad<T>* gy = nullptr;
    std::ptrdiff_t step = 0;  // bytes
};

template <class T>
struct Worker {
    FlowPatch<T>* p1;  // (W + 2)^2 first patch
    FlowPatch<T>* p2;  // W^2 second patch
    FlowGrad<T>* ix;   // W^2 window gradients
    FlowGrad<T>* iy;
};

template <class T>
Worker<T> workerOf(const OpticalFlowState& st, int id) {
    uint8_t* base = st.scratch + st.workers + st.workerBytes * static_cast<std::size_t>(id);
    const std::size_t n = static_cast<std::size_t>(st.windowSize + 3) * static_cast<std::size_t>(st.windowSize + 3);
    const std::size_t pBytes = flowAlign(n * sizeof(FlowPatch<T>)), gBytes = flowAlign(n * sizeof(FlowGrad<T>));
    return {reinterpret_cast<FlowPatch<T>*>(base), reinterpret_cast<FlowPatch<T>*>(base + pBytes),
            reinterpret_cast<FlowGrad<T>*>(base + 2 * pBytes), reinterpret_cast<FlowGrad<T>*>(base + 2 * pBytes + gBytes)};
}

template <class T>
class Tracker {
public:
    using P = FlowPatch<T>;
    using G = FlowGrad<T>;

    Tracker(const Pyramid* pyr1, const Pyramid* pyr2, const float* prev, float* next, int8_t* status, float* error,
            int window, int maxIterations, float threshold)
        : pyr1_(pyr1), pyr2_(pyr2), prev_(prev), next_(next), status_(status), error_(error), W_(window),
          maxIterations_(maxIterations), threshold2_(threshold * threshold) {}

    int8_t status(int i) const { return status_[i]; }
    float* next(int i) const { return next_ + 2 * i; }

    // The per-level procedure for point i at level L; (ex, ey) is the
    // estimate in level-L pixels. True when the level converged; on failure
    // the status becomes L + 1.
    bool trackLevel(int i, int L, const LevelGradients<T>* grads, float& ex, float& ey, const Worker<T>& wk) {
        status_[i] = static_cast<int8_t>(L);
        const double s = pyr1_->levelScales[L];
        const Level<T> lv1 = levelOf<T>(pyr1_, L), lv2 = levelOf<T>(pyr2_, L);
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
            converged = iterate(i, s, lv1.size, lv2, win, ex, ey, wk, &last);
        }
        error_[i] = residual(last, wk);
        if (!converged) status_[i] = static_cast<int8_t>(L + 1);
        return converged;
    }

private:
    bool iterate(int i, double s, ImageSize size1, const Level<T>& lv2, const Range& win, float& ex, float& ey,
                 const Worker<T>& wk, Range* last) {
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

    void gradientMatrix(const Range& R, const Worker<T>& wk, double* gxx, double* gxy, double* gyy) const {
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
    RowSum diff(const Worker<T>& wk, int x, int y) const {
        return static_cast<RowSum>(wk.p1[(y + 1) * (W_ + 2) + x + 1]) - static_cast<RowSum>(wk.p2[y * W_ + x]);
    }

    void mismatch(const Range& R, const Worker<T>& wk, double* bx, double* by) const {
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
    float residual(const Range& R, const Worker<T>& wk) const {
        if (R.x1 <= R.x0 || R.y1 <= R.y0) return 0.0f;
        double sum = 0;
        for (int y = R.y0; y < R.y1; ++y) {
            RowSum s = 0;
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

    // Gradients from the whole-level images at the window's sub-pixel
    // position (the first patch's corner plus one), only where the window is
    // valid, so every read lies inside the level.
    void interpolateGradients(const LevelGradients<T>& g, const Range& win, float cx, float cy, const Worker<T>& wk) const {
        if (win.empty()) return;
        const SubpixCorner sx = subpixCorner(cx, W_ + 2), sy = subpixCorner(cy, W_ + 2);
        const std::ptrdiff_t col0 = sx.corner + 1 + win.x0, row0 = sy.corner + 1 + win.y0;
        const int w = win.x1 - win.x0 + 1, h = win.y1 - win.y0 + 1;
        const Image<const G> gx(g.gx, g.step, 0, 0), gy(g.gy, g.step, 0, 0);
        if constexpr (std::is_same_v<T, uint8_t>) {
            const FixedWeights<15> q(sx.frac, sy.frac);
            auto interp = [&](const Image<const G>& img, std::ptrdiff_t c, std::ptrdiff_t r) {
                const G* a = img.row(r) + c;
                const G* b = img.row(r + 1) + c;
                const int32_t v = a[0] * q.w00 + a[1] * q.w01 + b[0] * q.w10 + b[1] * q.w11;
                return static_cast<G>((v + 16384) >> 15);
            };
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    wk.ix[(win.y0 + y) * W_ + win.x0 + x] = interp(gx, col0 + x, row0 + y);
                    wk.iy[(win.y0 + y) * W_ + win.x0 + x] = interp(gy, col0 + x, row0 + y);
                }
        } else {
            const std::ptrdiff_t dstStep = static_cast<std::ptrdiff_t>(W_) * sizeof(float);
            auto copy = [&](const Image<const G>& img, G* out) {
                pyramid::copySubpix<float, float>(Image<const float>(img.row(row0) + col0, g.step, w + 1, h + 1),
                                                  Image<float>(out + win.y0 * W_ + win.x0, dstStep, w, h), sx.frac,
                                                  sy.frac, 0);
            };
            copy(gx, wk.ix);
            copy(gy, wk.iy);
        }
    }

    // Separable Scharr kernels on the first patch: smoothing (3 10 3) across,
    // central difference along; 8u (sum + 16) >> 5 saturated, float with the
    // weights 3/32, 10/32, 3/32.
    void patchGradients(const Range& win, const Worker<T>& wk) const {
        const int ps = W_ + 2;
        auto p = [&](int x, int y) { return wk.p1[y * ps + x]; };
        for (int y = win.y0; y <= win.y1; ++y)
            for (int x = win.x0; x <= win.x1; ++x) {
                // Window pixel (x, y) is patch pixel (x + 1, y + 1).
                if constexpr (std::is_same_v<T, uint8_t>) {
                    auto col = [&](int c) { return 3 * p(c, y) + 10 * p(c, y + 1) + 3 * p(c, y + 2); };
                    auto row = [&](int r) { return 3 * p(x, r) + 10 * p(x + 1, r) + 3 * p(x + 2, r); };
                    const int32_t sx = col(x + 2) - col(x), sy = row(y + 2) - row(y);
                    wk.ix[y * W_ + x] = static_cast<G>(std::clamp((sx + 16) >> 5, -32768, 32767));
                    wk.iy[y * W_ + x] = static_cast<G>(std::clamp((sy + 16) >> 5, -32768, 32767));
                } else {
                    auto col = [&](int c) { return 0.09375f * p(c, y) + 0.3125f * p(c, y + 1) + 0.09375f * p(c, y + 2); };
                    auto row = [&](int r) { return 0.09375f * p(x, r) + 0.3125f * p(x + 1, r) + 0.09375f * p(x + 2, r); };
                    wk.ix[y * W_ + x] = col(x + 2) - col(x);
                    wk.iy[y * W_ + x] = row(y + 2) - row(y);
                }
            }
    }

    const Pyramid* pyr1_;
    const Pyramid* pyr2_;
    const float* prev_;
    float* next_;
    int8_t* status_;
    float* error_;
    int W_;
    int maxIterations_;
    float threshold2_;
};

// Whole-level Scharr gradients of the first image's level L into the state's
// gradient images (row length: the finest such level's width + 5). The
// filters run with the worker count the state's work area is laid out for,
// whatever the current count, so every level smaller than the state's region
// fits (the area grows with the size) and the gradients never depend on the
// current count. False only when a filter fails: the level then computes
// gradients per window.
template <class T>
bool levelGradients(const OpticalFlowState& st, const Level<T>& lv, int rowLength, LevelGradients<T>* out) {
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
        for (int y = 0; y < lv.size.height; ++y)
            for (G* g : {gx + y * rowLength, gy + y * rowLength})
                for (int x = 0; x < lv.size.width; ++x) g[x] = static_cast<G>(std::clamp(g[x] * 4, -32768, 32767));
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

// Points split into n consecutive groups (the last one taking the
// remainder), one worker buffer set per group, run through the band runner.
template <class Fn>
void forPointGroups(int pointCount, int groups, Fn&& fn) {
    runBands(groups, [&](int, int gBegin, int gEnd) {
        for (int g = gBegin; g < gEnd; ++g) {
            const BandRange r = bandRows(pointCount, groups, g);
            for (int i = r.begin; i < r.end; ++i) fn(g, i);
        }
    });
}

}  // namespace

namespace pyramid {

template <class T>
void opticalFlow(const Pyramid& first, const Pyramid& second, const float* prev, float* next, int8_t* status,
                 float* error, int pointCount, int maxLevel, int maxIterations, float threshold,
                 const OpticalFlowState& st) {
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
    const int groups = std::max(1, std::min(st.threads, owncvGetNumThreads()));
    Tracker<T> tracker(&first, &second, prev, next, status, error, st.windowSize, maxIterations, threshold);

    for (int L = maxLevel; L >= L0; --L) {
        LevelGradients<T> grads;
        const Level<T> lv = levelOf<T>(&first, L);
        const bool whole = levelGradients(st, lv, first.levelSizes[L0].width + 5, &grads);
        const double s = first.levelScales[L];
        forPointGroups(pointCount, groups, [&](int g, int i) {
            if (tracker.status(i) != L + 1) return;
            float* p = tracker.next(i);
            float ex = static_cast<float>(p[0] * s), ey = static_cast<float>(p[1] * s);
            if (!tracker.trackLevel(i, L, whole ? &grads : nullptr, ex, ey, workerOf<T>(st, g))) return;
            if (L == 0) status[i] = 0;
            p[0] = static_cast<float>(ex / s);
            p[1] = static_cast<float>(ey / s);
        });
    }
    if (L0 >= 1) {
        const double s = first.levelScales[L0 - 1];
        forPointGroups(pointCount, groups, [&](int g, int i) {
            if (tracker.status(i) != L0) return;
            float* p = tracker.next(i);
            float ex = static_cast<float>(p[0] * s), ey = static_cast<float>(p[1] * s);
            for (int L = L0 - 1; L >= 0; --L) {
                if (!tracker.trackLevel(i, L, nullptr, ex, ey, workerOf<T>(st, g))) return;
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
    template void zal::pyramid::opticalFlow<T>(const Pyramid&, const Pyramid&, const float*, float*, int8_t*, \
                                               float*, int, int, int, float, const OpticalFlowState&);      \
    extern "C" StatusCode name(const Pyramid* pPyr1, const Pyramid* pPyr2, const float* pPrev, float* pNext, \
                               int8_t* pStatus, float* pError, int numFeat, int winSize, int maxLev,        \
                               int maxIter, float threshold, OpticalFlowState* pState) {                    \
        return zal::opticalFlow<T>(pPyr1, pPyr2, pPrev, pNext, pStatus, pError, numFeat, winSize, maxLev,  \
                                   maxIter, threshold, pState);                                            \
    }
ZAL_PYRAMID_FLOW(ZAL_FLOW)
