// Helpers of the command-line tests: running the built program, scratch
// folders, and small image files written and read by the test itself (so
// that the program's codecs are checked against independent code).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"

namespace clitest {

struct Run {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out, err;
};
// Runs the zalcv program with these arguments (no shell involved).
Run zalcv(const std::vector<std::string>& args);

// A fresh folder under the build tree, removed with its contents afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }
    std::vector<std::string> files() const { return filesIn(dir_); }  // names, sorted
    static std::vector<std::string> filesIn(const std::string& folder);

private:
    std::string dir_;
};

// A deterministic test picture: smooth shapes, a ramp and some noise, in
// the given depth (integer depths use their range, floats 0..255).
cli::Image testImage(int width, int height, int channels, cli::Depth depth, unsigned seed = 1);

// .npy written and read by the test's own code, little-endian, C order.
void writeNpy(const std::string& path, const cli::Image& image);
cli::Image readNpy(const std::string& path);
// Binary PGM/PPM by the test's own code.
void writePnm(const std::string& path, const cli::Image& image);
std::vector<uint8_t> fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Largest absolute difference of two images of one shape (infinity when the
// shapes or types differ); NaN equals NaN.
double maxDifference(const cli::Image& a, const cli::Image& b);

}  // namespace clitest
