// Pyramid descriptor, level-size rules and the general pyramid layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "common/simd_targets.h"
#include "common/test_image.h"
#include "common/unaligned_image.h"
#include "bounce.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "zalcv.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;

bool is(ImageSize s, int w, int h) { return s.width == w && s.height == h; }

TEST(PyramidSizes, DownAndUpRules) {
    ImageSize d{0, 0}, lo{0, 0}, hi{0, 0};
    for (float r : {1.5f, 2.0f, 7.3f}) {
        ASSERT_EQ(zaliGetPyramidDownROI(ImageSize{1, 1}, &d, r), StatusOk);
        ASSERT_EQ(zaliGetPyramidUpROI(ImageSize{1, 1}, &lo, &hi, r), StatusOk);
        EXPECT_TRUE(is(d, 1, 1) && lo.width == 1 && hi.height == std::max(static_cast<int>(r), 2)) << r;
    }
    ASSERT_EQ(zaliGetPyramidDownROI(ImageSize{5, 4}, &d, 2.0f), StatusOk);
    ASSERT_EQ(zaliGetPyramidUpROI(ImageSize{3, 3}, &lo, &hi, 2.0f), StatusOk);
    EXPECT_TRUE(is(d, 3, 2) && is(lo, 5, 5) && is(hi, 6, 6));
    // The down size's up range always holds the source size.
    for (float r : {1.01f, 1.5f, 2.0f, 3.3f, 10.0f})
        for (int w = 1; w < 80; ++w) {
            ASSERT_EQ(zaliGetPyramidDownROI(ImageSize{w, 81 - w}, &d, r), StatusOk);
            ASSERT_EQ(zaliGetPyramidUpROI(d, &lo, &hi, r), StatusOk);
            ASSERT_TRUE(lo.width <= w && w <= hi.width && lo.height <= 81 - w && 81 - w <= hi.height) << w << " rate " << r;
        }
    EXPECT_EQ(zaliGetPyramidDownROI(ImageSize{0, 4}, nullptr, 0.5f), StatusNullPointer);
    EXPECT_EQ(zaliGetPyramidDownROI(ImageSize{0, 4}, &d, 0.5f), StatusSizeError);
    EXPECT_EQ(zaliGetPyramidDownROI(ImageSize{4, 4}, &d, 1.0f), StatusBadArgument);
    EXPECT_EQ(zaliGetPyramidUpROI(ImageSize{4, 4}, &lo, &hi, 10.01f), StatusBadArgument);
}

TEST(PyramidDescriptor, LevelsAndSizes) {
    Pyramid* p = nullptr;
    ASSERT_EQ(zaliPyramidInitAlloc(&p, 5, ImageSize{1, 1}, 2.0f), StatusOk);
    EXPECT_EQ(p->topLevel, 0);
    EXPECT_EQ(zaliPyramidFree(p), StatusOk);

    ASSERT_EQ(zaliPyramidInitAlloc(&p, 50, ImageSize{20, 9}, 2.0f), StatusOk);
    ASSERT_EQ(p->topLevel, 5);
    const int widths[] = {20, 10, 5, 3, 2, 1}, heights[] = {9, 5, 3, 2, 1, 1};
    for (int L = 0; L <= 5; ++L) {
        EXPECT_TRUE(is(p->levelSizes[L], widths[L], heights[L])) << L;
        EXPECT_TRUE(p->levelImages[L] == nullptr && p->levelSteps[L] == 0) << L;
    }
    EXPECT_EQ(p->layerState, nullptr);
    EXPECT_EQ(zaliPyramidFree(p), StatusOk);

    p = nullptr;
    EXPECT_EQ(zaliPyramidInitAlloc(nullptr, 0, ImageSize{0, 0}, 0.0f), StatusNullPointer);
    EXPECT_EQ(zaliPyramidInitAlloc(&p, 0, ImageSize{0, 1}, 0.0f), StatusSizeError);
    EXPECT_EQ(zaliPyramidInitAlloc(&p, 0, ImageSize{4, 4}, 2.0f), StatusBadArgument);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(zaliPyramidFree(nullptr), StatusNullPointer);
}

TEST(PyramidLayerState, KernelNormalisationAndWarnings) {
    const int16_t gauss[] = {1, 4, 6, 4, 1};
    PyramidLayerState* st = nullptr;
    ASSERT_EQ(zaliPyramidLayerDownInitAlloc_8u_C1R(&st, ImageSize{8, 8}, 2.0f, gauss, 5, 2), StatusOk);
    const int16_t q13[] = {512, 2048, 3072, 2048, 512};
    EXPECT_TRUE(std::equal(q13, q13 + 5, static_cast<const int16_t*>(st->kernel)));
    EXPECT_EQ(zaliPyramidLayerDownFree_8u_C1R(st), StatusOk);

    // Only the first half and the centre count; the rest is mirrored.
    const int16_t ramp[] = {1, 2, 3};
    ASSERT_EQ(zaliPyramidLayerUpInitAlloc_16u_C3R(&st, ImageSize{8, 8}, 2.0f, ramp, 3, 2), StatusAsymmetricKernel);
    const int16_t mirrored[] = {2048, 4096, 2048};
    EXPECT_TRUE(std::equal(mirrored, mirrored + 3, static_cast<const int16_t*>(st->kernel)));
    EXPECT_EQ(zaliPyramidLayerUpFree(st), StatusOk);

    const float fk[] = {1.0f, 2.0f, 1.5f};
    ASSERT_EQ(zaliPyramidLayerUpInitAlloc_32f_C1R(&st, ImageSize{8, 8}, 1.5f, fk, 3, 2), StatusAsymmetricKernel);
    const float qf[] = {0.25f, 0.5f, 0.25f};
    EXPECT_TRUE(std::equal(qf, qf + 3, static_cast<const float*>(st->kernel)));
    EXPECT_EQ(zaliPyramidLayerUpFree_32f_C1R(st), StatusOk);

    st = nullptr;
    EXPECT_EQ(zaliPyramidLayerDownInitAlloc_8u_C3R(&st, ImageSize{0, 8}, 2.0f, nullptr, 4, 1), StatusNullPointer);
    EXPECT_EQ(zaliPyramidLayerDownInitAlloc_8u_C3R(&st, ImageSize{0, 8}, 2.0f, gauss, 4, 1), StatusSizeError);
    EXPECT_EQ(zaliPyramidLayerDownInitAlloc_8u_C3R(&st, ImageSize{8, 8}, 2.0f, gauss, 5, 1), StatusBadArgument);
    EXPECT_EQ(zaliPyramidLayerDownInitAlloc_8u_C3R(&st, ImageSize{8, 8}, 2.0f, gauss, 4, 2), StatusBadArgument);
    EXPECT_EQ(zaliPyramidLayerDownInitAlloc_8u_C3R(&st, ImageSize{8, 8}, 1.0f, gauss, 5, 2), StatusBadArgument);
    EXPECT_EQ(st, nullptr);
    EXPECT_EQ(zaliPyramidLayerDownFree(nullptr), StatusNullPointer);
}

