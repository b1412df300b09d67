// Accumulation into float32 images and (masked) statistics: mean, standard
// deviation, minimum/maximum with location and norms.
#include "common.h"

namespace zpy {
namespace {

// ---- Accumulation ------------------------------------------------------------------

using AccSig = StatusCode(const void*, int, float*, int, ImageSize);
using AccMSig = StatusCode(const void*, int, const uint8_t*, int, float*, int, ImageSize);
using ProdSig = StatusCode(const void*, int, const void*, int, float*, int, ImageSize);
using ProdMSig = StatusCode(const void*, int, const void*, int, const uint8_t*, int, float*, int, ImageSize);
using WeightSig = StatusCode(const void*, int, float*, int, ImageSize, float);
using WeightMSig = StatusCode(const void*, int, const uint8_t*, int, float*, int, ImageSize, float);

#define ZPY_ACC(SIG, NAME, T, TD) {Dt::TD, Dt::f32, 1, erase<NAME, SIG>()}
// Plain sums have no unmasked float32 member: the binding selects every pixel
// through a mask of ones, which adds exactly s.
const Member<AccSig> kAdd[] = {
    ZPY_ACC(AccSig, zaliAdd_8u32f_C1IR, uint8_t, u8),
    ZPY_ACC(AccSig, zaliAdd_8s32f_C1IR, int8_t, s8),
    ZPY_ACC(AccSig, zaliAdd_16u32f_C1IR, uint16_t, u16),
};
const Member<AccMSig> kAddM[] = {
    ZPY_ACC(AccMSig, zaliAdd_8u32f_C1IMR, uint8_t, u8),
    ZPY_ACC(AccMSig, zaliAdd_8s32f_C1IMR, int8_t, s8),
    ZPY_ACC(AccMSig, zaliAdd_16u32f_C1IMR, uint16_t, u16),
    ZPY_ACC(AccMSig, zaliAdd_32f_C1IMR, float, f32),
};
const Member<AccSig> kAddSquare[] = {
    ZPY_ACC(AccSig, zaliAddSquare_8u32f_C1IR, uint8_t, u8),
    ZPY_ACC(AccSig, zaliAddSquare_8s32f_C1IR, int8_t, s8),
    ZPY_ACC(AccSig, zaliAddSquare_16u32f_C1IR, uint16_t, u16),
    ZPY_ACC(AccSig, zaliAddSquare_32f_C1IR, float, f32),
};
const Member<AccMSig> kAddSquareM[] = {
    ZPY_ACC(AccMSig, zaliAddSquare_8u32f_C1IMR, uint8_t, u8),
    ZPY_ACC(AccMSig, zaliAddSquare_8s32f_C1IMR, int8_t, s8),
    ZPY_ACC(AccMSig, zaliAddSquare_16u32f_C1IMR, uint16_t, u16),
    ZPY_ACC(AccMSig, zaliAddSquare_32f_C1IMR, float, f32),
};
const Member<ProdSig> kAddProduct[] = {
    ZPY_ACC(ProdSig, zaliAddProduct_8u32f_C1IR, uint8_t, u8),
    ZPY_ACC(ProdSig, zaliAddProduct_8s32f_C1IR, int8_t, s8),
    ZPY_ACC(ProdSig, zaliAddProduct_16u32f_C1IR, uint16_t, u16),
    ZPY_ACC(ProdSig, zaliAddProduct_32f_C1IR, float, f32),
};
const Member<ProdMSig> kAddProductM[] = {
    ZPY_ACC(ProdMSig, zaliAddProduct_8u32f_C1IMR, uint8_t, u8),
    ZPY_ACC(ProdMSig, zaliAddProduct_8s32f_C1IMR, int8_t, s8),
    ZPY_ACC(ProdMSig, zaliAddProduct_16u32f_C1IMR, uint16_t, u16),
    ZPY_ACC(ProdMSig, zaliAddProduct_32f_C1IMR, float, f32),
};
const Member<WeightSig> kAddWeighted[] = {
    ZPY_ACC(WeightSig, zaliAddWeighted_8u32f_C1IR, uint8_t, u8),
    ZPY_ACC(WeightSig, zaliAddWeighted_8s32f_C1IR, int8_t, s8),
    ZPY_ACC(WeightSig, zaliAddWeighted_16u32f_C1IR, uint16_t, u16),
    ZPY_ACC(WeightSig, zaliAddWeighted_32f_C1IR, float, f32),
};
const Member<WeightMSig> kAddWeightedM[] = {
    ZPY_ACC(WeightMSig, zaliAddWeighted_8u32f_C1IMR, uint8_t, u8),
    ZPY_ACC(WeightMSig, zaliAddWeighted_8s32f_C1IMR, int8_t, s8),
    ZPY_ACC(WeightMSig, zaliAddWeighted_16u32f_C1IMR, uint16_t, u16),
    ZPY_ACC(WeightMSig, zaliAddWeighted_32f_C1IMR, float, f32),
};
#undef ZPY_ACC

// The optional mask of an operation: a one-channel uint8 image of the source
// size, or (when `required`) a mask of ones standing for "every pixel".
Image maskOf(py::handle mask, const Image& like, const char* op, bool required) {
    if (mask.is_none()) {
        if (!required) return {};
        py::object np = py::module_::import("numpy");
        return input(np.attr("ones")(py::make_tuple(like.height, like.width), "uint8"), "mask");
    }
    Image M = input(mask, "mask");
    if (M.dt != Dt::u8) throwType(std::string(op) + ": 'mask' must be uint8 (non-zero selects)");
    requireSameSize(like, M, op, "mask");
    return M;
}

struct Acc {
    Image src, acc, mask;
};

Acc accArgs(py::handle src, py::handle acc, py::handle mask, const char* op, bool needMask) {
    Acc a{input(src, "src"), inplace(acc, "acc"), {}};
    if (a.acc.dt != Dt::f32) throwType(std::string(op) + ": 'acc' must be float32");
    requireSameSize(a.acc, a.src, op, "src");
    a.mask = maskOf(mask, a.src, op, needMask);
    return a;
}

py::array accumulate(py::object src, py::object acc, py::object mask) {
    Acc a = accArgs(src, acc, mask, "accumulate", false);
    if (!a.mask.data && a.src.dt == Dt::f32) a.mask = maskOf(mask, a.src, "accumulate", true);
    float* d = a.acc.ptr<float>();
    if (a.mask.data) {
        auto* fn = pick(kAddM, a.src.dt, Dt::none, 1, "accumulate");
        check(run([&] { return fn(a.src.raw(), a.src.step, a.mask.ptr<uint8_t>(), a.mask.step, d, a.acc.step, a.src.size()); }),
              "accumulate");
    } else {
        auto* fn = pick(kAdd, a.src.dt, Dt::none, 1, "accumulate");
        check(run([&] { return fn(a.src.raw(), a.src.step, d, a.acc.step, a.src.size()); }), "accumulate");
    }
    return a.acc.array;
}

py::array accumulateSquare(py::object src, py::object acc, py::object mask) {
    Acc a = accArgs(src, acc, mask, "accumulate_square", false);
    float* d = a.acc.ptr<float>();
    if (a.mask.data) {
        auto* fn = pick(kAddSquareM, a.src.dt, Dt::none, 1, "accumulate_square");
        check(run([&] { return fn(a.src.raw(), a.src.step, a.mask.ptr<uint8_t>(), a.mask.step, d, a.acc.step, a.src.size()); }),
              "accumulate_square");
    } else {
        auto* fn = pick(kAddSquare, a.src.dt, Dt::none, 1, "accumulate_square");
        check(run([&] { return fn(a.src.raw(), a.src.step, d, a.acc.step, a.src.size()); }), "accumulate_square");
    }
    return a.acc.array;
}

py::array accumulateProduct(py::object src1, py::object src2, py::object acc, py::object mask) {
    Acc a = accArgs(src1, acc, mask, "accumulate_product", false);
    const Image s2 = input(src2, "src2");
    requireSameShape(a.src, s2, "accumulate_product", "src2");
    float* d = a.acc.ptr<float>();
    if (a.mask.data) {
        auto* fn = pick(kAddProductM, a.src.dt, Dt::none, 1, "accumulate_product");
        check(run([&] {
                  return fn(a.src.raw(), a.src.step, s2.raw(), s2.step, a.mask.ptr<uint8_t>(), a.mask.step, d, a.acc.step,
                            a.src.size());
              }),
              "accumulate_product");
    } else {
        auto* fn = pick(kAddProduct, a.src.dt, Dt::none, 1, "accumulate_product");
        check(run([&] { return fn(a.src.raw(), a.src.step, s2.raw(), s2.step, d, a.acc.step, a.src.size()); }),
              "accumulate_product");
    }
    return a.acc.array;
}

py::array accumulateWeighted(py::object src, py::object acc, py::object alpha, py::object mask) {
    Acc a = accArgs(src, acc, mask, "accumulate_weighted", false);
    const float al = toF32(alpha, "alpha");
    float* d = a.acc.ptr<float>();
    if (a.mask.data) {
        auto* fn = pick(kAddWeightedM, a.src.dt, Dt::none, 1, "accumulate_weighted");
        check(run([&] {
                  return fn(a.src.raw(), a.src.step, a.mask.ptr<uint8_t>(), a.mask.step, d, a.acc.step, a.src.size(), al);
              }),
              "accumulate_weighted");
    } else {
        auto* fn = pick(kAddWeighted, a.src.dt, Dt::none, 1, "accumulate_weighted");
        check(run([&] { return fn(a.src.raw(), a.src.step, d, a.acc.step, a.src.size(), al); }), "accumulate_weighted");
    }
    return a.acc.array;
}

// ---- Statistics over one channel ----------------------------------------------------------
// Every statistic has a one-channel member and a three-channel member reading
// channel `coi` (1..3). The tables below pair them; a three-channel image
// without `channel` gives one result per channel.

using MeanSig = StatusCode(const void*, int, const uint8_t*, int, ImageSize, int, double*);
using MeanStdSig = StatusCode(const void*, int, ImageSize, int, double*, double*);
using MeanStdMSig = StatusCode(const void*, int, const uint8_t*, int, ImageSize, int, double*, double*);
using MinMaxSig = StatusCode(const void*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*);
using MinMaxMSig = StatusCode(const void*, int, const uint8_t*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*);
using NormSig = StatusCode(const void*, int, const uint8_t*, int, ImageSize, int, double*);
using NormDiffSig = StatusCode(const void*, int, const void*, int, const uint8_t*, int, ImageSize, int, double*);

// Adapters giving the one-channel members the coi parameter of the C3C ones.
template <auto F, class T> StatusCode meanC1(const void* s, int ss, const uint8_t* m, int ms, ImageSize r, int, double* o) {
    return F(static_cast<const T*>(s), ss, m, ms, r, o);
}
template <auto F, class T> StatusCode meanStdC1(const void* s, int ss, ImageSize r, int, double* a, double* b) {
    return F(static_cast<const T*>(s), ss, r, a, b);
}
template <auto F, class T>
StatusCode meanStdMC1(const void* s, int ss, const uint8_t* m, int ms, ImageSize r, int, double* a, double* b) {
    return F(static_cast<const T*>(s), ss, m, ms, r, a, b);
}
template <auto F, class T>
StatusCode minMaxC1(const void* s, int ss, ImageSize r, int, float* a, float* b, ImagePoint* c, ImagePoint* d) {
    return F(static_cast<const T*>(s), ss, r, a, b, c, d);
}
template <auto F, class T>
StatusCode minMaxMC1(const void* s, int ss, const uint8_t* m, int ms, ImageSize r, int, float* a, float* b, ImagePoint* c,
                     ImagePoint* d) {
    return F(static_cast<const T*>(s), ss, m, ms, r, a, b, c, d);
}
template <auto F, class T>
StatusCode normDiffC1(const void* s, int ss, const void* t, int ts, const uint8_t* m, int ms, ImageSize r, int, double* o) {
    return F(static_cast<const T*>(s), ss, static_cast<const T*>(t), ts, m, ms, r, o);
}

#define ZPY_STAT4(SIG, ADAPT, STEM, TAIL1, TAIL3)                                            \
    {Dt::u8, Dt::none, 1, &ADAPT<STEM##_8u_##TAIL1, uint8_t>},                               \
    {Dt::u8, Dt::none, 3, erase<STEM##_8u_##TAIL3, SIG>()},                                  \
    {Dt::s8, Dt::none, 1, &ADAPT<STEM##_8s_##TAIL1, int8_t>},                                \
    {Dt::s8, Dt::none, 3, erase<STEM##_8s_##TAIL3, SIG>()},                                  \
    {Dt::u16, Dt::none, 1, &ADAPT<STEM##_16u_##TAIL1, uint16_t>},                            \
    {Dt::u16, Dt::none, 3, erase<STEM##_16u_##TAIL3, SIG>()},                                \
    {Dt::f32, Dt::none, 1, &ADAPT<STEM##_32f_##TAIL1, float>},                               \
    {Dt::f32, Dt::none, 3, erase<STEM##_32f_##TAIL3, SIG>()}

const Member<MeanSig> kMean[] = {ZPY_STAT4(MeanSig, meanC1, zaliMean, C1MR, C3CMR)};
const Member<MeanStdSig> kMeanStd[] = {ZPY_STAT4(MeanStdSig, meanStdC1, zaliMean_StdDev, C1R, C3CR)};
const Member<MeanStdMSig> kMeanStdM[] = {ZPY_STAT4(MeanStdMSig, meanStdMC1, zaliMean_StdDev, C1MR, C3CMR)};
const Member<MinMaxSig> kMinMax[] = {ZPY_STAT4(MinMaxSig, minMaxC1, zaliMinMaxIndx, C1R, C3CR)};
const Member<MinMaxMSig> kMinMaxM[] = {ZPY_STAT4(MinMaxMSig, minMaxMC1, zaliMinMaxIndx, C1MR, C3CMR)};
const Member<NormSig> kNorm[3][8] = {
    {ZPY_STAT4(NormSig, meanC1, zaliNorm_Inf, C1MR, C3CMR)},
    {ZPY_STAT4(NormSig, meanC1, zaliNorm_L1, C1MR, C3CMR)},
    {ZPY_STAT4(NormSig, meanC1, zaliNorm_L2, C1MR, C3CMR)},
};
const Member<NormDiffSig> kNormDiff[3][8] = {
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormDiff_Inf, C1MR, C3CMR)},
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormDiff_L1, C1MR, C3CMR)},
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormDiff_L2, C1MR, C3CMR)},
};
const Member<NormDiffSig> kNormRel[3][8] = {
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormRel_Inf, C1MR, C3CMR)},
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormRel_L1, C1MR, C3CMR)},
    {ZPY_STAT4(NormDiffSig, normDiffC1, zaliNormRel_L2, C1MR, C3CMR)},
};
#undef ZPY_STAT4

