// Image files: the format of an input is recognised by its first bytes, the
// format of an output by its extension. The codecs are in image_io_<fmt>.cpp.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace cli {
namespace {

std::string lowerExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::vector<uint8_t> slurp(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) fail(path + ": cannot open: " + std::strerror(errno));
    struct stat st{};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        fail(path + ": not a regular file");
    }
    std::vector<uint8_t> data;
    uint8_t chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) fail(path + ": read error");
    return data;
}

bool startsWith(const std::vector<uint8_t>& d, const char* magic, std::size_t n) {
    return d.size() >= n && std::memcmp(d.data(), magic, n) == 0;
}

}  // namespace

Format formatForPath(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "png") return Format::Png;
    if (ext == "jpg" || ext == "jpeg") return Format::Jpeg;
    if (ext == "pgm" || ext == "ppm" || ext == "pnm") return Format::Pnm;
    if (ext == "tif" || ext == "tiff") return Format::Tiff;
    if (ext == "npy") return Format::Npy;
    fail(path + ": unknown image format (use .png, .jpg, .pgm, .ppm, .tiff or .npy)");
}

bool isImagePath(const std::string& path) {
    static const char* const exts[] = {"png", "jpg", "jpeg", "pgm", "ppm", "pnm", "tif", "tiff", "npy"};
    const std::string ext = lowerExtension(path);
    return std::any_of(std::begin(exts), std::end(exts), [&](const char* e) { return ext == e; });
}

const char* formatName(Format f) {
    switch (f) {
        case Format::Png: return "PNG";
        case Format::Jpeg: return "JPEG";
        case Format::Pnm: return "PGM/PPM";
        case Format::Tiff: return "TIFF";
        case Format::Npy: return ".npy";
    }
    return "?";
}

Image readImage(const std::string& path) {
    const std::vector<uint8_t> file = slurp(path);
    if (file.empty()) fail(path + ": empty file");
    if (startsWith(file, "\x89PNG\r\n\x1a\n", 8)) return decodePng(file, path);
    if (startsWith(file, "\xff\xd8\xff", 3)) return decodeJpeg(file, path);
    if (startsWith(file, "II*\0", 4) || startsWith(file, "MM\0*", 4)) return decodeTiff(file, path);
    if (startsWith(file, "\x93NUMPY", 6)) return decodeNpy(file, path);
    if (file.size() >= 2 && file[0] == 'P' && file[1] >= '1' && file[1] <= '6') return decodePnm(file, path);
    fail(path + ": not a PNG, JPEG, PGM/PPM, TIFF or .npy file");
}

void writeImage(const Image& original, const std::string& path, const WriteOptions& options) {
    const Format format = formatForPath(path);
    const Image* image = &original;
    Image stretched;
    if (options.normalize) {
        if (format == Format::Tiff || format == Format::Npy)
            fail(path + ": --normalize writes 8-bit images: use .png, .jpg, .pgm or .ppm");
        stretched = normalizeTo8u(original);
        image = &stretched;
    }
    std::string why;
    switch (format) {
        case Format::Png: why = pngCannotHold(*image); break;
        case Format::Jpeg: why = jpegCannotHold(*image); break;
        case Format::Pnm: why = pnmCannotHold(*image, path); break;
        case Format::Tiff: why = tiffCannotHold(*image); break;
        case Format::Npy: break;
    }
    if (!why.empty()) fail(path + ": " + why);
    AtomicFile file(path);
    switch (format) {
        case Format::Png: encodePng(*image, file.stream(), path); break;
        case Format::Jpeg: encodeJpeg(*image, file.stream(), path, options.jpegQuality); break;
        case Format::Pnm: encodePnm(*image, file.stream(), path); break;
        case Format::Npy: encodeNpy(*image, file.stream(), path); break;
        case Format::Tiff: writeTiff(*image, file.tempPath(), path); break;
    }
    file.commit();
}

}  // namespace cli