// Kernels that cannot be normalised: the coefficients sum to zero, or the
// symmetric kernel made from the first half and the centre does.
template <class K>
std::vector<std::vector<K>> unnormalisable() {
    if constexpr (std::is_same_v<K, float>)
        return {{0.5f, -1.0f, 0.5f}, {1.0f, 2.0f, -3.0f}, {0.25f, -0.5f, 3.0f}, {2.0f, -1.0f, -2.0f, 7.0f, 0.0f},
                {-0.75f, 0.25f, 1.0f, 0.25f, -0.75f}};
    else
        return {
            {1, -2, 1},         // sums to zero, symmetric
            {1, 2, -3},         // sums to zero; mirrored (1 2 1) would not
            {1, -2, 5},         // mirrored (1 -2 1) sums to zero
            {2, -1, -2, 7, 0},  // mirrored (2 -1 -2 -1 2) sums to zero
            {-3, 1, 4, 1, -3},  // sums to zero, symmetric
        };
}

template <class K, class Init>
void expectRefused(Init init, const char* name) {
    auto* const untouched = reinterpret_cast<PyramidLayerState*>(uintptr_t{0x5A5A});
    for (const auto& k : unnormalisable<K>()) {
        PyramidLayerState* st = untouched;
        EXPECT_EQ(init(&st, ImageSize{9, 7}, 1.5f, k.data(), static_cast<int>(k.size()), 2), StatusBadArgument)
            << name << " kernel " << k[0] << "," << k[1] << "," << k[2];
        EXPECT_EQ(st, untouched);
    }
}

// Every member refuses them before allocating anything.
TEST(PyramidLayerState, UnnormalisableKernelsAreRefused) {
#define ZAL_EXPECT_REFUSED(name, T, C) expectRefused<zal::LayerKernel<T>>(name, #name);
    ZAL_PYRAMID_LAYER_DOWN_INIT(ZAL_EXPECT_REFUSED)
    ZAL_PYRAMID_LAYER_UP_INIT(ZAL_EXPECT_REFUSED)
#undef ZAL_EXPECT_REFUSED
    // The refusal takes its place among the other argument checks: a null
    // kernel or a bad size still comes first.
    auto* const untouched = reinterpret_cast<PyramidLayerState*>(uintptr_t{0x5A5A});
    const int16_t zero[] = {1, -2, 1};
    PyramidLayerState* st = untouched;
    EXPECT_EQ(zaliPyramidLayerUpInitAlloc_8u_C1R(&st, ImageSize{0, 7}, 2.0f, zero, 3, 2), StatusSizeError);
    EXPECT_EQ(st, untouched);
}

// Reference down layer for 8u: Q13 kernel, bouncing reflection, the two
// smoothing paths, rate-2 decimation or linear resampling, (v + 4) >> 3.
std::vector<uint8_t> downReference(const GuardedImage<uint8_t>& s, const int16_t* q, int K, float rate, ImageSize d) {
    const int W = s.width(), H = s.height(), C = s.channels(), c = K / 2;
    const bool large = W > K && H > K;
    std::vector<int> rows(static_cast<std::size_t>(W) * H * C), sm(rows.size());
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int ch = 0; ch < C; ++ch) {
                int sum = 0;
                for (int j = 0; j < K; ++j) {
                    const int p = s.at(bounce(x + j - c, W), y, ch);
                    sum += large ? p * q[j] : (p * q[j]) >> 8;
                }
                rows[(y * W + x) * C + ch] = large ? sum >> 8 : sum;
            }
    for (int y = 0; y < H; ++y)
        for (int e = 0; e < W * C; ++e) {
            long long sum = 0;
            for (int i = 0; i < K; ++i) sum += static_cast<long long>(q[i]) * rows[bounce(y + i - c, H) * W * C + e];
            sm[y * W * C + e] = static_cast<int>(std::clamp<long long>((sum + 16384) >> 15, -32768, 32767));
        }
    auto at = [&](int x, int y, int ch) { return sm[(y * W + x) * C + ch]; };
    auto lerp = [](int p0, int p1, float f) { return static_cast<int16_t>(static_cast<int>(p0 * (1.0f - f) + p1 * f + 0.5f)); };
    std::vector<uint8_t> out;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
            for (int ch = 0; ch < C; ++ch) {
                int v;
                if (std::fabs(rate - 2.0f) < 1e-5f) {
                    v = at(2 * x, 2 * y, ch);
                } else {
                    const float yr = y * rate, xr = x * rate;
                    const int iy = static_cast<int>(yr), ix = static_cast<int>(xr);
                    auto row = [&](int xx) { return iy + 1 < H ? lerp(at(xx, iy, ch), at(xx, iy + 1, ch), yr - iy) : at(xx, iy, ch); };
                    v = ix + 1 < W ? lerp(row(ix), row(ix + 1), xr - ix) : row(ix);
                }
                out.push_back(static_cast<uint8_t>(std::clamp((v + 4) >> 3, 0, 255)));
            }
    return out;
}

