// JPEG through libjpeg-turbo: 8-bit gray or RGB (other colour spaces are
// converted to RGB by the decoder; CMYK is refused).
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>

#include "cli.h"

namespace cli {
namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
};

void jpegExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, err->message);
    std::longjmp(err->jump, 1);
}

void jpegQuiet(j_common_ptr, int) {}

// Reading, warnings pass quietly (a few stray bytes between markers are
// common in camera files), except the end of the data before the end of the
// image: the decoder would fill the rest with gray and report success.
void jpegReadWarning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpegExit(info);
}

}  // namespace

Image decodeJpeg(const std::vector<uint8_t>& file, const std::string& path) {
    jpeg_decompress_struct info{};
    JpegError err;
    Image image;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegExit;
    err.mgr.emit_message = jpegReadWarning;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        fail(path + ": bad JPEG file: " + err.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    // Huffman coding spends a bit or more on every block of the component
    // with the fewest (a 4 x 4 subsampled one: 1024 pixels a block), so a
    // real file holds no more than 8192 pixels a byte. A header promising
    // far more is refused before the image is allocated.
    if (!info.arith_code && static_cast<double>(info.image_width) * info.image_height > 65536.0 * static_cast<double>(file.size())) {
        jpeg_destroy_decompress(&info);
        fail(path + ": bad JPEG file: the header promises more pixels than the file can hold");
    }
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        fail(path + ": CMYK JPEG files are not supported");
    }
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    const int channels = info.output_components;
    try {
        image = Image(static_cast<int>(info.output_width), static_cast<int>(info.output_height), channels, Depth::U8);
    } catch (...) {
        jpeg_destroy_decompress(&info);
        throw;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.bytes.data() + static_cast<std::size_t>(info.output_scanline) * image.step();
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

std::string jpegCannotHold(const Image& image) {
    if (image.depth != Depth::U8)
        return std::string("JPEG holds 8-bit samples, the result is ") + depthName(image.depth) +
               ": use --normalize for a viewable picture, or write .tiff or .npy for the values";
    if (image.channels != 1 && image.channels != 3) return "JPEG holds gray or RGB images, not " + describe(image) + ": use .png";
    return "";
}

void encodeJpeg(const Image& image, std::FILE* out, const std::string& path, int quality) {
    jpeg_compress_struct info{};
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegExit;
    err.mgr.emit_message = jpegQuiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        fail(path + ": cannot write JPEG: " + err.message);
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = image.channels;
    info.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.bytes.data()) + static_cast<std::size_t>(info.next_scanline) * image.step();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
}

}  // namespace cli
