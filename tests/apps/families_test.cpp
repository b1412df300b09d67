// Every family through the program on small files, compared with the same
// library calls made directly. Inputs and outputs are .npy files written and
// read by the test's own code, so the comparison is exact.
#include <functional>
#include <map>
#include <sstream>

#include "cli_support.h"

using cli::Depth;
using cli::Image;
using clitest::TempDir;

namespace {

// Library status must be OK for the reference itself to be meaningful.
#define OK(call) ASSERT_EQ(static_cast<int>(call), 0) << #call
// An image's pixels and step, as the library takes them.
#define PS(img, T) (img).data<T>(), (img).step()
// Runs `query` (which writes the buffer size to `n`), then `call` with a work
// buffer `w` of that size.
#define BUFFERED(query, call)  \
    do {                       \
        int n = 0;             \
        OK(query);             \
        Buffer buffer(n);      \
        uint8_t* w = buffer.p; \
        OK(call);              \
    } while (0)

struct Buffer {
    explicit Buffer(int n) : p(zalsMalloc_8u(n > 0 ? n : 1)) {}
    ~Buffer() { zalsFree(p); }
    uint8_t* p;
};

using In = const Image&;
Image gray8(unsigned seed = 1) { return clitest::testImage(37, 29, 1, Depth::U8, seed); }
Image rgb8(unsigned seed = 2) { return clitest::testImage(31, 23, 3, Depth::U8, seed); }
Image gray32(unsigned seed = 3) { return clitest::testImage(33, 27, 1, Depth::F32, seed); }
Image like(In in, Depth d, int channels = 0) { return Image(in.width, in.height, channels ? channels : in.channels, d); }

// Zero on a few blobs and lines, 1 elsewhere: an input for the distances.
Image features() {
    Image img(40, 30, 1, Depth::U8);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            img.data<uint8_t>()[y * 40 + x] = ((x - 10) * (x - 10) + (y - 8) * (y - 8) < 9 || x == 33) ? 0 : 1;
    return img;
}

// Three markers for the watershed.
Image seeds(int w, int h) {
    Image m(w, h, 1, Depth::U8);
    m.data<uint8_t>()[2 * w + 2] = 10, m.data<uint8_t>()[(h / 2) * w + w / 2 - 3] = 20;
    m.data<uint8_t>()[(h - 3) * w + w - 3] = 30;
    return m;
}

using Fixed8 = StatusCode (*)(const uint8_t*, int, int16_t*, int, ImageSize, ApertureSize, BorderKind, uint8_t, uint8_t*);
using Query = StatusCode (*)(ImageSize, ApertureSize, int*);

void fixed8(In in, Image& out, Query q, Fixed8 f, ApertureSize m, BorderKind b = BorderReplicate, uint8_t v = 0) {
    out = like(in, Depth::S16);
    BUFFERED(q(in.roi(), m, &n), f(PS(in, uint8_t), PS(out, int16_t), in.roi(), m, b, v, w));
}

void sobelX(In in, Image& out) {
    fixed8(in, out, zaliFilterSobelNegVertGetBufferSize_8u16s_C1R, zaliFilterSobelNegVertBorder_8u16s_C1R, Aperture3x3);
}
void sobelY(In in, Image& out) {
    fixed8(in, out, zaliFilterSobelHorizGetBufferSize_8u16s_C1R, zaliFilterSobelHorizBorder_8u16s_C1R, Aperture3x3);
}

void blur5(In in, Image& out) {
    out = like(in, Depth::U8);
    BUFFERED(zaliFilterLowpassGetBufferSize_8u_C1R(in.roi(), Aperture5x5, &n),
             zaliFilterLowpassBorder_8u_C1R(PS(in, uint8_t), PS(out, uint8_t), in.roi(), Aperture5x5, BorderReplicate, 0, w));
}

void gaussDown(In in, Image& out) {
    out = Image((in.width + 1) / 2, (in.height + 1) / 2, in.channels, in.depth);
    BUFFERED(zaliPyrDownGetBufSize_Gauss5x5(in.width, 1, in.channels, &n),
             (in.channels == 3 ? zaliPyrDown_Gauss5x5_8u_C3R : zaliPyrDown_Gauss5x5_8u_C1R)(PS(in, uint8_t), PS(out, uint8_t),
                                                                                           in.roi(), w));
}

// The relief the program floods by default: (|dx| + |dy|) / 8 of the image
// smoothed `passes` times.
Image reliefReference(In in, int passes) {
    Image s = in, dx, dy, r = like(in, Depth::U8);
    for (int i = 0; i < passes; ++i) blur5(Image(s), s);
    sobelX(s, dx), sobelY(s, dy);
    for (std::size_t i = 0; i < r.samples(); ++i)
        r.data<uint8_t>()[i] =
            static_cast<uint8_t>(std::min(255, (std::abs(dx.data<int16_t>()[i]) + std::abs(dy.data<int16_t>()[i])) / 8));
    return r;
}

struct Case {
    std::string name;
    std::vector<std::string> args;  // "{in}", "{in2}" and "{out}" are replaced
    Image input;
    Depth depth;  // of the expected result, which the reference may also replace
    std::function<void(In in, Image& expected)> reference;
    Image input2 = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::vector<Case>& cases() {
    static const std::vector<Case> list = {
        {"sobel_dx", {"sobel", "{in}", "{out}"}, gray8(), Depth::S16, sobelX},
        {"sobel_dxx_constant_border", {"sobel", "--dx", "2", "--border", "constant", "--border-value", "7", "{in}", "{out}"},
         gray8(4), Depth::S16,
         [](In in, Image& e) {
             fixed8(in, e, zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R, zaliFilterSobelVertSecondBorder_8u16s_C1R,
                    Aperture3x3, BorderConstant, 7);
         }},
        {"sobel_dy_5x5_float", {"sobel", "--dx", "0", "--dy", "1", "--ksize", "5", "{in}", "{out}"}, gray32(), Depth::F32,
         [](In in, Image& e) {
             BUFFERED(zaliFilterSobelHorizGetBufferSize_32f_C1R(in.roi(), Aperture5x5, &n),
                      zaliFilterSobelHorizBorder_32f_C1R(PS(in, float), PS(e, float), in.roi(), Aperture5x5, BorderReplicate, 0, w));
         }},
        {"scharr_dy", {"scharr", "--dx", "0", "--dy", "1", "--border", "reflect", "{in}", "{out}"}, gray8(), Depth::S16,
         [](In in, Image& e) {
             BUFFERED(zaliFilterScharrHorizGetBufferSize_8u16s_C1R(in.roi(), &n),
                      zaliFilterScharrHorizBorder_8u16s_C1R(PS(in, uint8_t), PS(e, int16_t), in.roi(), BorderReflect, 0, w));
         }},
        {"blur_5x5", {"blur", "--ksize", "5", "{in}", "{out}"}, gray8(), Depth::U8, blur5},
        {"maxfilter_rgb_anchor", {"maxfilter", "--size", "5x3", "--anchor", "1,1", "{in}", "{out}"}, rgb8(), Depth::U8,
         [](In in, Image& e) {
             BUFFERED(zaliFilterMaxGetBufferSize_8u_C3R(in.width, ImageSize{5, 3}, &n),
                      zaliFilterMaxBorderReplicate_8u_C3R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), ImageSize{5, 3},
                                                          ImagePoint{1, 1}, w));
         }},
        {"canny", {"canny", "--low", "40", "--high", "120", "{in}", "{out}"}, gray8(7), Depth::U8,
         [](In in, Image& e) {
             Image dx, dy;
             sobelX(in, dx), sobelY(in, dy);
             BUFFERED(zaliCannyGetSize(in.roi(), &n),
                      zaliCanny_16s8u_C1R(PS(dx, int16_t), PS(dy, int16_t), PS(e, uint8_t), in.roi(), 40, 120, w));
         }},
        {"corners_scharr", {"corners", "--kernel", "scharr", "--window", "3", "{in}", "{out}"}, gray8(), Depth::F32,
         [](In in, Image& e) {
             BUFFERED(zaliMinEigenValGetBufferSize_8u32f_C1R(in.roi(), 3, 3, &n),
                      zaliMinEigenVal_8u32f_C1R(PS(in, uint8_t), PS(e, float), in.roi(), DerivKernelScharr, 3, 3, w));
         }},
        {"colorgrad_sum", {"colorgrad", "--norm", "sum", "{in}", "{out}"}, rgb8(), Depth::U8,
         [](In in, Image& e) {
             e = like(in, Depth::U8, 1);
             OK(zaliGradientColorToGray_8u_C3C1R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), GradientNormSum));
         }},
        {"dilate_disk", {"dilate", "--footprint", "disk:2", "{in}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) {
             std::vector<uint8_t> m(25);
             for (int i = 0; i < 25; ++i) m[static_cast<std::size_t>(i)] = (i / 5 - 2) * (i / 5 - 2) + (i % 5 - 2) * (i % 5 - 2) <= 4;
             MorphologyState* s = nullptr;
             OK(zaliMorphologyInitAlloc_8u_C1R(in.width, m.data(), ImageSize{5, 5}, ImagePoint{2, 2}, &s));
             OK(zaliDilateBorderReplicate_8u_C1R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), BorderReplicate, s));
             zaliMorphologyFree(s);
         }},
        {"tophat_rgb", {"tophat", "--footprint", "rect:3", "--anchor", "0,0", "{in}", "{out}"}, rgb8(), Depth::U8,
         [](In in, Image& e) {
             const std::vector<uint8_t> m(9, 1);
             MorphAdvState* s = nullptr;
             OK(zaliMorphAdvInitAlloc_8u_C3R(&s, in.roi(), m.data(), ImageSize{3, 3}, ImagePoint{0, 0}));
             OK(zaliMorphTophatBorder_8u_C3R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), BorderReplicate, s));
             zaliMorphAdvFree(s);
         }},
        {"reconstruct_4", {"reconstruct", "--connectivity", "4", "{in}", "{in2}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) {
             e = gray8(9);
             BUFFERED(zaliMorphReconstructGetBufferSize_8u_C1(in.roi(), &n),
                      zaliMorphReconstructDilate_8u_C1IR(PS(in, uint8_t), PS(e, uint8_t), in.roi(), w, 1));
         },
         gray8(9)},
        {"distance_l1_3x3_8u", {"distance", "--metric", "l1", "--mask", "3", "--type", "8u", "{in}", "{out}"}, features(), Depth::U8,
         [](In in, Image& e) {
             int32_t m[3];
             OK(zaliGetDistanceTransformMask_32s(3, 1, m));
             OK(zaliDistanceTransform_3x3_8u_C1R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), m));
         }},
        {"floodfill_range8",
         {"floodfill", "--seed", "14,14", "--lo", "10", "--hi", "10", "--value", "0", "--connectivity", "8", "{in}", "{out}"},
         gray8(), Depth::U8,
         [](In in, Image& e) {
             ConnectedComponent r{};
             e = in;
             BUFFERED(zaliFloodFillGetSize(in.roi(), &n),
                      zaliFloodFill_Range8Con_8u_C1IR(PS(e, uint8_t), e.roi(), ImagePoint{14, 14}, 0, 10, 10, &r, w));
         }},
        {"floodfill_floating_rgb", {"floodfill", "--seed", "3,4", "--hi", "6", "--lo", "6", "--range", "floating", "{in}", "{out}"},
         rgb8(), Depth::U8,
         [](In in, Image& e) {
             ConnectedComponent r{};
             const uint8_t v[3] = {255, 255, 255}, d[3] = {6, 6, 6};
             e = in;
             BUFFERED(zaliFloodFillGetSize_Grad(in.roi(), &n),
                      zaliFloodFill_Grad4Con_8u_C3IR(PS(e, uint8_t), e.roi(), ImagePoint{3, 4}, v, d, d, &r, w));
         }},
        {"watershed_raw_relief", {"watershed", "--relief", "image", "--boundaries", "4", "{in}", "{in2}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) {
             e = seeds(in.width, in.height);
             BUFFERED(zaliSegmentWatershedGetBufferSize_8u_C1R(in.roi(), &n),
                      zaliSegmentWatershed_8u_C1IR(PS(in, uint8_t), PS(e, uint8_t), in.roi(), 0, 0x40, w));
         },
         seeds(37, 29)},
        {"watershed_smoothed_gradient", {"watershed", "--smooth", "1", "--neighbours", "4", "{in}", "{in2}", "{out}"}, gray8(),
         Depth::U8,
         [](In in, Image& e) {
             const Image relief = reliefReference(in, 1);
             e = seeds(in.width, in.height);
             BUFFERED(zaliSegmentWatershedGetBufferSize_8u_C1R(in.roi(), &n),
                      zaliSegmentWatershed_8u_C1IR(PS(relief, uint8_t), PS(e, uint8_t), in.roi(), 1, 0, w));
         },
         seeds(37, 29)},
        {"pyrdown_rgb", {"pyrdown", "{in}", "{out}"}, rgb8(), Depth::U8, gaussDown},
        {"pyramid_strip", {"pyramid", "--levels", "3", "{in}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) {  // the levels side by side
             Image l1, l2;
             gaussDown(in, l1), gaussDown(l1, l2);
             e = Image(in.width + l1.width + l2.width, in.height, 1, Depth::U8);
             int x0 = 0;
             const Image* levels[] = {&in, &l1, &l2};
             for (const Image* l : levels) {
                 for (int y = 0; y < l->height; ++y)
                     std::copy_n(l->data<uint8_t>() + y * l->width, l->width, e.data<uint8_t>() + y * e.width + x0);
                 x0 += l->width;
             }
         }},
        {"integral_square", {"integral", "--kind", "square", "{in}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) {
             Image sum(in.width + 1, in.height + 1, 1, Depth::S32);
             e = Image(in.width + 1, in.height + 1, 1, Depth::F64);
             OK(zaliSqrIntegral_8u32s64f_C1R(PS(in, uint8_t), PS(sum, int32_t), PS(e, double), in.roi(), 0, 0.0));
         }},
        {"undistort", {"undistort", "--fx", "40", "--k1", "-0.2", "--k2", "0.05", "{in}", "{out}"}, rgb8(), Depth::U8,
         [](In in, Image& e) {
             OK(zaliUndistortRadial_8u_C3R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), 40, 40, (in.width - 1) * 0.5f,
                                           (in.height - 1) * 0.5f, -0.2f, 0.05f, nullptr));
         }},
        {"absdiff_16u", {"absdiff", "{in}", "{in2}", "{out}"}, clitest::testImage(21, 13, 1, Depth::U16, 1), Depth::U16,
         [](In in, Image& e) {
             const Image b = clitest::testImage(21, 13, 1, Depth::U16, 2);
             OK(zaliAbsDiff_16u_C1R(PS(in, uint16_t), PS(b, uint16_t), PS(e, uint16_t), in.roi()));
         },
         clitest::testImage(21, 13, 1, Depth::U16, 2)},
        {"threshold_below", {"threshold", "--level", "100", "--where", "below", "--value", "0", "{in}", "{out}"}, gray8(), Depth::U8,
         [](In in, Image& e) { OK(zaliThreshold_Val_8u_C1R(PS(in, uint8_t), PS(e, uint8_t), in.roi(), 100, 0, 0)); }},
    };
    return list;
}

