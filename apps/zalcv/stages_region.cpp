// Demo stages of the distance transforms and the flood fill.
#include <algorithm>
#include <vector>

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
