// Image files: every format and sample type the program writes reads back
// unchanged, files made by independent writers read correctly, and broken
// files are refused with a message instead of a crash.
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include "cli_support.h"

using cli::Depth;
using cli::Image;
using clitest::TempDir;
using clitest::text;

namespace {

// `in` written as .npy by the test, copied by the program to `out`: the status.
int copyThrough(const TempDir& dir, const Image& in, const std::string& out, std::vector<std::string> options = {}) {
    clitest::writeNpy(dir.path("in.npy"), in);
    options.insert(options.begin(), "copy");
    options.push_back(dir.path("in.npy"));
    options.push_back(dir.path(out));
    return clitest::zalcv(options).status;
}

struct Layout {
    const char* ext;
    Depth depth;
    int channels;
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.ext << " " << cli::depthName(l.depth) << " x" << l.channels; }

class RoundTrip : public ::testing::TestWithParam<Layout> {};

// npy (test writer) -> format -> npy (test reader): no sample may change.
TEST_P(RoundTrip, CopyThroughTheFormatKeepsEverySample) {
    const Layout l = GetParam();
    TempDir dir;
    const Image img = clitest::testImage(23, 11, l.channels, l.depth, 5);
    const std::string mid = std::string("mid.") + l.ext;
    ASSERT_EQ(copyThrough(dir, img, mid), 0);
    const clitest::Run run = clitest::zalcv({"copy", dir.path(mid), dir.path("back.npy")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("back.npy")), img), 0.0);
}

std::vector<Layout> layouts() {
    std::vector<Layout> list = {{"pgm", Depth::U8, 1}, {"ppm", Depth::U8, 3},  {"pgm", Depth::U16, 1},
                                {"ppm", Depth::U16, 3}, {"tiff", Depth::U16, 4}, {"tiff", Depth::U8, 2}};
    for (int c = 1; c <= 4; ++c) list.push_back({"png", Depth::U8, c}), list.push_back({"png", Depth::U16, c});
    for (int d = 0; d < 7; ++d)  // every sample type; one and three channels alternate between the formats
        list.push_back({"tiff", Depth(d), 1 + 2 * (d % 2)}), list.push_back({"npy", Depth(d), 3 - 2 * (d % 2)});
    return list;
}

std::string layoutName(const ::testing::TestParamInfo<Layout>& i) {
    static const char* depths[] = {"u8", "s8", "u16", "s16", "s32", "f32", "f64"};
    return std::string(i.param.ext) + "_" + depths[static_cast<int>(i.param.depth)] + "_c" + std::to_string(i.param.channels);
}

INSTANTIATE_TEST_SUITE_P(Cli, RoundTrip, ::testing::ValuesIn(layouts()), layoutName);

// ---- Independent writers and readers ----

TEST(CliFormats, PngFromAndForLibpngSimplifiedApi) {
    TempDir dir;
    const Image ga = clitest::testImage(17, 9, 2, Depth::U8, 3);  // gray + alpha
    png_image p{};
    p.version = PNG_IMAGE_VERSION;
    p.width = 17, p.height = 9, p.format = PNG_FORMAT_GA;
    ASSERT_TRUE(png_image_write_to_file(&p, dir.path("ga.png").c_str(), 0, ga.bytes.data(), 0, nullptr));
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("ga.png"), dir.path("ga.npy")}).status, 0);
    EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("ga.npy")), ga), 0.0);

    const Image rgb = clitest::testImage(13, 7, 3, Depth::U8, 4);
    ASSERT_EQ(copyThrough(dir, rgb, "out.png"), 0);
    png_image q{};
    q.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&q, dir.path("out.png").c_str()));
    q.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(q));
    ASSERT_TRUE(png_image_finish_read(&q, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(q.width, 13u);
    EXPECT_EQ(pixels, rgb.bytes);
}

TEST(CliFormats, Reads16BitPnmBigEndianAndPlainPgm) {
    TempDir dir;
    const Image img = clitest::testImage(10, 6, 3, Depth::U16, 8);
    clitest::writePnm(dir.path("a.ppm"), img);
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("a.ppm"), dir.path("a.npy")}).status, 0);
    EXPECT_EQ(clitest::maxDifference(clitest::readNpy(dir.path("a.npy")), img), 0.0);
    clitest::writeBytes(dir.path("p.pgm"), text("P2\n# plain\n3 2\n9\n0 1 2\n7 8 9\n"));
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("p.pgm"), dir.path("p.npy")}).status, 0);
    EXPECT_EQ(clitest::readNpy(dir.path("p.npy")).bytes, (std::vector<uint8_t>{0, 1, 2, 7, 8, 9}));
}

