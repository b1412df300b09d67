// Morphology: dilation and erosion, opening, closing, top-hat, black-hat and
// gradient with a flat footprint, and reconstruction.
#include <memory>

#include "cli.h"

namespace cli {
namespace {

// Members in the order 8u C1, C3, C4, 32f C1, C3, C4.
int memberIndex(const Image& img) { return (img.depth == Depth::F32 ? 3 : 0) + (img.channels == 1 ? 0 : (img.channels == 3 ? 1 : 2)); }

const std::vector<Kind> kKinds = {{Depth::U8, 1}, {Depth::U8, 3}, {Depth::U8, 4},
                                  {Depth::F32, 1}, {Depth::F32, 3}, {Depth::F32, 4}};

using MorphInit = StatusCode (*)(int, const uint8_t*, ImageSize, ImagePoint, MorphologyState**);
using MorphOp8 = StatusCode (*)(const uint8_t*, int, uint8_t*, int, ImageSize, int, MorphologyState*);
using MorphOp32 = StatusCode (*)(const float*, int, float*, int, ImageSize, int, MorphologyState*);
const MorphInit kMorphInit[6] = {zaliMorphologyInitAlloc_8u_C1R, zaliMorphologyInitAlloc_8u_C3R, zaliMorphologyInitAlloc_8u_C4R,
                                 zaliMorphologyInitAlloc_32f_C1R, zaliMorphologyInitAlloc_32f_C3R, zaliMorphologyInitAlloc_32f_C4R};

#define SIX(prefix) \
    {prefix##_8u_C1R, prefix##_8u_C3R, prefix##_8u_C4R}, { prefix##_32f_C1R, prefix##_32f_C3R, prefix##_32f_C4R }

struct FlatOp {
    const char* name;
    MorphOp8 op8[3];
    MorphOp32 op32[3];
};
const FlatOp kDilate = {"zaliDilateBorderReplicate", SIX(zaliDilateBorderReplicate)};
const FlatOp kErode = {"zaliErodeBorderReplicate", SIX(zaliErodeBorderReplicate)};

Footprint footprintOf(const Args& args) {
    Footprint f = args.footprint("footprint");
    if (args.has("anchor")) {
        f.anchor = args.point("anchor");
        if (f.anchor.x < 0 || f.anchor.y < 0 || f.anchor.x >= f.size.width || f.anchor.y >= f.size.height)
            fail("option --anchor: " + args.text("anchor") + " lies outside the footprint " + f.text);
    }
    return f;
}

void runFlat(const Args& args, const FlatOp& op) {
    const Image src = readInput(args, 0, kKinds);
    const Footprint f = footprintOf(args);
    const int m = memberIndex(src);
    MorphologyState* raw = nullptr;
    check(kMorphInit[m](src.width, f.mask.data(), f.size, f.anchor, &raw), "zaliMorphologyInitAlloc");
    std::unique_ptr<MorphologyState, StatusCode (*)(MorphologyState*)> state(raw, zaliMorphologyFree);
    Image dst(src.width, src.height, src.channels, src.depth);
    if (m < 3)
        check(op.op8[m](src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), BorderReplicate, raw), op.name);
    else
        check(op.op32[m - 3](src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), BorderReplicate, raw), op.name);
    writeOutput(args, 0, dst);
}

using AdvInit = StatusCode (*)(MorphAdvState**, ImageSize, const uint8_t*, ImageSize, ImagePoint);
using AdvOp8 = StatusCode (*)(const uint8_t*, int, uint8_t*, int, ImageSize, int, MorphAdvState*);
using AdvOp32 = StatusCode (*)(const float*, int, float*, int, ImageSize, int, MorphAdvState*);
const AdvInit kAdvInit[6] = {zaliMorphAdvInitAlloc_8u_C1R, zaliMorphAdvInitAlloc_8u_C3R, zaliMorphAdvInitAlloc_8u_C4R,
                             zaliMorphAdvInitAlloc_32f_C1R, zaliMorphAdvInitAlloc_32f_C3R, zaliMorphAdvInitAlloc_32f_C4R};
struct AdvOp {
    const char* name;
    AdvOp8 op8[3];
    AdvOp32 op32[3];
};
const AdvOp kOpen = {"zaliMorphOpenBorder", SIX(zaliMorphOpenBorder)};
const AdvOp kClose = {"zaliMorphCloseBorder", SIX(zaliMorphCloseBorder)};
const AdvOp kTophat = {"zaliMorphTophatBorder", SIX(zaliMorphTophatBorder)};
const AdvOp kBlackhat = {"zaliMorphBlackhatBorder", SIX(zaliMorphBlackhatBorder)};
const AdvOp kGradient = {"zaliMorphGradientBorder", SIX(zaliMorphGradientBorder)};

void runAdvanced(const Args& args, const AdvOp& op) {
    const Image src = readInput(args, 0, kKinds);
    const Footprint f = footprintOf(args);
    const int m = memberIndex(src);
    MorphAdvState* raw = nullptr;
    check(kAdvInit[m](&raw, src.roi(), f.mask.data(), f.size, f.anchor), "zaliMorphAdvInitAlloc");
    std::unique_ptr<MorphAdvState, StatusCode (*)(MorphAdvState*)> state(raw, zaliMorphAdvFree);
    Image dst(src.width, src.height, src.channels, src.depth);
    if (m < 3)
        check(op.op8[m](src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), BorderReplicate, raw), op.name);
    else
        check(op.op32[m - 3](src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), BorderReplicate, raw), op.name);
    writeOutput(args, 0, dst);
}

