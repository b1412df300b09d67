// Dilation and erosion of 32f special values (signed zeros, infinities, NaN)
// on every SIMD target, for each kernel class (the definition at every vector
// width: dilate_erode_test).
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
    morphref::Kernel k;
    ImagePoint anchor;
    int kernelClass;
};

std::vector<Mask> masks() {
    using namespace zal::morph;
    using morphref::kernel;
    return {{"rectangle", kernel({"xxxxx", "xxxxx", "xxxxx"}), {1, 2}, KernelRectangle},
            {"disk", kernel({"...x...", ".xxxxx.", ".xxxxx.", "xxxxxxx", ".xxxxx.", ".xxxxx.", "...x..."}), {3, 3}, KernelEllipse},
            {"cross", kernel({"..x..", "..x..", "xxxxx", "..x..", "..x.."}), {2, 2}, KernelEllipse},
            // Two runs in the first row: General.
            {"scattered", kernel({"x.x..x.", ".x..xx.", "...x..x", "x....x.", ".xx...x"}), {4, 1}, KernelGeneral}};
}

constexpr int kMaxWidth = 129;

// Builds a state per member set and mask, runs `body(members, state, mask)`.
template <class T, class Body>
void forEachState(Body&& body) {
    for (const auto& m : morphref::stateMembers<T>())
        for (const Mask& mask : masks()) {
            SCOPED_TRACE(::testing::Message() << mask.name << " C" << m.channels);
            MorphologyState* state = nullptr;
            ASSERT_EQ(m.initAlloc(kMaxWidth, mask.k.bytes.data(), mask.k.size, mask.anchor, &state), StatusOk);
            EXPECT_EQ(state->kernelClass, mask.kernelClass);
            body(m, state, mask);
            zaliMorphologyFree(state);
        }
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
                                for (int j = 0; j < mask.k.size.height; ++j)
                                    for (int i = 0; i < mask.k.size.width; ++i) {
                                        if (!mask.k.bytes[j * mask.k.size.width + i]) continue;
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