// Runs the down layer of `src` into `dst` with a state made for `stateSize`;
// the state (null when it could not be made) goes to the caller.
template <class T, class K>
PyramidLayerState* downLayer(const GuardedImage<T>& src, GuardedImage<T>& dst, int C, ImageSize stateSize, float rate,
                             const K* kernel, int n) {
    const auto layer = [&](auto init, auto run) {
        PyramidLayerState* st = nullptr;
        EXPECT_EQ(init(&st, stateSize, rate, kernel, n, 2), StatusOk);
        if (st) {
            EXPECT_EQ(run(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), st), StatusOk);
        }
        return st;
    };
    if constexpr (std::is_same_v<T, uint8_t>)
        return C == 1 ? layer(zaliPyramidLayerDownInitAlloc_8u_C1R, zaliPyramidLayerDown_8u_C1R)
                      : layer(zaliPyramidLayerDownInitAlloc_8u_C3R, zaliPyramidLayerDown_8u_C3R);
    else
        return C == 1 ? layer(zaliPyramidLayerDownInitAlloc_32f_C1R, zaliPyramidLayerDown_32f_C1R)
                      : layer(zaliPyramidLayerDownInitAlloc_32f_C3R, zaliPyramidLayerDown_32f_C3R);
}

// Every target; 70 and 401 columns give rows of full vectors and a tail.
TEST(PyramidLayerDown, EightBitMatchesReference) {
    zaltest::forEachSimdTarget([] {
    const int16_t kernels[][7] = {{1, 4, 6, 4, 1}, {-1, 3, 10, 3, -1}, {1, 2, 4, 6, 4, 2, 1}, {-1, 2, 4, 2, -1}};
    const int sizes[] = {5, 5, 7, 5};
    zaltest::Lcg rng(17);
    for (int k = 0; k < 4; ++k)
        for (float rate : {2.0f, 1.5f, 3.3f})
            for (ImageSize roi : {ImageSize{13, 11}, ImageSize{4, 6}, ImageSize{1, 9}, ImageSize{23, 2}, ImageSize{70, 12}, ImageSize{401, 40}})
                for (int C : {1, 3}) {
                    GuardedImage<uint8_t> src(roi.width, roi.height, C);
                    // Sparse white pixels drive the last kernel's negative lobes to
                    // negative smoothed values, where truncation differs from flooring;
                    // a white image takes the binomial kernel's 16-bit sums to their top.
                    const bool white = k == 0 && roi.height == 40;
                    src.fill([&](int, int, int) { return white ? 255 : k == 3 ? 255 * (rng.uniform(0, 3) == 0) : rng.uniform(0, 255); });
                    ImageSize d;
                    ASSERT_EQ(zaliGetPyramidDownROI(roi, &d, rate), StatusOk);
                    GuardedImage<uint8_t> dst(d.width, d.height, C);
                    PyramidLayerState* st = downLayer(src, dst, C, roi, rate, kernels[k], sizes[k]);
                    ASSERT_NE(st, nullptr);
                    EXPECT_EQ(dst.pixels(), downReference(src, static_cast<const int16_t*>(st->kernel), sizes[k], rate, d)) << "kernel " << k << " rate " << rate << " " << roi.width << "x" << roi.height;
                    EXPECT_TRUE(dst.guardsIntact());
                    zaliPyramidLayerDownFree(st);
                }
    });
}

// Reference down layer for 32f in the documented order: q[c] p(c) + q[i]
// (p(i) + p(K-1-i)) over i < c ascending, rows then columns, then
// p0 (1 - f) + p1 f between rows and then between columns.
std::vector<float> downReference(const GuardedImage<float>& s, const float* q, int K, float rate, ImageSize d) {
    const int W = s.width(), H = s.height(), C = s.channels(), c = K / 2;
    auto smooth = [&](auto p) {
        float acc = q[c] * p(c);
        for (int i = 0; i < c; ++i) acc += q[i] * (p(i) + p(K - 1 - i));
        return acc;
    };
    std::vector<float> rows(static_cast<std::size_t>(W) * H * C), sm(rows.size());
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int ch = 0; ch < C; ++ch) rows[(y * W + x) * C + ch] = smooth([&](int j) { return s.at(bounce(x + j - c, W), y, ch); });
    for (int y = 0; y < H; ++y)
        for (int e = 0; e < W * C; ++e) sm[y * W * C + e] = smooth([&](int i) { return rows[bounce(y + i - c, H) * W * C + e]; });
    auto at = [&](int x, int y, int ch) { return sm[(y * W + x) * C + ch]; };
    auto lerp = [](float p0, float p1, float f) { return p0 * (1.0f - f) + p1 * f; };
    std::vector<float> out;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
            for (int ch = 0; ch < C; ++ch) {
                if (std::fabs(rate - 2.0f) < 1e-5f) {
                    out.push_back(at(2 * x, 2 * y, ch));
                    continue;
                }
                const float yr = y * rate, xr = x * rate;
                const int iy = static_cast<int>(yr), ix = static_cast<int>(xr);
                auto row = [&](int xx) { return iy + 1 < H ? lerp(at(xx, iy, ch), at(xx, iy + 1, ch), yr - iy) : at(xx, iy, ch); };
                out.push_back(ix + 1 < W ? lerp(row(ix), row(ix + 1), xr - ix) : row(ix));
            }
    return out;
}

