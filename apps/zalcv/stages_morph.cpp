// Demo stages of the morphology family and the rectangular min/max filters.
#include <vector>

#include "demo.h"

using demo::Picture;

namespace {

// A filled disk of the given radius as a (2r + 1) square mask.
std::vector<uint8_t> diskMask(int r) {
    const int n = 2 * r + 1;
    std::vector<uint8_t> m(static_cast<std::size_t>(n) * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) m[y * n + x] = (x - r) * (x - r) + (y - r) * (y - r) <= r * r ? 1 : 0;
    return m;
}

}  // namespace

ZALCV_DEMO_STAGE(morph, minmax, "9x9 minimum and maximum filters on the gray scene") {
    const ImageSize mask{9, 9};
    int size = 0;
    StatusCode st = zaliFilterMinGetBufferSize_8u_C1R(scene.gray.width, mask, &size);
    if (st != StatusOk) return st;
    std::vector<uint8_t> buffer(size);
    Picture<uint8_t> out8(scene.gray.width, scene.gray.height, 1);
    st = zaliFilterMinBorderReplicate_8u_C1R(scene.gray.data(), scene.gray.step(), out8.data(), out8.step(), out8.roi(),
                                             mask, ImagePoint{4, 4}, buffer.data());
    out.write("morph_min9", out8);
    if (st == StatusOk)
        st = zaliFilterMaxBorderReplicate_8u_C1R(scene.gray.data(), scene.gray.step(), out8.data(), out8.step(),
                                                 out8.roi(), mask, ImagePoint{4, 4}, buffer.data());
    out.write("morph_max9", out8);
    return st;
}

ZALCV_DEMO_STAGE(morph, dilate, "colour dilation and erosion with a radius-4 disk") {
    const std::vector<uint8_t> disk = diskMask(4);
    MorphologyState* state = nullptr;
    StatusCode st = zaliMorphologyInitAlloc_8u_C3R(scene.color.width, disk.data(), ImageSize{9, 9}, ImagePoint{4, 4},
                                                   &state);
    if (st != StatusOk) return st;
    Picture<uint8_t> result(scene.color.width, scene.color.height, 3);
    st = zaliDilateBorderReplicate_8u_C3R(scene.color.data(), scene.color.step(), result.data(), result.step(),
                                          result.roi(), BorderReplicate, state);
    out.write("morph_dilate_disk", result);
    if (st == StatusOk)
        st = zaliErodeBorderReplicate_8u_C3R(scene.color.data(), scene.color.step(), result.data(), result.step(),
                                             result.roi(), BorderReplicate, state);
    out.write("morph_erode_disk", result);
    zaliMorphologyFree(state);
    return st;
}

ZALCV_DEMO_STAGE(morph, advanced, "opening, top-hat and gradient of the 32f scene with a 7x7 square") {
    const std::vector<uint8_t> square(49, 1);
    MorphAdvState* state = nullptr;
    StatusCode st = zaliMorphAdvInitAlloc_32f_C1R(&state, scene.grayF.roi(), square.data(), ImageSize{7, 7},
                                                  ImagePoint{3, 3});
    if (st != StatusOk) return st;
    Picture<float> result(scene.grayF.width, scene.grayF.height, 1);
    struct Op {
        const char* name;
        StatusCode (*fn)(const float*, int, float*, int, ImageSize, int, MorphAdvState*);
        float hi;
    };
    const Op ops[] = {{"morph_open", zaliMorphOpenBorder_32f_C1R, 255.0f},
                      {"morph_tophat", zaliMorphTophatBorder_32f_C1R, 128.0f},
                      {"morph_gradient", zaliMorphGradientBorder_32f_C1R, 128.0f}};
    for (const Op& op : ops) {
        if (st != StatusOk) break;
        st = op.fn(scene.grayF.data(), scene.grayF.step(), result.data(), result.step(), result.roi(), BorderReplicate,
                   state);
        out.writeScaled(op.name, result.data(), result.step(), result.width, result.height, 0.0f, op.hi);
    }
    zaliMorphAdvFree(state);
    return st;
}

ZALCV_DEMO_STAGE(morph, gray, "grayscale-kernel dilation with a dome-shaped 5x5 kernel") {
    std::vector<int32_t> dome(25);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) dome[y * 5 + x] = 20 - 5 * ((x - 2) * (x - 2) + (y - 2) * (y - 2));
    MorphGrayState* state = nullptr;
    StatusCode st = zaliMorphGrayInitAlloc_8u_C1R(&state, scene.gray.roi(), dome.data(), ImageSize{5, 5},
                                                  ImagePoint{2, 2});
    if (st != StatusOk) return st;
    Picture<uint8_t> result(scene.gray.width, scene.gray.height, 1);
    st = zaliGrayDilateBorder_8u_C1R(scene.gray.data(), scene.gray.step(), result.data(), result.step(), result.roi(),
                                     BorderReplicate, state);
    out.write("morph_gray_dilate", result);
    zaliMorphGrayFree_8u_C1R(state);
    return st;
}

ZALCV_DEMO_STAGE(morph, reconstruct, "reconstruction by dilation from the scene's centre ellipse") {
    // Marker: the scene where the central mask is set, 0 elsewhere; the
    // reconstruction recovers every bright structure connected to it.
    Picture<uint8_t> marker(scene.gray.width, scene.gray.height, 1);
    for (std::size_t i = 0; i < marker.pixels.size(); ++i)
        marker.pixels[i] = scene.mask.pixels[i] != 0 ? scene.gray.pixels[i] : 0;
    int size = 0;
    StatusCode st = zaliMorphReconstructGetBufferSize_8u_C1(marker.roi(), &size);
    if (st != StatusOk) return st;
    std::vector<uint8_t> buffer(size);
    st = zaliMorphReconstructDilate_8u_C1IR(scene.gray.data(), scene.gray.step(), marker.data(), marker.step(),
                                            marker.roi(), buffer.data(), 0);
    out.write("morph_reconstruct", marker);
    return st;
}
