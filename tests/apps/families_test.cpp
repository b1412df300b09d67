// Every family through the program on small files, compared with the same
// library calls made directly. Inputs and outputs are .npy files written and
// read by the test's own code, so the comparison is exact.
#include <cmath>
#include <functional>
#include <map>

#include "cli_support.h"

using cli::Depth;
using cli::Image;
using clitest::TempDir;

namespace {

// Library status must be OK for the reference itself to be meaningful.
#define OK(call) ASSERT_EQ(static_cast<int>(call), 0) << #call

struct Buffer {
    explicit Buffer(int n) : p(zalsMalloc_8u(n > 0 ? n : 1)) {}
    ~Buffer() { zalsFree(p); }
    uint8_t* p;
};

Image gray8(unsigned seed = 1) { return clitest::testImage(37, 29, 1, Depth::U8, seed); }
Image rgb8(unsigned seed = 2) { return clitest::testImage(31, 23, 3, Depth::U8, seed); }
Image gray32(unsigned seed = 3) { return clitest::testImage(33, 27, 1, Depth::F32, seed); }

// Zero on a few blobs and lines, 1 elsewhere: an input for the distances.
Image features() {
    Image img(40, 30, 1, Depth::U8);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) img.data<uint8_t>()[y * 40 + x] = ((x - 10) * (x - 10) + (y - 8) * (y - 8) < 9 || x == 33) ? 0 : 1;
    return img;
}

