// PNG files of the demo, written with libpng.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "demo.h"

namespace demo {

bool Output::write(const std::string& name, const uint8_t* data, int step, int width, int height, int channels) {
    const std::string path = folder_ + "/" + name + ".png";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(data + static_cast<std::ptrdiff_t>(y) * step));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    written_.push_back(path);
    return true;
}

bool Output::writeScaled(const std::string& name, const float* data, int step, int width, int height, float lo,
                         float hi) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(width) * height);
    const float scale = hi > lo ? 255.0f / (hi - lo) : 0.0f;
    for (int y = 0; y < height; ++y) {
        const float* row = reinterpret_cast<const float*>(reinterpret_cast<const char*>(data) + static_cast<std::ptrdiff_t>(y) * step);
        for (int x = 0; x < width; ++x) {
            const float v = (row[x] - lo) * scale;
            bytes[static_cast<std::size_t>(y) * width + x] = static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
        }
    }
    return write(name, bytes.data(), width, width, height, 1);
}

}  // namespace demo
