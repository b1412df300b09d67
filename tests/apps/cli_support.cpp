#include "cli_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace clitest {
namespace {

std::string slurpFd(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

void removeTree(const std::string& path) {
    if (DIR* d = opendir(path.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat st{};
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(child);
            else
                unlink(child.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

}  // namespace

Run zalcv(const std::vector<std::string>& args) {
    // Output goes to files rather than pipes: no deadlock on long output.
    char outName[] = "/tmp/zalcv-test-out-XXXXXX", errName[] = "/tmp/zalcv-test-err-XXXXXX";
    const int outFd = mkstemp(outName), errFd = mkstemp(errName);
    Run run;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, STDIN_FILENO);
        std::vector<char*> argv;
        std::string program = ZALCV_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    run.out = slurpFd(outFd);
    run.err = slurpFd(errFd);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return run;
}

TempDir::TempDir() {
    std::string pattern = std::string(ZALCV_TEST_SCRATCH) + "/cli-XXXXXX";
    mkdir(ZALCV_TEST_SCRATCH, 0777);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a scratch folder");
    dir_ = name.data();
}

TempDir::~TempDir() { removeTree(dir_); }

std::vector<std::string> TempDir::filesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

cli::Image testImage(int width, int height, int channels, cli::Depth depth, unsigned seed) {
    cli::Image img(width, height, channels, depth);
    uint32_t state = seed * 2654435761u + 12345u;
    double lo = 0, hi = 255;
    switch (depth) {
        case cli::Depth::S8: lo = -128, hi = 127; break;
        case cli::Depth::U16: hi = 65535; break;
        case cli::Depth::S16: lo = -32768, hi = 32767; break;
        case cli::Depth::S32: lo = -1e6, hi = 1e6; break;
        default: break;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                state = state * 1664525u + 1013904223u;
                const double noise = static_cast<double>(state >> 24) / 255.0 - 0.5;
                const double dx = x - 0.4 * width, dy = y - 0.5 * height;
                double v = 0.25 + 0.35 * x / width + 0.1 * c;                              // ramp
                if (dx * dx + dy * dy < 0.06 * width * height) v = 0.85 - 0.1 * c;            // disc
                if (x > 0.65 * width && y > 0.2 * height && y < 0.5 * height) v = 0.1;      // box
                v += 0.04 * noise;
                v = std::min(1.0, std::max(0.0, v));
                double s = lo + v * (hi - lo);
                if (depth != cli::Depth::F32 && depth != cli::Depth::F64) s = std::round(s);
                img.setSample((static_cast<std::size_t>(y) * width + x) * channels + c, s);
            }
    return img;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

namespace {
const char* npyCode(cli::Depth d) {
    switch (d) {
        case cli::Depth::U8: return "|u1";
        case cli::Depth::S8: return "|i1";
        case cli::Depth::U16: return "<u2";
        case cli::Depth::S16: return "<i2";
        case cli::Depth::S32: return "<i4";
        case cli::Depth::F32: return "<f4";
        case cli::Depth::F64: return "<f8";
    }
    return "";
}
}  // namespace

void writeNpy(const std::string& path, const cli::Image& image) {
    std::ostringstream h;
    h << "{'descr': '" << npyCode(image.depth) << "', 'fortran_order': False, 'shape': (" << image.height << ", "
      << image.width;
    if (image.channels > 1) h << ", " << image.channels;
    h << "), }";
    std::string header = h.str();
    while ((10 + header.size() + 1) % 16) header += ' ';
    header += '\n';
    std::vector<uint8_t> bytes = {0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0, static_cast<uint8_t>(header.size()),
                                  static_cast<uint8_t>(header.size() >> 8)};
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), image.bytes.begin(), image.bytes.end());
    writeBytes(path, bytes);
}

cli::Image readNpy(const std::string& path) {
    const std::vector<uint8_t> b = fileBytes(path);
    if (b.size() < 10 || std::memcmp(b.data(), "\x93NUMPY\x01\x00", 8) != 0) throw std::runtime_error(path + ": not npy 1.0");
    const std::size_t len = b[8] | b[9] << 8;
    const std::string header(b.begin() + 10, b.begin() + 10 + static_cast<std::ptrdiff_t>(len));
    const cli::Depth all[] = {cli::Depth::U8, cli::Depth::S8, cli::Depth::U16, cli::Depth::S16,
                              cli::Depth::S32, cli::Depth::F32, cli::Depth::F64};
    cli::Depth depth = cli::Depth::U8;
    bool found = false;
    for (cli::Depth d : all)
        if (header.find(std::string("'") + npyCode(d) + "'") != std::string::npos) depth = d, found = true;
    if (!found) throw std::runtime_error(path + ": unknown dtype in " + header);
    const auto open = header.find("'shape': (");
    int dims[3] = {0, 0, 1}, n = 0;
    const char* p = header.c_str() + open + 10;
    while (n < 3 && *p != ')') {
        char* end;
        const long v = std::strtol(p, &end, 10);
        if (end == p) break;
        dims[n++] = static_cast<int>(v);
        p = end;
        while (*p == ',' || *p == ' ') ++p;
    }
    cli::Image img(dims[1], dims[0], dims[2], depth);
    std::memcpy(img.bytes.data(), b.data() + 10 + len, img.bytes.size());
    return img;
}

void writePnm(const std::string& path, const cli::Image& image) {
    const bool wide = image.depth == cli::Depth::U16;
    std::string head = std::string(image.channels == 3 ? "P6" : "P5") + "\n# test\n" + std::to_string(image.width) + " " +
                       std::to_string(image.height) + "\n" + (wide ? "65535" : "255") + "\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (std::size_t i = 0; i < image.samples(); ++i) {
        const auto v = static_cast<unsigned>(image.sample(i));
        if (wide) bytes.push_back(static_cast<uint8_t>(v >> 8));
        bytes.push_back(static_cast<uint8_t>(v));
    }
    writeBytes(path, bytes);
}

double maxDifference(const cli::Image& a, const cli::Image& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.depth != b.depth)
        return std::numeric_limits<double>::infinity();
    double worst = 0;
    for (std::size_t i = 0; i < a.samples(); ++i) {
        const double x = a.sample(i), y = b.sample(i);
        if (std::isnan(x) && std::isnan(y)) continue;
        const double d = std::fabs(x - y);
        if (!(d <= worst)) worst = std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
    }
    return worst;
}

}  // namespace clitest
