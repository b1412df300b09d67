// Region operations: distance transforms, flood fill, watershed, inpainting.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "cli.h"

namespace cli {

namespace {

void runDistance(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}});
    const std::string type = args.text("type");
    const int norm = args.choice("metric");  // c, l1, l2 as the library numbers them
    if (args.flag("exact")) {
        if (args.text("metric") != "l2") fail("option --exact: the exact transform is Euclidean (--metric l2)");
        if (type != "32f") fail("option --type: the exact transform writes 32f");
        int bytes = 0;
        check(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(src.roi(), &bytes), "zaliTrueDistanceTransformGetBufferSize_8u32f_C1R");
        WorkBuffer work(bytes);
        Image dst(src.width, src.height, 1, Depth::F32);
        check(zaliTrueDistanceTransform_8u32f_C1R(src.data<uint8_t>(), src.step(), dst.data<float>(), dst.step(), src.roi(), work.get()),
              "zaliTrueDistanceTransform_8u32f_C1R");
        return writeOutput(args, 0, dst);
    }
    const bool five = args.text("mask") == "5";
    if (type == "32f") {
        float metrics[3];
        check(zaliGetDistanceTransformMask_32f(five ? 5 : 3, norm, metrics), "zaliGetDistanceTransformMask_32f");
        Image dst(src.width, src.height, 1, Depth::F32);
        check((five ? zaliDistanceTransform_5x5_8u32f_C1R : zaliDistanceTransform_3x3_8u32f_C1R)(
                  src.data<uint8_t>(), src.step(), dst.data<float>(), dst.step(), src.roi(), metrics),
              "zaliDistanceTransform_8u32f_C1R");
        return writeOutput(args, 0, dst);
    }
    int32_t metrics[3];
    check(zaliGetDistanceTransformMask_32s(five ? 5 : 3, norm, metrics), "zaliGetDistanceTransformMask_32s");
    if (type == "16u") {
        Image dst(src.width, src.height, 1, Depth::U16);
        check((five ? zaliDistanceTransform_5x5_8u16u_C1R : zaliDistanceTransform_3x3_8u16u_C1R)(
                  src.data<uint8_t>(), src.step(), dst.data<uint16_t>(), dst.step(), src.roi(), metrics),
              "zaliDistanceTransform_8u16u_C1R");
        return writeOutput(args, 0, dst);
    }
    Image dst(src.width, src.height, 1, Depth::U8);
    check((five ? zaliDistanceTransform_5x5_8u_C1R : zaliDistanceTransform_3x3_8u_C1R)(
              src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), metrics),
          "zaliDistanceTransform_8u_C1R");
    writeOutput(args, 0, dst);
}

// ---- Flood fill ----
template <class T>
using Fill1 = StatusCode (*)(T*, int, ImageSize, ImagePoint, T, T, T, ConnectedComponent*, uint8_t*);
template <class T>
using Fill3 = StatusCode (*)(T*, int, ImageSize, ImagePoint, const T*, const T*, const T*, ConnectedComponent*, uint8_t*);

