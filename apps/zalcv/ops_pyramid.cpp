// Pyramids and tracking: Gaussian levels down and up, a strip of pyramid
// levels, and pyramidal Lucas-Kanade tracking of points between two frames.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "cli.h"

namespace cli {
namespace {

int typeCode(Depth d) { return d == Depth::U8 ? DataType8u : (d == Depth::S8 ? DataType8s : DataType32f); }

const std::vector<Kind> kGaussKinds = {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::F32, 1},
                                       {Depth::F32, 3}, {Depth::S8, 1}, {Depth::S8, 3}};

// One Gaussian level down (ceil(W/2) x ceil(H/2)) or up (2W x 2H).
Image gaussLevel(const Image& src, bool up) {
    int bytes = 0;
    check((up ? zaliPyrUpGetBufSize_Gauss5x5 : zaliPyrDownGetBufSize_Gauss5x5)(src.width, typeCode(src.depth), src.channels, &bytes),
          up ? "zaliPyrUpGetBufSize_Gauss5x5" : "zaliPyrDownGetBufSize_Gauss5x5");
    WorkBuffer work(bytes);
    Image dst = up ? Image(2 * src.width, 2 * src.height, src.channels, src.depth)
                   : Image((src.width + 1) / 2, (src.height + 1) / 2, src.channels, src.depth);
    const bool c3 = src.channels == 3;
    StatusCode st;
    switch (src.depth) {
        case Depth::U8:
            st = (up ? (c3 ? zaliPyrUp_Gauss5x5_8u_C3R : zaliPyrUp_Gauss5x5_8u_C1R)
                     : (c3 ? zaliPyrDown_Gauss5x5_8u_C3R : zaliPyrDown_Gauss5x5_8u_C1R))(
                src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), work.get());
            break;
        case Depth::S8:
            st = (up ? (c3 ? zaliPyrUp_Gauss5x5_8s_C3R : zaliPyrUp_Gauss5x5_8s_C1R)
                     : (c3 ? zaliPyrDown_Gauss5x5_8s_C3R : zaliPyrDown_Gauss5x5_8s_C1R))(
                src.data<int8_t>(), src.step(), dst.data<int8_t>(), dst.step(), src.roi(), work.get());
            break;
        default:
            st = (up ? (c3 ? zaliPyrUp_Gauss5x5_32f_C3R : zaliPyrUp_Gauss5x5_32f_C1R)
                     : (c3 ? zaliPyrDown_Gauss5x5_32f_C3R : zaliPyrDown_Gauss5x5_32f_C1R))(
                src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), work.get());
            break;
    }
    check(st, up ? "zaliPyrUp_Gauss5x5" : "zaliPyrDown_Gauss5x5");
    return dst;
}

void runPyrDown(const Args& args) { writeOutput(args, 0, gaussLevel(readInput(args, 0, kGaussKinds), false)); }
void runPyrUp(const Args& args) { writeOutput(args, 0, gaussLevel(readInput(args, 0, kGaussKinds), true)); }

void runPyramidStrip(const Args& args) {
    std::vector<Image> levels{readInput(args, 0, kGaussKinds)};
    const int n = args.integer("levels");
    while (static_cast<int>(levels.size()) < n && (levels.back().width > 1 || levels.back().height > 1))
        levels.push_back(gaussLevel(levels.back(), false));
    const Image& base = levels.front();
    int width = 0;
    for (const Image& l : levels) width += l.width;
    Image strip(width, base.height, base.channels, base.depth);
    const std::size_t px = depthBytes(base.depth) * base.channels;
    int x0 = 0;
    for (const Image& l : levels) {
        for (int y = 0; y < l.height; ++y)
            std::copy_n(l.bytes.data() + static_cast<std::size_t>(y) * l.step(), l.step(),
                        strip.bytes.data() + static_cast<std::size_t>(y) * strip.step() + px * x0);
        x0 += l.width;
    }
    writeOutput(args, 0, strip);
}

// ---- Tracking ----

