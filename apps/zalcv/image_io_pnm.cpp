// PGM and PPM (binary P5/P6, plain P2/P3 on input): 8 bits for a maximum
// value up to 255, 16 bits (big-endian in the file) up to 65535. Samples are
// kept as stored, not rescaled to the full range.
#include <cctype>
#include <cerrno>
#include <cstring>

#include "cli.h"

namespace cli {
namespace {

struct Reader {
    const std::vector<uint8_t>& d;
    std::size_t pos;
    const std::string& path;

    void skipSpaceAndComments() {
        while (pos < d.size()) {
            if (d[pos] == '#') {
                while (pos < d.size() && d[pos] != '\n') ++pos;
            } else if (std::isspace(d[pos])) {
                ++pos;
            } else {
                break;
            }
        }
    }
    long number(const char* what) {
        skipSpaceAndComments();
        if (pos >= d.size() || !std::isdigit(d[pos])) fail(path + ": bad PGM/PPM file: " + what + " missing");
        long v = 0;
        while (pos < d.size() && std::isdigit(d[pos])) {
            v = v * 10 + (d[pos++] - '0');
            if (v > 100000000) fail(path + ": bad PGM/PPM file: " + what + " too large");
        }
        return v;
    }
};

}  // namespace

Image decodePnm(const std::vector<uint8_t>& file, const std::string& path) {
    const char kind = static_cast<char>(file[1]);
    if (kind == '1' || kind == '4') fail(path + ": bitmap (PBM) files are not supported");
    const bool plain = kind == '2' || kind == '3';
    const int channels = (kind == '3' || kind == '6') ? 3 : 1;
    Reader r{file, 2, path};
    const long width = r.number("width"), height = r.number("height"), maxval = r.number("maximum value");
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) fail(path + ": bad PGM/PPM size");
    if (maxval < 1 || maxval > 65535) fail(path + ": bad PGM/PPM maximum value " + std::to_string(maxval));
    const bool wide = maxval > 255;
    // The file must hold every sample (a binary one its bytes, a plain one a
    // digit and a separator each) before the image is allocated.
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * channels;
    if ((file.size() - r.pos) / (plain ? 2 : (wide ? 2 : 1)) < n - (plain ? 1 : 0))
        fail(path + ": PGM/PPM file is truncated");
    Image image(static_cast<int>(width), static_cast<int>(height), channels, wide ? Depth::U16 : Depth::U8);
    if (plain) {
        for (std::size_t i = 0; i < n; ++i) {
            const long v = r.number("sample");
            if (v > maxval) fail(path + ": sample above the maximum value");
            image.setSample(i, static_cast<double>(v));
        }
        return image;
    }
    // Exactly one white-space byte separates the header from the samples.
    if (r.pos >= file.size() || !std::isspace(file[r.pos])) fail(path + ": bad PGM/PPM header");
    ++r.pos;
    const std::size_t bytes = n * (wide ? 2 : 1);
    if (file.size() - r.pos < bytes) fail(path + ": PGM/PPM file is truncated");
    const uint8_t* p = file.data() + r.pos;
    if (!wide) {
        std::memcpy(image.bytes.data(), p, bytes);
    } else {
        uint16_t* out = image.data<uint16_t>();
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(p[2 * i] << 8 | p[2 * i + 1]);
    }
    return image;
}

std::string pnmCannotHold(const Image& image, const std::string& path) {
    if (image.depth != Depth::U8 && image.depth != Depth::U16)
        return std::string("PGM/PPM holds 8- or 16-bit unsigned samples, the result is ") + depthName(image.depth) +
               ": use --normalize for a viewable picture, or write .tiff or .npy for the values";
    const std::string ext = path.substr(path.size() - 3);
    if (image.channels != 1 && image.channels != 3) return "PGM/PPM holds gray or RGB images, not " + describe(image) + ": use .png";
    if ((ext == "pgm" || ext == "PGM") && image.channels != 1) return "a .pgm file holds gray images, the result is RGB: use .ppm";
    if ((ext == "ppm" || ext == "PPM") && image.channels != 3) return "a .ppm file holds RGB images, the result is gray: use .pgm";
    return "";
}

void encodePnm(const Image& image, std::FILE* out, const std::string& path) {
    const bool wide = image.depth == Depth::U16;
    std::fprintf(out, "P%c\n%d %d\n%d\n", image.channels == 3 ? '6' : '5', image.width, image.height, wide ? 65535 : 255);
    std::vector<uint8_t> bytes;
    const uint8_t* src = image.bytes.data();
    if (wide) {
        const std::size_t n = image.samples();
        bytes.resize(2 * n);
        const uint16_t* s = image.data<uint16_t>();
        for (std::size_t i = 0; i < n; ++i) bytes[2 * i] = static_cast<uint8_t>(s[i] >> 8), bytes[2 * i + 1] = static_cast<uint8_t>(s[i]);
        src = bytes.data();
    }
    const std::size_t size = image.bytes.size();
    if (std::fwrite(src, 1, size, out) != size) fail(path + ": cannot write: " + std::strerror(errno));
}

}  // namespace cli
