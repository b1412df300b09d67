// Demo stages of edge and feature detection: Canny edges from Sobel
// derivatives, a corner-strength map, a colour gradient and gradient angles.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "demo.h"

using demo::Picture;

namespace {

// The work buffer that a size query reported (aligned allocator).
struct FeatureWork {
    explicit FeatureWork(int bytes) : p(zalsMalloc_8u(bytes > 0 ? bytes : 1)) {}
    ~FeatureWork() { zalsFree(p); }
    FeatureWork(const FeatureWork&) = delete;
    FeatureWork& operator=(const FeatureWork&) = delete;
    uint8_t* p;
};

// Sobel derivatives of the gray scene: dx positive for intensity rising to
// the right (the negated vertical-edge filter), dy rising downward.
StatusCode sobelPair(const Picture<uint8_t>& gray, Picture<int16_t>& dx, Picture<int16_t>& dy) {
    int size = 0;
    StatusCode st = zaliFilterSobelHorizGetBufferSize_8u16s_C1R(gray.roi(), Aperture3x3, &size);
    if (st != StatusOk) return st;
    FeatureWork work(size);
    st = zaliFilterSobelNegVertBorder_8u16s_C1R(gray.data(), gray.step(), dx.data(), dx.step(), gray.roi(), Aperture3x3,
                                                BorderReplicate, 0, work.p);
    if (st != StatusOk) return st;
    return zaliFilterSobelHorizBorder_8u16s_C1R(gray.data(), gray.step(), dy.data(), dy.step(), gray.roi(), Aperture3x3,
                                                BorderReplicate, 0, work.p);
}

}  // namespace

ZALCV_DEMO_STAGE(feature, canny, "Canny edges of the gray scene (Sobel 3x3, thresholds 60 and 150)") {
    const ImageSize roi = scene.gray.roi();
    Picture<int16_t> dx(roi.width, roi.height, 1), dy(roi.width, roi.height, 1);
    StatusCode st = sobelPair(scene.gray, dx, dy);
    if (st != StatusOk) return st;
    int size = 0;
    st = zaliCannyGetSize(roi, &size);
    if (st != StatusOk) return st;
    FeatureWork work(size);
    Picture<uint8_t> edges(roi.width, roi.height, 1);
    st = zaliCanny_16s8u_C1R(dx.data(), dx.step(), dy.data(), dy.step(), edges.data(), edges.step(), roi, 60.0f, 150.0f,
                             work.p);
    out.write("feature_canny", edges);
    return st;
}

ZALCV_DEMO_STAGE(feature, corners, "minimum-eigenvalue corner strength (Sobel 3x3, 5x5 window)") {
    const ImageSize roi = scene.gray.roi();
    int size = 0;
    StatusCode st = zaliMinEigenValGetBufferSize_8u32f_C1R(roi, 3, 5, &size);
    if (st != StatusOk) return st;
    FeatureWork work(size);
    Picture<float> strength(roi.width, roi.height, 1);
    st = zaliMinEigenVal_8u32f_C1R(scene.gray.data(), scene.gray.step(), strength.data(), strength.step(), roi,
                                   DerivKernelSobel, 3, 5, work.p);
    out.writeScaled("feature_min_eigen", strength.data(), strength.step(), roi.width, roi.height, 0.0f, 2.0f);
    return st;
}

ZALCV_DEMO_STAGE(feature, gradient, "colour gradient to gray (Euclidean norm of per-channel differences)") {
    const Picture<uint8_t>& color = scene.color;
    // Per-channel absolute difference to the right neighbour: a crude
    // colour gradient to collapse.
    Picture<uint8_t> grad(color.width, color.height, 3);
    for (int y = 0; y < color.height; ++y)
        for (int x = 0; x < color.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int right = x + 1 < color.width ? x + 1 : x;
                const int d = 4 * std::abs(color.at(right, y, c) - color.at(x, y, c));
                grad.at(x, y, c) = static_cast<uint8_t>(d > 255 ? 255 : d);
            }
    Picture<uint8_t> gray(color.width, color.height, 1);
    const StatusCode st = zaliGradientColorToGray_8u_C3C1R(grad.data(), grad.step(), gray.data(), gray.step(),
                                                           gray.roi(), GradientNormEuclid);
    out.write("feature_gradient_gray", gray);
    return st;
}

ZALCV_DEMO_STAGE(feature, angle, "gradient direction in degrees (fast arctangent of the Sobel pair)") {
    const ImageSize roi = scene.gray.roi();
    Picture<int16_t> dx(roi.width, roi.height, 1), dy(roi.width, roi.height, 1);
    StatusCode st = sobelPair(scene.gray, dx, dy);
    if (st != StatusOk) return st;
    const int n = roi.width * roi.height;
    std::vector<float> fx(dx.pixels.begin(), dx.pixels.end()), fy(dy.pixels.begin(), dy.pixels.end());
    Picture<float> angle(roi.width, roi.height, 1);
    st = zalibFastArctan_32f(fy.data(), fx.data(), angle.data(), n);
    out.writeScaled("feature_angle", angle.data(), angle.step(), roi.width, roi.height, 0.0f, 360.0f);
    return st;
}