// The channels a statistic is computed for: {0} (unused) for one channel,
// {channel + 1} when given, else {1, 2, 3}.
std::vector<int> coisOf(const Image& im, py::handle channel) {
    if (im.channels == 1) {
        if (!channel.is_none() && toInt(channel, "channel") != 0)
            throwValue("'channel' must be None or 0 for a one-channel image");
        return {0};
    }
    if (!channel.is_none()) {
        const long long c = toInt(channel, "channel");
        return {static_cast<int>(std::clamp<long long>(c + 1, INT_MIN, INT_MAX))};
    }
    return {1, 2, 3};
}

// One value per computed channel: a scalar, or a tuple for all three channels.
template <class F> py::object perChannel(const std::vector<int>& cois, F&& one) {
    if (cois.size() == 1) return one(cois[0]);
    py::list items;
    for (int c : cois) items.append(one(c));
    return py::tuple(items);
}

#define kChannelArg {{-52, "channel"}}

py::object mean(py::object img, py::object mask, py::object channel) {
    const Image S = input(img, "img", C13);
    const Image M = maskOf(mask, S, "mean", false);
    return perChannel(coisOf(S, channel), [&](int coi) -> py::object {
        double v = 0;
        if (M.data) {
            auto* fn = pick(kMean, S.dt, Dt::none, S.channels, "mean");
            check(run([&] { return fn(S.raw(), S.step, M.ptr<uint8_t>(), M.step, S.size(), coi, &v); }), "mean", kChannelArg);
        } else {
            auto* fn = pick(kMeanStd, S.dt, Dt::none, S.channels, "mean");
            check(run([&] { return fn(S.raw(), S.step, S.size(), coi, &v, nullptr); }), "mean", kChannelArg);
        }
        return py::float_(v);
    });
}

