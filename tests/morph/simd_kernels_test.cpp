// Dilation and erosion on every SIMD target: ROI widths around the vector
// widths (whole vectors, the two-vector steps and every kind of tail) for
// each kernel class against the definition, and 32f special values (signed
// zeros, infinities, NaN) giving the same bits on every target.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "common/simd_targets.h"
#include "morph/internal.h"
#include "morph_reference.h"

using zaltest::GuardedImage;

namespace {

struct Mask {
    const char* name;
    ImageSize size;
    std::vector<uint8_t> bytes;
    ImagePoint anchor;
    int kernelClass;
};

std::vector<Mask> masks() {
    using namespace zal::morph;
    const auto disk = [](int r) {
        std::vector<uint8_t> m;
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x) m.push_back(x * x + y * y <= r * r);
        return m;
    };
    std::vector<uint8_t> scattered(7 * 5);
    zaltest::Lcg rng(3);
    for (auto& b : scattered) b = rng.uniform(0, 1);
    scattered[0] = scattered[2] = 1;  // two runs in the first row: General
    return {{"rectangle", {5, 3}, std::vector<uint8_t>(15, 1), {1, 2}, KernelRectangle},
            {"disk", {7, 7}, disk(3), {3, 3}, KernelEllipse},
            {"cross", {5, 5}, {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0}, {2, 2},
             KernelEllipse},
            {"scattered", {7, 5}, scattered, {4, 1}, KernelGeneral}};
}

const int kWidths[] = {1, 2, 15, 16, 17, 31, 33, 63, 64, 65, 127, 128, 129, 131, 200};
constexpr int kMaxWidth = 200;

// Builds a state per member set and mask, runs `body(members, state, mask)`.
template <class T, class Body>
void forEachState(Body&& body) {
    for (const auto& m : morphref::stateMembers<T>())
        for (const Mask& mask : masks()) {
            SCOPED_TRACE(::testing::Message() << mask.name << " C" << m.channels);
            MorphologyState* state = nullptr;
            ASSERT_EQ(m.initAlloc(kMaxWidth, mask.bytes.data(), mask.size, mask.anchor, &state), StatusOk);
            EXPECT_EQ(state->kernelClass, mask.kernelClass);
            body(m, state, mask);
            zaliMorphologyFree(state);
        }
}

template <class T>
void matchesDefinition() {
    forEachState<T>([](const morphref::StateMembers<T>& m, MorphologyState* state, const Mask& mask) {
        unsigned seed = 1;
        for (int w : kWidths) {
            GuardedImage<T> src(w, 6, m.channels);
            morphref::fillRandom(src, seed++);
            for (bool dilate : {true, false}) {
                GuardedImage<T> dst(w, 6, m.channels);
                ASSERT_EQ((dilate ? m.dilate : m.erode)(src.data(), src.step(), dst.data(), dst.step(), src.roi(),
                                                         BorderReplicate, state),
                          StatusOk);
                ASSERT_TRUE(dst.guardsIntact()) << "width " << w;
                ASSERT_EQ(dst.pixels(), morphref::flat(src.pixels(), w, 6, m.channels, mask.bytes, mask.size,
                                                       mask.anchor, dilate))
                    << "width " << w << (dilate ? " dilate" : " erode");
            }
        }
    });
}

TEST(MorphKernels, EveryTargetMatchesDefinition) {
    zaltest::forEachSimdTarget([] {
        matchesDefinition<uint8_t>();
        matchesDefinition<float>();
    });
}

// Signed zeros, infinities and NaNs: comparisons decide ties and unordered
// pairs by their order, which every target must keep. The General class is
// also checked against its definition: from the start value, in mask order,
// a value replaces the extremum only when it compares strictly beyond it.
TEST(MorphKernels, FloatSpecialValuesAgreeAcrossTargets) {
    const float special[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), std::bit_cast<float>(0x7fc01234u), 1.5f, -2.0f};
    zaltest::expectSameOnEveryTarget([&] {
        std::vector<std::vector<uint32_t>> results;
        forEachState<float>([&](const morphref::StateMembers<float>& m, MorphologyState* state, const Mask& mask) {
            zaltest::Lcg rng(11);
            for (int w : {17, 65, 129}) {
                GuardedImage<float> src(w, 5, m.channels);
                src.fill([&](int, int, int) { return special[rng.uniform(0, 6)]; });
                for (bool dilate : {true, false}) {
                    GuardedImage<float> dst(w, 5, m.channels);
                    ASSERT_EQ((dilate ? m.dilate : m.erode)(src.data(), src.step(), dst.data(), dst.step(),
                                                             src.roi(), BorderReplicate, state),
                              StatusOk);
                    std::vector<uint32_t> bits;
                    for (float v : dst.pixels()) bits.push_back(std::bit_cast<uint32_t>(v));
                    results.push_back(bits);
                    if (mask.kernelClass != zal::morph::KernelGeneral) continue;
                    for (int y = 0; y < 5; ++y)
                        for (int x = 0; x < w; ++x)
                            for (int c = 0; c < m.channels; ++c) {
                                float acc = dilate ? -3.4028235e38f : 3.4028235e38f;
                                for (int j = 0; j < mask.size.height; ++j)
                                    for (int i = 0; i < mask.size.width; ++i) {
                                        if (!mask.bytes[j * mask.size.width + i]) continue;
                                        const float v = src.at(std::clamp(x + i - mask.anchor.x, 0, w - 1),
                                                               std::clamp(y + j - mask.anchor.y, 0, 4), c);
                                        if (dilate ? v > acc : v < acc) acc = v;
                                    }
                                ASSERT_EQ(std::bit_cast<uint32_t>(dst.at(x, y, c)), std::bit_cast<uint32_t>(acc));
                            }
                }
            }
        });
        return results;
    });
}

}  // namespace
