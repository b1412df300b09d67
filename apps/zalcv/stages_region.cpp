// Demo stages of the distance transforms and the flood fill.
#include <algorithm>
#include <vector>

#include "cli.h"
#include "demo.h"

using demo::Picture;

namespace {

// Zero where the gray scene is dark: the pixels every distance is measured to.
Picture<uint8_t> darkPixels(const demo::Scene& scene) {
    Picture<uint8_t> bin(scene.gray.width, scene.gray.height, 1);
    for (std::size_t i = 0; i < bin.pixels.size(); ++i) bin.pixels[i] = scene.gray.pixels[i] < 60 ? 0 : 1;
    return bin;
}

float largest(const Picture<float>& p) { return std::max(1.0f, *std::max_element(p.pixels.begin(), p.pixels.end())); }

}  // namespace

ZALCV_DEMO_STAGE(region, chamfer, "5x5 L2 chamfer distance inside the central ellipse (32f)") {
    Picture<float> dist(scene.mask.width, scene.mask.height, 1);
    float weights[3];
    StatusCode st = zaliGetDistanceTransformMask(52, weights);
    if (st == StatusOk)
        st = zaliDistanceTransform_5x5_8u32f_C1R(scene.mask.data(), scene.mask.step(), dist.data(), dist.step(),
                                                 dist.roi(), weights);
    out.writeScaled("region_chamfer", dist.data(), dist.step(), dist.width, dist.height, 0.0f, largest(dist));
    return st;
}

ZALCV_DEMO_STAGE(region, true_distance, "exact Euclidean distance to the dark pixels (32f and 16u scaled by 4)") {
    const Picture<uint8_t> bin = darkPixels(scene);
    Picture<float> dist(bin.width, bin.height, 1);
    Picture<uint16_t> dist16(bin.width, bin.height, 1);
    int size32 = 0, size16 = 0;
    StatusCode st = zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(bin.roi(), &size32);
    if (st == StatusOk) st = zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(bin.roi(), &size16);
    if (st != StatusOk) return st;
    uint8_t* buffer = zalsMalloc_8u(std::max(size32, size16));
    if (!buffer) return StatusNoMemory;
    st = zaliTrueDistanceTransform_8u32f_C1R(bin.data(), bin.step(), dist.data(), dist.step(), dist.roi(), buffer);
    if (st == StatusOk)
        st = zaliTrueDistanceTransform_8u16u_C1RSfs(bin.data(), bin.step(), dist16.data(), dist16.step(), dist16.roi(),
                                                    -2, buffer);
    zalsFree(buffer);
    out.writeScaled("region_true_distance", dist.data(), dist.step(), dist.width, dist.height, 0.0f, largest(dist));
    Picture<uint8_t> low(bin.width, bin.height, 1);
    for (std::size_t i = 0; i < low.pixels.size(); ++i) low.pixels[i] = static_cast<uint8_t>(std::min<int>(dist16.pixels[i], 255));
    out.write("region_true_distance_16u", low);
    return st;
}

ZALCV_DEMO_STAGE(region, flood_fill, "gradient fill of the colour scene from its centre, range fill of the gray") {
    Picture<uint8_t> color = scene.color;
    Picture<uint8_t> gray = scene.gray;
    int sizeGrad = 0, size = 0;
    StatusCode st = zaliFloodFillGetSize_Grad(color.roi(), &sizeGrad);
    if (st == StatusOk) st = zaliFloodFillGetSize(gray.roi(), &size);
    if (st != StatusOk) return st;
    uint8_t* buffer = zalsMalloc_8u(std::max(sizeGrad, size));
    if (!buffer) return StatusNoMemory;
    const ImagePoint centre{color.width / 2, color.height / 2};
    const uint8_t paint[3] = {255, 0, 255}, delta[3] = {4, 4, 4};
    ConnectedComponent region{};
    st = zaliFloodFill_Grad8Con_8u_C3IR(color.data(), color.step(), color.roi(), centre, paint, delta, delta, &region,
                                        buffer);
    if (st == StatusOk)
        st = zaliFloodFill_Range4Con_8u_C1IR(gray.data(), gray.step(), gray.roi(), ImagePoint{0, 0}, 255, 20, 20,
                                             &region, buffer);
    zalsFree(buffer);
    out.write("region_flood_fill_grad", color);
    out.write("region_flood_fill_range", gray);
    return st;
}

// ---- Watershed, segment boundaries, fast marching and inpainting ----

#include <cstdlib>

namespace {

// One seed inside each object of the scene (disc, dark box, triangle,
// checkerboard corner) and six around them on the background, which share a
// label. The triangle is barely darker than the background next to it, so
// its boundary is found only where its edge shows.
Picture<uint8_t> objectSeeds(int width, int height) {
    Picture<uint8_t> seeds(width, height, 1);
    struct Seed {
        double x, y;
        uint8_t label;
    };
    const Seed list[] = {{0.30, 0.40, 60},  {0.70, 0.32, 100}, {0.60, 0.80, 140}, {0.08, 0.88, 180},
                         {0.05, 0.05, 220}, {0.95, 0.60, 220}, {0.40, 0.95, 220}, {0.50, 0.10, 220},
                         {0.45, 0.55, 220}, {0.80, 0.90, 220}};
    for (const Seed& s : list)
        for (int j = -2; j <= 2; ++j)
            for (int i = -2; i <= 2; ++i) seeds.at(int(s.x * width) + i, int(s.y * height) + j) = s.label;
    return seeds;
}

// The relief the watershed floods: the gradient of the smoothed scene, so
// that the texture does not break the objects into tiles.
Picture<uint8_t> smoothedRelief(const Picture<uint8_t>& g) {
    cli::Image gray(g.width, g.height, 1, cli::Depth::U8);
    std::copy(g.pixels.begin(), g.pixels.end(), gray.bytes.begin());
    const cli::Image relief = cli::smoothedGradient(gray, 5);
    Picture<uint8_t> e(g.width, g.height, 1);
    std::copy(relief.bytes.begin(), relief.bytes.end(), e.pixels.begin());
    return e;
}

// Scratches over the scene: three slanted strokes, 5 pixels thick.
Picture<uint8_t> scratches(int width, int height) {
    Picture<uint8_t> mask(width, height, 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int a = (x + 2 * y) % (width / 3), b = (3 * x - y + 4 * height) % (width / 2);
            mask.at(x, y) = a < 5 || b < 5 ? 255 : 0;
        }
    return mask;
}

}  // namespace

