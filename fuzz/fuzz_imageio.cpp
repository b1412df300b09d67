// The image files that the program and the Python package (zalcv.io) read:
// the input is a file's bytes. Whatever they hold, reading either gives an
// image or fails with a message (cli::Error); it never crashes, hangs or
// leaks. A decoded image is consistent, and every format that can hold it
// gives it back: the lossless ones sample for sample, JPEG in size and
// layout. A write that fails leaves no file behind.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli.h"

namespace {

[[noreturn]] void broken(const std::string& what) {
    std::fprintf(stderr, "imageio: %s\n", what.c_str());
    std::abort();
}

// Every input gets a folder of its own, in memory where the system has one,
// emptied and removed after it (the fuzzing engine ends without exit handlers).
const char* const kFiles[] = {"in", "out.png", "out.pnm", "out.tiff", "out.npy", "out.jpg"};

struct Folder {
    std::string path;
    Folder() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(base) + "/zalcv-fuzz-imageio-XXXXXX";
        if (!mkdtemp(path.data())) broken("cannot make a work folder in " + std::string(base));
    }
    ~Folder() {
        for (const char* name : kFiles) unlink((path + "/" + name).c_str());
        rmdir(path.c_str());
    }
};

bool exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

void checkConsistent(const cli::Image& im, const std::string& from) {
    if (im.width < 1 || im.height < 1 || im.width > cli::kMaxSide || im.height > cli::kMaxSide || im.channels < 1 ||
        im.channels > 4 || im.bytes.size() != im.samples() * cli::depthBytes(im.depth))
        broken(from + " gave an inconsistent image: " + std::to_string(im.width) + "x" + std::to_string(im.height) +
               "x" + std::to_string(im.channels) + ", " + std::to_string(im.bytes.size()) + " bytes");
}

// Writes `im` as `name` and reads it back; a refusal must leave no file.
void roundTrip(const cli::Image& im, const Folder& folder, const char* name, bool lossless) {
    const std::string path = folder.path + "/" + name;
    unlink(path.c_str());
    try {
        cli::writeImage(im, path, cli::WriteOptions{});
    } catch (const cli::Error&) {
        if (exists(path)) broken(std::string("a refused ") + name + " was left behind");
        return;
    }
    cli::Image back;
    try {
        back = cli::readImage(path);
    } catch (const cli::Error& e) {
        broken(std::string(name) + " written but not read back: " + e.what());
    }
    checkConsistent(back, name);
    if (back.width != im.width || back.height != im.height || back.channels != im.channels ||
        (lossless && (back.depth != im.depth || back.bytes != im.bytes)))
        broken(std::string(name) + " did not give the image back (" + cli::describe(im) + ")");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folder folder;
    const std::string in = folder.path + "/in";
    std::FILE* f = std::fopen(in.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) broken("cannot write " + in);
    cli::Image im;
    try {
        im = cli::readImage(in);
    } catch (const cli::Error&) {
        return 0;
    }
    checkConsistent(im, "reading");
    // Large images (a few bytes of deflate can promise megabytes) are only read.
    if (im.bytes.size() > (std::size_t(1) << 22)) return 0;
    roundTrip(im, folder, "out.png", true);
    roundTrip(im, folder, "out.pnm", true);
    roundTrip(im, folder, "out.tiff", true);
    roundTrip(im, folder, "out.npy", true);
    roundTrip(im, folder, "out.jpg", false);
    // The stretch to 8 bits keeps the size and layout, and holds any depth.
    cli::WriteOptions stretch;
    stretch.normalize = true;
    const std::string png = folder.path + "/out.png";
    try {
        cli::writeImage(im, png, stretch);
    } catch (const cli::Error& e) {
        broken(std::string("--normalize refused: ") + e.what());
    }
    const cli::Image back = cli::readImage(png);
    if (back.width != im.width || back.height != im.height || back.channels != im.channels || back.depth != cli::Depth::U8)
        broken("--normalize changed the size or layout");
    return 0;
}
