// Every export of the morphology family, once. One list per shape of
// prototype; a row is one export, its name first, then what the shape's
// wrapper needs. The wrappers, the internal instantiations and the tests'
// member lists all expand these lists (see core/export.h).
#pragma once

// Written out in their own files: (name)
#define ZAL_MORPH_SINGLE(X) X(zaliMorphologyFree) X(zaliMorphAdvFree)

// ---- Morphology states and dilation/erosion -------------------------------------

// (name, element type, channels)
#define ZAL_MORPH_STATE_SIZE(X)                                                             \
    X(zaliMorphologyGetSize_8u_C1R, uint8_t, 1) X(zaliMorphologyGetSize_8u_C3R, uint8_t, 3) \
    X(zaliMorphologyGetSize_8u_C4R, uint8_t, 4) X(zaliMorphologyGetSize_32f_C1R, float, 1)  \
    X(zaliMorphologyGetSize_32f_C3R, float, 3) X(zaliMorphologyGetSize_32f_C4R, float, 4)

#define ZAL_MORPH_STATE_INIT(X)                                                       \
    X(zaliMorphologyInit_8u_C1R, uint8_t, 1) X(zaliMorphologyInit_8u_C3R, uint8_t, 3) \
    X(zaliMorphologyInit_8u_C4R, uint8_t, 4) X(zaliMorphologyInit_32f_C1R, float, 1)  \
    X(zaliMorphologyInit_32f_C3R, float, 3) X(zaliMorphologyInit_32f_C4R, float, 4)

#define ZAL_MORPH_STATE_INIT_ALLOC(X)                                                           \
    X(zaliMorphologyInitAlloc_8u_C1R, uint8_t, 1) X(zaliMorphologyInitAlloc_8u_C3R, uint8_t, 3) \
    X(zaliMorphologyInitAlloc_8u_C4R, uint8_t, 4) X(zaliMorphologyInitAlloc_32f_C1R, float, 1)  \
    X(zaliMorphologyInitAlloc_32f_C3R, float, 3) X(zaliMorphologyInitAlloc_32f_C4R, float, 4)

// (name, element type, channels, internal operation)
#define ZAL_MORPH_DILATE_ERODE(X)                                                                                   \
    X(zaliDilateBorderReplicate_8u_C1R, uint8_t, 1, dilate) X(zaliDilateBorderReplicate_8u_C3R, uint8_t, 3, dilate) \
    X(zaliDilateBorderReplicate_8u_C4R, uint8_t, 4, dilate) X(zaliDilateBorderReplicate_32f_C1R, float, 1, dilate)  \
    X(zaliDilateBorderReplicate_32f_C3R, float, 3, dilate) X(zaliDilateBorderReplicate_32f_C4R, float, 4, dilate)   \
    X(zaliErodeBorderReplicate_8u_C1R, uint8_t, 1, erode) X(zaliErodeBorderReplicate_8u_C3R, uint8_t, 3, erode)     \
    X(zaliErodeBorderReplicate_8u_C4R, uint8_t, 4, erode) X(zaliErodeBorderReplicate_32f_C1R, float, 1, erode)      \
    X(zaliErodeBorderReplicate_32f_C3R, float, 3, erode) X(zaliErodeBorderReplicate_32f_C4R, float, 4, erode)

// ---- Advanced morphology ---------------------------------------------------------

// (name, element type, channels)
#define ZAL_MORPH_ADV_SIZE(X)                                                           \
    X(zaliMorphAdvGetSize_8u_C1R, uint8_t, 1) X(zaliMorphAdvGetSize_8u_C3R, uint8_t, 3) \
    X(zaliMorphAdvGetSize_8u_C4R, uint8_t, 4) X(zaliMorphAdvGetSize_32f_C1R, float, 1)  \
    X(zaliMorphAdvGetSize_32f_C3R, float, 3) X(zaliMorphAdvGetSize_32f_C4R, float, 4)

#define ZAL_MORPH_ADV_INIT(X)                                                     \
    X(zaliMorphAdvInit_8u_C1R, uint8_t, 1) X(zaliMorphAdvInit_8u_C3R, uint8_t, 3) \
    X(zaliMorphAdvInit_8u_C4R, uint8_t, 4) X(zaliMorphAdvInit_32f_C1R, float, 1)  \
    X(zaliMorphAdvInit_32f_C3R, float, 3) X(zaliMorphAdvInit_32f_C4R, float, 4)

#define ZAL_MORPH_ADV_INIT_ALLOC(X)                                                         \
    X(zaliMorphAdvInitAlloc_8u_C1R, uint8_t, 1) X(zaliMorphAdvInitAlloc_8u_C3R, uint8_t, 3) \
    X(zaliMorphAdvInitAlloc_8u_C4R, uint8_t, 4) X(zaliMorphAdvInitAlloc_32f_C1R, float, 1)  \
    X(zaliMorphAdvInitAlloc_32f_C3R, float, 3) X(zaliMorphAdvInitAlloc_32f_C4R, float, 4)

