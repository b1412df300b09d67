// Inpainting: hand-computed fills (a linear image, the fill order along one
// row), the known range on random holes, and the argument checks.

#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;

struct Member {
    int channels;
    StatusCode (*init)(InpaintState**, const float*, int, const uint8_t*, int, ImageSize, float, int);
    StatusCode (*run)(const uint8_t*, int, uint8_t*, int, ImageSize, InpaintState*);
    StatusCode (*release)(InpaintState*);
};
const Member kC1{1, zaliInpaintInitAlloc_8u_C1R, zaliInpaint_8u_C1R, zaliInpaintFree_8u_C1R};
const Member kC3{3, zaliInpaintInitAlloc_8u_C3R, zaliInpaint_8u_C3R, zaliInpaintFree_8u_C3R};

// A damaged image, row-major: pixels (w * h * c), mask and distance map.
struct Scene {
    int w, h, c;
    std::vector<int> pixels, mask;
    std::vector<float> dist;
};

// InitAlloc, then Inpaint twice (a state serves repeated calls); returns the
// destination pixels.
std::vector<int> inpaint(const Member& m, const Scene& s, float radius, int method) {
    GuardedImage<uint8_t> src(s.w, s.h, s.c), dst(s.w, s.h, s.c), mask(s.w, s.h);
    GuardedImage<float> dist(s.w, s.h);
    src.fill([&](int x, int y, int c) { return s.pixels[(y * s.w + x) * s.c + c]; });
    mask.fill([&](int x, int y, int) { return s.mask[y * s.w + x]; });
    dist.fill([&](int x, int y, int) { return s.dist[y * s.w + x]; });
    InpaintState* state = nullptr;
    EXPECT_EQ(m.init(&state, dist.data(), dist.step(), mask.data(), mask.step(), src.roi(), radius, method), StatusOk);
    std::vector<int> out[2];
    for (auto& o : out) {
        dst.fill([](int, int, int) { return 77; });
        EXPECT_EQ(m.run(src.data(), src.step(), dst.data(), dst.step(), src.roi(), state), StatusOk);
        EXPECT_TRUE(dst.guardsIntact());
        const auto px = dst.pixels();
        o.assign(px.begin(), px.end());
    }
    EXPECT_EQ(out[0], out[1]) << "second call differs";
    EXPECT_EQ(m.release(state), StatusOk);
    return out[0];
}

// Distance map from the library's fast marching (radius 0).
std::vector<float> marchedDistance(const std::vector<int>& mask, int w, int h) {
    std::vector<uint8_t> m(mask.begin(), mask.end()), flags(static_cast<size_t>(h));
    std::vector<float> t(static_cast<size_t>(w) * h);
    EXPECT_EQ(zaliFastMarching_8u32f_C1R(m.data(), w, t.data(), w * 4, {w, h}, 0.0f, flags.data()), StatusOk);
    return t;
}

TEST(Inpaint, HandComputedFills) {
    // Damaged pixels 1..3 between 100 and 200, radius 1: each pixel sees only
    // its row neighbours, and a pixel filled earlier is a known neighbour.
    Scene row{5, 1, 1, {100, 0, 0, 0, 200}, {0, 1, 1, 1, 0}, {}};
    const std::vector<float> dists[] = {{0, 1, 2, 1, 0}, {0, 3, 2, 1, 0}, {0, 1, 1, 1, 0}};
    const std::vector<int> fills[] = {
        {100, 100, 150, 200, 200},  // both ends first, then the middle
        {100, 167, 200, 200, 200},  // right to left; 1 : 2 weights by T gap
        {100, 100, 100, 133, 200},  // equal T: by index, left to right
    };
    // Every pixel damaged: the corner (999999) has no known neighbour and
    // keeps its value; as a filled pixel it then serves all the others.
    Scene unknown{3, 3, 1, {9, 8, 7, 6, 5, 4, 3, 2, 1}, std::vector<int>(9, 1), {}};
    unknown.dist = marchedDistance(unknown.mask, 3, 3);
    for (int method : {0, 1}) {
        for (int i = 0; i < 3; ++i) {
            row.dist = dists[i];
            EXPECT_EQ(inpaint(kC1, row, 1.0f, method), fills[i]) << "order " << i << " method " << method;
        }
        EXPECT_EQ(inpaint(kC1, unknown, 2.0f, method), std::vector<int>(9, 9));
        // I = 10x + 3y (+ 50 per channel); the hole's four neighbours are
        // weighted symmetrically, so the fill is exact.
        for (const Member* m : {&kC1, &kC3}) {
            Scene s{7, 5, m->channels, {}, std::vector<int>(35, 0), std::vector<float>(35, 0.0f)};
            for (int i = 0; i < 35 * m->channels; ++i)
                s.pixels.push_back(10 * (i / m->channels % 7) + 3 * (i / m->channels / 7) + 50 * (i % m->channels));
            s.mask[17] = 255;
            s.dist[17] = std::sqrt(2.0f) * 0.5f;
            const std::vector<int> before = s.pixels;
            s.pixels[17 * m->channels] = 0;  // damaged content
            EXPECT_EQ(inpaint(*m, s, 1.0f, method), before) << "method " << method;
        }
    }
}

