// Watershed segmentation and boundary painting: hand-traced small cases, and
// random and wide cases checked against plain full-row sweeps to a fixpoint.


#include "common/simd_targets.h"
#include "region/region_test.h"

namespace {

using zaltest::GuardedImage;
using zaltest::Layout;
using Grid = std::vector<std::vector<int>>;

GuardedImage<uint8_t> imageOf(const Grid& g, Layout layout = Layout::TopDown) {
    GuardedImage<uint8_t> img(static_cast<int>(g[0].size()), static_cast<int>(g.size()), 1, layout);
    img.fill([&](int x, int y, int) { return g[y][x]; });
    return img;
}

Grid gridOf(const GuardedImage<uint8_t>& img) {
    Grid g(img.height(), std::vector<int>(img.width()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) g[y][x] = img.at(x, y);
    return g;
}

// Runs the watershed with a guarded, deliberately misaligned buffer.
Grid segment(const Grid& src, const Grid& seeds, int norm, int flag = 0) {
    const auto s = imageOf(src);
    auto m = imageOf(seeds);
    zaltest::GuardedBuffer buffer(zaltest::queriedSize(zaliSegmentWatershedGetBufferSize_8u_C1R, s.roi()), 1);
    EXPECT_EQ(zaliSegmentWatershed_8u_C1IR(s.data(), s.step(), m.data(), m.step(), s.roi(), norm, flag, buffer.data()),
              StatusOk);
    EXPECT_TRUE(m.guardsIntact() && buffer.guardIntact());
    return gridOf(m);
}

TEST(Watershed, ChecksInOrder) {
    int size = -1;
    EXPECT_EQ(zaliSegmentWatershedGetBufferSize_8u_C1R({0, 3}, nullptr), StatusNullPointer);
    EXPECT_EQ(zaliSegmentWatershedGetBufferSize_8u_C1R({5, 0}, &size), StatusSizeError);

    const auto src = imageOf({{1, 2, 3}, {1, 2, 3}});
    auto m = imageOf({{1, 0, 2}}), up = imageOf({{1, 0, 2}, {0, 0, 0}}, Layout::BottomUp);
    uint8_t buffer[512];
    const int ss = src.step();
    EXPECT_EQ(zaliSegmentWatershed_8u_C1IR(nullptr, 0, m.data(), m.step(), {0, 1}, 0, 0, buffer), StatusNullPointer);
    EXPECT_EQ(zaliSegmentWatershed_8u_C1IR(src.data(), 2, m.data(), m.step(), {3, 0}, 0, 0, buffer), StatusSizeError);
    EXPECT_EQ(zaliSegmentWatershed_8u_C1IR(src.data(), ss, m.data(), 2, {3, 1}, 0, 0, buffer), StatusStepError);
    EXPECT_EQ(zaliSegmentWatershed_8u_C1IR(src.data(), ss, up.data(), up.step(), up.roi(), 0, 0, buffer), StatusStepError);
}

TEST(Watershed, HandTracedCases) {
    // No seed leaves the markers alone; one seed floods everything.
    const Grid src = {{3, 9, 1, 0}, {200, 7, 7, 255}, {0, 0, 5, 6}}, none(3, std::vector<int>(4, 0));
    Grid one = none;
    one[2][1] = 77;
    for (int norm : {0, 1, 2, 3}) {
        EXPECT_EQ(segment(src, none, norm), none);
        EXPECT_EQ(segment(src, one, norm), Grid(3, std::vector<int>(4, 77))) << "norm " << norm;
    }
    // Fast-marching norm; keys after the sweeps (step 64, correction 19 at
    // d = 0 and 10 at d = 19): 0 64 109 / 64 109 64 / 109 64 0; ties go to
    // the horizontal neighbour.
    const Grid flat(3, std::vector<int>(3, 0)), corners = {{1, 0, 0}, {0, 0, 0}, {0, 0, 2}};
    EXPECT_EQ(segment(flat, corners, 3), (Grid{{1, 1, 1}, {1, 1, 2}, {2, 2, 2}}));
    EXPECT_EQ(segment(flat, corners, 3, 0x40), (Grid{{1, 1, 255}, {1, 255, 2}, {255, 2, 2}}));
}

TEST(Watershed, DiagonalContactsPaintedOnlyWithEightAdjacency) {
    // Every pixel is a seed, so the keys are the source levels.
    const Grid src = {{0, 5}, {5, 0}}, seeds = {{1, 3}, {3, 2}};
    EXPECT_EQ(segment(src, seeds, 1, 0x40), (Grid{{1, 255}, {255, 2}}));
    EXPECT_EQ(segment(src, seeds, 1, 0x80), (Grid{{1, 255}, {255, 255}}));
    EXPECT_EQ(segment(src, seeds, 1, 0xC0), (Grid{{1, 255}, {255, 2}}));  // 0x40 wins
    EXPECT_EQ(segment(src, seeds, 1, 0x3F), seeds);                       // other bits ignored
    // One pixel wide: only the vertical pair exists.
    EXPECT_EQ(segment({{0}, {3}, {3}}, {{1}, {2}, {2}}, 0, 0x80), (Grid{{1}, {255}, {2}}));
}

// Paints like the watershed would, from independently computed keys.
Grid paintReference(Grid labels, const std::vector<long long>& key, bool eight) {
    const int h = static_cast<int>(labels.size()), w = static_cast<int>(labels[0].size());
    eight = eight && w > 1;
    auto settle = [&](int px, int py, int qx, int qy) {
        int &lp = labels[py][px], &lq = labels[qy][qx];
        if (lp != lq && lp != 255 && lq != 255) (key[py * w + px] > key[qy * w + qx] ? lp : lq) = 255;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x > 0) settle(x - 1, y, x, y);
            if (y == 0) continue;
            settle(x, y - 1, x, y);
            if (eight && x > 0) settle(x - 1, y - 1, x, y);
            if (eight && x + 1 < w) settle(x + 1, y - 1, x, y);
        }
    return labels;
}

// The sweeps as plain passes over whole rows, repeated until nothing changes:
// among equal keys the labels depend on the order of the offers, and the
// watershed, which passes over pixels that cannot improve, must reach the
// same keys and labels. Norm 0 counts every step 1 over eight neighbours,
// norm 1 every step 1 over four, any other (but the fast-marching norm 3)
// 11 straight and 15 diagonal; a one-pixel-wide image takes norm 1.
struct FullRowSweeps {
    const Grid& src;
    Grid labels;
    int norm, w, h;
    std::vector<long long> key;