// Every target. Row filtering joins the column pass that first reads a row
// once rows come in order: heights below, at and above the kernel, rates
// that skip rows, and states made for a larger source (whose work rows keep
// that source's stride). 401 columns give full vectors and a tail; at rate
// 1.5 the column blocks repeat.
TEST(PyramidLayerDown, FloatMatchesReferenceBitForBit) {
    const float kernels[][9] = {{1, 4, 6, 4, 1}, {-1, 3, 10, 3, -1}, {1, 2, 4, 6, 4, 2, 1}, {2, 5, 2}, {1, 2, 3, 4, 6, 4, 3, 2, 1}};
    const int sizes[] = {5, 5, 7, 3, 9};
    zaltest::forEachSimdTarget([&] {
        zaltest::Lcg rng(23);
        for (int k = 0; k < 5; ++k)
            for (float rate : {1.5f, 2.0f, 1.25f, 3.3f, 7.3f})
                for (ImageSize roi : {ImageSize{13, 11}, ImageSize{4, 6}, ImageSize{1, 9}, ImageSize{23, 2}, ImageSize{70, 5}, ImageSize{401, 40}})
                    for (int C : {1, 3})
                        for (int larger : {0, 6}) {
                            GuardedImage<float> src(roi.width, roi.height, C);
                            src.fill([&](int, int, int) { return rng.uniformf(-20.0f, 300.0f); });
                            ImageSize d;
                            ASSERT_EQ(zaliGetPyramidDownROI(roi, &d, rate), StatusOk);
                            GuardedImage<float> dst(d.width, d.height, C);
                            PyramidLayerState* st = downLayer(src, dst, C, ImageSize{roi.width + larger, roi.height + larger}, rate, kernels[k], sizes[k]);
                            ASSERT_NE(st, nullptr);
                            const auto want = downReference(src, static_cast<const float*>(st->kernel), sizes[k], rate, d);
                            const auto got = dst.pixels();
                            ASSERT_EQ(got.size(), want.size());
                            for (std::size_t i = 0; i < got.size(); ++i)
                                ASSERT_EQ(std::bit_cast<uint32_t>(got[i]), std::bit_cast<uint32_t>(want[i]))
                                    << "kernel " << k << " rate " << rate << " " << roi.width << "x" << roi.height << " C" << C << " state +" << larger << " element " << i;
                            EXPECT_TRUE(dst.guardsIntact());
                            zaliPyramidLayerDownFree(st);
                        }
    });
}

// Reference up layer (8u and 32f): every sample s = -m .. n + m - 1 of an
// axis (the source bounced) splats at s * rate; positions are normalised by
// the weight they receive along the width (beyond the width, along the
// height); rows first, then columns, in ascending sample order.
struct UpTap {
    int o;
    float w;
    bool frac;
};

std::vector<std::vector<UpTap>> upSplats(int n, int m, int len, float rate, const float* q, int c, int cInt) {
    std::vector<std::vector<UpTap>> taps;
    for (int s = -m; s < n + m; ++s) {
        const float p = static_cast<float>(s) * rate;
        const int i = p > -100.0f ? static_cast<int>(p + 100.0f) - 100 : static_cast<int>(std::floor(p));
        const float f = p - static_cast<float>(i);
        const bool frac = f > 1.1754944e-38f;
        std::vector<UpTap> list;
        for (int t = frac ? 1 - c : -cInt; t <= (frac ? c : cInt); ++t)
            if (i + t >= 0 && i + t < len) list.push_back({i + t, frac ? q[c + t - 1] * f + q[c + t] * (1.0f - f) : q[c + t], frac});
        taps.push_back(list);
    }
    return taps;
}

template <class T>
std::vector<T> upReference(const GuardedImage<T>& s, const void* kernel, int K, float rate, ImageSize d) {
    constexpr bool kFloat = std::is_same_v<T, float>;
    const int W = s.width(), H = s.height(), C = s.channels(), c = K / 2;
    std::vector<float> q(K);
    for (int i = 0; i < K; ++i) q[i] = kFloat ? static_cast<const float*>(kernel)[i] : static_cast<const int16_t*>(kernel)[i];
    const int cInt = q[0] == 0 ? c - 1 : c, m = static_cast<int>(static_cast<float>(c) / rate + 0.5f);
    const int len = std::max(d.width, d.height);
    const auto across = upSplats(W, m, len, rate, q.data(), c, cInt), down = upSplats(H, m, len, rate, q.data(), c, cInt);
    std::vector<float> F(len, 0.0f);
    for (const auto& list : across)
        for (const UpTap& t : list) F[t.o] += t.w;
    if (d.height > d.width) {
        std::fill(F.begin() + d.width, F.end(), 0.0f);
        for (const auto& list : down)
            for (const UpTap& t : list)
                if (t.o >= d.width) F[t.o] += t.w;
    }
    for (float& f : F)
        if (std::fabs(f) > 1.1754944e-38f) f = (kFloat ? 1.0f : 32768.0f) / f;
    // Row pass of every work row v (source row bounce(v - m)).
    using Row = std::conditional_t<kFloat, float, int>;
    std::vector<std::vector<Row>> rows;
    for (int v = 0; v < H + 2 * m; ++v) {
        std::vector<double> a(static_cast<std::size_t>(d.width) * C, 0.0);
        std::vector<float> af(a.size(), 0.0f);
        for (int sx = 0; sx < W + 2 * m; ++sx)
            for (const UpTap& t : across[sx]) {
                if (t.o >= d.width) continue;
                for (int ch = 0; ch < C; ++ch) {
                    const T p = s.at(bounce(sx - m, W), bounce(v - m, H), ch);
                    if constexpr (kFloat) af[t.o * C + ch] += t.w * p;
                    else a[t.o * C + ch] += t.frac ? static_cast<long long>(t.w * static_cast<float>(p) + 0.5f) : static_cast<long long>(t.w) * p;
                }
            }
        std::vector<Row> r(a.size());
        for (std::size_t e = 0; e < r.size(); ++e) {
            if constexpr (kFloat) r[e] = af[e] * F[e / C];
            else r[e] = static_cast<int>(static_cast<long long>(static_cast<float>(a[e]) * F[e / C] + 128.0f) >> 8);
        }
        rows.push_back(r);
    }
    std::vector<T> out;
    for (int y = 0; y < d.height; ++y)
        for (int e = 0; e < d.width * C; ++e) {
            double b = 0;
            float bf = 0;
            for (int v = 0; v < H + 2 * m; ++v)
                for (const UpTap& t : down[v]) {
                    if (t.o != y) continue;
                    if constexpr (kFloat) bf += t.w * rows[v][e];
                    else b += t.frac ? static_cast<long long>(t.w * static_cast<float>(rows[v][e])) : static_cast<long long>(t.w) * rows[v][e];
                }
            if constexpr (kFloat) out.push_back(bf * F[y]);
            else out.push_back(static_cast<T>(std::clamp<long long>(static_cast<long long>(static_cast<float>(b) * F[y] + 2097152.0f) >> 22, 0, 255)));
        }
    return out;
}

