// Object detection: integral images and a Haar cascade read from a text file.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli.h"

namespace cli {
namespace {

void runIntegral(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}});
    const std::string kind = args.text("kind");
    const bool f32 = args.text("type") == "32f";
    const char* name = "";
    StatusCode st;
    if (kind == "tilted") {
        Image dst(src.width + 2, src.height + 2, 1, f32 ? Depth::F32 : Depth::S32);
        name = f32 ? "zaliTiltedIntegral_8u32f_C1R" : "zaliTiltedIntegral_8u32s_C1R";
        st = f32 ? zaliTiltedIntegral_8u32f_C1R(src.data<uint8_t>(), src.step(), dst.data<float>(), dst.step(), src.roi(), 0.0f)
                 : zaliTiltedIntegral_8u32s_C1R(src.data<uint8_t>(), src.step(), dst.data<int32_t>(), dst.step(), src.roi(), 0);
        check(st, name);
        return writeOutput(args, 0, dst);
    }
    Image sum(src.width + 1, src.height + 1, 1, f32 ? Depth::F32 : Depth::S32);
    if (kind == "square") {
        Image sqr(src.width + 1, src.height + 1, 1, Depth::F64);
        name = f32 ? "zaliSqrIntegral_8u32f64f_C1R" : "zaliSqrIntegral_8u32s64f_C1R";
        st = f32 ? zaliSqrIntegral_8u32f64f_C1R(src.data<uint8_t>(), src.step(), sum.data<float>(), sum.step(),
                                               sqr.data<double>(), sqr.step(), src.roi(), 0.0f, 0.0)
                 : zaliSqrIntegral_8u32s64f_C1R(src.data<uint8_t>(), src.step(), sum.data<int32_t>(), sum.step(),
                                               sqr.data<double>(), sqr.step(), src.roi(), 0, 0.0);
        check(st, name);
        return writeOutput(args, 0, sqr);
    }
    name = f32 ? "zaliIntegral_8u32f_C1R" : "zaliIntegral_8u32s_C1R";
    st = f32 ? zaliIntegral_8u32f_C1R(src.data<uint8_t>(), src.step(), sum.data<float>(), sum.step(), src.roi(), 0.0f)
             : zaliIntegral_8u32s_C1R(src.data<uint8_t>(), src.step(), sum.data<int32_t>(), sum.step(), src.roi(), 0);
    check(st, name);
    writeOutput(args, 0, sum);
}

// ---- Haar cascade file ----
struct HaarFeature {
    float threshold = 0, below = 0, above = 0;
    std::vector<ImageRect> rects;
    std::vector<float> weights;
};
struct HaarStage {
    float threshold = 0;
    std::vector<HaarFeature> features;
};
struct Cascade {
    ImageSize window{0, 0};
    std::vector<HaarStage> stages;
};