py::tuple meanStd(py::object img, py::object mask, py::object channel) {
    const Image S = input(img, "img", C13);
    const Image M = maskOf(mask, S, "mean_std", false);
    py::list means, devs;
    const auto cois = coisOf(S, channel);
    for (int coi : cois) {
        double mu = 0, sd = 0;
        if (M.data) {
            auto* fn = pick(kMeanStdM, S.dt, Dt::none, S.channels, "mean_std");
            check(run([&] { return fn(S.raw(), S.step, M.ptr<uint8_t>(), M.step, S.size(), coi, &mu, &sd); }), "mean_std",
                  kChannelArg);
        } else {
            auto* fn = pick(kMeanStd, S.dt, Dt::none, S.channels, "mean_std");
            check(run([&] { return fn(S.raw(), S.step, S.size(), coi, &mu, &sd); }), "mean_std", kChannelArg);
        }
        means.append(mu);
        devs.append(sd);
    }
    if (cois.size() == 1) return py::make_tuple(means[0], devs[0]);
    return py::make_tuple(py::tuple(means), py::tuple(devs));
}

py::object minMaxLoc(py::object img, py::object mask, py::object channel) {
    const Image S = input(img, "img", C13);
    const Image M = maskOf(mask, S, "min_max_loc", false);
    return perChannel(coisOf(S, channel), [&](int coi) -> py::object {
        float lo = 0, hi = 0;
        ImagePoint at{0, 0}, bt{0, 0};
        if (M.data) {
            auto* fn = pick(kMinMaxM, S.dt, Dt::none, S.channels, "min_max_loc");
            check(run([&] { return fn(S.raw(), S.step, M.ptr<uint8_t>(), M.step, S.size(), coi, &lo, &hi, &at, &bt); }),
                  "min_max_loc", kChannelArg);
        } else {
            auto* fn = pick(kMinMax, S.dt, Dt::none, S.channels, "min_max_loc");
            check(run([&] { return fn(S.raw(), S.step, S.size(), coi, &lo, &hi, &at, &bt); }), "min_max_loc", kChannelArg);
        }
        return py::make_tuple(lo, hi, py::make_tuple(at.x, at.y), py::make_tuple(bt.x, bt.y));
    });
}

