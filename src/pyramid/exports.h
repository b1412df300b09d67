// Every export of the pyramid family, once. One list per shape of prototype;
// a row is one export, its name first, then what the shape's wrapper needs.
// The wrappers, the internal instantiations and the tests' member lists all
// expand these lists (see core/export.h).
#pragma once

// ---- Gaussian 5x5 levels -------------------------------------------------------

// (name, element type, channels)
#define ZAL_PYRAMID_PYR_DOWN(X)                                                                   \
    X(zaliPyrDown_Gauss5x5_8u_C1R, uint8_t, 1) X(zaliPyrDown_Gauss5x5_8u_C3R, uint8_t, 3)         \
    X(zaliPyrDown_Gauss5x5_8s_C1R, int8_t, 1) X(zaliPyrDown_Gauss5x5_8s_C3R, int8_t, 3)           \
    X(zaliPyrDown_Gauss5x5_32f_C1R, float, 1) X(zaliPyrDown_Gauss5x5_32f_C3R, float, 3)
#define ZAL_PYRAMID_PYR_UP(X)                                                                     \
    X(zaliPyrUp_Gauss5x5_8u_C1R, uint8_t, 1) X(zaliPyrUp_Gauss5x5_8u_C3R, uint8_t, 3)             \
    X(zaliPyrUp_Gauss5x5_8s_C1R, int8_t, 1) X(zaliPyrUp_Gauss5x5_8s_C3R, int8_t, 3)               \
    X(zaliPyrUp_Gauss5x5_32f_C1R, float, 1) X(zaliPyrUp_Gauss5x5_32f_C3R, float, 3)

// ---- Descriptor, size rules and general layers ------------------------------------

// Written out in their own files: (name)
#define ZAL_PYRAMID_SINGLE(X)                                                                     \
    X(zaliPyrDownGetBufSize_Gauss5x5) X(zaliPyrUpGetBufSize_Gauss5x5) X(zaliPyramidInitAlloc)     \
    X(zaliPyramidFree) X(zaliGetPyramidDownROI) X(zaliGetPyramidUpROI)

// (name, element type, channels)
#define ZAL_PYRAMID_LAYER_DOWN_INIT(X)                                                            \
    X(zaliPyramidLayerDownInitAlloc_8u_C1R, uint8_t, 1) X(zaliPyramidLayerDownInitAlloc_8u_C3R, uint8_t, 3)    \
    X(zaliPyramidLayerDownInitAlloc_16u_C1R, uint16_t, 1) X(zaliPyramidLayerDownInitAlloc_16u_C3R, uint16_t, 3) \
    X(zaliPyramidLayerDownInitAlloc_32f_C1R, float, 1) X(zaliPyramidLayerDownInitAlloc_32f_C3R, float, 3)
#define ZAL_PYRAMID_LAYER_UP_INIT(X)                                                              \
    X(zaliPyramidLayerUpInitAlloc_8u_C1R, uint8_t, 1) X(zaliPyramidLayerUpInitAlloc_8u_C3R, uint8_t, 3)        \
    X(zaliPyramidLayerUpInitAlloc_16u_C1R, uint16_t, 1) X(zaliPyramidLayerUpInitAlloc_16u_C3R, uint16_t, 3)     \
    X(zaliPyramidLayerUpInitAlloc_32f_C1R, float, 1) X(zaliPyramidLayerUpInitAlloc_32f_C3R, float, 3)
// Releases of either direction: (name)
#define ZAL_PYRAMID_LAYER_FREE(X)                                                                 \
    X(zaliPyramidLayerDownFree) X(zaliPyramidLayerDownFree_8u_C1R) X(zaliPyramidLayerDownFree_8u_C3R)           \
    X(zaliPyramidLayerDownFree_16u_C1R) X(zaliPyramidLayerDownFree_16u_C3R) X(zaliPyramidLayerDownFree_32f_C1R) \
    X(zaliPyramidLayerDownFree_32f_C3R) X(zaliPyramidLayerUpFree) X(zaliPyramidLayerUpFree_8u_C1R)              \
    X(zaliPyramidLayerUpFree_8u_C3R) X(zaliPyramidLayerUpFree_16u_C1R) X(zaliPyramidLayerUpFree_16u_C3R)        \
    X(zaliPyramidLayerUpFree_32f_C1R) X(zaliPyramidLayerUpFree_32f_C3R)
