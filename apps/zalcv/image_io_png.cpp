// PNG through libpng: 8- and 16-bit gray, gray+alpha, RGB and RGBA. Palette
// and low-bit images are expanded to 8 bits, a transparency chunk to alpha.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "cli.h"

namespace cli {
namespace {

struct PngIo {
    const std::vector<uint8_t>* file = nullptr;
    std::size_t pos = 0;
    char message[256] = "";
};

void pngError(png_structp png, png_const_charp msg) {
    auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
    std::snprintf(io->message, sizeof io->message, "%s", msg);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, png_size_t n) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (n > io->file->size() - io->pos) png_error(png, "file is truncated");
    std::memcpy(out, io->file->data() + io->pos, n);
    io->pos += n;
}

bool littleEndian() {
    const uint16_t one = 1;
    uint8_t b;
    std::memcpy(&b, &one, 1);
    return b == 1;
}

}  // namespace

Image decodePng(const std::vector<uint8_t>& file, const std::string& path) {
    PngIo io;
    io.file = &file;
    Image image;
    std::vector<png_bytep> rows;
    std::string tooLarge;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        fail(path + ": out of memory");
    }
    // Only libpng calls run between setjmp and its longjmp; C++ objects live
    // outside.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fail(path + ": bad PNG file: " + io.message);
    }
    png_set_read_fn(png, &io, pngRead);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16 && littleEndian()) png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int width = static_cast<int>(png_get_image_width(png, info));
    const int height = static_cast<int>(png_get_image_height(png, info));
    const int channels = png_get_channels(png, info);
    const int depth = png_get_bit_depth(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const std::size_t need = static_cast<std::size_t>(width) * channels * (depth == 16 ? 2 : 1);
    const std::size_t total = need * static_cast<std::size_t>(height);
    // Deflate expands at most about 1032:1: a header promising more pixels
    // than the file can hold is refused before anything is allocated.
    const bool impossible = total / 1032 > file.size() + 1024;
    if (rowBytes != need || (depth != 8 && depth != 16) || channels < 1 || channels > 4 || total > kMaxImageBytes ||
        impossible) {
        png_destroy_read_struct(&png, &info, nullptr);
        fail(path + ": unsupported PNG layout or size");
    }
    try {
        image = Image(width, height, channels, depth == 16 ? Depth::U16 : Depth::U8);
        rows.resize(static_cast<std::size_t>(height));
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw;
    }
    for (int y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = image.bytes.data() + static_cast<std::size_t>(y) * need;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

std::string pngCannotHold(const Image& image) {
    if (image.depth == Depth::U8 || image.depth == Depth::U16) return "";
    return std::string("PNG holds 8- or 16-bit unsigned samples, the result is ") + depthName(image.depth) +
           ": use --normalize for a viewable 8-bit picture, or write .tiff or .npy for the values";
}

void encodePng(const Image& image, std::FILE* out, const std::string& path) {
    PngIo io;
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(image.bytes.data()) + static_cast<std::size_t>(y) * image.step();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        fail(path + ": out of memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fail(path + ": cannot write PNG: " + io.message);
    }
    static const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 image.depth == Depth::U16 ? 16 : 8, types[image.channels - 1], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (image.depth == Depth::U16 && littleEndian()) png_set_swap(png);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

}  // namespace cli
