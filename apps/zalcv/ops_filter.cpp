// Filter operations: Sobel, Scharr, Laplacian, box blur, minimum/maximum.
#include "cli.h"

namespace cli {
namespace {

using Query = StatusCode (*)(ImageSize, ApertureSize, int*);
using Fixed8u16s = StatusCode (*)(const uint8_t*, int, int16_t*, int, ImageSize, ApertureSize, BorderKind, uint8_t, uint8_t*);
using Fixed32f = StatusCode (*)(const float*, int, float*, int, ImageSize, ApertureSize, BorderKind, float, uint8_t*);

struct FixedFilter {
    const char* name8;
    Query query8;
    Fixed8u16s run8;
    const char* name32;
    Query query32;
    Fixed32f run32;
};

// 8-bit gray gives a signed 16-bit result, 32-bit float gray a float one.
void runFixed(const Args& args, const FixedFilter& f, ApertureSize mask) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    const BorderKind border = borderOf(args);
    int bytes = 0;
    if (src.depth == Depth::U8) {
        const uint8_t borderValue = args.byte("border-value");
        check(f.query8(src.roi(), mask, &bytes), f.name8);
        WorkBuffer work(bytes);
        Image dst(src.width, src.height, 1, Depth::S16);
        check(f.run8(src.data<uint8_t>(), src.step(), dst.data<int16_t>(), dst.step(), src.roi(), mask, border,
                     borderValue, work.get()),
              f.name8);
        writeOutput(args, 0, dst);
    } else {
        check(f.query32(src.roi(), mask, &bytes), f.name32);
        WorkBuffer work(bytes);
        Image dst(src.width, src.height, 1, Depth::F32);
        check(f.run32(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), mask, border, args.real("border-value"),
                      work.get()),
              f.name32);
        writeOutput(args, 0, dst);
    }
}