class Families : public ::testing::TestWithParam<Case> {};

TEST_P(Families, MatchesDirectLibraryCallsForEveryWorkerCount) {
    const Case& c = GetParam();
    TempDir dir;
    clitest::writeNpy(dir.path("in.npy"), c.input);
    if (c.input2.width) clitest::writeNpy(dir.path("in2.npy"), c.input2);
    Image expected = like(c.input, c.depth);
    c.reference(c.input, expected);
    if (HasFatalFailure()) return;
    for (const char* threads : {"1", "3"}) {
        std::vector<std::string> args = {c.args[0], "--threads", threads};
        const std::map<std::string, std::string> paths = {{"{in}", "in.npy"}, {"{in2}", "in2.npy"}, {"{out}", "out.npy"}};
        for (std::size_t i = 1; i < c.args.size(); ++i)
            args.push_back(paths.count(c.args[i]) ? dir.path(paths.at(c.args[i])) : c.args[i]);
        const clitest::Run run = clitest::zalcv(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("out.npy")), expected), 0.0) << "threads " << threads;
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, Families, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& i) { return i.param.name; });

// ---- Operations with text results ----

// The numbers of one channel object of the stats JSON: "key": number pairs,
// "key": [x, y] pairs as key and key_y.
std::map<std::string, double> jsonNumbers(const std::string& json, std::size_t from) {
    std::map<std::string, double> values;
    const std::size_t end = json.find('}', from);
    for (std::size_t p = from; (p = json.find('"', p)) != std::string::npos && p < end;) {
        const std::size_t q = json.find('"', p + 1), v = json.find_first_not_of(": [", q + 1);
        const std::string key = json.substr(p + 1, q - p - 1);
        values[key] = std::strtod(json.c_str() + v, nullptr);
        const bool pair = json[json.find_first_not_of(": ", q + 1)] == '[';
        if (pair) values[key + "_y"] = std::strtod(json.c_str() + json.find(',', v) + 1, nullptr);
        p = pair ? json.find(']', v) + 1 : json.find_first_of(",}", v);
    }
    return values;
}

