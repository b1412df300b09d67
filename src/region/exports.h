// Every export of the region family, once. One list per shape of prototype;
// a row is one export, its name first, then what the shape's wrapper needs.
// The wrappers, the internal instantiations and the tests' member lists all
// expand these lists (see core/export.h).
#pragma once

// ---- Chamfer distance transform ------------------------------------------------

// Written out in its own file: (name)
#define ZAL_REGION_CHAMFER_SINGLE(X) X(zaliGetDistanceTransformMask)
// Standard weights: (name, weight type)
#define ZAL_REGION_CHAMFER_MASK(X) X(zaliGetDistanceTransformMask_32s, int32_t) X(zaliGetDistanceTransformMask_32f, float)
// (name, kernel size, output type, weight type)
#define ZAL_REGION_CHAMFER(X)                                                                               \
    X(zaliDistanceTransform_3x3_8u_C1R, 3, uint8_t, int32_t) X(zaliDistanceTransform_5x5_8u_C1R, 5, uint8_t, int32_t) \
    X(zaliDistanceTransform_3x3_8u16u_C1R, 3, uint16_t, int32_t)                                           \
    X(zaliDistanceTransform_5x5_8u16u_C1R, 5, uint16_t, int32_t)                                           \
    X(zaliDistanceTransform_3x3_8u32f_C1R, 3, float, float) X(zaliDistanceTransform_5x5_8u32f_C1R, 5, float, float)
// In place, 8u with integer weights: (name, kernel size)
#define ZAL_REGION_CHAMFER_INPLACE(X) X(zaliDistanceTransform_3x3_8u_C1IR, 3) X(zaliDistanceTransform_5x5_8u_C1IR, 5)

// ---- Exact Euclidean distance transform ------------------------------------------

// Size queries: (name, byte count of a ROI in zal::region)
#define ZAL_REGION_TRUE_DISTANCE_SIZE(X)                                                  \
    X(zaliTrueDistanceTransformGetBufferSize_8u32f_C1R, trueDistanceBytes32f)              \
    X(zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs, trueDistanceBytes16u)
// Written out in their own file: (name)
#define ZAL_REGION_TRUE_DISTANCE_SINGLE(X) \
    X(zaliTrueDistanceTransform_8u32f_C1R) X(zaliTrueDistanceTransform_8u16u_C1RSfs)

// ---- Flood fill --------------------------------------------------------------------

// Size queries: (name, byte count of a ROI in zal::region)
#define ZAL_REGION_FLOOD_FILL_SIZE(X) X(zaliFloodFillGetSize, floodFillBytes) X(zaliFloodFillGetSize_Grad, gradientFillBytes)
// (name, element type, channels, connectivity); one-channel members take
// the values by value, three-channel members by pointer.
#define ZAL_REGION_FLOOD_FILL(X)                                                                             \
    X(zaliFloodFill_4Con_8u_C1IR, uint8_t, 1, 4) X(zaliFloodFill_8Con_8u_C1IR, uint8_t, 1, 8)               \
    X(zaliFloodFill_4Con_32f_C1IR, float, 1, 4) X(zaliFloodFill_8Con_32f_C1IR, float, 1, 8)                 \
    X(zaliFloodFill_4Con_8u_C3IR, uint8_t, 3, 4) X(zaliFloodFill_8Con_8u_C3IR, uint8_t, 3, 8)               \
    X(zaliFloodFill_4Con_32f_C3IR, float, 3, 4) X(zaliFloodFill_8Con_32f_C3IR, float, 3, 8)
