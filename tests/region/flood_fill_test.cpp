// Flood fill against breadth-first references: the connected set of pixels
// equal to the seed (plain), inside [seed - minDelta, seed + maxDelta]
// (range), or reachable through neighbour steps within the tolerance
// (gradient).

#include <deque>

#include "region/exports.h"
#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;

enum class Rule { Plain, Range, Grad };

template <class T>
struct Params {
    Rule rule;
    bool eight;
    T newVal[3], minDelta[3], maxDelta[3];
};

// The filled set, by breadth-first search from the seed.
template <class T>
std::vector<char> referenceRegion(const GuardedImage<T>& img, ImagePoint seed, const Params<T>& p) {
    const int w = img.width(), h = img.height(), ch = img.channels();
    // Bounds around the seed (plain, range) or the neighbour it joins from (gradient).
    auto joins = [&](int x, int y, int qx, int qy) {
        for (int c = 0; c < ch; ++c) {
            const double v = img.at(x, y, c), base = p.rule == Rule::Grad ? img.at(qx, qy, c) : img.at(seed.x, seed.y, c);
            const bool plain = p.rule == Rule::Plain;
            if (!(base - (plain ? 0 : p.minDelta[c]) <= v && v <= base + (plain ? 0 : p.maxDelta[c]))) return false;
        }
        return true;
    };
    std::vector<char> in(static_cast<size_t>(w) * h, 0);
    std::deque<ImagePoint> queue{seed};
    in[seed.y * w + seed.x] = 1;
    while (!queue.empty()) {
        const ImagePoint q = queue.front();
        queue.pop_front();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if ((dx == 0 && dy == 0) || (!p.eight && dx != 0 && dy != 0)) continue;
                const int x = q.x + dx, y = q.y + dy;
                if (x < 0 || y < 0 || x >= w || y >= h || in[y * w + x] || !joins(x, y, q.x, q.y)) continue;
                in[y * w + x] = 1;
                queue.push_back({x, y});
            }
    }
    return in;
}

// One-channel members take values, three-channel members pointers.
template <int C, class T>
auto arg(const T* v) {
    if constexpr (C == 1) return v[0];
    else return v;
}

// Calls the member for the rule, connectivity, type and channel count.
template <class T>
StatusCode callFill(GuardedImage<T>& img, ImagePoint seed, const Params<T>& p, ConnectedComponent* rec, uint8_t* buf) {
    const ImageSize r = img.roi();
    const int s = img.step(), ch = img.channels(), conn = p.eight ? 8 : 4;
    T* d = img.data();
#define ZAL_MEMBER(name, U, C, n, which, ...) \
    if constexpr (std::is_same_v<T, U>)      \
        if (p.rule == Rule::which && ch == C && conn == n) return name(d, s, r, seed, __VA_ARGS__, rec, buf);
#define ZAL_PLAIN(name, U, C, n) ZAL_MEMBER(name, U, C, n, Plain, arg<C>(p.newVal))
#define ZAL_RANGE(name, U, C, n) ZAL_MEMBER(name, U, C, n, Range, arg<C>(p.newVal), arg<C>(p.minDelta), arg<C>(p.maxDelta))
#define ZAL_GRAD(name, U, C, n) ZAL_MEMBER(name, U, C, n, Grad, arg<C>(p.newVal), arg<C>(p.minDelta), arg<C>(p.maxDelta))
    ZAL_REGION_FLOOD_FILL(ZAL_PLAIN)
    ZAL_REGION_FLOOD_FILL_RANGE(ZAL_RANGE)
    ZAL_REGION_FLOOD_FILL_GRAD(ZAL_GRAD)
#undef ZAL_MEMBER
#undef ZAL_PLAIN
#undef ZAL_RANGE
#undef ZAL_GRAD
    ADD_FAILURE() << "no member";
    return StatusOk;
}

zaltest::GuardedBuffer fillBuffer(ImageSize roi, bool grad) {
    return zaltest::GuardedBuffer(zaltest::queriedSize(grad ? zaliFloodFillGetSize_Grad : zaliFloodFillGetSize, roi));
}

