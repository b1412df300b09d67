// Helpers of the command-line tests: running the built program, scratch
// folders, and small image files written and read by the test itself (so
// that the program's codecs are checked against independent code).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "cli.h"

namespace clitest {

inline std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

struct Run {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs the zalcv program with these arguments (no shell involved). Output goes
// to files rather than pipes: no deadlock on long output.
inline Run zalcv(std::vector<std::string> args) {
    char outName[] = "/tmp/zalcv-test-out-XXXXXX", errName[] = "/tmp/zalcv-test-err-XXXXXX";
    const int outFd = mkstemp(outName), errFd = mkstemp(errName);
    std::string program = ZALCV_PROGRAM;
    std::vector<char*> argv = {program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Run run;
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    const std::vector<uint8_t> out = fileBytes(outName), err = fileBytes(errName);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    close(outFd), close(errFd), unlink(outName), unlink(errName);
    return run;
}

// A fresh folder under the build tree, removed with its contents afterwards.
class TempDir {
public:
    TempDir() {
        std::filesystem::create_directories(ZALCV_TEST_SCRATCH);
        std::string name = std::string(ZALCV_TEST_SCRATCH) + "/cli-XXXXXX";
        if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a scratch folder");
        dir_ = name;
    }
    ~TempDir() { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }
    std::vector<std::string> files() const { return filesIn(dir_); }
    static std::vector<std::string> filesIn(const std::string& folder) {  // names, sorted
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string dir_;
};

// A deterministic test picture: smooth shapes, a ramp and some noise, in
// the given depth (integer depths use their range, floats 0..255).
inline cli::Image testImage(int width, int height, int channels, cli::Depth depth, unsigned seed = 1) {
    using cli::Depth;
    cli::Image img(width, height, channels, depth);
    uint32_t state = seed * 2654435761u + 12345u;
    const double lo = depth == Depth::S8 ? -128 : depth == Depth::S16 ? -32768 : depth == Depth::S32 ? -1e6 : 0;
    const double hi = depth == Depth::U16 ? 65535 : depth == Depth::S16 ? 32767 : depth == Depth::S32 ? 1e6
                      : depth == Depth::S8 ? 127 : 255;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                state = state * 1664525u + 1013904223u;
                const double dx = x - 0.4 * width, dy = y - 0.5 * height;
                double v = 0.25 + 0.35 * x / width + 0.1 * c;                                  // ramp
                if (dx * dx + dy * dy < 0.06 * width * height) v = 0.85 - 0.1 * c;             // disc
                if (x > 0.65 * width && y > 0.2 * height && y < 0.5 * height) v = 0.1;       // box
                v = std::clamp(v + 0.04 * (static_cast<double>(state >> 24) / 255.0 - 0.5), 0.0, 1.0);  // noise
                const double s = lo + v * (hi - lo);
                img.setSample((static_cast<std::size_t>(y) * width + x) * channels + c,
                              depth == Depth::F32 || depth == Depth::F64 ? s : std::round(s));
            }
    return img;
}

// A version 1.0 .npy file with this header dictionary and data.
inline std::vector<uint8_t> npyBytes(std::string dict, const std::vector<uint8_t>& data) {
    while ((10 + dict.size() + 1) % 16) dict += ' ';
    dict += '\n';
    std::vector<uint8_t> b = text(std::string("\x93NUMPY\x01\x00", 8) + static_cast<char>(dict.size() & 0xff) +
                                  static_cast<char>(dict.size() >> 8) + dict);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline const char* npyCode(cli::Depth d) {
    static const char* codes[] = {"|u1", "|i1", "<u2", "<i2", "<i4", "<f4", "<f8"};  // in Depth order
    return codes[static_cast<int>(d)];
}

// .npy written and read by the test's own code, little-endian, C order.
inline void writeNpy(const std::string& path, const cli::Image& image) {
    const std::string shape = std::to_string(image.height) + ", " + std::to_string(image.width) +
                              (image.channels > 1 ? ", " + std::to_string(image.channels) : "");
    writeBytes(path, npyBytes(std::string("{'descr': '") + npyCode(image.depth) +
                                  "', 'fortran_order': False, 'shape': (" + shape + "), }", image.bytes));
}

inline cli::Image readNpy(const std::string& path) {
    const std::vector<uint8_t> b = fileBytes(path);
    if (b.size() < 10 || std::memcmp(b.data(), "\x93NUMPY\x01\x00", 8) != 0) throw std::runtime_error(path + ": not npy 1.0");
    const std::size_t len = b[8] | b[9] << 8;
    const std::string header(b.begin() + 10, b.begin() + 10 + static_cast<std::ptrdiff_t>(len));
    int depth = 0;
    while (depth < 7 && header.find(std::string("'") + npyCode(cli::Depth(depth)) + "'") == std::string::npos) ++depth;
    if (depth == 7) throw std::runtime_error(path + ": unknown dtype in " + header);
    int dims[3] = {0, 0, 1}, n = 0;
    const char* p = header.c_str() + header.find("'shape': (") + 10;
    for (char* end; n < 3 && *p != ')'; p = end + std::strspn(end, ", ")) {
        const long v = std::strtol(p, &end, 10);
        if (end == p) break;
        dims[n++] = static_cast<int>(v);
    }
    cli::Image img(dims[1], dims[0], dims[2], cli::Depth(depth));
    std::memcpy(img.bytes.data(), b.data() + 10 + len, img.bytes.size());
    return img;
}

// Binary PGM/PPM by the test's own code.
inline void writePnm(const std::string& path, const cli::Image& image) {
    const bool wide = image.depth == cli::Depth::U16;
    std::vector<uint8_t> bytes = text(std::string(image.channels == 3 ? "P6" : "P5") + "\n# test\n" +
                                      std::to_string(image.width) + " " + std::to_string(image.height) + "\n" +
                                      (wide ? "65535" : "255") + "\n");
    for (std::size_t i = 0; i < image.samples(); ++i) {
        const auto v = static_cast<unsigned>(image.sample(i));
        if (wide) bytes.push_back(static_cast<uint8_t>(v >> 8));
        bytes.push_back(static_cast<uint8_t>(v));
    }
    writeBytes(path, bytes);
}

// Largest absolute difference of two images of one shape (infinity when the
// shapes or types differ); NaN equals NaN.
inline double maxDifference(const cli::Image& a, const cli::Image& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.depth != b.depth)
        return std::numeric_limits<double>::infinity();
    double worst = 0;
    for (std::size_t i = 0; i < a.samples(); ++i) {
        const double x = a.sample(i), y = b.sample(i), d = std::fabs(x - y);
        if (!(std::isnan(x) && std::isnan(y)) && !(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
    }
    return worst;
}

}  // namespace clitest
