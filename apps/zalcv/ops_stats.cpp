// Statistics: mean, deviation, extremes with their positions and norms of
// every channel, optionally over the pixels of a mask; text or JSON.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli.h"

namespace cli {
namespace {

template <class T>
struct StatsMembers {
    StatusCode (*meanStd1)(const T*, int, ImageSize, double*, double*);
    StatusCode (*meanStd3)(const T*, int, ImageSize, int, double*, double*);
    StatusCode (*meanStdM1)(const T*, int, const uint8_t*, int, ImageSize, double*, double*);
    StatusCode (*meanStdM3)(const T*, int, const uint8_t*, int, ImageSize, int, double*, double*);
    StatusCode (*minMax1)(const T*, int, ImageSize, float*, float*, ImagePoint*, ImagePoint*);
    StatusCode (*minMax3)(const T*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*);
    StatusCode (*minMaxM1)(const T*, int, const uint8_t*, int, ImageSize, float*, float*, ImagePoint*, ImagePoint*);
    StatusCode (*minMaxM3)(const T*, int, const uint8_t*, int, ImageSize, int, float*, float*, ImagePoint*, ImagePoint*);
    StatusCode (*norm1[3])(const T*, int, const uint8_t*, int, ImageSize, double*);
    StatusCode (*norm3[3])(const T*, int, const uint8_t*, int, ImageSize, int, double*);
};

#define STATS_MEMBERS(t)                                                                                        \
    {zaliMean_StdDev_##t##_C1R, zaliMean_StdDev_##t##_C3CR, zaliMean_StdDev_##t##_C1MR,                        \
     zaliMean_StdDev_##t##_C3CMR, zaliMinMaxIndx_##t##_C1R, zaliMinMaxIndx_##t##_C3CR,                         \
     zaliMinMaxIndx_##t##_C1MR, zaliMinMaxIndx_##t##_C3CMR,                                                    \
     {zaliNorm_Inf_##t##_C1MR, zaliNorm_L1_##t##_C1MR, zaliNorm_L2_##t##_C1MR},                                \
     {zaliNorm_Inf_##t##_C3CMR, zaliNorm_L1_##t##_C3CMR, zaliNorm_L2_##t##_C3CMR}}

const StatsMembers<uint8_t> k8u = STATS_MEMBERS(8u);
const StatsMembers<int8_t> k8s = STATS_MEMBERS(8s);
const StatsMembers<uint16_t> k16u = STATS_MEMBERS(16u);
const StatsMembers<float> k32f = STATS_MEMBERS(32f);

struct ChannelStats {
    double mean = 0, stddev = 0, norms[3] = {0, 0, 0};
    float min = 0, max = 0;
    ImagePoint minAt{0, 0}, maxAt{0, 0};
};

template <class T>
std::vector<ChannelStats> measure(const Image& img, const Image* mask, const StatsMembers<T>& m) {
    const T* p = img.data<T>();
    const int step = img.step();
    const ImageSize roi = img.roi();
    // The norms exist only with a mask: select every pixel when none is given.
    Image all;
    if (!mask) {
        all = Image(img.width, img.height, 1, Depth::U8);
        std::fill(all.bytes.begin(), all.bytes.end(), uint8_t{255});
    }
    const Image& sel = mask ? *mask : all;
    const uint8_t* mp = sel.data<uint8_t>();
    const int ms = sel.step();
    std::vector<ChannelStats> out(static_cast<std::size_t>(img.channels));
    for (int c = 0; c < img.channels; ++c) {
        ChannelStats& s = out[static_cast<std::size_t>(c)];
        const int coi = c + 1;
        if (img.channels == 1) {
            check(mask ? m.meanStdM1(p, step, mp, ms, roi, &s.mean, &s.stddev) : m.meanStd1(p, step, roi, &s.mean, &s.stddev),
                  "zaliMean_StdDev");
            check(mask ? m.minMaxM1(p, step, mp, ms, roi, &s.min, &s.max, &s.minAt, &s.maxAt)
                       : m.minMax1(p, step, roi, &s.min, &s.max, &s.minAt, &s.maxAt),
                  "zaliMinMaxIndx");
            for (int k = 0; k < 3; ++k) check(m.norm1[k](p, step, mp, ms, roi, &s.norms[k]), "zaliNorm");
        } else {
            check(mask ? m.meanStdM3(p, step, mp, ms, roi, coi, &s.mean, &s.stddev)
                       : m.meanStd3(p, step, roi, coi, &s.mean, &s.stddev),
                  "zaliMean_StdDev");
            check(mask ? m.minMaxM3(p, step, mp, ms, roi, coi, &s.min, &s.max, &s.minAt, &s.maxAt)
                       : m.minMax3(p, step, roi, coi, &s.min, &s.max, &s.minAt, &s.maxAt),
                  "zaliMinMaxIndx");
            for (int k = 0; k < 3; ++k) check(m.norm3[k](p, step, mp, ms, roi, coi, &s.norms[k]), "zaliNorm");
        }
    }
    return out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string num(double v, bool json) {
    if (json && !std::isfinite(v)) return std::isnan(v) ? "null" : (v > 0 ? "1e999" : "-1e999");
    char buf[40];
    std::snprintf(buf, sizeof buf, json ? "%.17g" : "%.6g", v);
    return buf;
}

void runStats(const Args& args) {
    const Image img = readInput(args, 0,
                                {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::U16, 1}, {Depth::U16, 3}, {Depth::F32, 1},
                                 {Depth::F32, 3}, {Depth::S8, 1}, {Depth::S8, 3}});
    Image mask;
    const bool masked = args.has("mask");
    if (masked) mask = readMask(args.text("mask"), "--mask", img.width, img.height);
    std::size_t selected = static_cast<std::size_t>(img.width) * img.height;
    if (masked) {
        selected = 0;
        for (uint8_t v : mask.bytes) selected += v != 0;
    }
    const Image* mp = masked ? &mask : nullptr;
    std::vector<ChannelStats> stats;
    switch (img.depth) {
        case Depth::U8: stats = measure(img, mp, k8u); break;
        case Depth::S8: stats = measure(img, mp, k8s); break;
        case Depth::U16: stats = measure(img, mp, k16u); break;
        default: stats = measure(img, mp, k32f); break;
    }
    const bool json = args.flag("json");
    std::string out;
    if (json) {
        out = "{\"file\": " + jsonString(args.inputs[0]) + ", \"width\": " + std::to_string(img.width) +
              ", \"height\": " + std::to_string(img.height) + ", \"type\": " + jsonString(describe(img)) +
              ", \"pixels\": " + std::to_string(selected) + ", \"mask\": " + (masked ? jsonString(args.text("mask")) : "null") +
              ",\n \"channels\": [";
        for (std::size_t c = 0; c < stats.size(); ++c) {
            const ChannelStats& s = stats[c];
            out += std::string(c ? ",\n  " : "\n  ") + "{\"mean\": " + num(s.mean, true) + ", \"stddev\": " + num(s.stddev, true) +
                   ", \"min\": " + num(s.min, true) + ", \"min_at\": [" + std::to_string(s.minAt.x) + ", " +
                   std::to_string(s.minAt.y) + "], \"max\": " + num(s.max, true) + ", \"max_at\": [" +
                   std::to_string(s.maxAt.x) + ", " + std::to_string(s.maxAt.y) + "], \"norm_inf\": " +
                   num(s.norms[0], true) + ", \"norm_l1\": " + num(s.norms[1], true) + ", \"norm_l2\": " +
                   num(s.norms[2], true) + "}";
        }
        out += "]}\n";
    } else {
        out = args.inputs[0] + ": " + std::to_string(img.width) + "x" + std::to_string(img.height) + " " + describe(img) +
              ", " + std::to_string(selected) + " pixels" + (masked ? " selected by " + args.text("mask") : "") + "\n";
        for (std::size_t c = 0; c < stats.size(); ++c) {
            const ChannelStats& s = stats[c];
            out += (stats.size() > 1 ? "channel " + std::to_string(c + 1) + ": " : "") + "mean " + num(s.mean, false) +
                   "  stddev " + num(s.stddev, false) + "  min " + num(s.min, false) + " at " + std::to_string(s.minAt.x) +
                   "," + std::to_string(s.minAt.y) + "  max " + num(s.max, false) + " at " + std::to_string(s.maxAt.x) +
                   "," + std::to_string(s.maxAt.y) + "  norms inf " + num(s.norms[0], false) + " l1 " +
                   num(s.norms[1], false) + " l2 " + num(s.norms[2], false) + "\n";
        }
    }
    writeText(args.output(0), out);
}

const OpRegistrar stats({"stats", "stats", "mean, deviation, extremes with positions and norms of each channel",
                         {"INPUT"}, {"REPORT"}, true,
                         {{"mask", OptKind::File, "", "only the pixels that are non-zero in this image (same size)"},
                          {"json", OptKind::Flag, "", "write JSON instead of text"}},
                         "8-bit, signed 8-bit, 16-bit or 32-bit float gray or RGB",
                         "The report goes to REPORT, or to standard output without it. Positions are x,y of the first\n"
                         "occurrence in raster order; norms: largest |v|, sum of |v| and sqrt(sum v^2).",
                         runStats});

}  // namespace
}  // namespace cli