// Every target; widths give full vectors, tails and single lanes, heights
// above the width (also tall ones of a few columns) take their own factors;
// integer and fractional rates.
template <class T>
void upMatchesReference() {
    using K = zal::LayerKernel<T>;
    const K kernels[][7] = {{1, 4, 6, 4, 1}, {-1, 3, 10, 3, -1}, {0, 1, 2, 1, 0}, {1, 2, 4, 6, 4, 2, 1}};
    const int sizes[] = {5, 5, 5, 7};
    zaltest::forEachSimdTarget([&] {
        zaltest::Lcg rng(23);
        for (int k = 0; k < 4; ++k)
            for (float rate : {1.5f, 1.3f, 2.0f, 3.0f, 3.3f})
                for (ImageSize roi : {ImageSize{13, 11}, ImageSize{70, 12}, ImageSize{1, 9}, ImageSize{4, 6}, ImageSize{23, 40},
                                      ImageSize{3, 12}, ImageSize{1, 1}})
                    for (int C : {1, 3}) {
                        GuardedImage<T> src(roi.width, roi.height, C);
                        src.fill([&](int, int, int) { return std::is_same_v<T, float> ? static_cast<T>(rng.uniformf(-20.0f, 300.0f)) : static_cast<T>(rng.uniform(0, 255)); });
                        ImageSize lo, hi;
                        ASSERT_EQ(zaliGetPyramidUpROI(roi, &lo, &hi, rate), StatusOk);
                        for (ImageSize d : {lo, hi}) {
                            GuardedImage<T> dst(d.width, d.height, C);
                            PyramidLayerState* st = nullptr;
                            if constexpr (std::is_same_v<T, float>) {
                                ASSERT_GE((C == 1 ? zaliPyramidLayerUpInitAlloc_32f_C1R : zaliPyramidLayerUpInitAlloc_32f_C3R)(&st, roi, rate, kernels[k], sizes[k], 2), 0);
                                ASSERT_EQ((C == 1 ? zaliPyramidLayerUp_32f_C1R : zaliPyramidLayerUp_32f_C3R)(src.data(), src.step(), roi, dst.data(), dst.step(), d, st), StatusOk);
                            } else {
                                ASSERT_GE((C == 1 ? zaliPyramidLayerUpInitAlloc_8u_C1R : zaliPyramidLayerUpInitAlloc_8u_C3R)(&st, roi, rate, kernels[k], sizes[k], 2), 0);
                                ASSERT_EQ((C == 1 ? zaliPyramidLayerUp_8u_C1R : zaliPyramidLayerUp_8u_C3R)(src.data(), src.step(), roi, dst.data(), dst.step(), d, st), StatusOk);
                            }
                            EXPECT_EQ(dst.pixels(), upReference(src, st->kernel, sizes[k], rate, d))
                                << "kernel " << k << " rate " << rate << " " << roi.width << "x" << roi.height << " C" << C << " to " << d.width << "x" << d.height;
                            EXPECT_TRUE(dst.guardsIntact());
                            zaliPyramidLayerUpFree(st);
                        }
                    }
    });
}

TEST(PyramidLayerUp, EightBitMatchesReference) { upMatchesReference<uint8_t>(); }
TEST(PyramidLayerUp, FloatMatchesReference) { upMatchesReference<float>(); }

// A source narrower than the kernel's reach gives every position a long
// list (its border samples all land on the few pixels), longer than the
// repeating stretch of row blocks keeps in registers.
TEST(PyramidLayerUp, LongListsOnNarrowSources) {
    const int16_t ki[] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const float kf[] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    zaltest::forEachSimdTarget([&] {
        zaltest::Lcg rng(5);
        for (int n : {11, 23})
            for (ImageSize roi : {ImageSize{1, 1}, ImageSize{2, 3}})
                for (int C : {1, 3}) {
                    GuardedImage<float> f(roi.width, roi.height, C);
                    GuardedImage<uint8_t> b(roi.width, roi.height, C);
                    f.fill([&](int, int, int) { return rng.uniformf(0.0f, 255.0f); });
                    b.fill([&](int, int, int) { return static_cast<uint8_t>(rng.uniform(0, 255)); });
                    ImageSize lo, hi;
                    ASSERT_EQ(zaliGetPyramidUpROI(roi, &lo, &hi, 1.1f), StatusOk);
                    GuardedImage<float> fd(hi.width, hi.height, C);
                    GuardedImage<uint8_t> bd(hi.width, hi.height, C);
                    PyramidLayerState *sf = nullptr, *sb = nullptr;
                    ASSERT_GE((C == 1 ? zaliPyramidLayerUpInitAlloc_32f_C1R : zaliPyramidLayerUpInitAlloc_32f_C3R)(&sf, roi, 1.1f, kf, n, 2), 0);
                    ASSERT_GE((C == 1 ? zaliPyramidLayerUpInitAlloc_8u_C1R : zaliPyramidLayerUpInitAlloc_8u_C3R)(&sb, roi, 1.1f, ki, n, 2), 0);
                    ASSERT_EQ((C == 1 ? zaliPyramidLayerUp_32f_C1R : zaliPyramidLayerUp_32f_C3R)(f.data(), f.step(), roi, fd.data(), fd.step(), hi, sf), StatusOk);
                    ASSERT_EQ((C == 1 ? zaliPyramidLayerUp_8u_C1R : zaliPyramidLayerUp_8u_C3R)(b.data(), b.step(), roi, bd.data(), bd.step(), hi, sb), StatusOk);
                    EXPECT_EQ(fd.pixels(), upReference(f, sf->kernel, n, 1.1f, hi)) << n << " taps C" << C << " " << roi.width;
                    EXPECT_EQ(bd.pixels(), upReference(b, sb->kernel, n, 1.1f, hi)) << n << " taps C" << C << " " << roi.width;
                    EXPECT_TRUE(fd.guardsIntact() && bd.guardsIntact());
                    zaliPyramidLayerUpFree(sf);
                    zaliPyramidLayerUpFree(sb);
                }
    });
}

