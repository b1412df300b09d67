// Geometry: lens undistortion, motion history and line profiles.
#include <cstdio>

#include "cli.h"

namespace cli {
namespace {

template <class T>
using Undistort = StatusCode (*)(const T*, int, T*, int, ImageSize, float, float, float, float, float, float, uint8_t*);

void runUndistort(const Args& args) {
    const Image src = readInput(args, 0,
                                {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::U16, 1}, {Depth::U16, 3}, {Depth::F32, 1}, {Depth::F32, 3}});
    const float fx = args.real("fx"), fy = args.has("fy") ? args.real("fy") : fx;
    if (fx == 0 || fy == 0) fail("options --fx, --fy: the focal lengths must not be 0");
    const float cx = args.has("cx") ? args.real("cx") : (src.width - 1) * 0.5f;
    const float cy = args.has("cy") ? args.real("cy") : (src.height - 1) * 0.5f;
    const float k1 = args.real("k1"), k2 = args.real("k2");
    // Pixels whose source lies outside the image stay 0.
    Image dst(src.width, src.height, src.channels, src.depth);
    const bool c3 = src.channels == 3;
    StatusCode st;
    if (src.depth == Depth::U8) {
        const Undistort<uint8_t> f = c3 ? zaliUndistortRadial_8u_C3R : zaliUndistortRadial_8u_C1R;
        st = f(src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), fx, fy, cx, cy, k1, k2, nullptr);
    } else if (src.depth == Depth::U16) {
        const Undistort<uint16_t> f = c3 ? zaliUndistortRadial_16u_C3R : zaliUndistortRadial_16u_C1R;
        st = f(src.data<uint16_t>(), src.step(), dst.data<uint16_t>(), dst.step(), src.roi(), fx, fy, cx, cy, k1, k2, nullptr);
    } else {
        const Undistort<float> f = c3 ? zaliUndistortRadial_32f_C3R : zaliUndistortRadial_32f_C1R;
        st = f(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), fx, fy, cx, cy, k1, k2, nullptr);
    }
    check(st, "zaliUndistortRadial");
    writeOutput(args, 0, dst);
}

void runMotion(const Args& args) {
    const std::size_t frames = args.inputs.size();
    Image prev = readInput(args, 0, {{Depth::U8, 1}});
    Image history(prev.width, prev.height, 1, Depth::F32);
    Image diff(prev.width, prev.height, 1, Depth::U8), silhouette(prev.width, prev.height, 1, Depth::U8);
    const float duration = args.has("duration") ? args.real("duration") : static_cast<float>(frames);
    const int level = args.integer("level");
    for (std::size_t i = 1; i < frames; ++i) {
        const Image next = readInput(args, i, {{Depth::U8, 1}});
        if (next.width != prev.width || next.height != prev.height)
            fail(args.inputs[i] + ": the frames differ in size");
        // Motion where the frames differ by at least --level.
        check(zaliAbsDiff_8u_C1R(prev.data<uint8_t>(), prev.step(), next.data<uint8_t>(), next.step(), diff.data<uint8_t>(),
                                 diff.step(), prev.roi()),
              "zaliAbsDiff_8u_C1R");
        check(zaliThreshold_Val_8u_C1R(diff.data<uint8_t>(), diff.step(), silhouette.data<uint8_t>(), silhouette.step(),
                                       prev.roi(), static_cast<uint8_t>(level), 0, 0),
              "zaliThreshold_Val_8u_C1R");
        check(zaliUpdateMotionHistory_8u32f_C1IR(silhouette.data<uint8_t>(), silhouette.step(), history.data<float>(),
                                                 history.step(), prev.roi(), static_cast<float>(i), duration),
              "zaliUpdateMotionHistory_8u32f_C1IR");
        prev = next;
    }
    writeOutput(args, 0, history);
}

template <class T>
using Sample = StatusCode (*)(const T*, int, ImageSize, T*, ImagePoint, ImagePoint);