py::object norm(py::object a, py::object b, py::object kind, py::object mask, bool relative, py::object channel) {
    const int k = parseChoice(kind, "kind", {{"inf", 0}, {"l1", 1}, {"l2", 2}});
    const Image A = input(a, "a", C13);
    const Image M = maskOf(mask, A, "norm", true);
    const auto cois = coisOf(A, channel);
    if (b.is_none()) {
        if (relative) throwValue("norm: relative=True needs 'b'");
        auto* fn = pick(kNorm[k], A.dt, Dt::none, A.channels, "norm");
        return perChannel(cois, [&](int coi) -> py::object {
            double v = 0;
            check(run([&] { return fn(A.raw(), A.step, M.ptr<uint8_t>(), M.step, A.size(), coi, &v); }), "norm", kChannelArg);
            return py::float_(v);
        });
    }
    const Image B = input(b, "b", C13);
    requireSameShape(A, B, "norm", "b");
    auto* fn = pick(relative ? kNormRel[k] : kNormDiff[k], A.dt, Dt::none, A.channels, "norm");
    return perChannel(cois, [&](int coi) -> py::object {
        double v = 0;
        check(run([&] { return fn(A.raw(), A.step, B.raw(), B.step, M.ptr<uint8_t>(), M.step, A.size(), coi, &v); }), "norm",
              kChannelArg);
        return py::float_(v);
    });
}

}  // namespace

