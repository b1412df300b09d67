// Demo stages of accumulation and the masked statistics.
#include <cstdio>
#include <vector>

#include "demo.h"

using demo::Picture;

ZALCV_DEMO_STAGE(stats, variance, "per-pixel variance over two frames (Add, AddSquare)") {
    const ImageSize roi = scene.gray.roi();
    Picture<float> sum(roi.width, roi.height, 1), squares(roi.width, roi.height, 1);
    StatusCode st = StatusOk;
    for (const Picture<uint8_t>* frame : {&scene.gray, &scene.moved}) {
        if (st == StatusOk) st = zaliAdd_8u32f_C1IR(frame->data(), frame->step(), sum.data(), sum.step(), roi);
        if (st == StatusOk)
            st = zaliAddSquare_8u32f_C1IR(frame->data(), frame->step(), squares.data(), squares.step(), roi);
    }
    // var = E[x^2] - E[x]^2 over the two frames: non-zero where the shapes moved.
    Picture<float> variance(roi.width, roi.height, 1);
    for (std::size_t i = 0; i < variance.pixels.size(); ++i) {
        const float mean = sum.pixels[i] * 0.5f;
        variance.pixels[i] = squares.pixels[i] * 0.5f - mean * mean;
    }
    out.writeScaled("stats_variance", variance.data(), variance.step(), roi.width, roi.height, 0.0f, 4096.0f);
    return st;
}

ZALCV_DEMO_STAGE(stats, average, "running average of the moved frame inside the mask (AddWeighted)") {
    const ImageSize roi = scene.gray.roi();
    Picture<float> acc = scene.grayF;
    StatusCode st = StatusOk;
    // Three steps toward the second frame, only where the mask selects.
    for (int i = 0; i < 3 && st == StatusOk; ++i)
        st = zaliAddWeighted_8u32f_C1IMR(scene.moved.data(), scene.moved.step(), scene.mask.data(), scene.mask.step(),
                                         acc.data(), acc.step(), roi, 0.5f);
    out.writeScaled("stats_average", acc.data(), acc.step(), roi.width, roi.height, 0.0f, 255.0f);
    return st;
}

ZALCV_DEMO_STAGE(stats, minmax, "masked mean/deviation, minimum and maximum marked on the gray scene") {
    const ImageSize roi = scene.gray.roi();
    double mean = 0, deviation = 0;
    StatusCode st = zaliMean_StdDev_8u_C1MR(scene.gray.data(), scene.gray.step(), scene.mask.data(),
                                            scene.mask.step(), roi, &mean, &deviation);
    float lo = 0, hi = 0;
    ImagePoint loAt{0, 0}, hiAt{0, 0};
    if (st == StatusOk)
        st = zaliMinMaxIndx_8u_C1MR(scene.gray.data(), scene.gray.step(), scene.mask.data(), scene.mask.step(), roi,
                                    &lo, &hi, &loAt, &hiAt);
    std::printf("    inside the mask: mean %.3f, deviation %.3f, min %.0f at (%d, %d), max %.0f at (%d, %d)\n", mean,
                deviation, lo, loAt.x, loAt.y, hi, hiAt.x, hiAt.y);
    // Colour copy of the scene with a red cross on the minimum and a green
    // cross on the maximum.
    Picture<uint8_t> marked(roi.width, roi.height, 3);
    for (int y = 0; y < roi.height; ++y)
        for (int x = 0; x < roi.width; ++x)
            for (int c = 0; c < 3; ++c) marked.at(x, y, c) = scene.gray.at(x, y) / 2;
    for (const auto& [p, channel] : {std::pair{loAt, 0}, std::pair{hiAt, 1}})
        for (int d = -8; d <= 8; ++d) {
            if (p.x + d >= 0 && p.x + d < roi.width) marked.at(p.x + d, p.y, channel) = 255;
            if (p.y + d >= 0 && p.y + d < roi.height) marked.at(p.x, p.y + d, channel) = 255;
        }
    out.write("stats_minmax", marked);
    return st;
}

ZALCV_DEMO_STAGE(stats, tilenorm, "per-tile relative L1 norm of the frame difference inside the mask") {
    const int tile = 32;
    const int tilesX = scene.gray.width / tile, tilesY = scene.gray.height / tile;
    Picture<float> heat(tilesX * tile, tilesY * tile, 1);
    StatusCode worst = StatusOk;
    for (int ty = 0; ty < tilesY; ++ty)
        for (int tx = 0; tx < tilesX; ++tx) {
            // A tile is a region of interest: the pointers move, the steps stay.
            const std::size_t offset = static_cast<std::size_t>(ty) * tile * scene.gray.width + tx * tile;
            double value = 0;
            const StatusCode st = zaliNormRel_L1_8u_C1MR(
                scene.moved.data() + offset, scene.moved.step(), scene.gray.data() + offset, scene.gray.step(),
                scene.mask.data() + offset, scene.mask.step(), ImageSize{tile, tile}, &value);
            // Tiles outside the mask or over black have no denominator (warning 6).
            if (st < 0) worst = st;
            const float shown = st == StatusOk ? static_cast<float>(value) : 0.0f;
            for (int y = 0; y < tile; ++y)
                for (int x = 0; x < tile; ++x) heat.at(tx * tile + x, ty * tile + y) = shown;
        }
    out.writeScaled("stats_tilenorm", heat.data(), heat.step(), heat.width, heat.height, 0.0f, 0.5f);
    return worst;
}