// Fills and compares image, record and guards with the reference.
template <class T>
void expectFill(GuardedImage<T>& img, ImagePoint seed, const Params<T>& p) {
    const auto before = img.pixels();
    const auto region = referenceRegion(img, seed, p);
    auto buf = fillBuffer(img.roi(), p.rule == Rule::Grad);
    ConnectedComponent rec{};
    ASSERT_EQ(callFill(img, seed, p, &rec, buf.data()), StatusOk);
    const int w = img.width(), ch = img.channels();
    auto want = before;
    int area = 0, x0 = w, y0 = img.height(), x1 = -1, y1 = -1;
    for (int i = 0; i < w * img.height(); ++i)
        if (region[i]) {
            area++, x0 = std::min(x0, i % w), x1 = std::max(x1, i % w), y0 = std::min(y0, i / w), y1 = i / w;
            std::copy(p.newVal, p.newVal + ch, want.begin() + i * ch);
        }
    EXPECT_EQ(img.pixels(), want);
    EXPECT_EQ(rec.area, double(area));
    EXPECT_EQ(std::vector<int>({rec.rect.x, rec.rect.y, rec.rect.width, rec.rect.height}),
              std::vector<int>({x0, y0, x1 - x0 + 1, y1 - y0 + 1}));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(rec.value[c], c < ch ? double(p.newVal[c]) : 0.0);
    EXPECT_TRUE(img.guardsIntact() && buf.guardIntact());
}

template <class T>
void randomSweep(int channels) {
    zaltest::Lcg rng(channels * 17 + sizeof(T));
    const ImageSize sizes[] = {{1, 1}, {1, 7}, {9, 1}, {2, 3}, {8, 8}, {17, 11}, {30, 21}};
    for (const ImageSize s : sizes)
        for (Rule rule : {Rule::Plain, Rule::Range, Rule::Grad})
            for (bool eight : {false, true})
                for (int trial = 0; trial < 3; ++trial) {
                    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " rule " << int(rule)
                                                    << (eight ? " 8-con" : " 4-con") << " trial " << trial);
                    GuardedImage<T> img(s.width, s.height, channels);
                    // Few levels, so that regions are large and irregular;
                    // the gradient rule sees a rough ramp.
                    img.fill([&](int x, int, int) {
                        return rule == Rule::Grad ? x * 3 + rng.uniform(0, 4) : 10 * rng.uniform(0, 2);
                    });
                    // newVal outside the data, except one range trial where
                    // it lies inside the range.
                    Params<T> p{rule, eight, {}, {}, {}};
                    for (int c = 0; c < 3; ++c)
                        p.newVal[c] = T(rule == Rule::Range && trial == 2 ? 12 : 200 + c),
                        p.minDelta[c] = T(rng.uniform(0, 10)), p.maxDelta[c] = T(rng.uniform(0, 10));
                    const ImagePoint seed{rng.uniform(0, s.width - 1), trial == 1 ? s.height - 1 : rng.uniform(0, s.height - 1)};
                    // The early exit when the seed already holds newVal is tested on its own.
                    if (rule == Rule::Grad || !std::equal(p.newVal, p.newVal + channels, &img.at(seed.x, seed.y)))
                        expectFill(img, seed, p);
                }
}

TEST(FloodFill, MatchesBreadthFirstReference) {
    for (int channels : {1, 3}) randomSweep<uint8_t>(channels), randomSweep<float>(channels);
}

TEST(FloodFill, PatternsCheckedAgainstTheReference) {
    using P = Params<uint8_t>;
    for (bool eight : {false, true}) {
        // Checkerboard: one pixel 4-connected, the whole colour 8-connected.
        GuardedImage<uint8_t> board(7, 6);
        board.fill([](int x, int y, int) { return (x + y) % 2 ? 9 : 1; });
        expectFill(board, ImagePoint{2, 2}, P{Rule::Plain, eight, {5}, {}, {}});
        // 8u range bounds clamp to 0..255.
        GuardedImage<uint8_t> ends(6, 2);
        static const int firstRow[6] = {255, 250, 241, 239, 3, 0};
        ends.fill([](int x, int y, int) { return y ? 128 : firstRow[x]; });
        expectFill(ends, ImagePoint{1, 0}, P{Rule::Range, eight, {7}, {9}, {10}});
        expectFill(ends, ImagePoint{4, 0}, P{Rule::Range, eight, {100}, {10}, {0}});
        // Full rows alternating with rows of isolated pixels keep many runs
        // on the stack at once.
        GuardedImage<uint8_t> comb(64, 64);
        for (Rule rule : {Rule::Plain, Rule::Grad}) {
            comb.fill([](int x, int y, int) { return y % 2 == 0 || x % 2 == 0 ? 1 : 50; });
            expectFill(comb, ImagePoint{0, 0}, P{rule, eight, {2}, {1}, {1}});
        }
    }
}