void bindStats(py::module_& m) {
    m.def("accumulate", &accumulate, py::arg("src"), py::arg("acc"), py::kw_only(), py::arg("mask") = py::none(),
          "acc += src in single precision, in place on the float32 accumulator `acc` (returned). `src`\n"
          "is uint8, int8, uint16 or float32 of the same size; with `mask` only the selected pixels\n"
          "change (masking is arithmetic: an unselected pixel gets + 0.0).");
    m.def("accumulate_square", &accumulateSquare, py::arg("src"), py::arg("acc"), py::kw_only(),
          py::arg("mask") = py::none(), "acc += src * src, in place; as `accumulate`.");
    m.def("accumulate_product", &accumulateProduct, py::arg("src1"), py::arg("src2"), py::arg("acc"), py::kw_only(),
          py::arg("mask") = py::none(), "acc += src1 * src2, in place; as `accumulate`.");
    m.def("accumulate_weighted", &accumulateWeighted, py::arg("src"), py::arg("acc"), py::arg("alpha"), py::kw_only(),
          py::arg("mask") = py::none(),
          "acc += (src - acc) * alpha (a running average), in place; as `accumulate`.");
    m.def("mean", &mean, py::arg("img"), py::arg("mask") = py::none(), py::kw_only(), py::arg("channel") = py::none(),
          "Mean of the (masked) pixels in double precision; uint8, int8, uint16 or float32 with 1 or 3\n"
          "channels. A 3-channel image gives a tuple of three means unless `channel` (0..2) picks one.\n"
          "An empty selection gives 0.0.");
    m.def("mean_std", &meanStd, py::arg("img"), py::arg("mask") = py::none(), py::kw_only(),
          py::arg("channel") = py::none(),
          "(mean, population standard deviation) of the (masked) pixels; per channel as in `mean`.");
    m.def("min_max_loc", &minMaxLoc, py::arg("img"), py::arg("mask") = py::none(), py::kw_only(),
          py::arg("channel") = py::none(),
          "(min, max, (x, y) of the first minimum, (x, y) of the first maximum) in raster order over the\n"
          "(masked) pixels; per channel as in `mean`. An empty selection gives (0.0, 0.0, (0, 0), (0, 0)).");
    m.def("norm", &norm, py::arg("a"), py::arg("b") = py::none(), py::arg("kind") = "l2", py::arg("mask") = py::none(),
          py::kw_only(), py::arg("relative") = false, py::arg("channel") = py::none(),
          "Norm of `a` ('inf', 'l1' or 'l2'), of a - b when `b` is given, or with relative=True the norm\n"
          "of a - b divided by the norm of b (DivisionByZeroWarning and inf/NaN when that is 0). Over the\n"
          "pixels `mask` selects (all when None); per channel as in `mean`.");
}

}  // namespace zpy