void runProfile(const Args& args) {
    const Image src = readInput(args, 0,
                                {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::U16, 1}, {Depth::U16, 3}, {Depth::F32, 1}, {Depth::F32, 3}});
    const ImagePoint a = args.point("from"), b = args.point("to");
    for (const auto& [p, name] : {std::pair{a, "from"}, std::pair{b, "to"}})
        if (p.x < 0 || p.y < 0 || p.x >= src.width || p.y >= src.height)
            fail(std::string("option --") + name + ": " + args.text(name) + " lies outside the " + std::to_string(src.width) +
                 "x" + std::to_string(src.height) + " image");
    // The iterator gives the positions the sampler visits.
    const int pixelBytes = static_cast<int>(depthBytes(src.depth)) * src.channels;
    LineIterator it{};
    Image copy = src;
    const int count = _zlcvInitLineIterator(copy.bytes.data(), copy.step(), pixelBytes, a.x, a.y, b.x, b.y, &it);
    if (count < 1) throw Error(kExitLibrary, "_zlcvInitLineIterator returned " + std::to_string(count));
    Image samples(count, 1, src.channels, src.depth);
    StatusCode st;
    const bool c3 = src.channels == 3;
    if (src.depth == Depth::U8)
        st = (c3 ? Sample<uint8_t>(zaliSampleLine_8u_C3R) : zaliSampleLine_8u_C1R)(src.data<uint8_t>(), src.step(), src.roi(),
                                                                                 samples.data<uint8_t>(), a, b);
    else if (src.depth == Depth::U16)
        st = (c3 ? Sample<uint16_t>(zaliSampleLine_16u_C3R) : zaliSampleLine_16u_C1R)(src.data<uint16_t>(), src.step(),
                                                                                    src.roi(), samples.data<uint16_t>(), a, b);
    else
        st = (c3 ? Sample<float>(zaliSampleLine_32f_C3R) : zaliSampleLine_32f_C1R)(src.data<float>(), src.step(), src.roi(),
                                                                                 samples.data<float>(), a, b);
    check(st, "zaliSampleLine");
    std::string csv = c3 ? "index,x,y,c1,c2,c3\n" : "index,x,y,value\n";
    char buf[64];
    for (int i = 0; i < count; ++i) {
        const std::ptrdiff_t offset = it.current - copy.bytes.data();
        csv += std::to_string(i) + "," + std::to_string((offset % copy.step()) / pixelBytes) + "," +
               std::to_string(offset / copy.step());
        for (int c = 0; c < src.channels; ++c) {
            std::snprintf(buf, sizeof buf, ",%.9g", samples.sample(static_cast<std::size_t>(i) * src.channels + c));
            csv += buf;
        }
        csv += "\n";
        const std::ptrdiff_t e = it.error - it.errorDecrement;
        if (e < 0) {
            it.error = e + it.errorRefill;
            it.current += it.majorStep + it.minorStep;
        } else {
            it.error = e;
            it.current += it.majorStep;
        }
    }
    writeText(args.output(0), csv);
}

const OpRegistrar undistort({"undistort", "geometry", "remove radial lens distortion (pinhole camera model)", {"INPUT"},
                             {"OUTPUT"}, false,
                             {{"fx", OptKind::Float, "", "focal length in x, pixels", -1e9, 1e9, {}, true},
                              {"fy", OptKind::Float, "", "focal length in y (default: --fx)", -1e9, 1e9},
                              {"cx", OptKind::Float, "", "principal point x (default: the centre)", -1e9, 1e9},
                              {"cy", OptKind::Float, "", "principal point y (default: the centre)", -1e9, 1e9},
                              {"k1", OptKind::Float, "0", "radial coefficient of r^2", -1e9, 1e9},
                              {"k2", OptKind::Float, "0", "radial coefficient of r^4", -1e9, 1e9}},
                             "8-bit, 16-bit or 32-bit float gray or RGB (same type out)",
                             "Pixels that map outside the source (and the last row and column) stay 0.", runUndistort});

const OpRegistrar motion({"motion", "geometry", "motion history of a frame sequence", {"FRAME", "FRAME..."}, {"OUTPUT"},
                          false,
                          {{"level", OptKind::Int, "30", "a pixel moved where consecutive frames differ by at least this", 1, 255},
                           {"duration", OptKind::Float, "", "frames a motion stays in the history (default: all)", 0, 1e9}},
                          "8-bit gray frames of one size; result 32-bit float: the frame index of the last motion",
                          "Frame i (counted from 0) stamps i where it differs from frame i-1; stamps older than\n"
                          "--duration frames are cleared.",
                          runMotion});

const OpRegistrar profile({"profile", "geometry", "pixel values along a straight line", {"INPUT"}, {"PROFILE.csv"}, true,
                           {{"from", OptKind::Point, "", "first end point X,Y", 0, 0, {}, true},
                            {"to", OptKind::Point, "", "last end point X,Y", 0, 0, {}, true}},
                           "8-bit, 16-bit or 32-bit float gray or RGB",
                           "PROFILE.csv (standard output without it) has index,x,y and the value(s) of every pixel.",
                           runProfile});

}  // namespace
}  // namespace cli
