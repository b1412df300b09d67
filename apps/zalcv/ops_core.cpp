// Core operations: absolute difference and thresholds.
#include "cli.h"

namespace cli {
namespace {

void runAbsDiff(const Args& args) {
    const std::vector<Kind> kinds = {{Depth::U8, 1}, {Depth::U16, 1}, {Depth::F32, 1}};
    const Image a = readInput(args, 0, kinds);
    const Image b = readInput(args, 1, {{a.depth, 1}});
    if (a.width != b.width || a.height != b.height)
        fail(args.inputs[1] + ": " + std::to_string(b.width) + "x" + std::to_string(b.height) + " does not match " +
             args.inputs[0] + " (" + std::to_string(a.width) + "x" + std::to_string(a.height) + ")");
    Image d(a.width, a.height, 1, a.depth);
    if (a.depth == Depth::U8)
        check(zaliAbsDiff_8u_C1R(a.data<uint8_t>(), a.step(), b.data<uint8_t>(), b.step(), d.data<uint8_t>(), d.step(), a.roi()),
              "zaliAbsDiff_8u_C1R");
    else if (a.depth == Depth::U16)
        check(zaliAbsDiff_16u_C1R(a.data<uint16_t>(), a.step(), b.data<uint16_t>(), b.step(), d.data<uint16_t>(), d.step(), a.roi()),
              "zaliAbsDiff_16u_C1R");
    else
        check(zaliAbsDiff_32f_C1R(a.data<float>(), a.step(), b.data<float>(), b.step(), d.data<float>(), d.step(), a.roi()),
              "zaliAbsDiff_32f_C1R");
    writeOutput(args, 0, d);
}

void runThreshold(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    const int cmp = args.text("where") == "below" ? 0 : 4;
    const float level = args.real("level");
    const float value = args.has("value") ? args.real("value") : level;
    Image dst(src.width, src.height, 1, src.depth);
    if (src.depth == Depth::U8) {
        const uint8_t level8 = args.byte("level"), value8 = args.has("value") ? args.byte("value") : level8;
        check(zaliThreshold_Val_8u_C1R(src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(),
                                       level8, value8, cmp),
              "zaliThreshold_Val_8u_C1R");
    } else {
        check(zaliThreshold_Val_32f_C1R(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), level, value, cmp),
              "zaliThreshold_Val_32f_C1R");
    }
    writeOutput(args, 0, dst);
}

// Format conversion: the pixels pass through unchanged (8-bit and float
// images through zaliCopy, the other depths as bytes); with --normalize the
// result is stretched to 8 bits.
void runCopy(const Args& args) {
    const Image src = readImage(args.inputs[0]);
    Image dst(src.width, src.height, src.channels, src.depth);
    using Copy8 = StatusCode (*)(const uint8_t*, int, uint8_t*, int, ImageSize);
    using Copy32 = StatusCode (*)(const float*, int, float*, int, ImageSize);
    const Copy8 copy8[] = {zaliCopy_8u_C1R, nullptr, zaliCopy_8u_C3R, zaliCopy_8u_C4R};
    const Copy32 copy32[] = {zaliCopy_32f_C1R, nullptr, zaliCopy_32f_C3R, zaliCopy_32f_C4R};
    const int c = src.channels - 1;
    if (src.depth == Depth::U8 && copy8[c])
        check(copy8[c](src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi()), "zaliCopy_8u");
    else if (src.depth == Depth::F32 && copy32[c])
        check(copy32[c](src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi()), "zaliCopy_32f");
    else
        dst.bytes = src.bytes;
    writeOutput(args, 0, dst);
}

const OpRegistrar copy({"copy", "core", "copy an image into another file format", {"INPUT"}, {"OUTPUT"}, false, {},
                        "any image the program reads (same type out; --normalize for 8 bits)", "", runCopy});

const OpRegistrar absdiff({"absdiff", "core", "absolute difference of two images", {"FIRST", "SECOND"}, {"OUTPUT"}, false, {},
                           "two 8-bit, 16-bit or 32-bit float gray images of one size (same type out)", "", runAbsDiff});

const OpRegistrar threshold({"threshold", "core", "replace the pixels above (or below) a level", {"INPUT"}, {"OUTPUT"}, false,
                             {{"level", OptKind::Float, "", "the level", -1e30, 1e30, {}, true},
                              {"where", OptKind::Choice, "above", "which pixels are replaced", 0, 0, {"above", "below"}},
                              {"value", OptKind::Float, "", "their new value (default: the level itself, a clamp)"}},
                             "8-bit or 32-bit float gray (same type out)",
                             "A pixel strictly above (below) --level becomes --value; the others are kept.", runThreshold});

}  // namespace
}  // namespace cli
