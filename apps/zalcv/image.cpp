// Images in memory: their element depths, the error type every file and
// value check throws, depth and channel conversions. Shared by the program
// and by the Python package's image-file functions (zalcv.io).
#include <cmath>
#include <cstdio>
#include <limits>

#include "cli.h"

namespace cli {

void fail(const std::string& message) { throw Error(kExitUsage, message); }

std::size_t depthBytes(Depth d) {
    switch (d) {
        case Depth::U8:
        case Depth::S8: return 1;
        case Depth::U16:
        case Depth::S16: return 2;
        case Depth::S32:
        case Depth::F32: return 4;
        case Depth::F64: return 8;
    }
    return 1;
}

const char* depthName(Depth d) {
    switch (d) {
        case Depth::U8: return "8-bit";
        case Depth::S8: return "signed 8-bit";
        case Depth::U16: return "16-bit";
        case Depth::S16: return "signed 16-bit";
        case Depth::S32: return "signed 32-bit";
        case Depth::F32: return "32-bit float";
        case Depth::F64: return "64-bit float";
    }
    return "?";
}

Image::Image(int w, int h, int c, Depth d) : width(w), height(h), channels(c), depth(d) {
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || c < 1 || c > 4)
        fail("image size " + std::to_string(w) + "x" + std::to_string(h) + " with " + std::to_string(c) +
             " channels is outside the supported range");
    const std::size_t row = static_cast<std::size_t>(w) * c * depthBytes(d);
    if (row > static_cast<std::size_t>(std::numeric_limits<int>::max()) || row * h > kMaxImageBytes)
        fail("image of " + std::to_string(w) + "x" + std::to_string(h) + " pixels is too large");
    bytes.assign(row * h, 0);
}

double Image::sample(std::size_t i) const {
    switch (depth) {
        case Depth::U8: return data<uint8_t>()[i];
        case Depth::S8: return data<int8_t>()[i];
        case Depth::U16: return data<uint16_t>()[i];
        case Depth::S16: return data<int16_t>()[i];
        case Depth::S32: return data<int32_t>()[i];
        case Depth::F32: return data<float>()[i];
        case Depth::F64: return data<double>()[i];
    }
    return 0;
}

void Image::setSample(std::size_t i, double v) {
    switch (depth) {
        case Depth::U8: data<uint8_t>()[i] = static_cast<uint8_t>(v); break;
        case Depth::S8: data<int8_t>()[i] = static_cast<int8_t>(v); break;
        case Depth::U16: data<uint16_t>()[i] = static_cast<uint16_t>(v); break;
        case Depth::S16: data<int16_t>()[i] = static_cast<int16_t>(v); break;
        case Depth::S32: data<int32_t>()[i] = static_cast<int32_t>(v); break;
        case Depth::F32: data<float>()[i] = static_cast<float>(v); break;
        case Depth::F64: data<double>()[i] = v; break;
    }
}

namespace {

const char* layoutName(int channels) {
    switch (channels) {
        case 1: return "gray";
        case 2: return "gray+alpha";
        case 3: return "RGB";
        default: return "RGBA";
    }
}

// Range of an integer depth; floats are unbounded.
bool integerRange(Depth d, double& lo, double& hi) {
    switch (d) {
        case Depth::U8: lo = 0, hi = 255; return true;
        case Depth::S8: lo = -128, hi = 127; return true;
        case Depth::U16: lo = 0, hi = 65535; return true;
        case Depth::S16: lo = -32768, hi = 32767; return true;
        case Depth::S32: lo = -2147483648.0, hi = 2147483647.0; return true;
        default: return false;
    }
}

}  // namespace

std::string describe(const Image& image) {
    return std::string(depthName(image.depth)) + " " + layoutName(image.channels);
}

std::string excerpt(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return text.size() > 40 ? out + "..." : out;
}

std::string kindName(const Kind& k) { return std::string(depthName(k.depth)) + " " + layoutName(k.channels); }

Image convertImage(const Image& src, const Kind& to) {
    Image out(src.width, src.height, to.channels, to.depth);
    double lo = 0, hi = 0;
    const bool toInteger = integerRange(to.depth, lo, hi);
    // 16-bit to 8-bit keeps the picture: scale by 255/65535 (and back up).
    double scale = 1.0;
    if (src.depth == Depth::U16 && to.depth == Depth::U8) scale = 255.0 / 65535.0;
    if (src.depth == Depth::U8 && to.depth == Depth::U16) scale = 65535.0 / 255.0;
    const std::size_t pixels = static_cast<std::size_t>(src.width) * src.height;
    const int sc = src.channels, dc = to.channels;
    for (std::size_t p = 0; p < pixels; ++p) {
        double v[4] = {0, 0, 0, 0};
        for (int c = 0; c < sc; ++c) v[c] = src.sample(p * sc + c);
        const bool srcColour = sc >= 3;
        double gray = srcColour ? 0.299 * v[0] + 0.587 * v[1] + 0.114 * v[2] : v[0];
        // An added alpha channel is opaque (floats count 0..255 like 8 bits).
        double alpha = (sc == 2) ? v[1] : (sc == 4 ? v[3] : (toInteger ? hi : 255.0));
        for (int c = 0; c < dc; ++c) {
            double x;
            if (dc <= 2)
                x = c == 0 ? gray : alpha;
            else
                x = c < 3 ? (srcColour ? v[c] : gray) : alpha;
            x *= scale;
            if (toInteger) {
                if (std::isnan(x)) x = 0;
                x = std::nearbyint(x);
                x = x < lo ? lo : (x > hi ? hi : x);
            }
            out.setSample(p * dc + c, x);
        }
    }
    return out;
}

Image normalizeTo8u(const Image& image) {
    const std::size_t n = image.samples();
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = image.sample(i);
        if (!std::isfinite(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    Image out(image.width, image.height, image.channels, Depth::U8);
    if (!(hi > lo)) return out;  // constant, empty or non-finite: all zero
    // Halves: the width of a range of doubles may not fit a double itself.
    const double half = 0.5 * lo, k = 255.0 / (0.5 * hi - half);
    for (std::size_t i = 0; i < n; ++i) {
        double v = image.sample(i);
        if (std::isnan(v)) v = lo;
        v = v < lo ? lo : (v > hi ? hi : v);
        out.data<uint8_t>()[i] = static_cast<uint8_t>(std::lround((0.5 * v - half) * k));
    }
    return out;
}

}  // namespace cli