Cascade readCascade(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail("--classifier " + path + ": cannot open: " + std::strerror(errno));
    Cascade c;
    std::string line;
    int number = 0;
    auto bad = [&](const std::string& why) { fail("--classifier " + path + ": line " + std::to_string(number) + ": " + why); };
    while (std::getline(in, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        if (key == "window") {
            // One window: the rectangles were checked against it.
            if (c.window.width >= 1) bad("a second window line");
            if (!(words >> c.window.width >> c.window.height) || c.window.width < 1 || c.window.height < 1 ||
                c.window.width > 4096 || c.window.height > 4096)
                bad("expected: window WIDTH HEIGHT");
        } else if (key == "stage") {
            HaarStage s;
            if (!(words >> s.threshold)) bad("expected: stage THRESHOLD");
            c.stages.push_back(s);
        } else if (key == "feature") {
            if (c.stages.empty()) bad("a feature before the first stage");
            HaarFeature f;
            if (!(words >> f.threshold >> f.below >> f.above)) bad("expected: feature THRESHOLD BELOW ABOVE");
            c.stages.back().features.push_back(f);
        } else if (key == "rect") {
            if (c.stages.empty() || c.stages.back().features.empty()) bad("a rect before the first feature");
            ImageRect r;
            float w;
            if (!(words >> r.x >> r.y >> r.width >> r.height >> w)) bad("expected: rect X Y WIDTH HEIGHT WEIGHT");
            if (c.window.width < 1) bad("a rect before the window line");
            if (r.x < 0 || r.y < 0 || r.width < 1 || r.height < 1 || r.x > c.window.width - r.width ||
                r.y > c.window.height - r.height)
                bad("the rectangle does not lie inside the window");
            c.stages.back().features.back().rects.push_back(r);
            c.stages.back().features.back().weights.push_back(w);
        } else {
            bad("unknown keyword '" + excerpt(key) + "' (window, stage, feature, rect)");
        }
        std::string extra;
        if (words >> extra) bad("unexpected '" + excerpt(extra) + "'");
    }
    if (c.window.width < 1) fail("--classifier " + path + ": no window line");
    if (c.stages.empty()) fail("--classifier " + path + ": no stage");
    for (const HaarStage& s : c.stages) {
        if (s.features.empty()) fail("--classifier " + path + ": a stage without features");
        for (const HaarFeature& f : s.features)
            if (f.rects.empty()) fail("--classifier " + path + ": a feature without rectangles");
    }
    return c;
}

struct HaarDeleter {
    void operator()(HaarClassifierState_32f* s) const { zaliHaarClassifierFree_32f(s); }
};

void runHaar(const Args& args) {
    const Image img = readInput(args, 0, {{Depth::U8, 1}});
    const Cascade cascade = readCascade(args.text("classifier"));
    const ImageSize win = cascade.window;
    if (img.width < win.width || img.height < win.height)
        fail(args.inputs[0] + ": the image is smaller than the " + std::to_string(win.width) + "x" +
             std::to_string(win.height) + " window");
    // Sum and square tables, then each window's deviation: candidates are the
    // windows with --min-stddev or more; thresholds scale by deviation * area.
    Image sum(img.width + 1, img.height + 1, 1, Depth::F32), sqr(img.width + 1, img.height + 1, 1, Depth::F64);
    check(zaliSqrIntegral_8u32f64f_C1R(img.data<uint8_t>(), img.step(), sum.data<float>(), sum.step(), sqr.data<double>(),
                                       sqr.step(), img.roi(), 0.0f, 0.0),
          "zaliSqrIntegral_8u32f64f_C1R");
    const ImageSize windows{img.width - win.width + 1, img.height - win.height + 1};
    Image norm(windows.width, windows.height, 1, Depth::F32);
    check(zaliRectStdDev_32f_C1R(sum.data<float>(), sum.step(), sqr.data<double>(), sqr.step(), norm.data<float>(),
                                 norm.step(), windows, ImageRect{0, 0, win.width, win.height}),
          "zaliRectStdDev_32f_C1R");
    Image mask(windows.width, windows.height, 1, Depth::U8);
    const float minDev = args.real("min-stddev");
    float* nv = norm.data<float>();
    for (std::size_t i = 0; i < mask.samples(); ++i) {
        mask.data<uint8_t>()[i] = nv[i] >= minDev ? 1 : 0;
        nv[i] *= static_cast<float>(win.width) * static_cast<float>(win.height);
    }
    int accepted = 0;
    for (const HaarStage& stage : cascade.stages) {
        std::vector<ImageRect> rects;
        std::vector<float> weights, thresholds, below, above;
        std::vector<int> counts;
        for (const HaarFeature& f : stage.features) {
            rects.insert(rects.end(), f.rects.begin(), f.rects.end());
            weights.insert(weights.end(), f.weights.begin(), f.weights.end());
            thresholds.push_back(f.threshold);
            below.push_back(f.below);
            above.push_back(f.above);
            counts.push_back(static_cast<int>(f.rects.size()));
        }
        HaarClassifierState_32f* raw = nullptr;
        check(zaliHaarClassifierInitAlloc_32f(&raw, rects.data(), weights.data(), thresholds.data(), below.data(),
                                              above.data(), counts.data(), static_cast<int>(counts.size())),
              "zaliHaarClassifierInitAlloc_32f");
        std::unique_ptr<HaarClassifierState_32f, HaarDeleter> state(raw);
        check(zaliApplyHaarClassifier_32f_C1R(sum.data<float>(), sum.step(), norm.data<float>(), norm.step(),
                                              mask.data<uint8_t>(), mask.step(), windows, &accepted, stage.threshold, raw),
              "zaliApplyHaarClassifier_32f_C1R");
    }
    const std::string out = args.output(0);
    const bool csv = out == "-" || !isImagePath(out);
    if (csv) {
        std::string text = "x,y,width,height\n";
        for (int y = 0; y < windows.height; ++y)
            for (int x = 0; x < windows.width; ++x)
                if (mask.data<uint8_t>()[static_cast<std::size_t>(y) * windows.width + x])
                    text += std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(win.width) + "," +
                            std::to_string(win.height) + "\n";
        return writeText(out, text);
    }
    // The accepted windows outlined over the dimmed image.
    Image view = img;
    for (uint8_t& v : view.bytes) v = static_cast<uint8_t>(v / 3);
    auto plot = [&](int x, int y) { view.bytes[static_cast<std::size_t>(y) * view.width + x] = 255; };
    for (int y = 0; y < windows.height; ++y)
        for (int x = 0; x < windows.width; ++x) {
            if (!mask.data<uint8_t>()[static_cast<std::size_t>(y) * windows.width + x]) continue;
            for (int i = 0; i < win.width; ++i) plot(x + i, y), plot(x + i, y + win.height - 1);
            for (int j = 0; j < win.height; ++j) plot(x, y + j), plot(x + win.width - 1, y + j);
        }
    writeOutput(args, 0, view);
}

const OpRegistrar integral({"integral", "objdetect", "integral image: sums (or squares) above and left of each pixel",
                            {"INPUT"}, {"OUTPUT"}, false,
                            {{"kind", OptKind::Choice, "sum", "upright sums, squares (64-bit float) or 45-degree sums", 0, 0,
                              {"sum", "square", "tilted"}},
                             {"type", OptKind::Choice, "32s", "sum type (32s wraps beyond 2^31)", 0, 0, {"32s", "32f"}}},
                            "8-bit gray; result (W+1)x(H+1), tilted (W+2)x(H+2): write .tiff or .npy", "", runIntegral});

const OpRegistrar haar({"haar", "objdetect", "Haar cascade detection with a classifier file", {"INPUT"}, {"OUTPUT"}, true,
                        {{"classifier", OptKind::File, "", "cascade in the zalcv text format (see docs/objdetect.md)", 0, 0, {}, true},
                         {"min-stddev", OptKind::Float, "8", "skip windows whose deviation is below this", 0, 1e9}},
                        "8-bit gray",
                        "OUTPUT .csv (standard output without it) lists the accepted windows as x,y,width,height;\n"
                        "an image OUTPUT shows them outlined over the dimmed input.",
                        runHaar});

}  // namespace
}  // namespace cli
