// Feature operations: Canny edges, corner strength, colour gradient to gray.

#include "cli.h"

namespace cli {

namespace {

void runCanny(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    const float low = args.real("low"), high = args.real("high");
    if (high < low) fail("option --high: " + args.text("high") + " is below --low " + args.text("low"));
    Image dx, dy;
    sobelPair(src, args.text("ksize") == "5" ? Aperture5x5 : Aperture3x3, dx, dy);
    int bytes = 0;
    check(zaliCannyGetSize(src.roi(), &bytes), "zaliCannyGetSize");
    WorkBuffer work(bytes);
    Image edges(src.width, src.height, 1, Depth::U8);
    if (src.depth == Depth::U8)
        check(zaliCanny_16s8u_C1R(dx.data<int16_t>(), dx.step(), dy.data<int16_t>(), dy.step(), edges.data<uint8_t>(),
                                  edges.step(), src.roi(), low, high, work.get()),
              "zaliCanny_16s8u_C1R");
    else
        check(zaliCanny_32f8u_C1R(dx.data<float>(), dx.step(), dy.data<float>(), dy.step(), edges.data<uint8_t>(),
                                  edges.step(), src.roi(), low, high, work.get()),
              "zaliCanny_32f8u_C1R");
    writeOutput(args, 0, edges);
}

void runCorners(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 1}, {Depth::F32, 1}});
    const bool scharr = args.text("kernel") == "scharr";
    const int aperture = args.integer("aperture"), window = args.integer("window");
    if (scharr && aperture != 3) fail("option --aperture: the Scharr kernel is 3x3 only");
    writeOutput(args, 0, minEigen(src, scharr ? DerivKernelScharr : DerivKernelSobel, aperture, window));
}

void runColorGrad(const Args& args) {
    const Image src = readInput(args, 0, {{Depth::U8, 3}, {Depth::U16, 3}, {Depth::F32, 3}});
    const GradientNorm norm = static_cast<GradientNorm>(args.choice("norm"));
    Image dst(src.width, src.height, 1, src.depth);
    if (src.depth == Depth::U8)
        check(zaliGradientColorToGray_8u_C3C1R(src.data<uint8_t>(), src.step(), dst.data<uint8_t>(), dst.step(), src.roi(), norm),
              "zaliGradientColorToGray_8u_C3C1R");
    else if (src.depth == Depth::U16)
        check(zaliGradientColorToGray_16u_C3C1R(src.data<uint16_t>(), src.step(), dst.data<uint16_t>(), dst.step(), src.roi(), norm),
              "zaliGradientColorToGray_16u_C3C1R");
    else
        check(zaliGradientColorToGray_32f_C3C1R(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), norm),
              "zaliGradientColorToGray_32f_C3C1R");
    writeOutput(args, 0, dst);
}

const OpRegistrar canny({"canny", "feature", "Canny edges (255 on edges) from Sobel derivatives", {"INPUT"}, {"OUTPUT"}, false,
                         {{"low", OptKind::Float, "50", "lower hysteresis threshold on |dx| + |dy|", 0, 1e9},
                          {"high", OptKind::Float, "150", "upper hysteresis threshold (not below --low)", 0, 1e9},
                          {"ksize", OptKind::Choice, "3", "Sobel aperture", 0, 0, {"3", "5"}}},
                         "8-bit gray or 32-bit float gray; result 8-bit gray", "", runCanny});

const OpRegistrar corners({"corners", "feature", "corner strength: the smaller eigenvalue of the structure tensor",
                           {"INPUT"}, {"OUTPUT"}, false,
                           {{"kernel", OptKind::Choice, "sobel", "derivative kernel", 0, 0, {"sobel", "scharr"}},
                            {"aperture", OptKind::Choice, "3", "derivative aperture (Scharr: 3)", 0, 0, {"3", "5"}},
                            {"window", OptKind::Choice, "5", "averaging window", 0, 0, {"3", "5"}}},
                           "8-bit gray or 32-bit float gray; result 32-bit float (write .tiff/.npy, or --normalize)", "",
                           runCorners});

const OpRegistrar colorgrad({"colorgrad", "feature", "one gray channel from the three of a colour gradient image",
                             {"INPUT"}, {"OUTPUT"}, false,
                             {{"norm", OptKind::Choice, "euclid", "largest channel, scaled sum or Euclidean norm", 0, 0,
                               {"max", "sum", "euclid"}}},
                             "8-bit, 16-bit or 32-bit float RGB; result gray of the same depth", "", runColorGrad});

}  // namespace
}  // namespace cli