TEST(CliFormats, WritesFloatTiffThatLibtiffReadsBack) {
    TempDir dir;
    const Image img = clitest::testImage(9, 5, 1, Depth::F32, 2);
    ASSERT_EQ(copyThrough(dir, img, "out.tif"), 0);
    TIFF* t = TIFFOpen(dir.path("out.tif").c_str(), "r");
    ASSERT_NE(t, nullptr);
    uint16_t bits = 0, format = 0;
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(t, TIFFTAG_SAMPLEFORMAT, &format);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
    std::vector<float> row(9);
    for (uint32_t y = 0; y < 5; ++y) {
        ASSERT_EQ(TIFFReadScanline(t, row.data(), y, 0), 1);
        EXPECT_EQ(row, std::vector<float>(img.data<float>() + y * 9, img.data<float>() + y * 9 + 9)) << y;
    }
    TIFFClose(t);
}

TEST(CliFormats, JpegKeepsColoursCloseAndChannelOrder) {
    TempDir dir;
    Image img = clitest::testImage(32, 24, 3, Depth::U8, 6);
    for (std::size_t i = 0; i < 8 * 32 * 3; i += 3) img.bytes[i] = 255, img.bytes[i + 1] = img.bytes[i + 2] = 0;  // red top rows
    ASSERT_EQ(copyThrough(dir, img, "a.jpg", {"--quality", "100"}), 0);
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("a.jpg"), dir.path("back.npy")}).status, 0);
    const Image back = clitest::readNpy(dir.path("back.npy"));
    ASSERT_EQ(back.channels, 3);
    double total = 0;
    for (std::size_t i = 0; i < img.samples(); ++i) total += std::fabs(back.sample(i) - img.sample(i));
    EXPECT_LT(total / static_cast<double>(img.samples()), 8.0);  // a swapped channel would be ~100
    EXPECT_GT(back.bytes[3 * 40], 240);  // still red
    EXPECT_LT(back.bytes[3 * 40 + 2], 15);
}

TEST(CliFormats, NormalizeStretchesAFloatResultToEightBits) {
    TempDir dir;
    Image img(4, 1, 1, Depth::F32);
    const float v[4] = {-2.0f, 0.0f, NAN, 6.0f};
    std::copy(v, v + 4, img.data<float>());
    ASSERT_EQ(copyThrough(dir, img, "out.pgm", {"--normalize"}), 0);
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("out.pgm"), dir.path("out.npy")}).status, 0);
    const Image out = clitest::readNpy(dir.path("out.npy"));
    ASSERT_EQ(out.depth, Depth::U8);
    EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0, 64, 0, 255}));
    // A range wider than the largest double (its width overflows).
    Image wide(3, 1, 1, Depth::F64);
    const double w[3] = {-1e308, 0.0, 1.5e308};
    std::copy(w, w + 3, wide.data<double>());
    ASSERT_EQ(copyThrough(dir, wide, "wide.pgm", {"--normalize"}), 0);
    ASSERT_EQ(clitest::zalcv({"copy", dir.path("wide.pgm"), dir.path("wide.npy")}).status, 0);
    EXPECT_EQ(clitest::readNpy(dir.path("wide.npy")).bytes, (std::vector<uint8_t>{0, 102, 255}));
}

// ---- Broken files ----

// A valid 16 x 16 RGB file of the program's own making.
std::vector<uint8_t> valid(const char* ext) {
    TempDir dir;
    copyThrough(dir, clitest::testImage(16, 16, 3, Depth::U8), std::string("a.") + ext);
    return clitest::fileBytes(dir.path(std::string("a.") + ext));
}

std::vector<uint8_t> npy(const std::string& descr, const std::string& shape, const std::string& data) {
    return clitest::npyBytes("{'descr': '" + descr + "', 'fortran_order': False, 'shape': " + shape + ", }", text(data));
}

struct Broken {
    const char* name;
    std::vector<uint8_t> (*make)();
    const char* message;
};

