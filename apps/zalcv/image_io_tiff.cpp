// TIFF through libtiff, for results beyond 8 bits: unsigned 8/16-bit,
// signed 8/16/32-bit and 32/64-bit float samples, 1 to 4 interleaved
// channels, in strips (tiled or planar files are refused with a message).
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "cli.h"

namespace cli {
namespace {

// libtiff reports through process-wide handlers; the text goes to the
// calling thread's buffer so that files read side by side keep their own.
thread_local char tiffMessage[256];

void tiffError(const char*, const char* fmt, va_list ap) { std::vsnprintf(tiffMessage, sizeof tiffMessage, fmt, ap); }
void tiffWarning(const char*, const char*, va_list) {}

void installHandlers() {
    static const bool done = [] {
        TIFFSetErrorHandler(tiffError);
        TIFFSetWarningHandler(tiffWarning);
        return true;
    }();
    (void)done;
}

// A file in memory for TIFFClientOpen.
struct Memory {
    const std::vector<uint8_t>* file;
    toff_t pos;
};

tmsize_t memoryRead(thandle_t h, void* out, tmsize_t n) {
    auto* m = static_cast<Memory*>(h);
    const toff_t size = m->file->size();
    const toff_t got = m->pos >= size ? 0 : std::min<toff_t>(static_cast<toff_t>(n), size - m->pos);
    std::copy_n(m->file->data() + m->pos, got, static_cast<uint8_t*>(out));
    m->pos += got;
    return static_cast<tmsize_t>(got);
}

tmsize_t memoryWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t memorySeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    const toff_t base = whence == SEEK_SET ? 0 : (whence == SEEK_CUR ? m->pos : m->file->size());
    // Offsets are unsigned: one that wraps below zero lands far past the end.
    m->pos = base + offset;
    return m->pos;
}

int memoryClose(thandle_t) { return 0; }

toff_t memorySize(thandle_t h) { return static_cast<Memory*>(h)->file->size(); }

int noMap(thandle_t, void**, toff_t*) { return 0; }

void noUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
    TIFF* t;
    ~TiffCloser() {
        if (t) TIFFClose(t);
    }
};

bool depthOf(int format, int bits, Depth& d) {
    if (format == SAMPLEFORMAT_UINT && bits == 8) return d = Depth::U8, true;
    if (format == SAMPLEFORMAT_UINT && bits == 16) return d = Depth::U16, true;
    if (format == SAMPLEFORMAT_INT && bits == 8) return d = Depth::S8, true;
    if (format == SAMPLEFORMAT_INT && bits == 16) return d = Depth::S16, true;
    if (format == SAMPLEFORMAT_INT && bits == 32) return d = Depth::S32, true;
    if (format == SAMPLEFORMAT_IEEEFP && bits == 32) return d = Depth::F32, true;
    if (format == SAMPLEFORMAT_IEEEFP && bits == 64) return d = Depth::F64, true;
    return false;
}

}  // namespace

Image decodeTiff(const std::vector<uint8_t>& file, const std::string& path) {
    installHandlers();
    tiffMessage[0] = '\0';
    Memory memory{&file, 0};
    TiffCloser tif{TIFFClientOpen(path.c_str(), "r", &memory, memoryRead, memoryWrite, memorySeek, memoryClose, memorySize,
                                  noMap, noUnmap)};
    if (!tif.t) fail(path + ": bad TIFF file: " + tiffMessage);
    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bits = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, photometric = PHOTOMETRIC_MINISBLACK;
    TIFFGetField(tif.t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.t, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif.t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif.t, TIFFTAG_PHOTOMETRIC, &photometric);
    Depth depth;
    if (!depthOf(format, bits, depth))
        fail(path + ": TIFF with " + std::to_string(bits) + "-bit samples of format " + std::to_string(format) +
             " is not supported");
    if (TIFFIsTiled(tif.t)) fail(path + ": tiled TIFF files are not supported");
    if (spp > 1 && planar != PLANARCONFIG_CONTIG) fail(path + ": TIFF files with separate colour planes are not supported");
    if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_RGB)
        fail(path + ": TIFF photometric interpretation " + std::to_string(photometric) + " is not supported");
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || spp < 1 || spp > 4)
        fail(path + ": unsupported TIFF size or channel count");
    // No codec packs more than some thousands of bytes into one (deflate
    // 1032, packbits 64): a header promising far more than the file can hold
    // is refused before the image is allocated.
    const double bytes = static_cast<double>(width) * height * spp * static_cast<double>(depthBytes(depth));
    if (bytes > 65536.0 * static_cast<double>(file.size()))
        fail(path + ": bad TIFF file: the header promises more pixels than the file can hold");
    Image image(static_cast<int>(width), static_cast<int>(height), spp, depth);
    if (static_cast<std::size_t>(TIFFScanlineSize64(tif.t)) != static_cast<std::size_t>(image.step()))
        fail(path + ": unexpected TIFF row size");
    for (uint32_t y = 0; y < height; ++y)
        if (TIFFReadScanline(tif.t, image.bytes.data() + static_cast<std::size_t>(y) * image.step(), y, 0) < 0)
            fail(path + ": bad TIFF file: " + tiffMessage);
    return image;
}

std::string tiffCannotHold(const Image&) { return ""; }

void writeTiff(const Image& image, const std::string& tempPath, const std::string& path) {
    installHandlers();
    tiffMessage[0] = '\0';
    TiffCloser tif{TIFFOpen(tempPath.c_str(), "w")};
    if (!tif.t) fail(path + ": cannot write TIFF: " + tiffMessage);
    const bool isFloat = image.depth == Depth::F32 || image.depth == Depth::F64;
    const bool isSigned = image.depth == Depth::S8 || image.depth == Depth::S16 || image.depth == Depth::S32;
    TIFFSetField(tif.t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
    TIFFSetField(tif.t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
    TIFFSetField(tif.t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(image.channels));
    TIFFSetField(tif.t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(8 * depthBytes(image.depth)));
    TIFFSetField(tif.t, TIFFTAG_SAMPLEFORMAT,
                 static_cast<uint16_t>(isFloat ? SAMPLEFORMAT_IEEEFP : (isSigned ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT)));
    TIFFSetField(tif.t, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
    TIFFSetField(tif.t, TIFFTAG_PHOTOMETRIC,
                 static_cast<uint16_t>(image.channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK));
    if (image.channels == 2 || image.channels == 4) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif.t, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(1), extra);
    }
    TIFFSetField(tif.t, TIFFTAG_COMPRESSION, static_cast<uint16_t>(COMPRESSION_ADOBE_DEFLATE));
    TIFFSetField(tif.t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif.t, 0));
    std::vector<uint8_t> row(static_cast<std::size_t>(image.step()));
    for (int y = 0; y < image.height; ++y) {
        // TIFFWriteScanline may modify its buffer (byte swapping): use a copy.
        std::copy_n(image.bytes.data() + static_cast<std::size_t>(y) * image.step(), row.size(), row.data());
        if (TIFFWriteScanline(tif.t, row.data(), static_cast<uint32_t>(y), 0) < 0)
            fail(path + ": cannot write TIFF: " + tiffMessage);
    }
    TIFF* t = tif.t;
    tif.t = nullptr;
    if (!TIFFFlush(t)) {
        TIFFClose(t);
        fail(path + ": cannot write TIFF: " + tiffMessage);
    }
    TIFFClose(t);
}

}  // namespace cli
