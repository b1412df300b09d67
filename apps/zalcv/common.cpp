// Library statuses, accepted input kinds, work buffers and the small helpers
// every operation file uses.
#include <atomic>
#include <cstdio>

#include "cli.h"

namespace cli {

std::string statusName(int status) {
    switch (status) {
        case StatusComparisonNotSupported: return "StatusComparisonNotSupported";
        case StatusStepAlignmentError: return "StatusStepAlignmentError";
        case StatusMetricError: return "StatusMetricError";
        case StatusChannelCountError: return "StatusChannelCountError";
        case StatusChannelOfInterestError: return "StatusChannelOfInterestError";
        case StatusAnchorError: return "StatusAnchorError";
        case StatusMaskSizeError: return "StatusMaskSizeError";
        case StatusStepError: return "StatusStepError";
        case StatusDataTypeError: return "StatusDataTypeError";
        case StatusOutOfRange: return "StatusOutOfRange";
        case StatusNoMemory: return "StatusNoMemory";
        case StatusNullPointer: return "StatusNullPointer";
        case StatusSizeError: return "StatusSizeError";
        case StatusBadArgument: return "StatusBadArgument";
        case StatusLineError: return "StatusLineError";
        case StatusOk: return "StatusOk";
        case StatusSqrtOfNegative: return "StatusSqrtOfNegative";
        case StatusDivisionByZero: return "StatusDivisionByZero";
        case StatusAsymmetricKernel: return "StatusAsymmetricKernel";
        default: return "status " + std::to_string(status);
    }
}

void check(StatusCode status, const char* function) {
    if (status < 0)
        throw Error(kExitLibrary, std::string(function) + " returned " + std::to_string(static_cast<int>(status)) +
                                      " (" + statusName(status) + ")");
    if (status > 0) {
        // A warning leaves complete outputs: say so once, go on.
        static std::atomic<bool> said{false};
        if (!said.exchange(true))
            std::fprintf(stderr, "zalcv: warning: %s returned %d (%s)\n", function, static_cast<int>(status),
                         statusName(status).c_str());
    }
}

Image accept(const Args& args, const Image& image, const std::string& path, const std::vector<Kind>& kinds) {
    for (const Kind& k : kinds)
        if (k.depth == image.depth && k.channels == image.channels) return image;
    if (args.convert) {
        // The accepted kind nearest to the input: same channel count first,
        // then same depth, else the first one listed.
        const Kind* best = &kinds.front();
        int bestScore = -1;
        for (const Kind& k : kinds) {
            const bool sameChannels = k.channels == image.channels;
            const bool sameColour = (k.channels >= 3) == (image.channels >= 3);
            const int score = 4 * sameChannels + 2 * sameColour + (k.depth == image.depth);
            if (score > bestScore) best = &k, bestScore = score;
        }
        return convertImage(image, *best);
    }
    // Colour (or gray with alpha) into an operation that takes gray of the
    // same depth: the gray picture is what is meant, as for a photo into canny.
    for (const Kind& k : kinds)
        if (k.depth == image.depth && k.channels == 1 && image.channels > 1) return convertImage(image, k);
    std::string list;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        list += (i == 0 ? "" : (i + 1 == kinds.size() ? " or " : ", ")) + kindName(kinds[i]);
    fail(path + ": " + args.op->name + " takes " + list + ", not " + describe(image) +
         " (--convert converts the input)");
}

Image readInput(const Args& args, std::size_t i, const std::vector<Kind>& kinds) {
    return accept(args, readImage(args.inputs.at(i)), args.inputs.at(i), kinds);
}

void writeOutput(const Args& args, std::size_t i, const Image& image) { writeImage(image, args.output(i), args.write); }

WorkBuffer::WorkBuffer(int bytes) : p_(zalsMalloc_8u(bytes > 0 ? bytes : 1)) {
    if (!p_) throw Error(kExitLibrary, "out of memory for a work buffer of " + std::to_string(bytes) + " bytes");
}

WorkBuffer::~WorkBuffer() { zalsFree(p_); }

const std::vector<std::string>& borderChoices() {
    static const std::vector<std::string> list = {"constant", "replicate", "wrap", "reflect", "reflect-edge"};
    return list;
}

BorderKind borderOf(const Args& args) { return static_cast<BorderKind>(args.choice("border")); }

}  // namespace cli

namespace cli {

Image readMask(const std::string& path, const std::string& option, int width, int height) {
    const Image m = readImage(path);
    if (m.width != width || m.height != height)
        fail(option + " " + path + ": the mask is " + std::to_string(m.width) + "x" + std::to_string(m.height) +
             ", the image " + std::to_string(width) + "x" + std::to_string(height));
    Image out(width, height, 1, Depth::U8);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    for (std::size_t p = 0; p < pixels; ++p) {
        bool set = false;
        for (int c = 0; c < m.channels; ++c) set = set || m.sample(p * m.channels + c) != 0;
        out.data<uint8_t>()[p] = set ? 255 : 0;
    }
    return out;
}

}  // namespace cli