// An up state prepares the calls from its own source size to the largest
// destination on the target it was made on. One state, made before the
// targets are switched, serves its own size and two others on every target.
template <class T, class K, class Init, class Run>
void stateServesOtherSizesAndTargets(Init init, Run run, const K* kernel) {
    zaltest::Lcg rng(31);
    std::vector<GuardedImage<T>> sources;
    for (ImageSize roi : {ImageSize{97, 21}, ImageSize{40, 21}, ImageSize{97, 9}}) {
        sources.emplace_back(roi.width, roi.height, 1);
        sources.back().fill([&](int, int, int) { return static_cast<T>(rng.uniform(0, 255)); });
    }
    PyramidLayerState* st = nullptr;
    ASSERT_EQ(init(&st, sources[0].roi(), 1.5f, kernel, 5, 2), StatusOk);
    zaltest::forEachSimdTarget([&] {
        for (const auto& src : sources) {
            ImageSize lo, hi;
            ASSERT_EQ(zaliGetPyramidUpROI(src.roi(), &lo, &hi, 1.5f), StatusOk);
            GuardedImage<T> dst(hi.width, hi.height, 1);
            ASSERT_EQ(run(src.data(), src.step(), src.roi(), dst.data(), dst.step(), hi, st), StatusOk);
            EXPECT_EQ(dst.pixels(), upReference(src, st->kernel, 5, 1.5f, hi)) << src.roi().width;
        }
    });
    zaliPyramidLayerUpFree(st);
}

TEST(PyramidLayerUp, StateServesOtherSizesAndTargets) {
    const int16_t ki[] = {1, 4, 6, 4, 1};
    const float kf[] = {1, 4, 6, 4, 1};
    stateServesOtherSizesAndTargets<uint8_t>(zaliPyramidLayerUpInitAlloc_8u_C1R, zaliPyramidLayerUp_8u_C1R, ki);
    stateServesOtherSizesAndTargets<float>(zaliPyramidLayerUpInitAlloc_32f_C1R, zaliPyramidLayerUp_32f_C1R, kf);
}

// Builds a state, runs one layer and frees the state.
template <class T, class K, class Init, class Run>
StatusCode layer(Init init, Run run, const GuardedImage<T>& src, GuardedImage<T>& dst, float rate, const K* kernel, int n) {
    PyramidLayerState* st = nullptr;
    const StatusCode s = init(&st, src.roi(), rate, kernel, n, 2);
    if (s < 0) return s;
    const StatusCode r = run(src.data(), src.step(), src.roi(), dst.data(), dst.step(), dst.roi(), st);
    zaliPyramidLayerDownFree(st);
    return r;
}

TEST(PyramidLayers, WiderTypesTrackTheEightBitResult) {
    const int16_t ki[] = {1, 4, 6, 4, 1};
    const float kf[] = {1, 4, 6, 4, 1};
    zaltest::Lcg rng(4);
    for (float rate : {2.0f, 1.7f})
        for (bool up : {false, true}) {
            GuardedImage<uint8_t> s8(11, 9, 3);
            s8.fill([&](int, int, int) { return rng.uniform(0, 255); });
            GuardedImage<uint16_t> s16(11, 9, 3);
            GuardedImage<float> s32(11, 9, 3);
            s16.fill([&](int x, int y, int c) { return s8.at(x, y, c) * 256; });
            s32.fill([&](int x, int y, int c) { return s8.at(x, y, c); });
            ImageSize d, lo;
            if (up) zaliGetPyramidUpROI(s8.roi(), &lo, &d, rate);
            else zaliGetPyramidDownROI(s8.roi(), &d, rate);
            GuardedImage<uint8_t> d8(d.width, d.height, 3);
            GuardedImage<uint16_t> d16(d.width, d.height, 3);
            GuardedImage<float> d32(d.width, d.height, 3);
            ASSERT_EQ(layer(up ? zaliPyramidLayerUpInitAlloc_8u_C3R : zaliPyramidLayerDownInitAlloc_8u_C3R, up ? zaliPyramidLayerUp_8u_C3R : zaliPyramidLayerDown_8u_C3R, s8, d8, rate, ki, 5), StatusOk);
            ASSERT_EQ(layer(up ? zaliPyramidLayerUpInitAlloc_16u_C3R : zaliPyramidLayerDownInitAlloc_16u_C3R, up ? zaliPyramidLayerUp_16u_C3R : zaliPyramidLayerDown_16u_C3R, s16, d16, rate, ki, 5), StatusOk);
            ASSERT_EQ(layer(up ? zaliPyramidLayerUpInitAlloc_32f_C3R : zaliPyramidLayerDownInitAlloc_32f_C3R, up ? zaliPyramidLayerUp_32f_C3R : zaliPyramidLayerDown_32f_C3R, s32, d32, rate, kf, 5), StatusOk);
            for (int y = 0; y < d.height; ++y)
                for (int x = 0; x < d.width; ++x)
                    for (int c = 0; c < 3; ++c) {
                        ASSERT_NEAR(d8.at(x, y, c), d32.at(x, y, c), 1.01f) << up << " " << x << "," << y;
                        ASSERT_NEAR(d16.at(x, y, c) / 256.0f, d32.at(x, y, c), 0.2f) << up << " " << x << "," << y;
                    }
            EXPECT_TRUE(d8.guardsIntact() && d16.guardsIntact() && d32.guardsIntact());
        }
}

