// Demo stages of the linear filters: Sobel gradients, a Laplacian, a box
// lowpass and a separable Gaussian run through the row and column passes.
#include <cstdlib>
#include <vector>

#include "demo.h"

using demo::Picture;

namespace {

// The work buffer that a size query reported (aligned allocator).
struct Work {
    explicit Work(int bytes) : p(zalsMalloc_8u(bytes > 0 ? bytes : 1)) {}
    ~Work() { zalsFree(p); }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
    uint8_t* p;
};

// |value| of a 16s image scaled to 8 bits.
Picture<uint8_t> magnitude8u(const Picture<int16_t>& d, int scale) {
    Picture<uint8_t> m(d.width, d.height, 1);
    for (std::size_t i = 0; i < d.pixels.size(); ++i) {
        const int v = std::abs(static_cast<int>(d.pixels[i])) / scale;
        m.pixels[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    return m;
}

}  // namespace

ZALCV_DEMO_STAGE(filter, sobel, "Sobel 3x3 horizontal and vertical edges (8u16s, reflected border)") {
    const ImageSize roi = scene.gray.roi();
    int size = 0;
    StatusCode st = zaliFilterSobelHorizGetBufferSize_8u16s_C1R(roi, Aperture3x3, &size);
    if (st != StatusOk) return st;
    Work work(size);
    Picture<int16_t> gx(roi.width, roi.height, 1), gy(roi.width, roi.height, 1);
    st = zaliFilterSobelHorizBorder_8u16s_C1R(scene.gray.data(), scene.gray.step(), gy.data(), gy.step(), roi,
                                              Aperture3x3, BorderReflect, 0, work.p);
    if (st == StatusOk)
        st = zaliFilterSobelVertBorder_8u16s_C1R(scene.gray.data(), scene.gray.step(), gx.data(), gx.step(), roi,
                                                 Aperture3x3, BorderReflect, 0, work.p);
    out.write("filter_sobel_horizontal", magnitude8u(gy, 4));
    out.write("filter_sobel_vertical", magnitude8u(gx, 4));
    return st;
}

ZALCV_DEMO_STAGE(filter, laplacian, "Laplacian 5x5 of the float scene (replicated border)") {
    const ImageSize roi = scene.grayF.roi();
    int size = 0;
    StatusCode st = zaliFilterLaplacianGetBufferSize_32f_C1R(roi, Aperture5x5, &size);
    if (st != StatusOk) return st;
    Work work(size);
    Picture<float> lap(roi.width, roi.height, 1);
    st = zaliFilterLaplacianBorder_32f_C1R(scene.grayF.data(), scene.grayF.step(), lap.data(), lap.step(), roi,
                                           Aperture5x5, BorderReplicate, 0.0f, work.p);
    out.writeScaled("filter_laplacian", lap.data(), lap.step(), lap.width, lap.height, -2000.0f, 2000.0f);
    return st;
}

ZALCV_DEMO_STAGE(filter, lowpass, "5x5 box lowpass (8u, constant border of 0)") {
    const ImageSize roi = scene.gray.roi();
    int size = 0;
    StatusCode st = zaliFilterLowpassGetBufferSize_8u_C1R(roi, Aperture5x5, &size);
    if (st != StatusOk) return st;
    Work work(size);
    Picture<uint8_t> low(roi.width, roi.height, 1);
    st = zaliFilterLowpassBorder_8u_C1R(scene.gray.data(), scene.gray.step(), low.data(), low.step(), roi, Aperture5x5,
                                        BorderConstant, 0, work.p);
    out.write("filter_lowpass", low);
    return st;
}

ZALCV_DEMO_STAGE(filter, gauss, "separable 7-tap binomial blur of the colour scene (row and column passes)") {
    const ImageSize roi = scene.color.roi();
    const int K = 7;
    std::vector<int16_t> taps(K);
    // 1 6 15 20 15 6 1 (sum 64): the row pass divides by 8, the column pass
    // by 512, 64 * 64 in all.
    StatusCode st = zaliGenSobelKernel_16s(taps.data(), K, 0, 1);
    if (st != StatusOk) return st;
    // Intermediate rows with the vertical border replicated by repeating
    // row pointers.
    Picture<int16_t> mid(roi.width, roi.height, 3);
    std::vector<int16_t*> rowsOut;
    std::vector<const int16_t*> rowsIn;
    for (int y = 0; y < roi.height; ++y) rowsOut.push_back(mid.data() + static_cast<std::size_t>(y) * roi.width * 3);
    for (int y = -K / 2; y < roi.height + K / 2; ++y)
        rowsIn.push_back(rowsOut[static_cast<std::size_t>(y < 0 ? 0 : y >= roi.height ? roi.height - 1 : y)]);
    int rowSize = 0, columnSize = 0;
    st = zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R(roi, K, &rowSize);
    if (st == StatusOk) st = zaliFilterColumnPipelineGetBufferSize_16s8u_C3R(roi, K, &columnSize);
    if (st != StatusOk) return st;
    Work rowWork(rowSize), columnWork(columnSize);
    Picture<uint8_t> blurred(roi.width, roi.height, 3);
    st = zaliFilterRowBorderPipeline_8u16s_C3R(scene.color.data(), scene.color.step(), rowsOut.data(), roi, taps.data(),
                                               K, K / 2, BorderReflectEdge, nullptr, 8, rowWork.p);
    if (st == StatusOk)
        st = zaliFilterColumnPipeline_16s8u_C3R(rowsIn.data(), blurred.data(), blurred.step(), roi, taps.data(), K, 512,
                                                columnWork.p);
    out.write("filter_gauss", blurred);
    return st;
}
