/* zalcv: region operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_REGION_H
#define ZALCV_REGION_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Chamfer distance transform ----
 * zaliGetDistanceTransformMask_32s / _32f: the standard weights for
 *   kernelSize 3 (two weights: straight, diagonal) or 5 (three: straight,
 *   diagonal, knight step) and norm 0 (C), 1 (L1) or 2 (L2).
 *   zaliGetDistanceTransformMask takes maskType = kernelSize * 10 + norm.
 *   -5 maskType % 10 not 0..2 (first), -8 null pMetrics, -6 kernelSize not 3
 *   or 5, -5 norm not 0..2.
 * zaliDistanceTransform_3x3_* / _5x5_*: distance of every pixel to the
 *   nearest zero pixel of pSrc by two raster passes of the weighted mask.
 *   Non-zero pixels start at the output maximum (255, 65535 or the largest
 *   float) and every sum is limited to it, so unreachable pixels keep it.
 *   5x5 weights with c >= a + min(2a, b) take the 3x3 route with {a, b}.
 *   The in-place form reads each pixel before writing it. -8 null pointer,
 *   -6 size below 1, -14 srcStep < width or dstStep < width * element bytes,
 *   -108 dstStep not a multiple of the element size, -56 a weight below 1
 *   (integer) or not greater than 0 (float, NaN included). */