ZALCV_DEMO_STAGE(region, watershed, "watershed of the smoothed gradient from object and background seeds") {
    const Picture<uint8_t> relief = smoothedRelief(scene.gray);
    Picture<uint8_t> labels = objectSeeds(scene.gray.width, scene.gray.height);
    int size = 0;
    StatusCode st = zaliSegmentWatershedGetBufferSize_8u_C1R(labels.roi(), &size);
    if (st != StatusOk) return st;
    uint8_t* buffer = zalsMalloc_8u(size);
    if (!buffer) return StatusNoMemory;
    st = zaliSegmentWatershed_8u_C1IR(relief.data(), relief.step(), labels.data(), labels.step(), labels.roi(), 2,
                                      0x80, buffer);
    zalsFree(buffer);
    out.write("region_watershed_seeds", objectSeeds(scene.gray.width, scene.gray.height));
    out.write("region_watershed_relief", relief);
    out.write("region_watershed", labels);
    // The region boundaries (255) drawn over the scene.
    Picture<uint8_t> overlay = scene.gray;
    for (std::size_t i = 0; i < overlay.pixels.size(); ++i)
        if (labels.pixels[i] == 255) overlay.pixels[i] = 255;
    out.write("region_watershed_overlay", overlay);
    Picture<uint8_t> fmm = objectSeeds(scene.gray.width, scene.gray.height);
    if (st == StatusOk) {
        buffer = zalsMalloc_8u(size);
        if (!buffer) return StatusNoMemory;
        st = zaliSegmentWatershed_8u_C1IR(relief.data(), relief.step(), fmm.data(), fmm.step(), fmm.roi(), 3, 0,
                                          buffer);
        zalsFree(buffer);
    }
    if (st == StatusOk) st = zaliBoundSegments_8u_C1IR(fmm.data(), fmm.step(), fmm.roi(), 0, 1);
    out.write("region_watershed_fmm_bounds", fmm);
    return st;
}

ZALCV_DEMO_STAGE(region, fast_marching, "fast-marching times inside the central ellipse, band of 24 outside") {
    Picture<float> times(scene.mask.width, scene.mask.height, 1);
    int size = 0;
    StatusCode st = zaliFastMarchingGetBufferSize_8u32f_C1R(times.roi(), &size);
    if (st != StatusOk) return st;
    std::vector<uint8_t> flags(static_cast<std::size_t>(size));
    st = zaliFastMarching_8u32f_C1R(scene.mask.data(), scene.mask.step(), times.data(), times.step(), times.roi(),
                                    24.0f, flags.data());
    out.writeScaled("region_fast_marching", times.data(), times.step(), times.width, times.height, -24.0f,
                    largest(times));
    return st;
}

ZALCV_DEMO_STAGE(region, inpaint, "scratched colour and gray scene restored by both inpainting methods") {
    const Picture<uint8_t> mask = scratches(scene.color.width, scene.color.height);
    Picture<float> times(mask.width, mask.height, 1);
    std::vector<uint8_t> flags(static_cast<std::size_t>(mask.height));
    StatusCode st = zaliFastMarching_8u32f_C1R(mask.data(), mask.step(), times.data(), times.step(), times.roi(), 0.0f,
                                               flags.data());
    Picture<uint8_t> damaged = scene.color, grayDamaged = scene.gray;
    for (std::size_t i = 0; i < mask.pixels.size(); ++i)
        if (mask.pixels[i]) {
            damaged.pixels[3 * i] = 255, damaged.pixels[3 * i + 1] = damaged.pixels[3 * i + 2] = 0;
            grayDamaged.pixels[i] = 255;
        }
    out.write("region_inpaint_mask", mask);
    out.write("region_inpaint_damaged", damaged);
    Picture<uint8_t> restored(damaged.width, damaged.height, 3), grayRestored(mask.width, mask.height, 1);
    InpaintState* state = nullptr;
    if (st == StatusOk)
        st = zaliInpaintInitAlloc_8u_C3R(&state, times.data(), times.step(), mask.data(), mask.step(), mask.roi(), 5.0f,
                                         0);
    if (st == StatusOk)
        st = zaliInpaint_8u_C3R(damaged.data(), damaged.step(), restored.data(), restored.step(), restored.roi(), state);
    zaliInpaintFree_8u_C3R(state);
    out.write("region_inpaint_distance", restored);
    state = nullptr;
    if (st == StatusOk)
        st = zaliInpaintInitAlloc_8u_C1R(&state, times.data(), times.step(), mask.data(), mask.step(), mask.roi(), 5.0f,
                                         1);
    if (st == StatusOk)
        st = zaliInpaint_8u_C1R(grayDamaged.data(), grayDamaged.step(), grayRestored.data(), grayRestored.step(),
                                grayRestored.roi(), state);
    zaliInpaintFree_8u_C1R(state);
    out.write("region_inpaint_isophote", grayRestored);
    return st;
}