    FullRowSweeps(const Grid& s, const Grid& seeds, int n)
        : src(s), labels(seeds), norm(n), w(static_cast<int>(s[0].size())), h(static_cast<int>(s.size())) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                key.push_back(seeds[y][x] ? static_cast<long long>(src[y][x]) << 23 : (255LL << 23) + (1 << 22));
        const bool eight = norm != 1 && w > 1;
        const int straight = norm > 1 && w > 1 ? 11 : 1, diagonal = straight == 11 ? 15 : 1;
        auto offer = [&](int x, int y, int nx, int ny, int step) {
            const long long c = std::max(static_cast<long long>(src[y][x]) << 23, key[ny * w + nx] + step);
            if (c >= key[y * w + x]) return false;
            key[y * w + x] = c;
            labels[y][x] = labels[ny][nx];
            return true;
        };
        auto pass = [&](int y, int dx, int yv) {
            bool changed = false;
            const int first = dx > 0 ? 0 : w - 1, end = dx > 0 ? w : -1;
            for (int x = first; x != end; x += dx) {
                if (seeds[y][x]) continue;
                if (x != first) changed |= offer(x, y, x - dx, y, straight);
                if (yv < 0) continue;
                if (eight && x != first) changed |= offer(x, y, x - dx, yv, diagonal);
                changed |= offer(x, y, x, yv, straight);
                if (eight && x + dx != end) changed |= offer(x, y, x + dx, yv, diagonal);
            }
            return changed;
        };
        // Both passes run, in this order.
        auto row = [&](int y, int yv, int dx) {
            const bool along = pass(y, dx, yv);
            const bool back = pass(y, -dx, -1);
            return along || back;
        };
        row(0, -1, 1);
        for (bool changed = true; changed;) {
            changed = false;
            for (int y = 1; y < h; ++y) changed |= row(y, y - 1, 1);
            for (int y = h - 2; y >= 0; --y) changed |= row(y, y + 1, -1);
        }
    }
};