ZALCV_API StatusCode zaliGetDistanceTransformMask_32s(int kernelSize, int norm, int32_t* pMetrics);
ZALCV_API StatusCode zaliGetDistanceTransformMask_32f(int kernelSize, int norm, float* pMetrics);
ZALCV_API StatusCode zaliGetDistanceTransformMask(int maskType, float* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_3x3_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep,
                                                      ImageSize roiSize, const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_5x5_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep,
                                                      ImageSize roiSize, const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_3x3_8u_C1IR(uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize,
                                                       const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_5x5_8u_C1IR(uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize,
                                                       const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_3x3_8u16u_C1R(const uint8_t* pSrc, int srcStep, uint16_t* pDst,
                                                         int dstStep, ImageSize roiSize, const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_5x5_8u16u_C1R(const uint8_t* pSrc, int srcStep, uint16_t* pDst,
                                                         int dstStep, ImageSize roiSize, const int32_t* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_3x3_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                         ImageSize roiSize, const float* pMetrics);
ZALCV_API StatusCode zaliDistanceTransform_5x5_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                         ImageSize roiSize, const float* pMetrics);

/* ---- Exact Euclidean distance transform ----
 * zaliTrueDistanceTransformGetBufferSize_*: bytes of pBuffer for roiSize and
 *   the current maximum worker count (the count must not grow before the
 *   transform runs). -8 null pBufferSize, -6 size below 1 or a byte count
 *   beyond INT32_MAX.
 * zaliTrueDistanceTransform_8u32f_C1R: Euclidean distance of every pixel to
 *   the nearest zero pixel, however far it lies; an image without any zero
 *   gives 1000 everywhere. _8u16u_C1RSfs: the same, multiplied by
 *   2^-scaleFactor, rounded half to even and saturated to 32767 as
 *   zalsSqrt_32s16s_Sfs does. Rows are split over the workers; results do
 *   not depend on their number. -8 null pointer, -6 size below 1, -14
 *   srcStep < width or dstStep below the row bytes, -108 dstStep not a
 *   multiple of the element size. */
ZALCV_API StatusCode zaliTrueDistanceTransformGetBufferSize_8u32f_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliTrueDistanceTransformGetBufferSize_8u16u_C1RSfs(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliTrueDistanceTransform_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                         ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliTrueDistanceTransform_8u16u_C1RSfs(const uint8_t* pSrc, int srcStep, uint16_t* pDst,
                                                            int dstStep, ImageSize roiSize, int scaleFactor,
                                                            uint8_t* pBuffer);

/* ---- Flood fill ----
 * Result record of a fill: pixels filled, the new value per channel (0 for
 * absent channels) and the bounding rectangle of the filled pixels. */
typedef struct ConnectedComponent {
    double area;
    double value[3];
    ImageRect rect;
} ConnectedComponent;
/* zaliFloodFillGetSize: 6 * w * h + 32 bytes (plain and range fills);
 *   zaliFloodFillGetSize_Grad: (w + 2) * (h + 2) + 6 * w * h + 32 bytes.
 *   -8 null pBufferSize, -6 size below 1 or a byte count beyond INT32_MAX.
 * zaliFloodFill_{4,8}Con_*: fills the 4- or 8-connected region of pixels
 *   equal to the seed pixel with newVal. A seed already equal to newVal
 *   returns 0 at once and leaves pRegion untouched.
 * zaliFloodFill_Range{4,8}Con_*: the region of pixels within
 *   [seed - minDelta, seed + maxDelta] (8u: clamped to 0..255).
 * zaliFloodFill_Grad{4,8}Con_*: the region grown from the seed where each new
 *   pixel lies within [q - minDelta, q + maxDelta] of an adjacent region
 *   pixel q; no early exit.
 * Three-channel pixels match only when every channel matches. pBuffer holds
 * at least the queried size. -8 null pointer (C3: also newVal and the delta
 * pointers), -6 size below 1, -14 imageStep below the row bytes, -108 32f
 * imageStep not a multiple of 4, -11 seed outside the ROI (32f gradient: also
 * a negative or NaN delta). */
ZALCV_API StatusCode zaliFloodFillGetSize(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFloodFillGetSize_Grad(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFloodFill_4Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                uint8_t newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_8Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                uint8_t newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_4Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                 float newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_8Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                 float newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_4Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                const uint8_t* newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_8Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                const uint8_t* newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_4Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                 const float* newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_8Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
                                                 const float* newVal, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range4Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    uint8_t newVal, uint8_t minDelta, uint8_t maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range4Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    float newVal, float minDelta, float maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range4Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const uint8_t* newVal, const uint8_t* minDelta, const uint8_t* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range4Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const float* newVal, const float* minDelta, const float* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range8Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    uint8_t newVal, uint8_t minDelta, uint8_t maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range8Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    float newVal, float minDelta, float maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range8Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const uint8_t* newVal, const uint8_t* minDelta, const uint8_t* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Range8Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const float* newVal, const float* minDelta, const float* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad4Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    uint8_t newVal, uint8_t minDelta, uint8_t maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad4Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    float newVal, float minDelta, float maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad4Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const uint8_t* newVal, const uint8_t* minDelta, const uint8_t* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad4Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const float* newVal, const float* minDelta, const float* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad8Con_8u_C1IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    uint8_t newVal, uint8_t minDelta, uint8_t maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad8Con_32f_C1IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    float newVal, float minDelta, float maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad8Con_8u_C3IR(uint8_t* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const uint8_t* newVal, const uint8_t* minDelta, const uint8_t* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFloodFill_Grad8Con_32f_C3IR(float* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,
    const float* newVal, const float* minDelta, const float* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer);
/* ---- end of chamfer, exact Euclidean distance and flood fill ---- */

/* ---- Watershed segmentation and segment boundaries ----
 * zaliSegmentWatershedGetBufferSize_8u_C1R: bytes of the work buffer that
 *   zaliSegmentWatershed_8u_C1IR needs for roiSize. -8 null pBufferSize,
 *   -6 size below 1 or a byte count beyond INT32_MAX.
 * zaliSegmentWatershed_8u_C1IR: marker-controlled watershed. Non-zero marker
 *   pixels are seeds and keep their label; every other pixel takes the label
 *   of the seed that reaches it along the path of lowest cost (first the
 *   highest source level crossed, then the path length within that level).
 *   norm: 0 eight neighbours step 1, 1 four neighbours step 1, 3 four
 *   neighbours with the fast-marching update, anything else eight neighbours
 *   with steps 11/15. A one-pixel-wide ROI always uses norm 1. flag bit 0x40
 *   paints boundaries between 4-adjacent regions with 255, 0x80 between
 *   8-adjacent regions (0x40 wins). pBuffer holds at least the queried size.
 *   -8 null pointer, -6 size below 1 (or a ROI whose buffer size exceeds
 *   INT32_MAX), -14 step below width.
 * zaliBoundSegments_8u_C1IR: paints with val every pixel that has an earlier
 *   (in raster order) neighbour of a different label that is not val itself;
 *   flag 0 looks at left, upper-left, upper and upper-right, flag 1 at left and
 *   upper. -8, -6, -14 as above, -5 flag other than 0 or 1. */
ZALCV_API StatusCode zaliSegmentWatershedGetBufferSize_8u_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliSegmentWatershed_8u_C1IR(const uint8_t* pSrc, int srcStep, uint8_t* pMarker, int markerStep,
                                                  ImageSize roiSize, int norm, int flag, uint8_t* pBuffer);
ZALCV_API StatusCode zaliBoundSegments_8u_C1IR(uint8_t* pMarker, int markerStep, ImageSize roiSize, uint8_t val,
                                               int flag);

/* ---- Fast marching distance map ----
 * zaliFastMarchingGetBufferSize_8u32f_C1R: writes the buffer size (one byte
 *   per row: the height). -8 null pBufferSize, -6 size below 1.
 * zaliFastMarching_8u32f_C1R: arrival times of the non-zero mask pixels from
 *   the mask boundary, by one downward and one upward sweep of the
 *   two-neighbour upwind update. With radius > 0 the outside pixels within
 *   radius of the mask get negative times (-1e-10 next to the mask), the rest
 *   0; with radius 0 every outside pixel is 0. -8 null pointer, -6 size below
 *   1, -14 srcStep < width or dstStep < 4 * width, -108 dstStep not a
 *   multiple of 4, -5 radius not >= 0 (NaN included). */
ZALCV_API StatusCode zaliFastMarchingGetBufferSize_8u32f_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFastMarching_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep,
                                                ImageSize roiSize, float radius, uint8_t* pBuffer);

/* ---- Inpainting ----
 * zaliInpaintInitAlloc_8u_C1R / _C3R: builds the state for one mask and its
 *   fast-marching map pDist (pixels with dist > 0 are filled, in ascending
 *   order of dist). radius >= 1 bounds the neighbourhood; method 0 weights by
 *   the distance-map gradient, method 1 by the isophote direction. A mask
 *   without non-zero pixels gives a state that does nothing: inpainting with
 *   it copies the source ROI to the destination. Every state stored is
 *   released with zaliInpaintFree_*. -8 null pointer, -6 size below 1, -14
 *   maskStep < width or distStep < 4 * width, -108 distStep not a multiple
 *   of 4, -5 method not 0 or 1 or radius not >= 1, -9 allocation failed.
 * zaliInpaint_8u_C1R / _C3R: copies the source ROI to the destination and
 *   fills the damaged pixels there. -8 null pointer, -6 size below 1 or not the
 *   state's size, -14 step below the row length, -5 a state built for the
 *   other channel count.
 * zaliInpaintFree_8u_C1R / _C3R: releases a state; -8 when null. */
typedef struct InpaintState InpaintState;
ZALCV_API StatusCode zaliInpaintInitAlloc_8u_C1R(InpaintState** ppState, const float* pDist, int distStep,
                                                 const uint8_t* pMask, int maskStep, ImageSize roiSize, float radius,
                                                 int method);
ZALCV_API StatusCode zaliInpaintInitAlloc_8u_C3R(InpaintState** ppState, const float* pDist, int distStep,
                                                 const uint8_t* pMask, int maskStep, ImageSize roiSize, float radius,
                                                 int method);
ZALCV_API StatusCode zaliInpaint_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep,
                                        ImageSize roiSize, InpaintState* pState);
ZALCV_API StatusCode zaliInpaint_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep,
                                        ImageSize roiSize, InpaintState* pState);
ZALCV_API StatusCode zaliInpaintFree_8u_C1R(InpaintState* pState);
ZALCV_API StatusCode zaliInpaintFree_8u_C3R(InpaintState* pState);
/* ---- end of watershed, fast marching and inpainting ---- */

#ifdef __cplusplus
}
#endif

#endif
