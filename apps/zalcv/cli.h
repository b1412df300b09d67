// The command-line operations: images in memory, errors with exit codes, the
// operation table and the helpers the per-family files (ops_<family>.cpp)
// share. The program calls the library only through <zalcv.h>.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zalcv.h"

namespace cli {

// ---- Errors ---------------------------------------------------------------
// Every failure ends as one line on stderr and an exit status: 2 for a usage,
// file or value error, 1 for an error status returned by the library.
constexpr int kExitUsage = 2;
constexpr int kExitLibrary = 1;

struct Error : std::runtime_error {
    Error(int code, const std::string& message) : std::runtime_error(message), exitCode(code) {}
    int exitCode;
};
// A bad option, value, file or format: exit status 2.
[[noreturn]] void fail(const std::string& message);
// The name of a status code ("StatusSizeError"), or "status N".
std::string statusName(int status);
// Throws a library error (exit 1) for a negative status; a positive status
// (a warning: the outputs are complete) is reported on stderr once per run.
void check(StatusCode status, const char* function);

// ---- Images -----------------------------------------------------------------
enum class Depth { U8, S8, U16, S16, S32, F32, F64 };
std::size_t depthBytes(Depth d);
const char* depthName(Depth d);  // "8-bit", "signed 16-bit", "32-bit float", ...

// An interleaved image with tightly packed rows (step = row bytes). Row bytes
// always fit an int, as the library's steps are ints.
struct Image {
    int width = 0, height = 0, channels = 1;
    Depth depth = Depth::U8;
    std::vector<uint8_t> bytes;

    Image() = default;
    Image(int w, int h, int c, Depth d);  // zero-filled; fails on sizes beyond the limits
    int step() const { return static_cast<int>(static_cast<std::size_t>(width) * channels * depthBytes(depth)); }
    ImageSize roi() const { return ImageSize{width, height}; }
    std::size_t samples() const { return static_cast<std::size_t>(width) * height * channels; }
    template <class T> T* data() { return reinterpret_cast<T*>(bytes.data()); }
    template <class T> const T* data() const { return reinterpret_cast<const T*>(bytes.data()); }
    double sample(std::size_t i) const;           // any depth as double
    void setSample(std::size_t i, double v);      // stored as is (callers round/saturate)
};
// "16-bit gray", "8-bit RGB", "32-bit float gray+alpha", ...
std::string describe(const Image& image);
// Text from a file, fit for a one-line message: control bytes as \xNN, and
// no more than 40 bytes of it.
std::string excerpt(const std::string& text);
// Largest accepted width or height and decoded image size.
constexpr int kMaxSide = 1 << 20;
constexpr std::size_t kMaxImageBytes = std::size_t(1) << 31;

// ---- Image files (image_io*.cpp) ----------------------------------------------
enum class Format { Png, Jpeg, Pnm, Tiff, Npy };
// The format an output name asks for, by extension (.png .jpg .jpeg .pgm .ppm
// .pnm .tif .tiff .npy); fails with a message for anything else.
Format formatForPath(const std::string& path);
bool isImagePath(const std::string& path);
const char* formatName(Format f);
// Reads any supported file (the format is recognised by its first bytes).
Image readImage(const std::string& path);
struct WriteOptions {
    bool normalize = false;  // stretch [min, max] to 0..255 and write 8 bits
    int jpegQuality = 95;
};
// Writes through a temporary file in the output's folder that is renamed over
// the output only when complete. Fails (before writing) when the format cannot
// hold the image, naming the way out (--normalize, .tiff or .npy).
void writeImage(const Image& image, const std::string& path, const WriteOptions& options);
// Linear stretch of all samples to 8 bits (NaN to 0); a constant image gives 0.
Image normalizeTo8u(const Image& image);

// Format codecs: decoders take a complete file in memory; encoders write to a
// stream (TIFF to a path).
Image decodePng(const std::vector<uint8_t>& file, const std::string& path);
Image decodeJpeg(const std::vector<uint8_t>& file, const std::string& path);
Image decodePnm(const std::vector<uint8_t>& file, const std::string& path);
Image decodeNpy(const std::vector<uint8_t>& file, const std::string& path);
Image decodeTiff(const std::vector<uint8_t>& file, const std::string& path);
std::string pngCannotHold(const Image& image);   // empty when it can
std::string jpegCannotHold(const Image& image);
std::string pnmCannotHold(const Image& image, const std::string& path);
std::string tiffCannotHold(const Image& image);
void encodePng(const Image& image, std::FILE* out, const std::string& path);
void encodeJpeg(const Image& image, std::FILE* out, const std::string& path, int quality);
void encodePnm(const Image& image, std::FILE* out, const std::string& path);
void encodeNpy(const Image& image, std::FILE* out, const std::string& path);
void writeTiff(const Image& image, const std::string& tempPath, const std::string& path);

// ---- Atomic output (atomic_file.cpp) --------------------------------------------
// A temporary file next to `path`; commit() renames it over `path`, and the
// destructor removes it when commit() was not reached.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    const std::string& tempPath() const { return temp_; }
    std::FILE* stream();  // the temporary file opened for writing
    void commit();

private:
    std::string path_, temp_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
};
// Writes text to `path` atomically ("-" writes to standard output).
void writeText(const std::string& path, const std::string& text);

// ---- Operation table (table.cpp) --------------------------------------------------
enum class OptKind { Int, Float, Choice, Point, Size, Footprint, File, Flag };