TEST(Inpaint, RandomHolesStayWithinTheKnownRange) {
    zaltest::Lcg rng(3);
    for (int trial = 0; trial < 12; ++trial) {
        const Member& m = trial % 2 ? kC3 : kC1;
        const int w = rng.uniform(2, 19), h = rng.uniform(1, 14), n = w * h, ch = m.channels;
        std::vector<int> mask(n);
        for (auto& v : mask) v = rng.uniform(0, 2) == 0 ? rng.uniform(1, 255) : 0;
        const int known = rng.uniform(0, n - 1);
        mask[known] = 0, mask[(known + 1) % n] = 1;  // at least one known pixel and one damaged
        Scene s{w, h, ch, {}, mask, marchedDistance(mask, w, h)};
        for (int i = 0; i < n * ch; ++i) s.pixels.push_back(rng.uniform(0, 255));
        for (int method : {0, 1}) {
            const auto out = inpaint(m, s, rng.uniformf(1.0f, 4.0f), method);
            const int slack = method == 0 ? 2 : 0;  // method 0 adds a correction below sqrt(2)
            for (int c = 0; c < ch; ++c) {
                int lo = 255, hi = 0;
                for (int i = 0; i < n; ++i)
                    if (!mask[i]) lo = std::min(lo, s.pixels[i * ch + c]), hi = std::max(hi, s.pixels[i * ch + c]);
                for (int i = 0; i < n; ++i) {
                    const int v = out[i * ch + c];
                    const bool ok = mask[i] ? s.dist[i] <= 0.0f || (v >= lo - slack && v <= hi + slack)
                                            : v == s.pixels[i * ch + c];
                    ASSERT_TRUE(ok) << "trial " << trial << " pixel " << i << " channel " << c << " value " << v;
                }
            }
        }
    }
}

TEST(Inpaint, ChecksInOrder) {
    GuardedImage<uint8_t> mask(4, 3), src(4, 3, 3), dst(4, 3, 3), up(4, 3, 3, zaltest::Layout::BottomUp);
    GuardedImage<float> dist(4, 3);
    mask.at(1, 1) = 1;
    dist.at(1, 1) = 1.0f;
    InpaintState* state = reinterpret_cast<InpaintState*>(&mask);  // sentinel: untouched on errors
    InpaintState* const sentinel = state;
    const ImageSize roi = mask.roi();
    float* d = dist.data();
    uint8_t *k = mask.data(), *s = src.data(), *o = dst.data();
    const int ds = dist.step(), ks = mask.step(), ss = src.step(), os = dst.step();
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, 0, nullptr, 0, {0, 0}, 0.0f, 9), StatusNullPointer);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, 0, k, 0, {4, 0}, 0.0f, 9), StatusSizeError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, 16, k, 3, roi, 0.0f, 9), StatusStepError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, 18, k, 4, roi, 0.0f, 9), StatusStepAlignmentError);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, ds, k, ks, roi, 2.0f, 2), StatusBadArgument);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C1R(&state, d, ds, k, ks, roi, 0.5f, 0), StatusBadArgument);
    EXPECT_EQ(zaliInpaintInitAlloc_8u_C3R(&state, d, ds, k, ks, roi, std::nanf(""), 1), StatusBadArgument);
    EXPECT_EQ(state, sentinel);
    EXPECT_EQ(zaliInpaintFree_8u_C1R(nullptr), StatusNullPointer);

    ASSERT_EQ(zaliInpaintInitAlloc_8u_C3R(&state, d, ds, k, ks, roi, 1.5f, 1), StatusOk);
    EXPECT_EQ(zaliInpaint_8u_C3R(nullptr, 0, o, 0, {0, 0}, state), StatusNullPointer);
    EXPECT_EQ(zaliInpaint_8u_C3R(s, 0, o, 0, {0, 3}, state), StatusSizeError);
    EXPECT_EQ(zaliInpaint_8u_C3R(s, ss, o, os, {4, 2}, state), StatusSizeError) << "ROI differs from the state's";
    EXPECT_EQ(zaliInpaint_8u_C3R(s, ss, up.data(), up.step(), roi, state), StatusStepError);
    // A three-channel state does not serve the one-channel call.
    EXPECT_EQ(zaliInpaint_8u_C1R(s, ss, o, os, roi, state), StatusBadArgument);
    EXPECT_EQ(zaliInpaintFree_8u_C3R(state), StatusOk);
}

// A mask without damaged pixels (whatever the distance map holds) gives a
// state that copies the source, checks its calls like any other and is
// released by Free.
TEST(Inpaint, EmptyMaskGivesACopyingState) {
    zaltest::Lcg rng(4);
    for (const Member* m : {&kC1, &kC3})
        for (int method : {0, 1}) {
            SCOPED_TRACE(testing::Message() << m->channels << " channels, method " << method);
            Scene scene{7, 5, m->channels, {}, std::vector<int>(35, 0), std::vector<float>(35, 2.0f)};
            for (int i = 0; i < 35 * m->channels; ++i) scene.pixels.push_back(rng.uniform(0, 255));
            EXPECT_EQ(inpaint(*m, scene, 3.0f, method), scene.pixels);

            // Three-channel rows serve both the call and the other member's.
            GuardedImage<uint8_t> mask(7, 5), src(7, 5, 3), dst(7, 5, 3);
            GuardedImage<float> dist(7, 5);
            InpaintState* state = nullptr;
            ASSERT_EQ(m->init(&state, dist.data(), dist.step(), mask.data(), mask.step(), mask.roi(), 1.0f, method), StatusOk);
            ASSERT_NE(state, nullptr);
            EXPECT_EQ(m->run(src.data(), src.step(), dst.data(), dst.step(), ImageSize{7, 4}, state), StatusSizeError);
            const Member& other = m->channels == 1 ? kC3 : kC1;
            EXPECT_EQ(other.run(src.data(), src.step(), dst.data(), dst.step(), src.roi(), state), StatusBadArgument);
            EXPECT_EQ(m->release(state), StatusOk);
        }
}

}  // namespace