// Layers give the same bits on every target (the scalar target runs the
// documented order of operations), for every type, one and three channels,
// down and up, and widths around the vector lengths of every target: the
// vector row passes meet the reflected border at either end of a row, with
// the border reaching 1, 2 and 4 pixels.
template <class T, class K, class Init, class Run>
void sameOnEveryTarget(Init init, Run run, int C, const K* kernel, int n, int width, float rate, bool up, int height = 13,
                       bool lineSteps = false) {
    GuardedImage<T> src(width, height, C);
    zaltest::Lcg rng(static_cast<uint32_t>(width * 7 + n));
    src.fill([&](int, int, int) { return std::is_same_v<T, float> ? rng.uniformf(-20.0f, 300.0f) : rng.uniform(0, sizeof(T) == 1 ? 255 : 65535); });
    ImageSize d, lo;
    if (up) zaliGetPyramidUpROI(src.roi(), &lo, &d, rate);
    else zaliGetPyramidDownROI(src.roi(), &d, rate);
    // Destination steps of whole 64-byte lines (row elements and the two
    // guard elements before each row) put every row at one offset in a line.
    const int lineElems = 64 / static_cast<int>(sizeof(T));
    const int pad = lineSteps ? (lineElems - (d.width * C + 2) % lineElems) % lineElems : 3;
    zaltest::expectSameOnEveryTarget([&] {
        GuardedImage<T> dst(d.width, d.height, C, zaltest::Layout::TopDown, pad);
        EXPECT_EQ(layer(init, run, src, dst, rate, kernel, n), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        return dst.pixels();
    }, (::testing::Message() << "C" << C << " taps " << n << " width " << width << " rate " << rate
                             << (up ? " up" : " down")).GetString());
}

// The fifth kernel's 8u row values exceed 16 bits' reach (magnitudes sum to
// about 3.6 times the normalised sum): 8u keeps 32-bit lanes for it. The
// binomial 5-tap and the 7-tap kernel with a sum of 16 take unsigned 16-bit
// sums of one-channel 8u rows (not on the single-lane target).
TEST(PyramidLayers, SameResultsOnEverySimdTarget) {
    const int16_t ki[][9] = {{2, 5, 2}, {1, 4, 6, 4, 1}, {-1, 3, 10, 3, -1}, {1, 2, 3, 4, 6, 4, 3, 2, 1}, {-10, 20, 30, 20, -10}, {1, 2, 3, 4, 3, 2, 1}};
    const float kf[][9] = {{2, 5, 2}, {1, 4, 6, 4, 1}, {-1, 3, 10, 3, -1}, {1, 2, 3, 4, 6, 4, 3, 2, 1}, {-10, 20, 30, 20, -10}, {1, 2, 3, 4, 3, 2, 1}};
    const int taps[] = {3, 5, 5, 9, 5, 7};
    for (int k = 0; k < 6; ++k)
        for (int w : {taps[k] + 1, 17, 33, 64, 65, 97})
            for (float rate : {2.0f, 1.5f})
                for (bool up : {false, true}) {
                    const int n = taps[k];
                    sameOnEveryTarget<uint8_t>(up ? zaliPyramidLayerUpInitAlloc_8u_C1R : zaliPyramidLayerDownInitAlloc_8u_C1R, up ? zaliPyramidLayerUp_8u_C1R : zaliPyramidLayerDown_8u_C1R, 1, ki[k], n, w, rate, up);
                    sameOnEveryTarget<uint8_t>(up ? zaliPyramidLayerUpInitAlloc_8u_C3R : zaliPyramidLayerDownInitAlloc_8u_C3R, up ? zaliPyramidLayerUp_8u_C3R : zaliPyramidLayerDown_8u_C3R, 3, ki[k], n, w, rate, up);
                    sameOnEveryTarget<uint16_t>(up ? zaliPyramidLayerUpInitAlloc_16u_C1R : zaliPyramidLayerDownInitAlloc_16u_C1R, up ? zaliPyramidLayerUp_16u_C1R : zaliPyramidLayerDown_16u_C1R, 1, ki[k], n, w, rate, up);
                    sameOnEveryTarget<float>(up ? zaliPyramidLayerUpInitAlloc_32f_C1R : zaliPyramidLayerDownInitAlloc_32f_C1R, up ? zaliPyramidLayerUp_32f_C1R : zaliPyramidLayerDown_32f_C1R, 1, kf[k], n, w, rate, up);
                    sameOnEveryTarget<float>(up ? zaliPyramidLayerUpInitAlloc_32f_C3R : zaliPyramidLayerDownInitAlloc_32f_C3R, up ? zaliPyramidLayerUp_32f_C3R : zaliPyramidLayerDown_32f_C3R, 3, kf[k], n, w, rate, up);
                }
    // Float outputs of 8 MB and more are written with streaming stores, rows
    // of one offset in a line two at a time: with rows of 1804 and 1807
    // elements, one of the two widths leaves single elements after the
    // vectors whatever the offset.
    sameOnEveryTarget<float>(zaliPyramidLayerUpInitAlloc_32f_C1R, zaliPyramidLayerUp_32f_C1R, 1, kf[1], 5, 1203, 1.5f, true, 801);
    for (int w : {1203, 1205})
        sameOnEveryTarget<float>(zaliPyramidLayerUpInitAlloc_32f_C1R, zaliPyramidLayerUp_32f_C1R, 1, kf[1], 5, w, 1.5f, true, 801, true);
}

// At rates just below 2 the down size can reach one column (row) past half
// the source: that column samples the smoothed image at 2x = width, which
// takes the reflected column 2x - 2, as the row past the bottom takes the
// reflected row. The result never depends on what the work rows held before.
template <class T, class K, class Init, class Run>
void lastColumnReflects(Init init, Run run, int C, const K* kernel) {
    GuardedImage<T> src(180, 6, C);
    zaltest::Lcg rng(11);
    src.fill([&](int, int, int) { return std::is_same_v<T, float> ? rng.uniformf(-20.0f, 300.0f) : rng.uniform(0, 255); });
    ImageSize d;
    ASSERT_EQ(zaliGetPyramidDownROI(src.roi(), &d, 1.99999f), StatusOk);
    ASSERT_TRUE(d.width == 91 && d.height == 4) << d.width << "x" << d.height;
    zaltest::forEachSimdTarget([&] {
        GuardedImage<T> dst(d.width, d.height, C);
        ASSERT_EQ(layer(init, run, src, dst, 1.99999f, kernel, 5), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        for (int c = 0; c < C; ++c) {
            for (int y = 0; y < d.height; ++y) ASSERT_EQ(dst.at(90, y, c), dst.at(89, y, c)) << y;
            for (int x = 0; x < d.width; ++x) ASSERT_EQ(dst.at(x, 3, c), dst.at(x, 2, c)) << x;
        }
    });
}

TEST(PyramidLayers, RateJustBelowTwoReflectsTheLastColumnAndRow) {
    const int16_t ki[] = {1, 4, 6, 4, 1};
    const float kf[] = {1, 4, 6, 4, 1};
    lastColumnReflects<uint8_t>(zaliPyramidLayerDownInitAlloc_8u_C1R, zaliPyramidLayerDown_8u_C1R, 1, ki);
    lastColumnReflects<uint8_t>(zaliPyramidLayerDownInitAlloc_8u_C3R, zaliPyramidLayerDown_8u_C3R, 3, ki);
    lastColumnReflects<float>(zaliPyramidLayerDownInitAlloc_32f_C1R, zaliPyramidLayerDown_32f_C1R, 1, kf);
    lastColumnReflects<float>(zaliPyramidLayerDownInitAlloc_32f_C3R, zaliPyramidLayerDown_32f_C3R, 3, kf);
}

// 16u and 32f layers accept any step that covers a row: rows at odd byte
// offsets give the results of aligned rows, for both directions and rates;
// a source three pixels wide takes single-lane vectors.
template <class T, class K, int C>
void checkMisalignedLayers(StatusCode (*downInit)(PyramidLayerState**, ImageSize, float, const K*, int, int),
                           StatusCode (*down)(const T*, int, ImageSize, T*, int, ImageSize, PyramidLayerState*),
                           StatusCode (*upInit)(PyramidLayerState**, ImageSize, float, const K*, int, int),
                           StatusCode (*up)(const T*, int, ImageSize, T*, int, ImageSize, PyramidLayerState*),
                           const char* name) {
    const K kernel[] = {1, 4, 6, 4, 1};
    const auto value = [](zaltest::Lcg& rng) { return static_cast<T>(rng.uniform(0, 60000)); };
    for (ImageSize src : {ImageSize{9, 7}, ImageSize{3, 7}})
    for (float rate : {2.0f, 1.6f}) {
        ImageSize smaller, lo, larger;
        zaliGetPyramidDownROI(src, &smaller, rate);
        zaliGetPyramidUpROI(src, &lo, &larger, rate);
        PyramidLayerState *downState = nullptr, *upState = nullptr;
        ASSERT_EQ(downInit(&downState, src, rate, kernel, 5, 2), StatusOk);
        ASSERT_EQ(upInit(&upState, src, rate, kernel, 5, 2), StatusOk);
        const std::string what = std::string(name) + " rate " + std::to_string(rate);
        zaltest::expectSameOnMisalignedRows<T, 2>({src, smaller}, C, value,
                                                  [&](const std::array<T*, 2>& p, const std::array<int, 2>& s) {
                                                      return down(p[0], s[0], src, p[1], s[1], smaller, downState);
                                                  }, what + " down");
        zaltest::expectSameOnMisalignedRows<T, 2>({src, larger}, C, value,
                                                  [&](const std::array<T*, 2>& p, const std::array<int, 2>& s) {
                                                      return up(p[0], s[0], src, p[1], s[1], larger, upState);
                                                  }, what + " up");
        zaliPyramidLayerDownFree(downState);
        zaliPyramidLayerUpFree(upState);
    }
}

TEST(PyramidLayers, MisalignedRowsGiveTheAlignedResult) {
#define ZAL_CHECK_MISALIGNED(T, K, C, suffix)                                                                       \
    checkMisalignedLayers<T, K, C>(zaliPyramidLayerDownInitAlloc_##suffix, zaliPyramidLayerDown_##suffix,           \
                                   zaliPyramidLayerUpInitAlloc_##suffix, zaliPyramidLayerUp_##suffix, #suffix);
    ZAL_CHECK_MISALIGNED(uint16_t, int16_t, 1, 16u_C1R)
    ZAL_CHECK_MISALIGNED(uint16_t, int16_t, 3, 16u_C3R)
    ZAL_CHECK_MISALIGNED(float, float, 1, 32f_C1R)
    ZAL_CHECK_MISALIGNED(float, float, 3, 32f_C3R)
#undef ZAL_CHECK_MISALIGNED
}

TEST(PyramidLayers, ChecksInOrder) {
    const int16_t k[] = {1, 4, 6, 4, 1};
    PyramidLayerState *down = nullptr, *up = nullptr;
    ASSERT_EQ(zaliPyramidLayerDownInitAlloc_8u_C1R(&down, ImageSize{8, 8}, 2.0f, k, 5, 2), StatusOk);
    ASSERT_EQ(zaliPyramidLayerUpInitAlloc_8u_C1R(&up, ImageSize{4, 4}, 2.0f, k, 5, 2), StatusOk);
    GuardedImage<uint8_t> src(8, 8), dst(8, 8);
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(src.data(), src.step(), ImageSize{0, 8}, dst.data(), 1, ImageSize{4, 4}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(src.data(), 1, ImageSize{0, 8}, dst.data(), 1, ImageSize{4, 4}, down), StatusSizeError);
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(src.data(), src.step(), ImageSize{8, 8}, dst.data(), 3, ImageSize{5, 4}, down), StatusStepError);
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(src.data(), src.step(), ImageSize{8, 8}, dst.data(), dst.step(), ImageSize{5, 4}, down), StatusSizeError);
    // A source larger than the state was made for.
    GuardedImage<uint8_t> big(10, 8);
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(big.data(), big.step(), big.roi(), dst.data(), dst.step(), ImageSize{5, 4}, down), StatusSizeError);
    // A state of the other direction or type.
    EXPECT_EQ(zaliPyramidLayerDown_8u_C1R(src.data(), src.step(), ImageSize{8, 8}, dst.data(), dst.step(), ImageSize{4, 4}, up), StatusDataTypeError);
    EXPECT_EQ(zaliPyramidLayerUp_8u_C3R(src.data(), src.step(), ImageSize{2, 2}, dst.data(), dst.step(), ImageSize{4, 4}, up), StatusDataTypeError);
    // Up: the destination must lie in the up range (4 -> 7..8 at rate 2).
    EXPECT_EQ(zaliPyramidLayerUp_8u_C1R(src.data(), src.step(), ImageSize{4, 4}, dst.data(), dst.step(), ImageSize{6, 8}, up), StatusSizeError);
    GuardedImage<uint8_t> flipped(8, 8, 1, Layout::BottomUp);
    EXPECT_EQ(zaliPyramidLayerUp_8u_C1R(flipped.data(), flipped.step(), ImageSize{4, 4}, dst.data(), dst.step(), ImageSize{8, 8}, up), StatusStepError);
    EXPECT_EQ(zaliPyramidLayerUp_8u_C1R(src.data(), src.step(), ImageSize{4, 4}, dst.data(), dst.step(), ImageSize{7, 8}, up), StatusOk);
    zaliPyramidLayerDownFree(down);
    zaliPyramidLayerUpFree(up);
}

}  // namespace