// (name, element type, channels)
#define ZAL_PYRAMID_LAYER_DOWN(X)                                                                 \
    X(zaliPyramidLayerDown_8u_C1R, uint8_t, 1) X(zaliPyramidLayerDown_8u_C3R, uint8_t, 3)         \
    X(zaliPyramidLayerDown_16u_C1R, uint16_t, 1) X(zaliPyramidLayerDown_16u_C3R, uint16_t, 3)     \
    X(zaliPyramidLayerDown_32f_C1R, float, 1) X(zaliPyramidLayerDown_32f_C3R, float, 3)
#define ZAL_PYRAMID_LAYER_UP(X)                                                                   \
    X(zaliPyramidLayerUp_8u_C1R, uint8_t, 1) X(zaliPyramidLayerUp_8u_C3R, uint8_t, 3)             \
    X(zaliPyramidLayerUp_16u_C1R, uint16_t, 1) X(zaliPyramidLayerUp_16u_C3R, uint16_t, 3)         \
    X(zaliPyramidLayerUp_32f_C1R, float, 1) X(zaliPyramidLayerUp_32f_C3R, float, 3)

// ---- Sub-pixel copies ------------------------------------------------------------

// (name, source type, destination type); the scaled 8u-to-16u members take a
// scale factor as their last argument.
#define ZAL_PYRAMID_COPY_SUBPIX(X)                                                                \
    X(zaliCopySubpix_8u_C1R, uint8_t, uint8_t) X(zaliCopySubpix_16u_C1R, uint16_t, uint16_t)      \
    X(zaliCopySubpix_8u32f_C1R, uint8_t, float) X(zaliCopySubpix_16u32f_C1R, uint16_t, float)     \
    X(zaliCopySubpix_32f_C1R, float, float)
#define ZAL_PYRAMID_COPY_SUBPIX_SFS(X) X(zaliCopySubpix_8u16u_C1R_Sfs, uint8_t, uint16_t)
#define ZAL_PYRAMID_COPY_SUBPIX_INTERSECT(X)                                                      \
    X(zaliCopySubpixIntersect_8u_C1R, uint8_t, uint8_t) X(zaliCopySubpixIntersect_16u_C1R, uint16_t, uint16_t)  \
    X(zaliCopySubpixIntersect_8u32f_C1R, uint8_t, float) X(zaliCopySubpixIntersect_16u32f_C1R, uint16_t, float) \
    X(zaliCopySubpixIntersect_32f_C1R, float, float)
#define ZAL_PYRAMID_COPY_SUBPIX_INTERSECT_SFS(X) X(zaliCopySubpixIntersect_8u16u_C1R_Sfs, uint8_t, uint16_t)

// ---- Pyramidal Lucas-Kanade optical flow -------------------------------------------

// (name, element type)
#define ZAL_PYRAMID_FLOW_INIT(X)                                                                  \
    X(zaliOpticalFlowPyrLKInitAlloc_8u_C1R, uint8_t) X(zaliOpticalFlowPyrLKInitAlloc_16u_C1R, uint16_t) \
    X(zaliOpticalFlowPyrLKInitAlloc_32f_C1R, float)
#define ZAL_PYRAMID_FLOW_FREE(X)                                                                  \
    X(zaliOpticalFlowPyrLKFree_8u_C1R, uint8_t) X(zaliOpticalFlowPyrLKFree_16u_C1R, uint16_t)     \
    X(zaliOpticalFlowPyrLKFree_32f_C1R, float)
#define ZAL_PYRAMID_FLOW(X)                                                                       \
    X(zaliOpticalFlowPyrLK_8u_C1R, uint8_t) X(zaliOpticalFlowPyrLK_16u_C1R, uint16_t)             \
    X(zaliOpticalFlowPyrLK_32f_C1R, float)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_PYRAMID_EXPORTS(X)                                                                    \
    ZAL_PYRAMID_PYR_DOWN(X) ZAL_PYRAMID_PYR_UP(X) ZAL_PYRAMID_SINGLE(X) ZAL_PYRAMID_LAYER_DOWN_INIT(X) \
    ZAL_PYRAMID_LAYER_UP_INIT(X) ZAL_PYRAMID_LAYER_FREE(X) ZAL_PYRAMID_LAYER_DOWN(X)              \
    ZAL_PYRAMID_LAYER_UP(X) ZAL_PYRAMID_COPY_SUBPIX(X) ZAL_PYRAMID_COPY_SUBPIX_SFS(X)             \
    ZAL_PYRAMID_COPY_SUBPIX_INTERSECT(X) ZAL_PYRAMID_COPY_SUBPIX_INTERSECT_SFS(X)                 \
    ZAL_PYRAMID_FLOW_INIT(X) ZAL_PYRAMID_FLOW_FREE(X) ZAL_PYRAMID_FLOW(X)