struct Case {
    std::string name;
    std::vector<std::string> args;  // "{in}", "{in2}" and "{out}" are replaced
    std::function<Image()> input;
    std::function<void(const Image& in, Image& expected)> reference;
    std::function<Image()> input2 = nullptr;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

using Fixed8 = StatusCode (*)(const uint8_t*, int, int16_t*, int, ImageSize, ApertureSize, BorderKind, uint8_t, uint8_t*);
using Query = StatusCode (*)(ImageSize, ApertureSize, int*);

void fixed8(const Image& in, Image& out, Query q, Fixed8 f, ApertureSize m, BorderKind b = BorderReplicate, uint8_t v = 0) {
    int n = 0;
    OK(q(in.roi(), m, &n));
    Buffer work(n);
    out = Image(in.width, in.height, 1, Depth::S16);
    OK(f(in.data<uint8_t>(), in.step(), out.data<int16_t>(), out.step(), in.roi(), m, b, v, work.p));
}

std::vector<uint8_t> disk(int r) {
    std::vector<uint8_t> m(static_cast<std::size_t>((2 * r + 1) * (2 * r + 1)));
    for (int y = -r; y <= r; ++y)
        for (int x = -r; x <= r; ++x) m[static_cast<std::size_t>((y + r) * (2 * r + 1) + x + r)] = x * x + y * y <= r * r;
    return m;
}

Image gaussDown(const Image& in) {
    int n = 0;
    Image out((in.width + 1) / 2, (in.height + 1) / 2, in.channels, in.depth);
    zaliPyrDownGetBufSize_Gauss5x5(in.width, in.depth == Depth::U8 ? 1 : 9, in.channels, &n);
    Buffer work(n);
    if (in.depth == Depth::U8)
        (in.channels == 3 ? zaliPyrDown_Gauss5x5_8u_C3R : zaliPyrDown_Gauss5x5_8u_C1R)(
            in.data<uint8_t>(), in.step(), out.data<uint8_t>(), out.step(), in.roi(), work.p);
    else
        zaliPyrDown_Gauss5x5_32f_C1R(in.data<float>(), in.step(), out.data<float>(), out.step(), in.roi(), work.p);
    return out;
}

Image smoothedGradientReference(const Image& in, int passes) {
    Image s = in, t = in;
    int n = 0;
    zaliFilterLowpassGetBufferSize_8u_C1R(in.roi(), Aperture5x5, &n);
    Buffer work(n);
    for (int i = 0; i < passes; ++i) {
        zaliFilterLowpassBorder_8u_C1R(s.data<uint8_t>(), s.step(), t.data<uint8_t>(), t.step(), in.roi(), Aperture5x5,
                                       BorderReplicate, 0, work.p);
        s = t;
    }
    Image dx, dy;
    fixed8(s, dx, zaliFilterSobelNegVertGetBufferSize_8u16s_C1R, zaliFilterSobelNegVertBorder_8u16s_C1R, Aperture3x3);
    fixed8(s, dy, zaliFilterSobelHorizGetBufferSize_8u16s_C1R, zaliFilterSobelHorizBorder_8u16s_C1R, Aperture3x3);
    Image r(in.width, in.height, 1, Depth::U8);
    for (std::size_t i = 0; i < r.samples(); ++i)
        r.data<uint8_t>()[i] = static_cast<uint8_t>(std::min(255, (std::abs(dx.data<int16_t>()[i]) + std::abs(dy.data<int16_t>()[i])) / 8));
    return r;
}

Image seeds(int w, int h) {
    Image m(w, h, 1, Depth::U8);
    m.data<uint8_t>()[2 * w + 2] = 10;
    m.data<uint8_t>()[(h / 2) * w + w / 2 - 3] = 20;
    m.data<uint8_t>()[(h - 3) * w + w - 3] = 30;
    return m;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> list = {
        {"sobel_dx", {"sobel", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             fixed8(in, e, zaliFilterSobelNegVertGetBufferSize_8u16s_C1R, zaliFilterSobelNegVertBorder_8u16s_C1R, Aperture3x3);
         }},
        {"sobel_dxx_constant_border", {"sobel", "--dx", "2", "--border", "constant", "--border-value", "7", "{in}", "{out}"},
         [] { return gray8(4); },
         [](const Image& in, Image& e) {
             fixed8(in, e, zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R, zaliFilterSobelVertSecondBorder_8u16s_C1R,
                    Aperture3x3, BorderConstant, 7);
         }},
        {"sobel_dy_5x5_float", {"sobel", "--dx", "0", "--dy", "1", "--ksize", "5", "{in}", "{out}"}, [] { return gray32(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliFilterSobelHorizGetBufferSize_32f_C1R(in.roi(), Aperture5x5, &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliFilterSobelHorizBorder_32f_C1R(in.data<float>(), in.step(), e.data<float>(), e.step(), in.roi(),
                                                   Aperture5x5, BorderReplicate, 0, w.p));
         }},
        {"scharr_dy", {"scharr", "--dx", "0", "--dy", "1", "--border", "reflect", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliFilterScharrHorizGetBufferSize_8u16s_C1R(in.roi(), &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::S16);
             OK(zaliFilterScharrHorizBorder_8u16s_C1R(in.data<uint8_t>(), in.step(), e.data<int16_t>(), e.step(), in.roi(),
                                                      BorderReflect, 0, w.p));
         }},
        {"laplacian_5x5", {"laplacian", "--ksize", "5", "{in}", "{out}"}, [] { return gray8(5); },
         [](const Image& in, Image& e) {
             fixed8(in, e, zaliFilterLaplacianGetBufferSize_8u16s_C1R, zaliFilterLaplacianBorder_8u16s_C1R, Aperture5x5);
         }},
        {"blur_5x5", {"blur", "--ksize", "5", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliFilterLowpassGetBufferSize_8u_C1R(in.roi(), Aperture5x5, &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliFilterLowpassBorder_8u_C1R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                               Aperture5x5, BorderReplicate, 0, w.p));
         }},
        {"maxfilter_rgb_anchor", {"maxfilter", "--size", "5x3", "--anchor", "1,1", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliFilterMaxGetBufferSize_8u_C3R(in.width, ImageSize{5, 3}, &n));
             Buffer w(n);
             e = Image(in.width, in.height, 3, Depth::U8);
             OK(zaliFilterMaxBorderReplicate_8u_C3R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                                    ImageSize{5, 3}, ImagePoint{1, 1}, w.p));
         }},
        {"minfilter_float_rgba", {"minfilter", "--size", "3", "{in}", "{out}"},
         [] { return clitest::testImage(19, 17, 4, Depth::F32, 6); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliFilterMinGetBufferSize_32f_C4R(in.width, ImageSize{3, 3}, &n));
             Buffer w(n);
             e = Image(in.width, in.height, 4, Depth::F32);
             OK(zaliFilterMinBorderReplicate_32f_C4R(in.data<float>(), in.step(), e.data<float>(), e.step(), in.roi(),
                                                     ImageSize{3, 3}, ImagePoint{1, 1}, w.p));
         }},
        {"canny", {"canny", "--low", "40", "--high", "120", "{in}", "{out}"}, [] { return gray8(7); },
         [](const Image& in, Image& e) {
             Image dx, dy;
             fixed8(in, dx, zaliFilterSobelNegVertGetBufferSize_8u16s_C1R, zaliFilterSobelNegVertBorder_8u16s_C1R, Aperture3x3);
             fixed8(in, dy, zaliFilterSobelHorizGetBufferSize_8u16s_C1R, zaliFilterSobelHorizBorder_8u16s_C1R, Aperture3x3);
             int n = 0;
             OK(zaliCannyGetSize(in.roi(), &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliCanny_16s8u_C1R(dx.data<int16_t>(), dx.step(), dy.data<int16_t>(), dy.step(), e.data<uint8_t>(), e.step(),
                                    in.roi(), 40, 120, w.p));
         }},
        {"corners_scharr", {"corners", "--kernel", "scharr", "--window", "3", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliMinEigenValGetBufferSize_8u32f_C1R(in.roi(), 3, 3, &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliMinEigenVal_8u32f_C1R(in.data<uint8_t>(), in.step(), e.data<float>(), e.step(), in.roi(),
                                          DerivKernelScharr, 3, 3, w.p));
         }},
        {"colorgrad_sum", {"colorgrad", "--norm", "sum", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) {
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliGradientColorToGray_8u_C3C1R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                                 GradientNormSum));
         }},
        {"dilate_disk", {"dilate", "--footprint", "disk:2", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             const auto m = disk(2);
             MorphologyState* s = nullptr;
             OK(zaliMorphologyInitAlloc_8u_C1R(in.width, m.data(), ImageSize{5, 5}, ImagePoint{2, 2}, &s));
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliDilateBorderReplicate_8u_C1R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                                 BorderReplicate, s));
             zaliMorphologyFree(s);
         }},
        {"erode_cross_rgb", {"erode", "--footprint", "cross:1", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) {
             const uint8_t m[9] = {0, 1, 0, 1, 1, 1, 0, 1, 0};
             MorphologyState* s = nullptr;
             OK(zaliMorphologyInitAlloc_8u_C3R(in.width, m, ImageSize{3, 3}, ImagePoint{1, 1}, &s));
             e = Image(in.width, in.height, 3, Depth::U8);
             OK(zaliErodeBorderReplicate_8u_C3R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                                BorderReplicate, s));
             zaliMorphologyFree(s);
         }},
        {"open_rect_float", {"open", "--footprint", "rect:5x3", "{in}", "{out}"}, [] { return gray32(); },
         [](const Image& in, Image& e) {
             const std::vector<uint8_t> m(15, 1);
             MorphAdvState* s = nullptr;
             OK(zaliMorphAdvInitAlloc_32f_C1R(&s, in.roi(), m.data(), ImageSize{5, 3}, ImagePoint{2, 1}));
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliMorphOpenBorder_32f_C1R(in.data<float>(), in.step(), e.data<float>(), e.step(), in.roi(), BorderReplicate, s));
             zaliMorphAdvFree(s);
         }},
        {"tophat_rgb", {"tophat", "--footprint", "rect:3", "--anchor", "0,0", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) {
             const std::vector<uint8_t> m(9, 1);
             MorphAdvState* s = nullptr;
             OK(zaliMorphAdvInitAlloc_8u_C3R(&s, in.roi(), m.data(), ImageSize{3, 3}, ImagePoint{0, 0}));
             e = Image(in.width, in.height, 3, Depth::U8);
             OK(zaliMorphTophatBorder_8u_C3R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(),
                                             BorderReplicate, s));
             zaliMorphAdvFree(s);
         }},
        {"reconstruct_4", {"reconstruct", "--connectivity", "4", "{in}", "{in2}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = gray8(9);
             int n = 0;
             OK(zaliMorphReconstructGetBufferSize_8u_C1(in.roi(), &n));
             Buffer w(n);
             OK(zaliMorphReconstructDilate_8u_C1IR(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(), w.p, 1));
         },
         [] { return gray8(9); }},
        {"distance_l1_3x3_8u", {"distance", "--metric", "l1", "--mask", "3", "--type", "8u", "{in}", "{out}"}, features,
         [](const Image& in, Image& e) {
             int32_t m[3];
             OK(zaliGetDistanceTransformMask_32s(3, 1, m));
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliDistanceTransform_3x3_8u_C1R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(), m));
         }},
        {"distance_l2_5x5_float", {"distance", "{in}", "{out}"}, features,
         [](const Image& in, Image& e) {
             float m[3];
             OK(zaliGetDistanceTransformMask_32f(5, 2, m));
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliDistanceTransform_5x5_8u32f_C1R(in.data<uint8_t>(), in.step(), e.data<float>(), e.step(), in.roi(), m));
         }},
        {"distance_exact", {"distance", "--metric", "l2", "--exact", "{in}", "{out}"}, features,
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(in.roi(), &n));
             Buffer w(n);
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliTrueDistanceTransform_8u32f_C1R(in.data<uint8_t>(), in.step(), e.data<float>(), e.step(), in.roi(), w.p));
         }},
        {"floodfill_range8", {"floodfill", "--seed", "14,14", "--lo", "10", "--hi", "10", "--value", "0", "--connectivity",
                              "8", "{in}", "{out}"},
         [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = in;
             int n = 0;
             OK(zaliFloodFillGetSize(in.roi(), &n));
             Buffer w(n);
             ConnectedComponent r{};
             OK(zaliFloodFill_Range8Con_8u_C1IR(e.data<uint8_t>(), e.step(), e.roi(), ImagePoint{14, 14}, 0, 10, 10, &r, w.p));
         }},
        {"floodfill_floating_rgb", {"floodfill", "--seed", "3,4", "--hi", "6", "--lo", "6", "--range", "floating", "{in}", "{out}"},
         [] { return rgb8(); },
         [](const Image& in, Image& e) {
             e = in;
             int n = 0;
             OK(zaliFloodFillGetSize_Grad(in.roi(), &n));
             Buffer w(n);
             ConnectedComponent r{};
             const uint8_t v[3] = {255, 255, 255}, d[3] = {6, 6, 6};
             OK(zaliFloodFill_Grad4Con_8u_C3IR(e.data<uint8_t>(), e.step(), e.roi(), ImagePoint{3, 4}, v, d, d, &r, w.p));
         }},
        {"watershed_raw_relief", {"watershed", "--relief", "image", "--boundaries", "4", "{in}", "{in2}", "{out}"},
         [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = seeds(in.width, in.height);
             int n = 0;
             OK(zaliSegmentWatershedGetBufferSize_8u_C1R(in.roi(), &n));
             Buffer w(n);
             OK(zaliSegmentWatershed_8u_C1IR(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(), 0, 0x40, w.p));
         },
         [] { return seeds(37, 29); }},
        {"watershed_smoothed_gradient", {"watershed", "--smooth", "1", "--neighbours", "4", "{in}", "{in2}", "{out}"},
         [] { return gray8(); },
         [](const Image& in, Image& e) {
             const Image relief = smoothedGradientReference(in, 1);
             e = seeds(in.width, in.height);
             int n = 0;
             OK(zaliSegmentWatershedGetBufferSize_8u_C1R(in.roi(), &n));
             Buffer w(n);
             OK(zaliSegmentWatershed_8u_C1IR(relief.data<uint8_t>(), relief.step(), e.data<uint8_t>(), e.step(), in.roi(), 1,
                                             0, w.p));
         },
         [] { return seeds(37, 29); }},
        {"pyrdown_rgb", {"pyrdown", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) { e = gaussDown(in); }},
        {"pyrup_float", {"pyrup", "{in}", "{out}"}, [] { return gray32(); },
         [](const Image& in, Image& e) {
             int n = 0;
             OK(zaliPyrUpGetBufSize_Gauss5x5(in.width, 9, 1, &n));
             Buffer w(n);
             e = Image(2 * in.width, 2 * in.height, 1, Depth::F32);
             OK(zaliPyrUp_Gauss5x5_32f_C1R(in.data<float>(), in.step(), e.data<float>(), e.step(), in.roi(), w.p));
         }},
        {"pyramid_strip", {"pyramid", "--levels", "3", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             const Image l1 = gaussDown(in), l2 = gaussDown(l1);
             e = Image(in.width + l1.width + l2.width, in.height, 1, Depth::U8);
             int x0 = 0;
             for (const Image* l : {&in, &l1, &l2}) {
                 for (int y = 0; y < l->height; ++y)
                     for (int x = 0; x < l->width; ++x)
                         e.data<uint8_t>()[y * e.width + x0 + x] = l->data<uint8_t>()[y * l->width + x];
                 x0 += l->width;
             }
         }},
        {"integral_32s", {"integral", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = Image(in.width + 1, in.height + 1, 1, Depth::S32);
             OK(zaliIntegral_8u32s_C1R(in.data<uint8_t>(), in.step(), e.data<int32_t>(), e.step(), in.roi(), 0));
         }},
        {"integral_square", {"integral", "--kind", "square", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             Image sum(in.width + 1, in.height + 1, 1, Depth::S32);
             e = Image(in.width + 1, in.height + 1, 1, Depth::F64);
             OK(zaliSqrIntegral_8u32s64f_C1R(in.data<uint8_t>(), in.step(), sum.data<int32_t>(), sum.step(), e.data<double>(),
                                            e.step(), in.roi(), 0, 0.0));
         }},
        {"integral_tilted_float", {"integral", "--kind", "tilted", "--type", "32f", "{in}", "{out}"}, [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = Image(in.width + 2, in.height + 2, 1, Depth::F32);
             OK(zaliTiltedIntegral_8u32f_C1R(in.data<uint8_t>(), in.step(), e.data<float>(), e.step(), in.roi(), 0.0f));
         }},
        {"undistort", {"undistort", "--fx", "40", "--k1", "-0.2", "--k2", "0.05", "{in}", "{out}"}, [] { return rgb8(); },
         [](const Image& in, Image& e) {
             e = Image(in.width, in.height, 3, Depth::U8);
             OK(zaliUndistortRadial_8u_C3R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(), 40, 40,
                                           (in.width - 1) * 0.5f, (in.height - 1) * 0.5f, -0.2f, 0.05f, nullptr));
         }},
        {"absdiff_16u", {"absdiff", "{in}", "{in2}", "{out}"}, [] { return clitest::testImage(21, 13, 1, Depth::U16, 1); },
         [](const Image& in, Image& e) {
             const Image b = clitest::testImage(21, 13, 1, Depth::U16, 2);
             e = Image(in.width, in.height, 1, Depth::U16);
             OK(zaliAbsDiff_16u_C1R(in.data<uint16_t>(), in.step(), b.data<uint16_t>(), b.step(), e.data<uint16_t>(), e.step(),
                                    in.roi()));
         },
         [] { return clitest::testImage(21, 13, 1, Depth::U16, 2); }},
        {"threshold_below", {"threshold", "--level", "100", "--where", "below", "--value", "0", "{in}", "{out}"},
         [] { return gray8(); },
         [](const Image& in, Image& e) {
             e = Image(in.width, in.height, 1, Depth::U8);
             OK(zaliThreshold_Val_8u_C1R(in.data<uint8_t>(), in.step(), e.data<uint8_t>(), e.step(), in.roi(), 100, 0, 0));
         }},
        {"threshold_clamp_float", {"threshold", "--level", "120.5", "{in}", "{out}"}, [] { return gray32(); },
         [](const Image& in, Image& e) {
             e = Image(in.width, in.height, 1, Depth::F32);
             OK(zaliThreshold_Val_32f_C1R(in.data<float>(), in.step(), e.data<float>(), e.step(), in.roi(), 120.5f, 120.5f, 4));
         }},
        {"copy_signed16", {"copy", "{in}", "{out}"}, [] { return clitest::testImage(9, 7, 2, Depth::S16, 3); },
         [](const Image& in, Image& e) { e = in; }},
    };
    return list;
}