// (name, element type, channels, operation)
#define ZAL_MORPH_ADVANCED(X)                                                                                       \
    X(zaliMorphOpenBorder_8u_C1R, uint8_t, 1, Open) X(zaliMorphOpenBorder_8u_C3R, uint8_t, 3, Open)                 \
    X(zaliMorphOpenBorder_8u_C4R, uint8_t, 4, Open) X(zaliMorphOpenBorder_32f_C1R, float, 1, Open)                  \
    X(zaliMorphOpenBorder_32f_C3R, float, 3, Open) X(zaliMorphOpenBorder_32f_C4R, float, 4, Open)                   \
    X(zaliMorphCloseBorder_8u_C1R, uint8_t, 1, Close) X(zaliMorphCloseBorder_8u_C3R, uint8_t, 3, Close)             \
    X(zaliMorphCloseBorder_8u_C4R, uint8_t, 4, Close) X(zaliMorphCloseBorder_32f_C1R, float, 1, Close)              \
    X(zaliMorphCloseBorder_32f_C3R, float, 3, Close) X(zaliMorphCloseBorder_32f_C4R, float, 4, Close)               \
    X(zaliMorphTophatBorder_8u_C1R, uint8_t, 1, Tophat) X(zaliMorphTophatBorder_8u_C3R, uint8_t, 3, Tophat)         \
    X(zaliMorphTophatBorder_8u_C4R, uint8_t, 4, Tophat) X(zaliMorphTophatBorder_32f_C1R, float, 1, Tophat)          \
    X(zaliMorphTophatBorder_32f_C3R, float, 3, Tophat) X(zaliMorphTophatBorder_32f_C4R, float, 4, Tophat)           \
    X(zaliMorphBlackhatBorder_8u_C1R, uint8_t, 1, Blackhat) X(zaliMorphBlackhatBorder_8u_C3R, uint8_t, 3, Blackhat) \
    X(zaliMorphBlackhatBorder_8u_C4R, uint8_t, 4, Blackhat) X(zaliMorphBlackhatBorder_32f_C1R, float, 1, Blackhat)  \
    X(zaliMorphBlackhatBorder_32f_C3R, float, 3, Blackhat) X(zaliMorphBlackhatBorder_32f_C4R, float, 4, Blackhat)   \
    X(zaliMorphGradientBorder_8u_C1R, uint8_t, 1, Gradient) X(zaliMorphGradientBorder_8u_C3R, uint8_t, 3, Gradient) \
    X(zaliMorphGradientBorder_8u_C4R, uint8_t, 4, Gradient) X(zaliMorphGradientBorder_32f_C1R, float, 1, Gradient)  \
    X(zaliMorphGradientBorder_32f_C3R, float, 3, Gradient) X(zaliMorphGradientBorder_32f_C4R, float, 4, Gradient)

// ---- Grayscale-kernel morphology (one channel) -----------------------------------

// (name, element type)
#define ZAL_MORPH_GRAY_SIZE(X)                                                     \
    X(zaliMorphGrayGetSize_8u_C1R, uint8_t) X(zaliMorphGrayGetSize_32f_C1R, float)

#define ZAL_MORPH_GRAY_INIT(X)                                               \
    X(zaliMorphGrayInit_8u_C1R, uint8_t) X(zaliMorphGrayInit_32f_C1R, float)

#define ZAL_MORPH_GRAY_INIT_ALLOC(X)                                                   \
    X(zaliMorphGrayInitAlloc_8u_C1R, uint8_t) X(zaliMorphGrayInitAlloc_32f_C1R, float)

#define ZAL_MORPH_GRAY_FREE(X)                                               \
    X(zaliMorphGrayFree_8u_C1R, uint8_t) X(zaliMorphGrayFree_32f_C1R, float)

// (name, element type, extremum: Max dilates, Min erodes)
#define ZAL_MORPH_GRAY(X)                                                                    \
    X(zaliGrayDilateBorder_8u_C1R, uint8_t, Max) X(zaliGrayDilateBorder_32f_C1R, float, Max) \
    X(zaliGrayErodeBorder_8u_C1R, uint8_t, Min) X(zaliGrayErodeBorder_32f_C1R, float, Min)

// ---- Reconstruction (one channel, in place) --------------------------------------

// (name, element type)
#define ZAL_MORPH_RECONSTRUCT_SIZE(X)                                                                      \
    X(zaliMorphReconstructGetBufferSize_8u_C1, uint8_t) X(zaliMorphReconstructGetBufferSize_32f_C1, float)

// (name, element type, extremum the marker grows by: Max dilates, Min erodes)
#define ZAL_MORPH_RECONSTRUCT(X)                                                                           \
    X(zaliMorphReconstructDilate_8u_C1IR, uint8_t, Max) X(zaliMorphReconstructDilate_32f_C1IR, float, Max) \
    X(zaliMorphReconstructErode_8u_C1IR, uint8_t, Min) X(zaliMorphReconstructErode_32f_C1IR, float, Min)

// ---- All of them (for X macros that take the name and ignore the rest) -----------

#define ZAL_MORPH_EXPORTS(X)                                                                          \
    ZAL_MORPH_SINGLE(X) ZAL_MORPH_STATE_SIZE(X) ZAL_MORPH_STATE_INIT(X) ZAL_MORPH_STATE_INIT_ALLOC(X) \
    ZAL_MORPH_DILATE_ERODE(X) ZAL_MORPH_ADV_SIZE(X) ZAL_MORPH_ADV_INIT(X) ZAL_MORPH_ADV_INIT_ALLOC(X) \
    ZAL_MORPH_ADVANCED(X) ZAL_MORPH_GRAY_SIZE(X) ZAL_MORPH_GRAY_INIT(X) ZAL_MORPH_GRAY_INIT_ALLOC(X)  \
    ZAL_MORPH_GRAY_FREE(X) ZAL_MORPH_GRAY(X) ZAL_MORPH_RECONSTRUCT_SIZE(X) ZAL_MORPH_RECONSTRUCT(X)
