// Forty workers on a small machine, more workers than rows included: every
// banded statistic gives the single-worker bits. The images reach the
// banded path for 40 workers (area >= 40 * 2^17); 32f data are small
// integers, so every partial sum is exact and any band split adds up alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "common/test_image.h"

namespace {

struct Planes {
    int w, h;
    std::vector<uint8_t> u8, mask, u8c3;
    std::vector<uint16_t> u16;
    std::vector<float> f32;

    Planes(int width, int height) : w(width), h(height) {
        const std::size_t n = static_cast<std::size_t>(w) * h;
        zaltest::Lcg rng(static_cast<uint64_t>(w) * 31 + h);
        u8.resize(n), mask.resize(n), u16.resize(n), f32.resize(n), u8c3.resize(3 * n);
        for (std::size_t i = 0; i < n; ++i) {
            u8[i] = static_cast<uint8_t>(rng.next());
            mask[i] = rng.next() % 3 ? 1 : 0;
            u16[i] = static_cast<uint16_t>(rng.next());
            f32[i] = static_cast<float>(static_cast<int>(rng.next() % 2001) - 1000);
        }
        for (uint8_t& v : u8c3) v = static_cast<uint8_t>(rng.next());
    }
    ImageSize roi() const { return {w, h}; }
};

// A member's status and outputs. The status is taken before the outputs are
// read (function arguments have no evaluation order).
#define OUTPUTS(decl, call, ...) [](const Planes& p) { decl; const StatusCode st = call; return std::vector<double>{double(st), __VA_ARGS__}; }

const struct {
    const char* name;
    std::function<std::vector<double>(const Planes&)> run;
} kMembers[] = {
    {"Mean_8u_C1MR", OUTPUTS(double v = 0, zaliMean_8u_C1MR(p.u8.data(), p.w, p.mask.data(), p.w, p.roi(), &v), v)},
    {"Mean_StdDev_16u_C1R", OUTPUTS(double m = 0; double s = 0, zaliMean_StdDev_16u_C1R(p.u16.data(), 2 * p.w, p.roi(), &m, &s), m, s)},
    {"Mean_StdDev_32f_C1MR", OUTPUTS(double m = 0; double s = 0, zaliMean_StdDev_32f_C1MR(p.f32.data(), 4 * p.w, p.mask.data(), p.w, p.roi(), &m, &s), m, s)},
    {"MinMaxIndx_32f_C1R", OUTPUTS(float lo = 0; float hi = 0; ImagePoint a{}; ImagePoint b{},
                                   zaliMinMaxIndx_32f_C1R(p.f32.data(), 4 * p.w, p.roi(), &lo, &hi, &a, &b),
                                   lo, hi, double(a.x), double(a.y), double(b.x), double(b.y))},
    {"Norm_L1_16u_C1MR", OUTPUTS(double v = 0, zaliNorm_L1_16u_C1MR(p.u16.data(), 2 * p.w, p.mask.data(), p.w, p.roi(), &v), v)},
    {"Norm_L2_32f_C1MR", OUTPUTS(double v = 0, zaliNorm_L2_32f_C1MR(p.f32.data(), 4 * p.w, p.mask.data(), p.w, p.roi(), &v), v)},
    {"Norm_Inf_8u_C3CMR", OUTPUTS(double v = 0, zaliNorm_Inf_8u_C3CMR(p.u8c3.data(), 3 * p.w, p.mask.data(), p.w, p.roi(), 2, &v), v)},
    {"NormDiff_L2_16u_C1MR", OUTPUTS(double v = 0, zaliNormDiff_L2_16u_C1MR(p.u16.data(), 2 * p.w, reinterpret_cast<const uint16_t*>(p.u8c3.data()),
                                                                            2 * p.w, p.mask.data(), p.w, p.roi(), &v), v)},
    {"NormRel_Inf_32f_C1MR", OUTPUTS(double v = 0, zaliNormRel_Inf_32f_C1MR(p.f32.data(), 4 * p.w, p.f32.data() + 1, 4 * p.w, p.mask.data(), p.w,
                                                                            {p.w - 1, p.h}, &v), v)},
    {"NormRel_L2_8u_C1MR", OUTPUTS(double v = 0, zaliNormRel_L2_8u_C1MR(p.u8.data(), p.w, p.u8c3.data(), p.w, p.mask.data(), p.w, p.roi(), &v), v)},
};

TEST(ManyWorkers, StatisticsMatchOneWorker) {
    // 30 rows: fewer rows than workers, so most bands are empty.
    for (const Planes& p : {Planes(175000, 30), Planes(2300, 2300)}) {
        for (const auto& m : kMembers) {
            const std::vector<double> one = zaltest::expectSameForWorkers({1, 40}, [&] { return m.run(p); }, m.name);
            EXPECT_EQ(one[0], 0.0) << m.name << " " << p.w << "x" << p.h;
        }
    }
}

}  // namespace
