// NumPy .npy arrays (format 1.0 written, 1.0 to 3.0 read): shape (H, W) or
// (H, W, C) with C in 1..4, little-endian u1 i1 u2 i2 i4 f4 f8, C order.
#include <cerrno>
#include <cstring>
#include <cctype>

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
    // The value after 'key': in the header dictionary ("" when absent).
    auto valueOf = [&](const char* key) -> std::string {
        const std::size_t k = header.find(std::string("'") + key + "'");
        if (k == std::string::npos) return "";
        std::size_t v = header.find(':', k);
        if (v == std::string::npos) return "";
        v = header.find_first_not_of(" ", v + 1);
        if (v == std::string::npos) return "";
        const char close = header[v] == '\'' ? '\'' : (header[v] == '(' ? ')' : ',');
        const std::size_t end = header.find(close, v + 1);
        return end == std::string::npos ? "" : header.substr(v, end - v + 1);
    };
    const std::string descr = valueOf("descr");  // e.g. '<f4'
    if (descr.size() != 5) fail(path + ": .npy header without a data type");
    const char order = descr[1];
    const std::string code = descr.substr(2, 2);
    const DType* type = nullptr;
    for (const DType& t : kTypes)
        if (code == t.code) type = &t;
    if (!type || order == '>' || (order != '<' && order != '|' && order != '='))
        fail(path + ": .npy data type " + excerpt(descr) + " is not supported (u1 i1 u2 i2 i4 f4 f8, little-endian)");
    if (valueOf("fortran_order").rfind("True", 0) == 0) fail(path + ": .npy arrays in Fortran order are not supported");
    // Shape "(H, W)" or "(H, W, C)": two or three numbers.
    const std::string shape = valueOf("shape");
    std::vector<long> dims;
    for (std::size_t i = 1; i < shape.size();) {
        if (std::isdigit(static_cast<unsigned char>(shape[i]))) {
            std::size_t j = i;
            while (j < shape.size() && std::isdigit(static_cast<unsigned char>(shape[j]))) ++j;
            if (j - i > 8) fail(path + ": .npy shape too large");
            dims.push_back(std::stol(shape.substr(i, j - i)));
            i = j;
        } else if (shape[i] == ',' || shape[i] == ' ' || shape[i] == ')') {
            ++i;
        } else {
            fail(path + ": bad .npy shape " + excerpt(shape));
        }
    }
    if (dims.size() < 2 || dims.size() > 3) fail(path + ": .npy shape must be (height, width) or (height, width, channels)");
    const int h = static_cast<int>(dims[0]), w = static_cast<int>(dims[1]), c = dims.size() == 3 ? static_cast<int>(dims[2]) : 1;
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