#define FIXED(op) \
    FixedFilter { #op "_8u16s_C1R", op##GetBufferSize_8u16s_C1R, op##Border_8u16s_C1R, #op "_32f_C1R", op##GetBufferSize_32f_C1R, op##Border_32f_C1R }

ApertureSize apertureOf(const Args& args) { return args.text("ksize") == "5" ? Aperture5x5 : Aperture3x3; }

OptSpec borderOption() { return {"border", OptKind::Choice, "replicate", "border rule", 0, 0, borderChoices()}; }
OptSpec borderValueOption() { return {"border-value", OptKind::Float, "0", "pixel value beyond the edge for --border constant"}; }
OptSpec ksizeOption() { return {"ksize", OptKind::Choice, "3", "aperture 3x3 or 5x5", 0, 0, {"3", "5"}}; }

void runSobel(const Args& args) {
    const int dx = args.integer("dx"), dy = args.integer("dy");
    const ApertureSize mask = apertureOf(args);
    if (dx == 1 && dy == 0) return runFixed(args, FIXED(zaliFilterSobelNegVert), mask);
    if (dx == 0 && dy == 1) return runFixed(args, FIXED(zaliFilterSobelHoriz), mask);
    if (dx == 2 && dy == 0) return runFixed(args, FIXED(zaliFilterSobelVertSecond), mask);
    if (dx == 0 && dy == 2) return runFixed(args, FIXED(zaliFilterSobelHorizSecond), mask);
    if (dx == 1 && dy == 1) return runFixed(args, FIXED(zaliFilterSobelCross), mask);
    fail("options --dx " + std::to_string(dx) + " --dy " + std::to_string(dy) +
         ": the derivative orders are 1 0, 0 1, 2 0, 0 2 or 1 1");
}

// Scharr has no aperture choice: adapt its size queries to the common shape.
StatusCode scharrHorizQuery8(ImageSize r, ApertureSize, int* n) { return zaliFilterScharrHorizGetBufferSize_8u16s_C1R(r, n); }
StatusCode scharrHorizQuery32(ImageSize r, ApertureSize, int* n) { return zaliFilterScharrHorizGetBufferSize_32f_C1R(r, n); }
StatusCode scharrVertQuery8(ImageSize r, ApertureSize, int* n) { return zaliFilterScharrVertGetBufferSize_8u16s_C1R(r, n); }
StatusCode scharrVertQuery32(ImageSize r, ApertureSize, int* n) { return zaliFilterScharrVertGetBufferSize_32f_C1R(r, n); }
StatusCode scharrHoriz8(const uint8_t* s, int ss, int16_t* d, int ds, ImageSize r, ApertureSize, BorderKind b, uint8_t v, uint8_t* w) {
    return zaliFilterScharrHorizBorder_8u16s_C1R(s, ss, d, ds, r, b, v, w);
}
StatusCode scharrHoriz32(const float* s, int ss, float* d, int ds, ImageSize r, ApertureSize, BorderKind b, float v, uint8_t* w) {
    return zaliFilterScharrHorizBorder_32f_C1R(s, ss, d, ds, r, b, v, w);
}
StatusCode scharrVert8(const uint8_t* s, int ss, int16_t* d, int ds, ImageSize r, ApertureSize, BorderKind b, uint8_t v, uint8_t* w) {
    return zaliFilterScharrVertBorder_8u16s_C1R(s, ss, d, ds, r, b, v, w);
}
StatusCode scharrVert32(const float* s, int ss, float* d, int ds, ImageSize r, ApertureSize, BorderKind b, float v, uint8_t* w) {
    return zaliFilterScharrVertBorder_32f_C1R(s, ss, d, ds, r, b, v, w);
}

void runScharr(const Args& args) {
    const int dx = args.integer("dx"), dy = args.integer("dy");
    if (dx == 1 && dy == 0)
        return runFixed(args,
                        {"zaliFilterScharrVertBorder_8u16s_C1R", scharrVertQuery8, scharrVert8,
                         "zaliFilterScharrVertBorder_32f_C1R", scharrVertQuery32, scharrVert32},
                        Aperture3x3);
    if (dx == 0 && dy == 1)
        return runFixed(args,
                        {"zaliFilterScharrHorizBorder_8u16s_C1R", scharrHorizQuery8, scharrHoriz8,
                         "zaliFilterScharrHorizBorder_32f_C1R", scharrHorizQuery32, scharrHoriz32},
                        Aperture3x3);
    fail("options --dx " + std::to_string(dx) + " --dy " + std::to_string(dy) + ": the derivative orders are 1 0 or 0 1");
}

void runLaplacian(const Args& args) { runFixed(args, FIXED(zaliFilterLaplacian), apertureOf(args)); }

void runBlur(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    const ApertureSize mask = apertureOf(args);
    const BorderKind border = borderOf(args);
    Image dst(src.width, src.height, 1, src.depth);
    int bytes = 0;
    if (src.depth == Depth::U8) {
        const uint8_t value = args.byte("border-value");
        check(zaliFilterLowpassGetBufferSize_8u_C1R(src.roi(), mask, &bytes), "zaliFilterLowpassGetBufferSize_8u_C1R");
        WorkBuffer work(bytes);
        check(zaliFilterLowpassBorder_8u_C1R(src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(),
                                             mask, border, value, work.get()),
              "zaliFilterLowpassBorder_8u_C1R");
    } else {
        check(zaliFilterLowpassGetBufferSize_32f_C1R(src.roi(), mask, &bytes), "zaliFilterLowpassGetBufferSize_32f_C1R");
        WorkBuffer work(bytes);
        check(zaliFilterLowpassBorder_32f_C1R(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(),
                                              mask, border, args.real("border-value"), work.get()),
              "zaliFilterLowpassBorder_32f_C1R");
    }
    writeOutput(args, 0, dst);
}

// ---- Rectangular minimum / maximum ----
template <class T>
using RankFilter = StatusCode (*)(const T*, int, T*, int, ImageSize, ImageSize, ImagePoint, uint8_t*);
using RankQuery = StatusCode (*)(int, ImageSize, int*);

struct RankMembers {
    RankQuery query8[3];
    RankFilter<uint8_t> run8[3];
    RankQuery query32[3];
    RankFilter<float> run32[3];
};

const RankMembers kMin = {
    {zaliFilterMinGetBufferSize_8u_C1R, zaliFilterMinGetBufferSize_8u_C3R, zaliFilterMinGetBufferSize_8u_C4R},
    {zaliFilterMinBorderReplicate_8u_C1R, zaliFilterMinBorderReplicate_8u_C3R, zaliFilterMinBorderReplicate_8u_C4R},
    {zaliFilterMinGetBufferSize_32f_C1R, zaliFilterMinGetBufferSize_32f_C3R, zaliFilterMinGetBufferSize_32f_C4R},
    {zaliFilterMinBorderReplicate_32f_C1R, zaliFilterMinBorderReplicate_32f_C3R, zaliFilterMinBorderReplicate_32f_C4R}};
const RankMembers kMax = {
    {zaliFilterMaxGetBufferSize_8u_C1R, zaliFilterMaxGetBufferSize_8u_C3R, zaliFilterMaxGetBufferSize_8u_C4R},
    {zaliFilterMaxBorderReplicate_8u_C1R, zaliFilterMaxBorderReplicate_8u_C3R, zaliFilterMaxBorderReplicate_8u_C4R},
    {zaliFilterMaxGetBufferSize_32f_C1R, zaliFilterMaxGetBufferSize_32f_C3R, zaliFilterMaxGetBufferSize_32f_C4R},
    {zaliFilterMaxBorderReplicate_32f_C1R, zaliFilterMaxBorderReplicate_32f_C3R, zaliFilterMaxBorderReplicate_32f_C4R}};

const std::vector<Kind> kColourKinds = {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::U8, 4},
                                        {Depth::F32, 1}, {Depth::F32, 3}, {Depth::F32, 4}};