void runFloodFill(const Args& args) {
    Image img = readInput(args, 0, {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::F32, 1}, {Depth::F32, 3}});
    const ImagePoint seed = args.point("seed");
    if (seed.x < 0 || seed.y < 0 || seed.x >= img.width || seed.y >= img.height)
        fail("option --seed: " + args.text("seed") + " lies outside the " + std::to_string(img.width) + "x" +
             std::to_string(img.height) + " image");
    const bool floating = args.text("range") == "floating";
    const bool eight = args.text("connectivity") == "8";
    const float lo = args.real("lo"), hi = args.real("hi"), value = args.real("value");
    const bool u8 = img.depth == Depth::U8;
    const uint8_t v = u8 ? args.byte("value") : 0, l = u8 ? args.byte("lo") : 0, h = u8 ? args.byte("hi") : 0;
    int bytes = 0;
    check(floating ? zaliFloodFillGetSize_Grad(img.roi(), &bytes) : zaliFloodFillGetSize(img.roi(), &bytes), "zaliFloodFillGetSize");
    WorkBuffer work(bytes);
    ConnectedComponent region{};
    const char* name = "zaliFloodFill";
    if (u8) {
        if (img.channels == 1) {
            const Fill1<uint8_t> f = floating ? (eight ? zaliFloodFill_Grad8Con_8u_C1IR : zaliFloodFill_Grad4Con_8u_C1IR)
                                              : (eight ? zaliFloodFill_Range8Con_8u_C1IR : zaliFloodFill_Range4Con_8u_C1IR);
            check(f(img.data<uint8_t>(), img.step(), img.roi(), seed, v, l, h, &region, work.get()), name);
        } else {
            const uint8_t vv[3] = {v, v, v}, ll[3] = {l, l, l}, hh[3] = {h, h, h};
            const Fill3<uint8_t> f = floating ? (eight ? zaliFloodFill_Grad8Con_8u_C3IR : zaliFloodFill_Grad4Con_8u_C3IR)
                                              : (eight ? zaliFloodFill_Range8Con_8u_C3IR : zaliFloodFill_Range4Con_8u_C3IR);
            check(f(img.data<uint8_t>(), img.step(), img.roi(), seed, vv, ll, hh, &region, work.get()), name);
        }
    } else if (img.channels == 1) {
        const Fill1<float> f = floating ? (eight ? zaliFloodFill_Grad8Con_32f_C1IR : zaliFloodFill_Grad4Con_32f_C1IR)
                                        : (eight ? zaliFloodFill_Range8Con_32f_C1IR : zaliFloodFill_Range4Con_32f_C1IR);
        check(f(img.data<float>(), img.step(), img.roi(), seed, value, lo, hi, &region, work.get()), name);
    } else {
        const float vv[3] = {value, value, value}, ll[3] = {lo, lo, lo}, hh[3] = {hi, hi, hi};
        const Fill3<float> f = floating ? (eight ? zaliFloodFill_Grad8Con_32f_C3IR : zaliFloodFill_Grad4Con_32f_C3IR)
                                        : (eight ? zaliFloodFill_Range8Con_32f_C3IR : zaliFloodFill_Range4Con_32f_C3IR);
        check(f(img.data<float>(), img.step(), img.roi(), seed, vv, ll, hh, &region, work.get()), name);
    }
    writeOutput(args, 0, img);
}

// ---- Watershed ----
void runWatershed(const Args& args) {
    const Image image = readInput(args, 0, {{Depth::U8, 1}});
    Image labels = readInput(args, 1, {{Depth::U8, 1}});
    if (labels.width != image.width || labels.height != image.height)
        fail(args.inputs[1] + ": the markers are " + std::to_string(labels.width) + "x" + std::to_string(labels.height) +
             ", the image " + std::to_string(image.width) + "x" + std::to_string(image.height));
    const Image relief = args.text("relief") == "image" ? image : smoothedGradient(image, args.integer("smooth"));
    static const int norms[] = {1, 0, 2, 3};  // 4, 8, weighted, fast
    const int norm = norms[args.choice("neighbours")];
    static const int flags[] = {0, 0x40, 0x80};
    const int flag = flags[args.choice("boundaries")];
    int bytes = 0;
    check(zaliSegmentWatershedGetBufferSize_8u_C1R(image.roi(), &bytes), "zaliSegmentWatershedGetBufferSize_8u_C1R");
    WorkBuffer work(bytes);
    check(zaliSegmentWatershed_8u_C1IR(relief.data<uint8_t>(), relief.step(), labels.data<uint8_t>(), labels.step(),
                                       image.roi(), norm, flag, work.get()),
          "zaliSegmentWatershed_8u_C1IR");
    writeOutput(args, 0, labels);
}

