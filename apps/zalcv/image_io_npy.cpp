// NumPy .npy arrays (format 1.0 written, 1.0 to 3.0 read): shape (H, W) or
// (H, W, C) with C in 1..4, little-endian u1 i1 u2 i2 i4 f4 f8, C order.
#include <cerrno>
#include <cstring>
#include <regex>

#include "cli.h"

namespace cli {
namespace {

struct DType {
    const char* code;
    Depth depth;
};
const DType kTypes[] = {{"u1", Depth::U8}, {"i1", Depth::S8}, {"u2", Depth::U16}, {"i2", Depth::S16},
                        {"i4", Depth::S32}, {"f4", Depth::F32}, {"f8", Depth::F64}};

}  // namespace

Image decodeNpy(const std::vector<uint8_t>& file, const std::string& path) {
    if (file.size() < 10) fail(path + ": truncated .npy file");
    const int major = file[6];
    std::size_t headerLen, start;
    if (major == 1) {
        headerLen = file[8] | file[9] << 8;
        start = 10;
    } else if (major == 2 || major == 3) {
        if (file.size() < 12) fail(path + ": truncated .npy file");
        headerLen = file[8] | file[9] << 8 | file[10] << 16 | static_cast<std::size_t>(file[11]) << 24;
        start = 12;
    } else {
        fail(path + ": unsupported .npy version " + std::to_string(major));
    }
    if (headerLen > 65536 || file.size() - start < headerLen) fail(path + ": bad .npy header");
    const std::string header(reinterpret_cast<const char*>(file.data() + start), headerLen);
    std::smatch m;
    if (!std::regex_search(header, m, std::regex("'descr'\\s*:\\s*'([<>|=])([a-z][0-9])'")))
        fail(path + ": .npy header without a data type");
    const std::string order = m[1], code = m[2];
    const DType* type = nullptr;
    for (const DType& t : kTypes)
        if (code == t.code) type = &t;
    if (!type || (order == ">" && code[1] != '1'))
        fail(path + ": .npy data type " + order + code + " is not supported (u1 i1 u2 i2 i4 f4 f8, little-endian)");
    if (std::regex_search(header, std::regex("'fortran_order'\\s*:\\s*True")))
        fail(path + ": .npy arrays in Fortran order are not supported");
    if (!std::regex_search(header, m, std::regex("'shape'\\s*:\\s*\\(\\s*([0-9]+)\\s*,\\s*([0-9]+)\\s*(,\\s*([0-9]+)\\s*)?,?\\s*\\)")))
        fail(path + ": .npy shape must be (height, width) or (height, width, channels)");
    auto dim = [&](const std::string& s) {
        if (s.size() > 8) fail(path + ": .npy shape too large");
        return std::stoi(s);
    };
    const int h = dim(m[1]), w = dim(m[2]), c = m[4].matched ? dim(m[4]) : 1;
    if (h < 1 || w < 1 || c < 1 || c > 4) fail(path + ": .npy shape is not an image (1 to 4 channels)");
    const std::size_t data = start + headerLen;
    if ((file.size() - data) / depthBytes(type->depth) / c / w < static_cast<std::size_t>(h))
        fail(path + ": truncated .npy file");
    Image image(w, h, c, type->depth);
    std::memcpy(image.bytes.data(), file.data() + data, image.bytes.size());
    return image;
}

void encodeNpy(const Image& image, std::FILE* out, const std::string& path) {
    const char* code = "u1";
    for (const DType& t : kTypes)
        if (t.depth == image.depth) code = t.code;
    const char order = depthBytes(image.depth) == 1 ? '|' : '<';
    std::string shape = std::to_string(image.height) + ", " + std::to_string(image.width);
    if (image.channels > 1) shape += ", " + std::to_string(image.channels);
    std::string header = std::string("{'descr': '") + order + code + "', 'fortran_order': False, 'shape': (" + shape + "), }";
    // Magic (6) + version (2) + length (2) + header + newline: a multiple of 64.
    const std::size_t total = 10 + header.size() + 1;
    header.append((64 - total % 64) % 64, ' ');
    header.push_back('\n');
    const uint8_t prefix[10] = {0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0, static_cast<uint8_t>(header.size() & 0xff),
                                static_cast<uint8_t>(header.size() >> 8)};
    if (std::fwrite(prefix, 1, 10, out) != 10 || std::fwrite(header.data(), 1, header.size(), out) != header.size() ||
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), out) != image.bytes.size())
        fail(path + ": cannot write: " + std::strerror(errno));
}

}  // namespace cli