void runReconstruct(const Args& args) {
    const Image mask = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    Image marker = readInput(args, 1, {{mask.depth, 1}});
    if (marker.width != mask.width || marker.height != mask.height)
        fail(args.inputs[1] + ": the marker is " + std::to_string(marker.width) + "x" + std::to_string(marker.height) +
             ", the mask " + std::to_string(mask.width) + "x" + std::to_string(mask.height));
    const bool erode = args.text("by") == "erosion";
    const int norm = args.text("connectivity") == "4" ? 1 : 0;
    int bytes = 0;
    if (mask.depth == Depth::U8) {
        check(zaliMorphReconstructGetBufferSize_8u_C1(mask.roi(), &bytes), "zaliMorphReconstructGetBufferSize_8u_C1");
        WorkBuffer work(bytes);
        check((erode ? zaliMorphReconstructErode_8u_C1IR : zaliMorphReconstructDilate_8u_C1IR)(
                  mask.data<uint8_t>(), mask.step(), marker.data<uint8_t>(), marker.step(), mask.roi(), work.get(), norm),
              erode ? "zaliMorphReconstructErode_8u_C1IR" : "zaliMorphReconstructDilate_8u_C1IR");
    } else {
        check(zaliMorphReconstructGetBufferSize_32f_C1(mask.roi(), &bytes), "zaliMorphReconstructGetBufferSize_32f_C1");
        WorkBuffer work(bytes);
        check((erode ? zaliMorphReconstructErode_32f_C1IR : zaliMorphReconstructDilate_32f_C1IR)(
                  mask.data<float>(), mask.step(), marker.data<float>(), marker.step(), mask.roi(), work.get(), norm),
              erode ? "zaliMorphReconstructErode_32f_C1IR" : "zaliMorphReconstructDilate_32f_C1IR");
    }
    writeOutput(args, 0, marker);
}

const std::vector<OptSpec> kFootprintOptions = {
    {"footprint", OptKind::Footprint, "rect:3x3", "structuring element: disk:R, rect:WxH (or rect:N) or cross:R"},
    {"anchor", OptKind::Point, "", "footprint position of the output pixel (default: the centre)"}};
const char* const kTakes = "8-bit or 32-bit float gray, RGB or RGBA (same type out)";

const OpRegistrar dilate({"dilate", "morph", "maximum over a footprint (replicated border)", {"INPUT"}, {"OUTPUT"}, false,
                          kFootprintOptions, kTakes, "", [](const Args& a) { runFlat(a, kDilate); }});
const OpRegistrar erode({"erode", "morph", "minimum over a footprint (replicated border)", {"INPUT"}, {"OUTPUT"}, false,
                         kFootprintOptions, kTakes, "", [](const Args& a) { runFlat(a, kErode); }});
const OpRegistrar open({"open", "morph", "opening: erosion then dilation (removes small bright parts)", {"INPUT"}, {"OUTPUT"},
                        false, kFootprintOptions, kTakes, "", [](const Args& a) { runAdvanced(a, kOpen); }});
const OpRegistrar close({"close", "morph", "closing: dilation then erosion (fills small dark gaps)", {"INPUT"}, {"OUTPUT"},
                         false, kFootprintOptions, kTakes, "", [](const Args& a) { runAdvanced(a, kClose); }});
const OpRegistrar tophat({"tophat", "morph", "top-hat: the image minus its opening", {"INPUT"}, {"OUTPUT"}, false,
                          kFootprintOptions, kTakes, "", [](const Args& a) { runAdvanced(a, kTophat); }});
const OpRegistrar blackhat({"blackhat", "morph", "black-hat: the closing minus the image", {"INPUT"}, {"OUTPUT"}, false,
                            kFootprintOptions, kTakes, "", [](const Args& a) { runAdvanced(a, kBlackhat); }});
const OpRegistrar mgradient({"mgradient", "morph", "morphological gradient: dilation minus erosion", {"INPUT"}, {"OUTPUT"},
                             false, kFootprintOptions, kTakes, "", [](const Args& a) { runAdvanced(a, kGradient); }});
const OpRegistrar reconstruct({"reconstruct", "morph", "reconstruction of a marker under (or above) a mask image",
                               {"MASK", "MARKER"}, {"OUTPUT"}, false,
                               {{"by", OptKind::Choice, "dilation", "grow the marker under the mask, or shrink it above", 0,
                                 0, {"dilation", "erosion"}},
                                {"connectivity", OptKind::Choice, "8", "neighbourhood", 0, 0, {"4", "8"}}},
                               "8-bit or 32-bit float gray mask and marker of one size and type", "", runReconstruct});

}  // namespace
}  // namespace cli
