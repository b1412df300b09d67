// Every export of the feature family, once. One list per shape of prototype;
// a row is one export, its name first, then what the shape's wrapper needs.
// The wrappers, the internal instantiations and the tests' member lists all
// expand these lists (see core/export.h).
#pragma once

// Written out in their own files: (name)
#define ZAL_FEATURE_SINGLE(X) X(zaliCannyGetSize) X(zalibFastArctan_32f)

// (name, derivative type)
#define ZAL_FEATURE_CANNY(X) X(zaliCanny_16s8u_C1R, int16_t) X(zaliCanny_32f8u_C1R, float)

// Corner measures: (name, source type, zal::feature::CornerMeasure, floats per pixel)
#define ZAL_FEATURE_CORNER(X)                                                                                   \
    X(zaliMinEigenVal_8u32f_C1R, uint8_t, MinEigenVal, 1) X(zaliMinEigenVal_32f_C1R, float, MinEigenVal, 1)    \
    X(zaliEigenValsVecs_8u32f_C1R, uint8_t, EigenValsVecs, 6) X(zaliEigenValsVecs_32f_C1R, float, EigenValsVecs, 6)
// Their work-buffer queries, the same for both measures: (name, source type)
#define ZAL_FEATURE_CORNER_SIZE(X)                                                                              \
    X(zaliMinEigenValGetBufferSize_8u32f_C1R, uint8_t) X(zaliMinEigenValGetBufferSize_32f_C1R, float)          \
    X(zaliEigenValsVecsGetBufferSize_8u32f_C1R, uint8_t) X(zaliEigenValsVecsGetBufferSize_32f_C1R, float)

// (name, element type)
#define ZAL_FEATURE_GRADIENT_COLOR(X)                                                                           \
    X(zaliGradientColorToGray_8u_C3C1R, uint8_t) X(zaliGradientColorToGray_16u_C3C1R, uint16_t)                \
    X(zaliGradientColorToGray_32f_C3C1R, float)

// ---- All of them (for X macros that take the name and ignore the rest) ------------
#define ZAL_FEATURE_EXPORTS(X) \
    ZAL_FEATURE_SINGLE(X) ZAL_FEATURE_CANNY(X) ZAL_FEATURE_CORNER(X) ZAL_FEATURE_CORNER_SIZE(X) ZAL_FEATURE_GRADIENT_COLOR(X)
