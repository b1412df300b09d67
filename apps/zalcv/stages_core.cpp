// Demo stages of the pixel-wise operations.
#include <vector>

#include "demo.h"

using demo::Picture;

ZALCV_DEMO_STAGE(core, absdiff, "absolute difference of two frames") {
    Picture<uint8_t> diff(scene.gray.width, scene.gray.height, 1);
    const StatusCode st = zaliAbsDiff_8u_C1R(scene.gray.data(), scene.gray.step(), scene.moved.data(),
                                             scene.moved.step(), diff.data(), diff.step(), diff.roi());
    out.write("core_absdiff", diff);
    return st;
}

ZALCV_DEMO_STAGE(core, absdiffc, "absolute difference with 128 (32f)") {
    Picture<float> diff(scene.grayF.width, scene.grayF.height, 1);
    const StatusCode st = zaliAbsDiffC_32f_C1R(scene.grayF.data(), scene.grayF.step(), diff.data(), diff.step(),
                                               diff.roi(), 128.0f);
    out.writeScaled("core_absdiffc", diff.data(), diff.step(), diff.width, diff.height, 0.0f, 128.0f);
    return st;
}

ZALCV_DEMO_STAGE(core, border, "colour copy with a 32-pixel replicated border") {
    const int border = 32;
    Picture<uint8_t> framed(scene.color.width + 2 * border, scene.color.height + 2 * border, 3);
    const StatusCode st = zaliCopyReplicateBorder_8u_C3R(scene.color.data(), scene.color.step(), scene.color.roi(),
                                                         framed.data(), framed.step(), framed.roi(), border, border);
    out.write("core_border", framed);
    return st;
}

ZALCV_DEMO_STAGE(core, sub, "frame difference scaled by 4 (Sfs -2)") {
    Picture<uint8_t> diff(scene.gray.width, scene.gray.height, 1);
    const StatusCode st = zaliSub_8u_C1RSfs(scene.moved.data(), scene.moved.step(), scene.gray.data(),
                                            scene.gray.step(), diff.data(), diff.step(), diff.roi(), -2);
    out.write("core_sub", diff);
    return st;
}

ZALCV_DEMO_STAGE(core, threshold, "threshold: 8u above 128 set to 255, 32f clamped below 100") {
    Picture<uint8_t> bin(scene.gray.width, scene.gray.height, 1);
    StatusCode st = zaliThreshold_Val_8u_C1R(scene.gray.data(), scene.gray.step(), bin.data(), bin.step(), bin.roi(),
                                             128, 255, 4);
    out.write("core_threshold_8u", bin);
    Picture<float> clamped = scene.grayF;
    if (st == StatusOk) st = zaliThreshold_LT_32f_C1IR(clamped.data(), clamped.step(), clamped.roi(), 100.0f);
    out.writeScaled("core_threshold_32f", clamped.data(), clamped.step(), clamped.width, clamped.height, 0.0f, 255.0f);
    return st;
}

ZALCV_DEMO_STAGE(core, sort, "sort of one scene row (64f)") {
    std::vector<double> row(scene.gray.pixels.begin(), scene.gray.pixels.begin() + scene.gray.width);
    return zalsSortAscend_64f_I(row.data(), static_cast<int>(row.size()));
}