#define ZAL_REGION_FLOOD_FILL_RANGE(X)                                                                       \
    X(zaliFloodFill_Range4Con_8u_C1IR, uint8_t, 1, 4) X(zaliFloodFill_Range8Con_8u_C1IR, uint8_t, 1, 8)     \
    X(zaliFloodFill_Range4Con_32f_C1IR, float, 1, 4) X(zaliFloodFill_Range8Con_32f_C1IR, float, 1, 8)       \
    X(zaliFloodFill_Range4Con_8u_C3IR, uint8_t, 3, 4) X(zaliFloodFill_Range8Con_8u_C3IR, uint8_t, 3, 8)     \
    X(zaliFloodFill_Range4Con_32f_C3IR, float, 3, 4) X(zaliFloodFill_Range8Con_32f_C3IR, float, 3, 8)
#define ZAL_REGION_FLOOD_FILL_GRAD(X)                                                                        \
    X(zaliFloodFill_Grad4Con_8u_C1IR, uint8_t, 1, 4) X(zaliFloodFill_Grad8Con_8u_C1IR, uint8_t, 1, 8)       \
    X(zaliFloodFill_Grad4Con_32f_C1IR, float, 1, 4) X(zaliFloodFill_Grad8Con_32f_C1IR, float, 1, 8)         \
    X(zaliFloodFill_Grad4Con_8u_C3IR, uint8_t, 3, 4) X(zaliFloodFill_Grad8Con_8u_C3IR, uint8_t, 3, 8)       \
    X(zaliFloodFill_Grad4Con_32f_C3IR, float, 3, 4) X(zaliFloodFill_Grad8Con_32f_C3IR, float, 3, 8)

// ---- Watershed and segment boundaries ----------------------------------------------

// Size query: (name, byte count of a ROI in zal::region)
#define ZAL_REGION_WATERSHED_SIZE(X) X(zaliSegmentWatershedGetBufferSize_8u_C1R, watershedBytes)
// Written out in their own files: (name)
#define ZAL_REGION_WATERSHED_SINGLE(X) X(zaliSegmentWatershed_8u_C1IR) X(zaliBoundSegments_8u_C1IR)

// ---- Fast marching distance map --------------------------------------------------------

// Size query: (name, byte count of a ROI in zal::region)
#define ZAL_REGION_FAST_MARCHING_SIZE(X) X(zaliFastMarchingGetBufferSize_8u32f_C1R, fastMarchingBytes)
// Written out in its own file: (name)
#define ZAL_REGION_FAST_MARCHING_SINGLE(X) X(zaliFastMarching_8u32f_C1R)

// ---- Inpainting ----------------------------------------------------------------------------

// (name, channels)
#define ZAL_REGION_INPAINT_INIT(X) X(zaliInpaintInitAlloc_8u_C1R, 1) X(zaliInpaintInitAlloc_8u_C3R, 3)
#define ZAL_REGION_INPAINT(X) X(zaliInpaint_8u_C1R, 1) X(zaliInpaint_8u_C3R, 3)
#define ZAL_REGION_INPAINT_FREE(X) X(zaliInpaintFree_8u_C1R, 1) X(zaliInpaintFree_8u_C3R, 3)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_REGION_EXPORTS(X)                                                                                \
    ZAL_REGION_CHAMFER_SINGLE(X) ZAL_REGION_CHAMFER_MASK(X) ZAL_REGION_CHAMFER(X) ZAL_REGION_CHAMFER_INPLACE(X) \
    ZAL_REGION_TRUE_DISTANCE_SIZE(X) ZAL_REGION_TRUE_DISTANCE_SINGLE(X) ZAL_REGION_FLOOD_FILL_SIZE(X)        \
    ZAL_REGION_FLOOD_FILL(X) ZAL_REGION_FLOOD_FILL_RANGE(X) ZAL_REGION_FLOOD_FILL_GRAD(X)                    \
    ZAL_REGION_WATERSHED_SIZE(X) ZAL_REGION_WATERSHED_SINGLE(X) ZAL_REGION_FAST_MARCHING_SIZE(X)             \
    ZAL_REGION_FAST_MARCHING_SINGLE(X) ZAL_REGION_INPAINT_INIT(X) ZAL_REGION_INPAINT(X) ZAL_REGION_INPAINT_FREE(X)