// ---- Inpainting ----
void runInpaint(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::U8, 3}});
    const Image mask = readMask(args.text("mask"), "--mask", src.width, src.height);
    Image times(src.width, src.height, 1, Depth::F32);
    int bytes = 0;
    check(zaliFastMarchingGetBufferSize_8u32f_C1R(src.roi(), &bytes), "zaliFastMarchingGetBufferSize_8u32f_C1R");
    WorkBuffer work(bytes);
    check(zaliFastMarching_8u32f_C1R(mask.data<uint8_t>(), mask.step(), times.data<float>(), times.step(), src.roi(), 0.0f,
                                     work.get()),
          "zaliFastMarching_8u32f_C1R");
    const bool colour = src.channels == 3;
    InpaintState* raw = nullptr;
    check((colour ? zaliInpaintInitAlloc_8u_C3R : zaliInpaintInitAlloc_8u_C1R)(
              &raw, times.data<float>(), times.step(), mask.data<uint8_t>(), mask.step(), src.roi(), args.real("radius"),
              args.choice("method")),
          "zaliInpaintInitAlloc");
    if (!raw) return writeOutput(args, 0, src);  // nothing damaged
    std::unique_ptr<InpaintState, StatusCode (*)(InpaintState*)> state(raw, colour ? zaliInpaintFree_8u_C3R : zaliInpaintFree_8u_C1R);
    Image dst(src.width, src.height, src.channels, Depth::U8);
    check((colour ? zaliInpaint_8u_C3R : zaliInpaint_8u_C1R)(src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(),
                                                           src.roi(), raw),
          "zaliInpaint_8u");
    writeOutput(args, 0, dst);
}

const OpRegistrar distance({"distance", "region", "distance of every pixel to the nearest zero pixel", {"INPUT"},
                            {"OUTPUT"}, false,
                            {{"metric", OptKind::Choice, "l2", "chamfer weights of the chessboard, city-block or Euclidean metric",
                              0, 0, {"c", "l1", "l2"}},
                             {"mask", OptKind::Choice, "5", "chamfer mask 3x3 or 5x5", 0, 0, {"3", "5"}},
                             {"exact", OptKind::Flag, "", "exact Euclidean distances (32f) instead of a chamfer"},
                             {"type", OptKind::Choice, "32f", "result type (8u and 16u saturate)", 0, 0, {"8u", "16u", "32f"}}},
                            "8-bit gray (zero pixels are the features)",
                            "Integer chamfer results count in the mask's integer weights (e.g. 3 per step for l2 3x3).",
                            runDistance});

const OpRegistrar floodfill({"floodfill", "region", "fill the region connected to a seed pixel", {"INPUT"}, {"OUTPUT"}, false,
                             {{"seed", OptKind::Point, "", "seed pixel X,Y", 0, 0, {}, true},
                              {"lo", OptKind::Float, "0", "how far below the reference a pixel may be", 0, 1e30},
                              {"hi", OptKind::Float, "0", "how far above the reference a pixel may be", 0, 1e30},
                              {"value", OptKind::Float, "255", "new value (every channel)"},
                              {"connectivity", OptKind::Choice, "4", "neighbourhood", 0, 0, {"4", "8"}},
                              {"range", OptKind::Choice, "fixed", "reference: the seed (fixed) or each filled neighbour (floating)",
                               0, 0, {"fixed", "floating"}}},
                             "8-bit or 32-bit float gray or RGB (same type out)", "", runFloodFill});

const OpRegistrar watershed({"watershed", "region", "marker-controlled watershed segmentation", {"IMAGE", "MARKERS"},
                             {"LABELS"}, false,
                             {{"relief", OptKind::Choice, "gradient", "what is flooded: the smoothed gradient of IMAGE, or IMAGE itself",
                               0, 0, {"gradient", "image"}},
                              {"smooth", OptKind::Int, "4", "5x5 box passes before the gradient", 0, 50},
                              {"neighbours", OptKind::Choice, "8", "4 or 8 neighbours, 8 with weighted steps, or fast marching",
                               0, 0, {"4", "8", "weighted", "fast"}},
                              {"boundaries", OptKind::Choice, "none", "paint boundaries between regions with 255", 0, 0,
                               {"none", "4", "8"}}},
                             "8-bit gray IMAGE and 8-bit gray MARKERS (non-zero pixels are seeds, their value the label)",
                             "LABELS gets every pixel labelled with the seed that reaches it first.", runWatershed});

const OpRegistrar inpaint({"inpaint", "region", "fill damaged pixels (non-zero in --mask) from their surroundings",
                           {"INPUT"}, {"OUTPUT"}, false,
                           {{"mask", OptKind::File, "", "image of the damaged pixels (non-zero), same size", 0, 0, {}, true},
                            {"radius", OptKind::Float, "5", "neighbourhood radius", 1, 1000},
                            {"method", OptKind::Choice, "distance", "weights: distance-map gradient or isophote direction", 0, 0,
                             {"distance", "isophote"}}},
                           "8-bit gray or RGB (same type out)", "", runInpaint});

}  // namespace
}  // namespace cli