class Families : public ::testing::TestWithParam<Case> {};

std::vector<std::string> substitute(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> out;
    for (const std::string& a : args) {
        if (a == "{in}") out.push_back(dir.path("in.npy"));
        else if (a == "{in2}") out.push_back(dir.path("in2.npy"));
        else if (a == "{out}") out.push_back(dir.path("out.npy"));
        else out.push_back(a);
    }
    return out;
}

TEST_P(Families, MatchesDirectLibraryCalls) {
    const Case& c = GetParam();
    TempDir dir;
    const Image in = c.input();
    clitest::writeNpy(dir.path("in.npy"), in);
    if (c.input2) clitest::writeNpy(dir.path("in2.npy"), c.input2());
    Image expected;
    c.reference(in, expected);
    if (HasFatalFailure()) return;
    // The worker count must not change the result.
    for (const char* threads : {"1", "3"}) {
        std::vector<std::string> args = substitute(c.args, dir);
        args.insert(args.begin() + 1, {"--threads", threads});
        const clitest::Run run = clitest::zalcv(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const Image got = clitest::readNpy(dir.path("out.npy"));
        EXPECT_EQ(clitest::maxDifference(got, expected), 0.0) << "threads " << threads;
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, Families, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& i) { return i.param.name; });

// ---- Operations with text results ----

std::map<std::string, double> jsonNumbers(const std::string& json, std::size_t from) {
    // The numbers of one channel object: "key": number pairs.
    std::map<std::string, double> values;
    const std::size_t end = json.find('}', from);
    std::size_t p = from;
    while ((p = json.find('"', p)) != std::string::npos && p < end) {
        const std::size_t q = json.find('"', p + 1);
        const std::string key = json.substr(p + 1, q - p - 1);
        std::size_t v = json.find_first_not_of(": [", q + 1);
        values[key] = std::strtod(json.c_str() + v, nullptr);
        if (json[json.find_first_not_of(": ", q + 1)] == '[') {
            const std::size_t comma = json.find(',', v);
            values[key + "_y"] = std::strtod(json.c_str() + comma + 1, nullptr);
        }
        p = json.find_first_of(",}", v);
        if (json[json.find_first_not_of(": ", q + 1)] == '[') p = json.find(']', v) + 1;
    }
    return values;
}

TEST(CliText, StatsJsonMatchesLibraryPerChannelWithMask) {
    TempDir dir;
    const Image img = rgb8();
    Image mask(img.width, img.height, 1, Depth::U8);
    for (int i = 0; i < img.width * img.height; ++i) mask.data<uint8_t>()[i] = (i % 3 == 0) ? 255 : 0;
    clitest::writeNpy(dir.path("in.npy"), img);
    clitest::writeNpy(dir.path("mask.npy"), mask);
    const clitest::Run run = clitest::zalcv({"stats", "--json", "--mask", dir.path("mask.npy"), dir.path("in.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t at = run.out.find("\"channels\"");
    ASSERT_NE(at, std::string::npos) << run.out;
    for (int coi = 1; coi <= 3; ++coi) {
        at = run.out.find('{', at + 1);
        auto v = jsonNumbers(run.out, at);
        double mean = 0, sd = 0, norm = 0;
        float mn = 0, mx = 0;
        ImagePoint pmin{}, pmax{};
        OK(zaliMean_StdDev_8u_C3CMR(img.data<uint8_t>(), img.step(), mask.data<uint8_t>(), mask.step(), img.roi(), coi, &mean, &sd));
        OK(zaliMinMaxIndx_8u_C3CMR(img.data<uint8_t>(), img.step(), mask.data<uint8_t>(), mask.step(), img.roi(), coi, &mn, &mx,
                                   &pmin, &pmax));
        OK(zaliNorm_L2_8u_C3CMR(img.data<uint8_t>(), img.step(), mask.data<uint8_t>(), mask.step(), img.roi(), coi, &norm));
        EXPECT_EQ(v["mean"], mean) << coi;
        EXPECT_EQ(v["stddev"], sd) << coi;
        EXPECT_EQ(v["min"], mn);
        EXPECT_EQ(v["max"], mx);
        EXPECT_EQ(v["min_at"], pmin.x);
        EXPECT_EQ(v["min_at_y"], pmin.y);
        EXPECT_EQ(v["max_at"], pmax.x);
        EXPECT_EQ(v["max_at_y"], pmax.y);
        EXPECT_EQ(v["norm_l2"], norm);
    }
    EXPECT_NE(run.out.find("\"pixels\": " + std::to_string((img.width * img.height + 2) / 3)), std::string::npos) << run.out;
}

TEST(CliText, ProfileListsTheSampledPixelsInLineOrder) {
    TempDir dir;
    const Image img = gray8();
    clitest::writeNpy(dir.path("in.npy"), img);
    const clitest::Run run = clitest::zalcv({"profile", "--from", "2,3", "--to", "20,9", dir.path("in.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> samples(19);
    OK(zaliSampleLine_8u_C1R(img.data<uint8_t>(), img.step(), img.roi(), samples.data(), ImagePoint{2, 3}, ImagePoint{20, 9}));
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "index,x,y,value");
    int i = 0;
    while (std::getline(lines, line)) {
        int index, x, y, v;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d", &index, &x, &y, &v), 4) << line;
        EXPECT_EQ(index, i);
        // The pixel at the listed position holds the sampled value.
        EXPECT_EQ(img.data<uint8_t>()[y * img.width + x], v);
        EXPECT_EQ(samples[static_cast<std::size_t>(i)], v);
        ++i;
    }
    EXPECT_EQ(i, 19);
}

TEST(CliText, TrackCsvMatchesLibraryTracking) {
    TempDir dir;
    // A bright square moved by (2, 1) between the frames.
    Image a(48, 40, 1, Depth::U8), b(48, 40, 1, Depth::U8);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
            a.data<uint8_t>()[y * 48 + x] = (x >= 16 && x < 28 && y >= 12 && y < 24) ? 200 : 40;
            b.data<uint8_t>()[y * 48 + x] = (x >= 18 && x < 30 && y >= 13 && y < 25) ? 200 : 40;
        }
    clitest::writeNpy(dir.path("a.npy"), a);
    clitest::writeNpy(dir.path("b.npy"), b);
    clitest::writeBytes(dir.path("points.csv"), std::vector<uint8_t>{'x', ',', 'y', '\n', '1', '6', ',', '1', '2', '\n',
                                                                      '2', '7', ',', '2', '3', '\n'});
    const clitest::Run run = clitest::zalcv({"track", "--points", dir.path("points.csv"), "--levels", "1", dir.path("a.npy"),
                                            dir.path("b.npy"), dir.path("t.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    // The same tracking made directly.
    Pyramid *p1 = nullptr, *p2 = nullptr;
    OK(zaliPyramidInitAlloc(&p1, 1, a.roi(), 2.0f));
    OK(zaliPyramidInitAlloc(&p2, 1, a.roi(), 2.0f));
    const Image a1 = gaussDown(a), b1 = gaussDown(b);
    p1->levelImages[0] = const_cast<uint8_t*>(a.data<uint8_t>()), p1->levelSteps[0] = a.step();
    p1->levelImages[1] = const_cast<uint8_t*>(a1.data<uint8_t>()), p1->levelSteps[1] = a1.step();
    p2->levelImages[0] = const_cast<uint8_t*>(b.data<uint8_t>()), p2->levelSteps[0] = b.step();
    p2->levelImages[1] = const_cast<uint8_t*>(b1.data<uint8_t>()), p2->levelSteps[1] = b1.step();
    float prev[4] = {16, 12, 27, 23}, next[4] = {16, 12, 27, 23}, err[2];
    int8_t status[2];
    OpticalFlowState* st = nullptr;
    OK(zaliOpticalFlowPyrLKInitAlloc_8u_C1R(&st, a.roi(), 9, 0));
    OK(zaliOpticalFlowPyrLK_8u_C1R(p1, p2, prev, next, status, err, 2, 9, 1, 20, 0.01f, st));
    zaliOpticalFlowPyrLKFree_8u_C1R(st);
    zaliPyramidFree(p1);
    zaliPyramidFree(p2);
    const std::vector<uint8_t> bytes = clitest::fileBytes(dir.path("t.csv"));
    const std::string csv(bytes.begin(), bytes.end());
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "x,y,next_x,next_y,status,error");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        float x, y, nx, ny, e;
        int s;
        ASSERT_EQ(std::sscanf(line.c_str(), "%f,%f,%f,%f,%d,%f", &x, &y, &nx, &ny, &s, &e), 6) << line;
        EXPECT_EQ(x, prev[2 * i]);
        EXPECT_EQ(nx, next[2 * i]);
        EXPECT_EQ(ny, next[2 * i + 1]);
        EXPECT_EQ(s, status[i]);
        EXPECT_EQ(e, err[i]);
    }
    // Without pyramid levels the frame alone is tracked.
    const clitest::Run flat = clitest::zalcv({"track", "--points", dir.path("points.csv"), "--levels", "0",
                                             dir.path("a.npy"), dir.path("b.npy")});
    EXPECT_EQ(flat.status, 0) << flat.err;
    EXPECT_NE(flat.out.find("16,12,"), std::string::npos) << flat.out;
    EXPECT_EQ(status[0], 0);  // the corner was found...
    EXPECT_NEAR(next[0], 18, 0.5);  // ...where it moved
    EXPECT_NEAR(next[1], 13, 0.5);
}

TEST(CliText, HaarDetectionMatchesLibraryStage) {
    TempDir dir;
    const Image img = gray8();
    clitest::writeNpy(dir.path("in.npy"), img);
    const std::string cascade =
        "# left half darker than the right\nwindow 8 6\nstage 0.5\nfeature 0.0 0 1\nrect 0 0 4 6 -1\nrect 4 0 4 6 1\n";
    clitest::writeBytes(dir.path("c.txt"), std::vector<uint8_t>(cascade.begin(), cascade.end()));
    const clitest::Run run =
        clitest::zalcv({"haar", "--classifier", dir.path("c.txt"), "--min-stddev", "2", dir.path("in.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    // Reference: tables, window deviation, one stage.
    Image sum(img.width + 1, img.height + 1, 1, Depth::F32), sqr(img.width + 1, img.height + 1, 1, Depth::F64);
    OK(zaliSqrIntegral_8u32f64f_C1R(img.data<uint8_t>(), img.step(), sum.data<float>(), sum.step(), sqr.data<double>(), sqr.step(),
                                    img.roi(), 0, 0));
    const ImageSize win{img.width - 7, img.height - 5};
    Image norm(win.width, win.height, 1, Depth::F32), mask(win.width, win.height, 1, Depth::U8);
    OK(zaliRectStdDev_32f_C1R(sum.data<float>(), sum.step(), sqr.data<double>(), sqr.step(), norm.data<float>(), norm.step(), win,
                              ImageRect{0, 0, 8, 6}));
    for (std::size_t i = 0; i < mask.samples(); ++i) {
        mask.data<uint8_t>()[i] = norm.data<float>()[i] >= 2 ? 1 : 0;
        norm.data<float>()[i] *= 48;
    }
    const ImageRect rects[2] = {{0, 0, 4, 6}, {4, 0, 4, 6}};
    const float w[2] = {-1, 1}, t[1] = {0}, v1[1] = {0}, v2[1] = {1};
    const int num[1] = {2};
    HaarClassifierState_32f* s = nullptr;
    OK(zaliHaarClassifierInitAlloc_32f(&s, rects, w, t, v1, v2, num, 1));
    int positive = 0;
    OK(zaliApplyHaarClassifier_32f_C1R(sum.data<float>(), sum.step(), norm.data<float>(), norm.step(), mask.data<uint8_t>(),
                                       mask.step(), win, &positive, 0.5f, s));
    zaliHaarClassifierFree_32f(s);
    std::string expected = "x,y,width,height\n";
    for (int y = 0; y < win.height; ++y)
        for (int x = 0; x < win.width; ++x)
            if (mask.data<uint8_t>()[y * win.width + x]) expected += std::to_string(x) + "," + std::to_string(y) + ",8,6\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_GT(positive, 0);
}

TEST(CliText, MotionHistoryStampsTheFrameOfTheLastChange) {
    TempDir dir;
    std::vector<std::string> args = {"motion", "--level", "20"};
    std::vector<Image> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(gray8(1));
        for (int x = 0; x < 5; ++x) frames.back().data<uint8_t>()[(5 + 5 * i) * 37 + x + 10] = 250;  // a moving bar
        clitest::writeNpy(dir.path(std::string("f") + std::to_string(i) + ".npy"), frames.back());
        args.push_back(dir.path(std::string("f") + std::to_string(i) + ".npy"));
    }
    args.push_back(dir.path("h.npy"));
    const clitest::Run run = clitest::zalcv(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Image h(37, 29, 1, Depth::F32), diff(37, 29, 1, Depth::U8), sil(37, 29, 1, Depth::U8);
    for (int i = 1; i < 3; ++i) {
        OK(zaliAbsDiff_8u_C1R(frames[i - 1].data<uint8_t>(), 37, frames[i].data<uint8_t>(), 37, diff.data<uint8_t>(), 37, h.roi()));
        OK(zaliThreshold_Val_8u_C1R(diff.data<uint8_t>(), 37, sil.data<uint8_t>(), 37, h.roi(), 20, 0, 0));
        OK(zaliUpdateMotionHistory_8u32f_C1IR(sil.data<uint8_t>(), 37, h.data<float>(), h.step(), h.roi(), float(i), 3.0f));
    }
    const Image got = clitest::readNpy(dir.path("h.npy"));
    EXPECT_EQ(clitest::maxDifference(got, h), 0.0);
    EXPECT_EQ(got.data<float>()[15 * 37 + 12], 2.0f);  // the bar's last position
    EXPECT_EQ(got.data<float>()[10 * 37 + 12], 2.0f);  // ...and where it left in the last step
    EXPECT_EQ(got.data<float>()[5 * 37 + 12], 1.0f);   // where it left one step earlier
}

TEST(CliText, InpaintRepairsOnlyTheMaskedPixelsAsTheLibraryDoes) {
    TempDir dir;
    const Image img = rgb8();
    Image mask(img.width, img.height, 3, Depth::U8);  // an RGB mask: any channel counts
    for (int y = 8; y < 12; ++y)
        for (int x = 5; x < 25; ++x) mask.data<uint8_t>()[(y * img.width + x) * 3 + 1] = 1;
    clitest::writeNpy(dir.path("in.npy"), img);
    clitest::writeNpy(dir.path("m.npy"), mask);
    const clitest::Run run = clitest::zalcv({"inpaint", "--mask", dir.path("m.npy"), "--radius", "3", "--method", "isophote",
                                            dir.path("in.npy"), dir.path("out.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    Image m1(img.width, img.height, 1, Depth::U8), times(img.width, img.height, 1, Depth::F32);
    for (std::size_t i = 0; i < m1.samples(); ++i) m1.data<uint8_t>()[i] = mask.data<uint8_t>()[3 * i + 1] ? 255 : 0;
    std::vector<uint8_t> rows(static_cast<std::size_t>(img.height));
    OK(zaliFastMarching_8u32f_C1R(m1.data<uint8_t>(), m1.step(), times.data<float>(), times.step(), img.roi(), 0, rows.data()));
    InpaintState* s = nullptr;
    OK(zaliInpaintInitAlloc_8u_C3R(&s, times.data<float>(), times.step(), m1.data<uint8_t>(), m1.step(), img.roi(), 3, 1));
    Image e(img.width, img.height, 3, Depth::U8);
    OK(zaliInpaint_8u_C3R(img.data<uint8_t>(), img.step(), e.data<uint8_t>(), e.step(), img.roi(), s));
    zaliInpaintFree_8u_C3R(s);
    EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("out.npy")), e), 0.0);
}

}  // namespace