struct OptSpec {
    std::string name;          // long name without the dashes
    OptKind kind;
    std::string def = {};      // default as text; empty: no default
    std::string help = {};
    double lo = -1e300, hi = 1e300;     // accepted numeric range (Int, Float)
    std::vector<std::string> choices = {};  // Choice
    bool required = false;
};

// A flat structuring element: mask bytes (non-zero = member) and its anchor.
struct Footprint {
    ImageSize size{1, 1};
    ImagePoint anchor{0, 0};
    std::vector<uint8_t> mask;
    std::string text;
};

struct Args;
using RunFn = std::function<void(const Args&)>;

struct OpSpec {
    std::string name, family, summary;
    std::vector<std::string> inputs;   // positional inputs; a trailing "..." marks one or more
    std::vector<std::string> outputs;  // positional outputs
    bool optionalOutput = false;       // the last output may be left out (text to stdout)
    std::vector<OptSpec> options;
    std::string accepts;               // what inputs the operation takes, for help and messages
    std::string details;               // extra help text
    RunFn run;
    // Batch mode: one image in, one image out.
    bool batch() const { return inputs.size() == 1 && inputs[0].find("...") == std::string::npos && outputs.size() == 1 && !optionalOutput; }
};

// Registration from the family files, at start-up.
struct OpRegistrar {
    explicit OpRegistrar(OpSpec entry);
};
const std::vector<OpSpec>& operations();  // in family order, then registration order
const OpSpec* findOperation(const std::string& name);

// The parsed command line of one operation run.
struct Args {
    const OpSpec* op = nullptr;
    std::map<std::string, std::string> values;  // every option with a value or default
    std::vector<std::string> inputs, outputs;
    WriteOptions write;
    bool convert = false;
    bool quiet = false;

    bool has(const std::string& name) const;
    const std::string& text(const std::string& name) const;
    int integer(const std::string& name) const;
    float real(const std::string& name) const;   // fails beyond the float range
    uint8_t byte(const std::string& name) const;  // a whole number 0..255, for 8-bit images
    bool flag(const std::string& name) const;
    ImagePoint point(const std::string& name) const;
    ImageSize size(const std::string& name) const;
    Footprint footprint(const std::string& name) const;
    int choice(const std::string& name) const;  // index into the choices
    std::string output(std::size_t i) const;    // "-" when an optional output is absent
};

// Value parsing shared by the parser and the operations; each fails with a
// message that names the option.
double parseNumber(const std::string& option, const std::string& text, bool integer);
ImagePoint parsePoint(const std::string& option, const std::string& text);
ImageSize parseSize(const std::string& option, const std::string& text);
Footprint parseFootprint(const std::string& option, const std::string& text);

int runCommandLine(int argc, char** argv);  // operations, list and help
int listOperations();
int printHelp(const std::string& name);

// ---- Batch mode (batch.cpp) ---------------------------------------------------------
struct BatchOptions {
    std::string inputDir, outputDir, format = "png";
    int jobs = 1;
    int threads = 0;  // total library workers; 0: the configured count
};
int runBatch(const OpSpec& op, Args args, const BatchOptions& batch);
// Library workers per file when `jobs` files run at once on `total` workers.
int workersPerJob(int total, int jobs);

// ---- Helpers for the operations ---------------------------------------------------
// The kinds of image an operation member takes.
struct Kind {
    Depth depth;
    int channels;
};
std::string kindName(const Kind& k);
// Returns the input as the first accepted kind: unchanged when it is one,
// converted when --convert was given, else fails naming what is accepted.
Image accept(const Args& args, const Image& image, const std::string& path, const std::vector<Kind>& kinds);
// Converts depth and channel count (gray from RGB by the Rec. 601 weights,
// alpha dropped, gray replicated; integer depths rounded and saturated).
Image convertImage(const Image& image, const Kind& to);
// Reads input i and makes it acceptable.
Image readInput(const Args& args, std::size_t i, const std::vector<Kind>& kinds);
void writeOutput(const Args& args, std::size_t i, const Image& image);

// An aligned work buffer of a queried size.
class WorkBuffer {
public:
    explicit WorkBuffer(int bytes);
    ~WorkBuffer();
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    uint8_t* get() { return p_; }

private:
    uint8_t* p_ = nullptr;
};

// Shared by several families (defined in ops_feature.cpp).
// Sobel derivatives of 8-bit (signed 16-bit results) or 32-bit float gray:
// dx positive where brightness rises to the right, dy where it rises downward.
void sobelPair(const Image& src, ApertureSize mask, Image& dx, Image& dy);
// Smaller eigenvalue of the structure tensor (32-bit float).
Image minEigen(const Image& src, DerivKernelType kernel, int aperture, int window);
// Up to `count` strong corners as x, y pairs, strongest first: local maxima of
// the corner strength above quality * its maximum, at least minDistance apart.
std::vector<float> strongCorners(const Image& gray, int count, int minDistance, float quality);

// A mask file (any depth or channel count) as 8-bit gray, 255 where any
// channel is non-zero; fails unless it is width x height.
Image readMask(const std::string& path, const std::string& option, int width, int height);
// The relief the watershed floods: the image smoothed by `passes` 5x5 box
// means, then |dx| + |dy| of 3x3 Sobel derivatives divided by 8 (0..255).
Image smoothedGradient(const Image& gray8, int passes);

// Border option shared by the filters.
BorderKind borderOf(const Args& args);
const std::vector<std::string>& borderChoices();  // safe during start-up registration

}  // namespace cli