TEST(FloodFill, SeedAlreadyNewValueLeavesEverythingAlone) {
    GuardedImage<float> img(5, 4);
    img.fill([](int x, int, int) { return x < 3 ? -0.0f : 1.0f; });
    auto buf = fillBuffer(img.roi(), false), grad = fillBuffer(img.roi(), true);
    ConnectedComponent rec{};
    rec.area = -7;
    EXPECT_EQ(zaliFloodFill_4Con_32f_C1IR(img.data(), img.step(), img.roi(), ImagePoint{0, 0}, 0.0f, &rec, buf.data()), StatusOk);
    EXPECT_EQ(zaliFloodFill_Range8Con_32f_C1IR(img.data(), img.step(), img.roi(), ImagePoint{1, 1}, 0.0f, 5.0f, 5.0f, &rec, buf.data()), StatusOk);
    EXPECT_EQ(rec.area, -7.0) << "record untouched";
    EXPECT_TRUE(std::signbit(img.at(0, 0)));
    // The gradient rule has no early exit.
    EXPECT_EQ(zaliFloodFill_Grad4Con_32f_C1IR(img.data(), img.step(), img.roi(), ImagePoint{0, 0}, 0.0f, 0.0f, 0.0f, &rec, grad.data()), StatusOk);
    EXPECT_EQ(rec.area, 12.0);
    EXPECT_FALSE(std::signbit(img.at(0, 0)));
}

TEST(FloodFill, ChecksInOrder) {
    GuardedImage<float> img(4, 3, 3);
    auto buf = fillBuffer(img.roi(), true);
    ConnectedComponent rec{};
    const float v[3] = {1, 2, 3}, pos[3] = {1, 1, 1}, neg[3] = {1, -1, 1}, nan[3] = {1, 1, NAN};
    const ImageSize roi = img.roi();
    const int s = img.step();
    float* d = img.data();
    EXPECT_EQ(zaliFloodFill_Grad4Con_32f_C3IR(d, s, ImageSize{0, 3}, ImagePoint{9, 9}, v, nullptr, pos, &rec, buf.data()), StatusNullPointer);
    EXPECT_EQ(zaliFloodFill_Grad4Con_32f_C3IR(d, s, ImageSize{0, 3}, ImagePoint{9, 9}, v, neg, pos, &rec, buf.data()), StatusSizeError);
    // The step must hold three channels, not one.
    EXPECT_EQ(zaliFloodFill_Range4Con_32f_C3IR(d, 16, roi, ImagePoint{9, 9}, v, pos, pos, &rec, buf.data()), StatusStepError);
    EXPECT_EQ(zaliFloodFill_Range4Con_32f_C3IR(d, s + 2, roi, ImagePoint{9, 9}, v, pos, pos, &rec, buf.data()), StatusStepAlignmentError);
    EXPECT_EQ(zaliFloodFill_Grad8Con_32f_C3IR(d, s, roi, ImagePoint{4, 0}, v, pos, pos, &rec, buf.data()), StatusOutOfRange);
    EXPECT_EQ(zaliFloodFill_Grad8Con_32f_C3IR(d, s, roi, ImagePoint{0, 0}, v, neg, pos, &rec, buf.data()), StatusOutOfRange);
    EXPECT_EQ(zaliFloodFill_Grad4Con_32f_C3IR(d, s, roi, ImagePoint{0, 0}, v, pos, nan, &rec, buf.data()), StatusOutOfRange);
    // The range rule accepts negative deltas (the range may be empty).
    EXPECT_EQ(zaliFloodFill_Range4Con_32f_C3IR(d, s, roi, ImagePoint{0, 0}, v, neg, neg, &rec, buf.data()), StatusOk);
    EXPECT_EQ(rec.area, 1.0);
}

}  // namespace