TEST(Watershed, RandomImagesMatchFullRowSweeps) {
    zaltest::Lcg rng(7);
    for (int trial = 0; trial < 24; ++trial) {
        const int w = trial % 6 == 0 ? 1 : rng.uniform(2, 13), h = rng.uniform(1, 11);
        const int levels = trial % 2 ? 3 : 256;  // few levels: many ties
        Grid src(h, std::vector<int>(w)), seeds(h, std::vector<int>(w, 0));
        for (auto& row : src)
            for (auto& v : row) v = rng.uniform(0, levels - 1);
        for (int i = rng.uniform(1, 4); i > 0; --i) seeds[rng.uniform(0, h - 1)][rng.uniform(0, w - 1)] = rng.uniform(1, 5);
        for (int norm : {0, 1, 2, 7}) {
            SCOPED_TRACE(testing::Message() << "trial " << trial << " norm " << norm);
            const FullRowSweeps expected(src, seeds, norm);
            EXPECT_EQ(segment(src, seeds, norm), expected.labels);
            for (int flag : {0x40, 0x80})
                EXPECT_EQ(segment(src, seeds, norm, flag), paintReference(expected.labels, expected.key, flag == 0x80));
        }
    }
}

TEST(Watershed, WideImagesMatchFullRowSweepsOnEveryTarget) {
    zaltest::Lcg rng(11);
    struct Case {
        int w, h, levels;
    };
    // Chunk tails (70, 33), two words of chunk bits (2200), and a flat maze
    // (levels 0) of one-pixel corridors running up and down between walls
    // with gaps at alternate ends: every sweep moves the paths on by one
    // corridor, so the later sweeps revisit a few chunks, and a corridor
    // starts the chunk at 64, its wall ending the chunk before. Flat images
    // (one level) with many seeds: boundaries in every direction, corners
    // touching only diagonally among them.
    for (const Case c : {Case{70, 9, 3}, Case{33, 17, 256}, Case{2200, 4, 4}, Case{97, 23, 0}, Case{130, 31, 0},
                         Case{61, 12, 1}, Case{90, 20, 1}}) {
        Grid src(c.h, std::vector<int>(c.w)), seeds(c.h, std::vector<int>(c.w, 0));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const bool gap = (x / 2) % 2 ? y == 0 : y == c.h - 1;
                src[y][x] = c.levels ? rng.uniform(0, c.levels - 1) : x % 2 && !gap ? 200 : 0;
            }
        if (!c.levels) seeds[0][0] = 1, seeds[c.h - 1][c.w - 1] = 2;
        for (int i = c.levels == 1 ? 40 : rng.uniform(1, 4); i > 0; --i)
            seeds[rng.uniform(0, c.h - 1)][rng.uniform(0, c.w - 1)] = rng.uniform(1, 5);
        for (int norm : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " norm " << norm);
            const FullRowSweeps expected(src, seeds, norm);
            zaltest::forEachSimdTarget([&] {
                EXPECT_EQ(segment(src, seeds, norm), expected.labels);
                for (int flag : {0x40, 0x80})
                    EXPECT_EQ(segment(src, seeds, norm, flag), paintReference(expected.labels, expected.key, flag == 0x80));
            });
        }
    }
}

TEST(BoundSegments, HandCasesAndChecks) {
    const Grid labels = {{1, 1, 2}, {1, 2, 2}, {3, 3, 2}};
    auto four = imageOf(labels), eight = imageOf(labels), column = imageOf({{4}, {9}, {5}, {5}});
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(four.data(), four.step(), four.roi(), 9, 1), StatusOk);
    EXPECT_EQ(gridOf(four), (Grid{{1, 1, 9}, {1, 9, 2}, {9, 3, 9}}));
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(eight.data(), eight.step(), eight.roi(), 9, 0), StatusOk);
    EXPECT_EQ(gridOf(eight), (Grid{{1, 1, 9}, {1, 9, 9}, {9, 9, 2}}));
    // A neighbour already holding val does not make a boundary.
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(column.data(), column.step(), column.roi(), 9, 0), StatusOk);
    EXPECT_EQ(gridOf(column), (Grid{{4}, {9}, {5}, {5}}));
    EXPECT_TRUE(four.guardsIntact() && eight.guardsIntact() && column.guardsIntact());

    auto img = imageOf({{1, 2, 3}}), up = imageOf({{1, 2}, {3, 4}}, Layout::BottomUp);
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(nullptr, 0, {0, 0}, 9, 7), StatusNullPointer);
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(img.data(), 0, {3, 0}, 9, 7), StatusSizeError);
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(img.data(), 2, {3, 1}, 9, 7), StatusStepError);
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(img.data(), img.step(), img.roi(), 9, 2), StatusBadArgument);
    // A bottom-up image's negative step is shorter than a row.
    EXPECT_EQ(zaliBoundSegments_8u_C1IR(up.data(), up.step(), up.roi(), 9, 0), StatusStepError);
}

}  // namespace