void runRank(const Args& args, const RankMembers& m, const char* what) {
    const Image src = readInput(args, 0, kColourKinds);
    const ImageSize mask = args.size("size");
    const ImagePoint anchor = args.has("anchor") ? args.point("anchor") : ImagePoint{mask.width / 2, mask.height / 2};
    if (anchor.x < 0 || anchor.y < 0 || anchor.x >= mask.width || anchor.y >= mask.height)
        fail("option --anchor: " + args.text("anchor") + " lies outside the " + args.text("size") + " window");
    const int c = src.channels == 1 ? 0 : (src.channels == 3 ? 1 : 2);
    Image dst(src.width, src.height, src.channels, src.depth);
    int bytes = 0;
    const std::string fn = std::string("zaliFilter") + what + "BorderReplicate";
    if (src.depth == Depth::U8) {
        check(m.query8[c](src.width, mask, &bytes), (fn + " size query").c_str());
        WorkBuffer work(bytes);
        check(m.run8[c](src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), mask, anchor, work.get()),
              fn.c_str());
    } else {
        check(m.query32[c](src.width, mask, &bytes), (fn + " size query").c_str());
        WorkBuffer work(bytes);
        check(m.run32[c](src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), mask, anchor, work.get()),
              fn.c_str());
    }
    writeOutput(args, 0, dst);
}

const char* const kFixedTakes =
    "8-bit gray (result signed 16-bit: write .tiff/.npy, or --normalize) or 32-bit float gray (result float)";

const OpRegistrar sobel({"sobel", "filter", "Sobel derivative (first, second or cross) with a 3x3 or 5x5 aperture",
                         {"INPUT"}, {"OUTPUT"}, false,
                         {{"dx", OptKind::Int, "1", "derivative order in x", 0, 2},
                          {"dy", OptKind::Int, "0", "derivative order in y", 0, 2},
                          ksizeOption(), borderOption(), borderValueOption()},
                         kFixedTakes,
                         "dx 1 is positive where brightness rises to the right, dy 1 where it rises downward;\n"
                         "dx 1 dy 1 is the cross filter (row 1 0 -1, column -1 0 1).",
                         runSobel});

const OpRegistrar scharr({"scharr", "filter", "Scharr 3x3 derivative in x or y", {"INPUT"}, {"OUTPUT"}, false,
                          {{"dx", OptKind::Int, "1", "derivative order in x", 0, 1},
                           {"dy", OptKind::Int, "0", "derivative order in y", 0, 1},
                           borderOption(), borderValueOption()},
                          kFixedTakes, "", runScharr});

const OpRegistrar laplacian({"laplacian", "filter", "Laplacian with a 3x3 or 5x5 aperture", {"INPUT"}, {"OUTPUT"}, false,
                             {ksizeOption(), borderOption(), borderValueOption()}, kFixedTakes, "", runLaplacian});

const OpRegistrar blur({"blur", "filter", "box mean over 3x3 or 5x5 pixels", {"INPUT"}, {"OUTPUT"}, false,
                        {ksizeOption(), borderOption(), borderValueOption()},
                        "8-bit gray or 32-bit float gray (same type out)", "", runBlur});

const std::vector<OptSpec> kRankOptions = {
    {"size", OptKind::Size, "3x3", "window size WxH (or N for NxN)"},
    {"anchor", OptKind::Point, "", "window position of the output pixel (default: the centre)"}};

const OpRegistrar minfilter({"minfilter", "filter", "minimum over a rectangular window (replicated border)", {"INPUT"},
                             {"OUTPUT"}, false, kRankOptions,
                             "8-bit or 32-bit float gray, RGB or RGBA (same type out)", "",
                             [](const Args& a) { runRank(a, kMin, "Min"); }});

const OpRegistrar maxfilter({"maxfilter", "filter", "maximum over a rectangular window (replicated border)", {"INPUT"},
                             {"OUTPUT"}, false, kRankOptions,
                             "8-bit or 32-bit float gray, RGB or RGBA (same type out)", "",
                             [](const Args& a) { runRank(a, kMax, "Max"); }});

}  // namespace
}  // namespace cli