TEST(CliText, StatsJsonMatchesLibraryPerChannelWithMask) {
    TempDir dir;
    const Image img = rgb8();
    Image mask = like(img, Depth::U8, 1);
    for (int i = 0; i < img.width * img.height; ++i) mask.data<uint8_t>()[i] = (i % 3 == 0) ? 255 : 0;
    clitest::writeNpy(dir.path("in.npy"), img);
    clitest::writeNpy(dir.path("mask.npy"), mask);
    const clitest::Run run = clitest::zalcv({"stats", "--json", "--mask", dir.path("mask.npy"), dir.path("in.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t at = run.out.find("\"channels\"");
    ASSERT_NE(at, std::string::npos) << run.out;
    for (int coi = 1; coi <= 3; ++coi) {
        auto v = jsonNumbers(run.out, at = run.out.find('{', at + 1));
        double mean = 0, sd = 0, norm = 0;
        float mn = 0, mx = 0;
        ImagePoint pmin{}, pmax{};
        OK(zaliMean_StdDev_8u_C3CMR(PS(img, uint8_t), PS(mask, uint8_t), img.roi(), coi, &mean, &sd));
        OK(zaliMinMaxIndx_8u_C3CMR(PS(img, uint8_t), PS(mask, uint8_t), img.roi(), coi, &mn, &mx, &pmin, &pmax));
        OK(zaliNorm_L2_8u_C3CMR(PS(img, uint8_t), PS(mask, uint8_t), img.roi(), coi, &norm));
        const std::vector<double> want = {mean, sd, mn, mx, double(pmin.x), double(pmin.y), double(pmax.x), double(pmax.y), norm};
        EXPECT_EQ(std::vector<double>({v["mean"], v["stddev"], v["min"], v["max"], v["min_at"], v["min_at_y"], v["max_at"],
                                       v["max_at_y"], v["norm_l2"]}), want) << coi;
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
    OK(zaliSampleLine_8u_C1R(PS(img, uint8_t), img.roi(), samples.data(), ImagePoint{2, 3}, ImagePoint{20, 9}));
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "index,x,y,value");
    int i = 0;
    for (int index, x, y, v; std::getline(lines, line); ++i) {
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d", &index, &x, &y, &v), 4) << line;
        EXPECT_EQ(index, i);
        EXPECT_EQ(img.data<uint8_t>()[y * img.width + x], v);  // the pixel at the listed position holds the sampled value
        EXPECT_EQ(samples[static_cast<std::size_t>(i)], v);
    }
    EXPECT_EQ(i, 19);
}

TEST(CliText, TrackCsvMatchesLibraryTracking) {
    TempDir dir;
    Image a(48, 40, 1, Depth::U8), b(48, 40, 1, Depth::U8);  // a bright square moved by (2, 1) between the frames
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
            a.data<uint8_t>()[y * 48 + x] = (x >= 16 && x < 28 && y >= 12 && y < 24) ? 200 : 40;
            b.data<uint8_t>()[y * 48 + x] = (x >= 18 && x < 30 && y >= 13 && y < 25) ? 200 : 40;
        }
    clitest::writeNpy(dir.path("a.npy"), a);
    clitest::writeNpy(dir.path("b.npy"), b);
    // A comment longer than any line buffer must stay one line.
    clitest::writeBytes(dir.path("points.csv"), clitest::text("x,y\n#" + std::string(5000, '-') + "9,9\n16,12\n27,23\n"));
    const clitest::Run run = clitest::zalcv({"track", "--points", dir.path("points.csv"), "--levels", "1", dir.path("a.npy"),
                                            dir.path("b.npy"), dir.path("t.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    // The same tracking made directly.
    Image a1, b1;
    gaussDown(a, a1), gaussDown(b, b1);
    Pyramid* p[2] = {nullptr, nullptr};
    const Image* levels[2][2] = {{&a, &a1}, {&b, &b1}};
    for (int k = 0; k < 2; ++k) {
        OK(zaliPyramidInitAlloc(&p[k], 1, a.roi(), 2.0f));
        for (int l = 0; l < 2; ++l)
            p[k]->levelImages[l] = const_cast<uint8_t*>(levels[k][l]->data<uint8_t>()), p[k]->levelSteps[l] = levels[k][l]->step();
    }
    float prev[4] = {16, 12, 27, 23}, next[4] = {16, 12, 27, 23}, err[2];
    int8_t status[2];
    OpticalFlowState* st = nullptr;
    OK(zaliOpticalFlowPyrLKInitAlloc_8u_C1R(&st, a.roi(), 9, 0));
    OK(zaliOpticalFlowPyrLK_8u_C1R(p[0], p[1], prev, next, status, err, 2, 9, 1, 20, 0.01f, st));
    zaliOpticalFlowPyrLKFree_8u_C1R(st), zaliPyramidFree(p[0]), zaliPyramidFree(p[1]);
    const std::vector<uint8_t> bytes = clitest::fileBytes(dir.path("t.csv"));
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "x,y,next_x,next_y,status,error");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        float x, y, nx, ny, e;
        int s;
        ASSERT_EQ(std::sscanf(line.c_str(), "%f,%f,%f,%f,%d,%f", &x, &y, &nx, &ny, &s, &e), 6) << line;
        EXPECT_EQ(std::vector<float>({x, nx, ny, float(s), e}),
                  std::vector<float>({prev[2 * i], next[2 * i], next[2 * i + 1], float(status[i]), err[i]}));
    }
    EXPECT_EQ(status[0], 0);        // the corner was found...
    EXPECT_NEAR(next[0], 18, 0.5);  // ...where it moved
    EXPECT_NEAR(next[1], 13, 0.5);
    // Without pyramid levels the frame alone is tracked.
    const clitest::Run flat =
        clitest::zalcv({"track", "--points", dir.path("points.csv"), "--levels", "0", dir.path("a.npy"), dir.path("b.npy")});
    EXPECT_EQ(flat.status, 0) << flat.err;
    EXPECT_NE(flat.out.find("16,12,"), std::string::npos) << flat.out;
}

TEST(CliText, HaarDetectionMatchesLibraryStage) {
    TempDir dir;
    const Image img = gray8();
    clitest::writeNpy(dir.path("in.npy"), img);
    clitest::writeBytes(dir.path("c.txt"),
                        clitest::text("# left half darker than the right\nwindow 8 6\nstage 0.5\nfeature 0.0 0 1\n"
                                      "rect 0 0 4 6 -1\nrect 4 0 4 6 1\n"));
    const clitest::Run run = clitest::zalcv({"haar", "--classifier", dir.path("c.txt"), "--min-stddev", "2", dir.path("in.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    // Reference: tables, window deviation, one stage.
    Image sum(img.width + 1, img.height + 1, 1, Depth::F32), sqr(img.width + 1, img.height + 1, 1, Depth::F64);
    OK(zaliSqrIntegral_8u32f64f_C1R(PS(img, uint8_t), PS(sum, float), PS(sqr, double), img.roi(), 0, 0));
    const ImageSize win{img.width - 7, img.height - 5};
    Image norm(win.width, win.height, 1, Depth::F32), mask(win.width, win.height, 1, Depth::U8);
    OK(zaliRectStdDev_32f_C1R(PS(sum, float), PS(sqr, double), PS(norm, float), win, ImageRect{0, 0, 8, 6}));
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
    OK(zaliApplyHaarClassifier_32f_C1R(PS(sum, float), PS(norm, float), PS(mask, uint8_t), win, &positive, 0.5f, s));
    zaliHaarClassifierFree_32f(s);
    std::string expected = "x,y,width,height\n";
    for (int y = 0; y < win.height; ++y)
        for (int x = 0; x < win.width; ++x)
            if (mask.data<uint8_t>()[y * win.width + x]) expected += std::to_string(x) + "," + std::to_string(y) + ",8,6\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_GT(positive, 0);
}

TEST(CliText, HaarClassifierFileMistakesAreRefusedByLine) {
    TempDir dir;
    clitest::writeNpy(dir.path("in.npy"), gray8());
    const std::string head = "window 8 6\nstage 0.5\nfeature 0 0 1\n";
    const std::pair<std::string, std::string> cases[] = {
        // A smaller window after the rectangles would let them reach past the tables.
        {head + "rect 0 0 8 6 1\nwindow 2 2\n", "line 5: a second window line"},
        {head + "rect 2147483647 0 1 1 1\n", "line 4: the rectangle does not lie inside the window"},
        {head + "rect 0 2147483647 1 2 1\n", "line 4: the rectangle does not lie inside the window"},
        {head + "rect 0 0 4 6\n", "line 4: expected: rect X Y WIDTH HEIGHT WEIGHT"},
        {"stage 1\nfeature 0 0 1\n", "no window line"},
        {std::string("\x01\0\n", 3), "line 1: unknown keyword '\\x01\\x00'"},
        {"window 8 6\nstage 1\n", "a stage without features"},
    };
    for (const auto& [file, message] : cases) {
        clitest::writeBytes(dir.path("c.txt"), clitest::text(file));
        const clitest::Run run = clitest::zalcv({"haar", "--classifier", dir.path("c.txt"), dir.path("in.npy")});
        EXPECT_EQ(run.status, 2) << file;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
}

TEST(CliText, MotionHistoryStampsTheFrameOfTheLastChange) {
    TempDir dir;
    std::vector<std::string> args = {"motion", "--level", "20"};
    std::vector<Image> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(gray8(1));
        for (int x = 0; x < 5; ++x) frames.back().data<uint8_t>()[(5 + 5 * i) * 37 + x + 10] = 250;  // a moving bar
        args.push_back(dir.path("f" + std::to_string(i) + ".npy"));
        clitest::writeNpy(args.back(), frames.back());
    }
    args.push_back(dir.path("h.npy"));
    const clitest::Run run = clitest::zalcv(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Image h(37, 29, 1, Depth::F32), diff(37, 29, 1, Depth::U8), sil(37, 29, 1, Depth::U8);
    for (int i = 1; i < 3; ++i) {
        OK(zaliAbsDiff_8u_C1R(PS(frames[i - 1], uint8_t), PS(frames[i], uint8_t), PS(diff, uint8_t), h.roi()));
        OK(zaliThreshold_Val_8u_C1R(PS(diff, uint8_t), PS(sil, uint8_t), h.roi(), 20, 0, 0));
        OK(zaliUpdateMotionHistory_8u32f_C1IR(PS(sil, uint8_t), PS(h, float), h.roi(), float(i), 3.0f));
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
    Image mask = like(img, Depth::U8);  // an RGB mask: any channel counts
    for (int y = 8; y < 12; ++y)
        for (int x = 5; x < 25; ++x) mask.data<uint8_t>()[(y * img.width + x) * 3 + 1] = 1;
    clitest::writeNpy(dir.path("in.npy"), img);
    clitest::writeNpy(dir.path("m.npy"), mask);
    const clitest::Run run = clitest::zalcv({"inpaint", "--mask", dir.path("m.npy"), "--radius", "3", "--method", "isophote",
                                            dir.path("in.npy"), dir.path("out.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    Image m1 = like(img, Depth::U8, 1), times = like(img, Depth::F32, 1), e = like(img, Depth::U8);
    for (std::size_t i = 0; i < m1.samples(); ++i) m1.data<uint8_t>()[i] = mask.data<uint8_t>()[3 * i + 1] ? 255 : 0;
    std::vector<uint8_t> rows(static_cast<std::size_t>(img.height));
    OK(zaliFastMarching_8u32f_C1R(PS(m1, uint8_t), PS(times, float), img.roi(), 0, rows.data()));
    InpaintState* s = nullptr;
    OK(zaliInpaintInitAlloc_8u_C3R(&s, PS(times, float), PS(m1, uint8_t), img.roi(), 3, 1));
    OK(zaliInpaint_8u_C3R(PS(img, uint8_t), PS(e, uint8_t), img.roi(), s));
    zaliInpaintFree_8u_C3R(s);
    EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("out.npy")), e), 0.0);
}

}  // namespace