// "x,y" per line; blank lines, lines starting with '#' and a first line
// that is not numeric (a header) are skipped.
std::vector<float> readPoints(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail("--points " + path + ": cannot open: " + std::strerror(errno));
    std::vector<float> pts;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const char* p = line.c_str();
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '#' || *p == '\n' || *p == '\r' || *p == '\0') continue;
        char* end = nullptr;
        const double x = std::strtod(p, &end);
        const bool xOk = end != p;
        p = end;
        while (*p == ' ' || *p == '\t') ++p;
        bool ok = xOk && (*p == ',' || *p == ';' || *p == ' ');
        double y = 0;
        if (ok) {
            ++p;
            y = std::strtod(p, &end);
            ok = end != p && std::isfinite(x) && std::isfinite(y) && std::fabs(x) < 1e7 && std::fabs(y) < 1e7;
        }
        if (!ok) {
            if (number == 1 && pts.empty()) continue;  // a header line
            fail("--points " + path + ": line " + std::to_string(number) + " is not x,y");
        }
        pts.push_back(static_cast<float>(x));
        pts.push_back(static_cast<float>(y));
    }
    if (pts.empty()) fail("--points " + path + ": no points");
    return pts;
}

struct PyramidDeleter {
    void operator()(Pyramid* p) const { zaliPyramidFree(p); }
};

// A Pyramid descriptor over Gaussian levels of `frame` (kept in `levels`).
std::unique_ptr<Pyramid, PyramidDeleter> buildPyramid(const Image& frame, int depth, std::vector<Image>& levels) {
    Pyramid* raw = nullptr;
    check(zaliPyramidInitAlloc(&raw, depth, frame.roi(), 2.0f), "zaliPyramidInitAlloc");
    std::unique_ptr<Pyramid, PyramidDeleter> pyr(raw);
    levels.assign(1, frame);
    for (int L = 1; L <= pyr->topLevel; ++L) {
        levels.push_back(gaussLevel(levels.back(), false));
        const ImageSize s = pyr->levelSizes[L];
        if (s.width != levels.back().width || s.height != levels.back().height)
            throw Error(kExitLibrary, "pyramid level " + std::to_string(L) + " size mismatch");
    }
    for (int L = 0; L <= pyr->topLevel; ++L) {
        pyr->levelImages[L] = levels[static_cast<std::size_t>(L)].bytes.data();
        pyr->levelSteps[L] = levels[static_cast<std::size_t>(L)].step();
    }
    return pyr;
}

void drawTracks(const Image& first, const std::vector<float>& prev, const std::vector<float>& next,
                const std::vector<int8_t>& status, const std::string& path, const WriteOptions& write) {
    // The first frame dimmed to gray 8-bit, tracks white, start points black.
    Image view = first.depth == Depth::U8 ? first : normalizeTo8u(first);
    for (uint8_t& v : view.bytes) v = static_cast<uint8_t>(64 + v / 2);
    auto plot = [&](int x, int y, uint8_t v) {
        if (x >= 0 && y >= 0 && x < view.width && y < view.height) view.bytes[static_cast<std::size_t>(y) * view.width + x] = v;
    };
    for (std::size_t i = 0; i < status.size(); ++i) {
        if (status[i] != 0) continue;  // only points tracked down to level 0
        const float x0 = prev[2 * i], y0 = prev[2 * i + 1], dx = next[2 * i] - x0, dy = next[2 * i + 1] - y0;
        const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy)) * 2)));
        for (int k = 0; k <= steps; ++k)
            plot(static_cast<int>(std::lround(x0 + dx * k / steps)), static_cast<int>(std::lround(y0 + dy * k / steps)), 255);
        for (int j = -1; j <= 1; ++j)
            for (int i2 = -1; i2 <= 1; ++i2) plot(static_cast<int>(std::lround(x0)) + i2, static_cast<int>(std::lround(y0)) + j, 0);
    }
    WriteOptions plain = write;
    plain.normalize = false;
    writeImage(view, path, plain);
}