void PrintTo(const Broken& c, std::ostream* os) { *os << c.name; }

const Broken kBroken[] = {
    {"truncated_png", [] { auto b = valid("png"); b.resize(b.size() / 2); return b; }, "bad PNG file"},
    {"png_bad_chunk", [] { auto b = valid("png"); b[40] ^= 0xff; return b; }, "bad PNG file"},
    {"png_claims_huge_size", [] {
         // A valid file whose header claims 60000 x 30000 RGBA pixels.
         auto b = valid("png");
         const uint8_t size[8] = {0, 0, 0xea, 0x60, 0, 0, 0x75, 0x30};
         std::copy(size, size + 8, b.begin() + 16);
         b[25] = 6;
         const uLong crc = crc32(crc32(0, nullptr, 0), b.data() + 12, 17);
         for (int i = 0; i < 4; ++i) b[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
         return b;
     },
     "unsupported PNG layout or size"},
    {"truncated_jpeg", [] { auto b = valid("jpg"); b.resize(200); return b; }, "bad JPEG file"},
    {"jpeg_claims_huge_size", [] {
         // The frame header of a valid file changed to 40000 x 40000 pixels.
         auto b = valid("jpg");
         const uint8_t marker[2] = {0xff, 0xc0}, size[4] = {0x9c, 0x40, 0x9c, 0x40};
         const auto sof = std::search(b.begin(), b.end(), marker, marker + 2);
         std::copy(size, size + 4, sof + 5);
         return b;
     },
     "more pixels than the file can hold"},
    {"jpeg_truncated_in_the_scan", [] { auto b = valid("jpg"); b.resize(b.size() - 40); return b; }, "Premature end"},
    {"pgm_truncated", [] { return text("P5\n4 4\n255\nabc"); }, "truncated"},
    {"pgm_huge_size", [] { return text("P5\n99999999 99999999\n255\n"); }, "bad PGM/PPM size"},
    {"pgm_bad_maxval", [] { return text("P5\n2 2\n70000\nabcd"); }, "maximum value"},
    {"npy_bad_shape", [] { return npy("|u1", "(4,)", "abcd"); }, "shape"},
    {"npy_control_bytes_in_shape", [] { return npy("|u1", "(4,\n4)", "abcd"); }, "bad .npy shape (4,\\x0a4)"},
    {"npy_short_data", [] { return npy("|u1", "(8, 8)", "xx"); }, "truncated"},
    {"npy_big_endian", [] { return npy(">f4", "(1, 1)", "xxxx"); }, "not supported"},
    {"npy_five_channels", [] { return npy("|u1", "(1, 1, 5)", "xxxxx"); }, "channels"},
    {"tiff_claims_huge_size", [] {
         // A valid file whose first directory says 40000 x 40000 pixels in one strip.
         auto b = valid("tiff");
         auto get = [&](std::size_t at, int n) { uint32_t v = 0; for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i]; return v; };
         const std::size_t ifd = get(4, 4);
         for (uint32_t e = 0; e < get(ifd, 2); ++e) {
             const std::size_t at = ifd + 2 + 12 * e;
             if (get(at, 2) == 256 || get(at, 2) == 257 || get(at, 2) == 278) b[at + 8] = 0x40, b[at + 9] = 0x9c;
         }
         return b;
     },
     "more pixels than the file can hold"},
    {"tiff_garbage", [] { return text(std::string("II*\0", 4) + "garbage garbage garbage"); }, "TIFF"},
    {"unknown_format", [] { return text("GIF89a...."); }, "not a PNG"},
    {"empty", [] { return std::vector<uint8_t>{}; }, "empty"},
};

class BrokenInput : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenInput, IsRefusedWithAMessageAndNoOutput) {
    TempDir dir;
    const std::string bad = dir.path("bad.img");
    clitest::writeBytes(bad, GetParam().make());
    const clitest::Run run = clitest::zalcv({"copy", bad, dir.path("out.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(bad), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(dir.files(), std::vector<std::string>{"bad.img"});
}

INSTANTIATE_TEST_SUITE_P(Cli, BrokenInput, ::testing::ValuesIn(kBroken),
                         [](const ::testing::TestParamInfo<Broken>& i) { return std::string(i.param.name); });

}  // namespace
