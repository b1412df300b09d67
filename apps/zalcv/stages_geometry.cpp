// Demo stages of lens undistortion, motion history and line sampling.
#include <cstdlib>
#include <vector>

#include "demo.h"

using demo::Picture;

namespace {

// A lens with visible barrel distortion for the 640x480 scene.
constexpr float kFocal = 500.0f, kK1 = -0.35f, kK2 = 0.12f;

}  // namespace

ZALCV_DEMO_STAGE(geometry, undistort, "radial undistortion of the gray and colour scene (buffered)") {
    const ImageSize roi = scene.gray.roi();
    int size = 0;
    StatusCode st = zaliUndistortGetSize(roi, &size);
    if (st != StatusOk) return st;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(size));
    const float cx = 0.5f * (roi.width - 1), cy = 0.5f * (roi.height - 1);
    Picture<uint8_t> gray(roi.width, roi.height, 1), color(roi.width, roi.height, 3);
    st = zaliUndistortRadial_8u_C1R(scene.gray.data(), scene.gray.step(), gray.data(), gray.step(), roi, kFocal, kFocal,
                                    cx, cy, kK1, kK2, buffer.data());
    if (st == StatusOk)
        st = zaliUndistortRadial_8u_C3R(scene.color.data(), scene.color.step(), color.data(), color.step(), roi, kFocal,
                                        kFocal, cx, cy, kK1, kK2, nullptr);
    out.write("geometry_undistort_gray", gray);
    out.write("geometry_undistort_color", color);
    return st;
}

ZALCV_DEMO_STAGE(geometry, map, "undistortion map with tangential terms (x and y source positions)") {
    const ImageSize roi = scene.gray.roi();
    Picture<float> xMap(roi.width, roi.height, 1), yMap(roi.width, roi.height, 1);
    const StatusCode st = zaliCreateMapCameraUndistort_32f_C1R(xMap.data(), xMap.step(), yMap.data(), yMap.step(), roi,
                                                               kFocal, kFocal, 320.0f, 240.0f, kK1, kK2, 0.01f, -0.01f,
                                                               nullptr);
    out.writeScaled("geometry_map_x", xMap.data(), xMap.step(), roi.width, roi.height, 0.0f, roi.width - 1.0f);
    out.writeScaled("geometry_map_y", yMap.data(), yMap.step(), roi.width, roi.height, 0.0f, roi.height - 1.0f);
    return st;
}

ZALCV_DEMO_STAGE(geometry, motion, "motion history of the moved shapes over five time steps") {
    const ImageSize roi = scene.gray.roi();
    Picture<float> history(roi.width, roi.height, 1);
    Picture<uint8_t> silhouette(roi.width, roi.height, 1);
    // Frame t blends the two scene frames; motion is a change above 24 levels.
    std::vector<uint8_t> previous = scene.gray.pixels;
    StatusCode st = StatusOk;
    for (int t = 1; t <= 5 && st == StatusOk; ++t) {
        for (std::size_t i = 0; i < previous.size(); ++i) {
            const int frame = (scene.gray.pixels[i] * (5 - t) + scene.moved.pixels[i] * t) / 5;
            silhouette.pixels[i] = std::abs(frame - previous[i]) > 24 ? 255 : 0;
            previous[i] = static_cast<uint8_t>(frame);
        }
        st = zaliUpdateMotionHistory_8u32f_C1IR(silhouette.data(), silhouette.step(), history.data(), history.step(), roi,
                                                static_cast<float>(t), 3.0f);
    }
    out.writeScaled("geometry_motion_history", history.data(), history.step(), roi.width, roi.height, 0.0f, 5.0f);
    return st;
}

ZALCV_DEMO_STAGE(geometry, profile, "gray profile along the scene diagonal, plotted") {
    const ImageSize roi = scene.gray.roi();
    std::vector<uint8_t> samples(static_cast<std::size_t>(roi.width > roi.height ? roi.width : roi.height));
    const StatusCode st = zaliSampleLine_8u_C1R(scene.gray.data(), scene.gray.step(), roi, samples.data(), ImagePoint{0, 0},
                                                ImagePoint{roi.width - 1, roi.height - 1});
    Picture<uint8_t> plot(static_cast<int>(samples.size()), 128, 1);
    for (int x = 0; x < plot.width; ++x)
        for (int y = 127 - samples[x] / 2; y < 128; ++y) plot.at(x, y) = 200;
    out.write("geometry_profile", plot);
    return st;
}