void runTrack(const Args& args) {
    const std::vector<Kind> kinds = {{Depth::U8, 1}, {Depth::F32, 1}};
    const Image a = readInput(args, 0, kinds);
    const Image b = readInput(args, 1, {{a.depth, 1}});
    if (a.width != b.width || a.height != b.height)
        fail(args.inputs[1] + ": the frames differ in size (" + std::to_string(a.width) + "x" + std::to_string(a.height) +
             " and " + std::to_string(b.width) + "x" + std::to_string(b.height) + ")");
    std::vector<float> prev = args.has("points") ? readPoints(args.text("points"))
                                                 : strongCorners(a, args.integer("count"), args.integer("min-distance"), 0.01f);
    const int n = static_cast<int>(prev.size() / 2);
    std::vector<Image> l1, l2;
    // A descriptor has at least one level above the frame; --levels 0 tracks
    // on the frame alone.
    auto p1 = buildPyramid(a, std::max(1, args.integer("levels")), l1);
    auto p2 = buildPyramid(b, std::max(1, args.integer("levels")), l2);
    const int maxLevel = std::min(p1->topLevel, args.integer("levels"));
    const int win = args.integer("window");
    std::vector<float> next = prev, err(static_cast<std::size_t>(n));
    std::vector<int8_t> status(static_cast<std::size_t>(n));
    OpticalFlowState* raw = nullptr;
    const bool u8 = a.depth == Depth::U8;
    check((u8 ? zaliOpticalFlowPyrLKInitAlloc_8u_C1R : zaliOpticalFlowPyrLKInitAlloc_32f_C1R)(&raw, a.roi(), win, 0),
          "zaliOpticalFlowPyrLKInitAlloc");
    std::unique_ptr<OpticalFlowState, StatusCode (*)(OpticalFlowState*)> state(
        raw, u8 ? zaliOpticalFlowPyrLKFree_8u_C1R : zaliOpticalFlowPyrLKFree_32f_C1R);
    if (n > 0)
        check((u8 ? zaliOpticalFlowPyrLK_8u_C1R : zaliOpticalFlowPyrLK_32f_C1R)(
                  p1.get(), p2.get(), prev.data(), next.data(), status.data(), err.data(), n, win, maxLevel,
                  args.integer("iterations"), args.real("epsilon"), raw),
              "zaliOpticalFlowPyrLK");
    std::string csv = "x,y,next_x,next_y,status,error\n";
    char line[160];
    for (int i = 0; i < n; ++i) {
        std::snprintf(line, sizeof line, "%.9g,%.9g,%.9g,%.9g,%d,%.9g\n", prev[2 * i], prev[2 * i + 1], next[2 * i],
                      next[2 * i + 1], status[static_cast<std::size_t>(i)], err[static_cast<std::size_t>(i)]);
        csv += line;
    }
    if (args.has("draw")) drawTracks(a, prev, next, status, args.text("draw"), args.write);
    writeText(args.output(0), csv);
}

const char* const kGaussTakes = "8-bit, signed 8-bit or 32-bit float gray or RGB (same type out)";

const OpRegistrar pyrdown({"pyrdown", "pyramid", "Gaussian 5x5 level down: half width and height", {"INPUT"}, {"OUTPUT"},
                           false, {}, kGaussTakes, "", runPyrDown});
const OpRegistrar pyrup({"pyrup", "pyramid", "Gaussian 5x5 level up: double width and height", {"INPUT"}, {"OUTPUT"}, false,
                         {}, kGaussTakes, "", runPyrUp});
const OpRegistrar pyramid({"pyramid", "pyramid", "Gaussian pyramid levels side by side in one strip", {"INPUT"}, {"STRIP"},
                           false, {{"levels", OptKind::Int, "4", "levels including the input", 1, 32}}, kGaussTakes, "",
                           runPyramidStrip});
const OpRegistrar track({"track", "pyramid", "pyramidal Lucas-Kanade tracking of points from one frame to the next",
                         {"FIRST", "SECOND"}, {"TRACKS.csv"}, true,
                         {{"points", OptKind::File, "", "points to track, one x,y per line (default: strong corners)"},
                          {"count", OptKind::Int, "200", "strong corners to pick without --points", 1, 100000},
                          {"min-distance", OptKind::Int, "8", "least distance between picked corners", 1, 10000},
                          {"window", OptKind::Int, "9", "tracking window side", 3, 99},
                          {"levels", OptKind::Int, "3", "pyramid levels above the frame", 0, 16},
                          {"iterations", OptKind::Int, "20", "iterations per level", 1, 1000},
                          {"epsilon", OptKind::Float, "0.01", "stop when a step is shorter (pixels)", 0, 100},
                          {"draw", OptKind::File, "", "also draw the tracked points over the first frame into this image"}},
                         "two 8-bit or 32-bit float gray frames of one size",
                         "TRACKS.csv (standard output without it) has x,y,next_x,next_y,status,error per point;\n"
                         "status 0 means tracked down to the full-size frame, k > 0 lost at level k-1.",
                         runTrack});

}  // namespace
}  // namespace cli
