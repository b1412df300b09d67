/** @file
 *  @brief zalcv: pyramid operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_PYRAMID_H
#define ZALCV_PYRAMID_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Gaussian 5x5 pyramid levels
 *  @{ */
/** roiSize is always the SOURCE size W x H. PyrDown writes ceil(W/2) x ceil(H/2)
 *  pixels (output (i, j) centred on source (2i, 2j)); PyrUp writes 2W x 2H.
 *  Kernel (1 4 6 4 1) in both directions (scaled by 4 for PyrUp), border by
 *  reflection without repeating the edge pixel. Integer results are
 *  (v + 128) >> 8 (down) or (v + 32) >> 6 (up) kept in the low byte; 32f
 *  results are v * (1/256) or v * (1/64).
 *  pBuffer: at least the bytes reported by the matching GetBufSize query.
 *  Statuses: a null pointer -8; W or H < 1 -6; a step below its row length
 *  -14; 32f step not a multiple of 4 -108. */
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_8s_C1R(const int8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_8s_C3R(const int8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrDown_Gauss5x5_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_8s_C1R(const int8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_8s_C3R(const int8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliPyrUp_Gauss5x5_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer);
/** @} */
/** @{ */
/** Scratch size in bytes for a source width, data-type code (1 8u, 2 8s,
 *  9 32f) and channel count (1 or 3): pad16(4 W c) * 6 + 32 for PyrDown,
 *  pad16(8 W c) * 3 + 32 for PyrUp. Statuses: null pBufSize -8; width < 1 -6;
 *  channels not 1 or 3 -53; unknown type code -12; a size beyond 32 bits -6. */
ZALCV_API StatusCode zaliPyrDownGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize);
ZALCV_API StatusCode zaliPyrUpGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize);
/** @} */

/** A Pyramid does not own level images: the caller builds each level and
 *  stores its pointer, step and size. levelSizes[L + 1] is the down size of
 *  levelSizes[L]; levelScales[L] = (1/rate)^L by repeated multiplication. */
typedef struct Pyramid {
    void** levelImages;     /**< topLevel + 1 level pointers, null at creation */
    ImageSize* levelSizes;  /**< topLevel + 1 sizes, entry 0 the size given */
    double* levelScales;    /**< topLevel + 1 scales (1/rate)^L */
    int32_t* levelSteps;    /**< topLevel + 1 row steps in bytes, 0 at creation */
    void* layerState;       /**< reserved for a layer state, null */
    int32_t topLevel;       /**< coarsest level available */
} Pyramid;

/** Layer state of zaliPyramidLayerDown/Up (opaque, from their InitAlloc). */
typedef struct PyramidLayerState PyramidLayerState;

/** @name Pyramid descriptor and general pyramid layers
 *  @{ */
/** Creates (in one aligned block) and releases a Pyramid descriptor;
 *  topLevel = min(level, steps until the size is 1 x 1).
 *  Statuses: null ppPyramid -8; width or height < 1 -6; rate not in (1, 10]
 *  or level < 1 -5; no memory -9. zaliPyramidFree: null -8. */
ZALCV_API StatusCode zaliPyramidInitAlloc(Pyramid** ppPyramid, int level, ImageSize roiSize, float rate);
ZALCV_API StatusCode zaliPyramidFree(Pyramid* pPyramid);
/** @} */
/** @{ */
/** Down size of srcRoi (the size whose up range holds srcRoi, starting from
 *  round(size / rate)), and the up range [min, max] of sizes reducing to
 *  srcRoi. Statuses: null result -8; width or height < 1 -6; rate not in
 *  (1, 10] -5. */
ZALCV_API StatusCode zaliGetPyramidDownROI(ImageSize srcRoi, ImageSize* pDstRoi, float rate);
ZALCV_API StatusCode zaliGetPyramidUpROI(ImageSize srcRoi, ImageSize* pDstRoiMin, ImageSize* pDstRoiMax, float rate);
/** @} */

/** @{ */
/** Layer states for a source size, rate, odd smoothing kernel (kerSize >= 3;
 *  16s coefficients for 8u and 16u, normalised to Q13; float for 32f,
 *  normalised to sum 1) and interpolation mode (only 2). Only the first half
 *  and the centre are used: an asymmetric kernel is mirrored and the warning
 *  StatusAsymmetricKernel (38) returned. Statuses: null pState or pKernel -8;
 *  width or height < 1 -6; mode, rate or kerSize unacceptable -5; a kernel
 *  that cannot be normalised (its coefficients, or the mirrored ones, sum to
 *  zero) -5, nothing allocated; no memory -9. A down state serves sources
 *  no larger than the size it was made for. An up state serves any source;
 *  it prepares, once, the calls from the size it was made for to the largest
 *  size of that size's up range, which then skip their set-up. */
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_8u_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_8u_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_16u_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_16u_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_32f_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const float* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerDownInitAlloc_32f_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const float* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_8u_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_8u_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_16u_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_16u_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const int16_t* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_32f_C1R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const float* pKernel, int kerSize, int mode);
ZALCV_API StatusCode zaliPyramidLayerUpInitAlloc_32f_C3R(PyramidLayerState** ppState, ImageSize srcRoi, float rate, const float* pKernel, int kerSize, int mode);
/** @} */
/** @{ */
/** Release a layer state: null -8, else 0. */
ZALCV_API StatusCode zaliPyramidLayerDownFree(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_8u_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_8u_C3R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_16u_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_16u_C3R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_32f_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDownFree_32f_C3R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_8u_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_8u_C3R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_16u_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_16u_C3R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_32f_C1R(PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUpFree_32f_C3R(PyramidLayerState* pState);
/** @} */
/** @{ */
/** One level down (smooth, then sample every rate-th pixel: exactly every
 *  second one for rate 2, linear interpolation otherwise) or one level up
 *  (splat every source pixel with the kernel at its scaled position and
 *  normalise by the weights received). Statuses: null pointer -8; source
 *  width or height < 1 -6; a step below its row length -14; state rate not in
 *  (1, 10] -5; destination size not the down size (down) or outside the up
 *  range (up) of the source size, or a source larger than the state's -6;
 *  up: no memory for the bordered work image -9. */
ZALCV_API StatusCode zaliPyramidLayerDown_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDown_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDown_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDown_16u_C3R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDown_32f_C1R(const float* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerDown_32f_C3R(const float* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_16u_C3R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_32f_C1R(const float* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
ZALCV_API StatusCode zaliPyramidLayerUp_32f_C3R(const float* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, PyramidLayerState* pState);
/** @} */

/** @name Sub-pixel rectangle copy (one channel)
 *  @{ */
/** CopySubpix: destination pixel (x, y) interpolates source pixels (x, y),
 *  (x+1, y), (x, y+1), (x+1, y+1) with the fractions of dx and dy (in [0, 1)),
 *  so the source block read is one column and one row larger than roiSize.
 *  CopySubpixIntersect: the roiSize-sized block centred on (pointX, pointY)
 *  is clipped to the source; pMin..pMax (inclusive) receive the destination
 *  columns (x) and rows (y) interpolated from four genuine source pixels
 *  (pMax = -1 in a coordinate where none are); outside that range the nearest
 *  border pixels are replicated, interpolating only along the free direction.
 *  Weights: Q14 for 8u sources ((... + 8192) >> 14; 8u16u: the weighted sum
 *  times 2^-(scaleFactor+14), rounded half up and saturated to 0..65535 for
 *  every scaleFactor), Q15 for 16u (saturated to 65535), single precision for
 *  32f destinations.
 *  Statuses: a null pointer -8; a width or height < 1 -6; a step below its row
 *  length -14; a 16u or 32f step not a multiple of its element size -108. */
ZALCV_API StatusCode zaliCopySubpix_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, float dx, float dy);
ZALCV_API StatusCode zaliCopySubpix_8u16u_C1R_Sfs(const uint8_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, float dx, float dy, int scaleFactor);
ZALCV_API StatusCode zaliCopySubpix_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, float dx, float dy);
ZALCV_API StatusCode zaliCopySubpix_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float dx, float dy);
ZALCV_API StatusCode zaliCopySubpix_16u32f_C1R(const uint16_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float dx, float dy);
ZALCV_API StatusCode zaliCopySubpix_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float dx, float dy);
ZALCV_API StatusCode zaliCopySubpixIntersect_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax);
ZALCV_API StatusCode zaliCopySubpixIntersect_8u16u_C1R_Sfs(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax, int scaleFactor);
ZALCV_API StatusCode zaliCopySubpixIntersect_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, uint16_t* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax);
ZALCV_API StatusCode zaliCopySubpixIntersect_8u32f_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax);
ZALCV_API StatusCode zaliCopySubpixIntersect_16u32f_C1R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax);
ZALCV_API StatusCode zaliCopySubpixIntersect_32f_C1R(const float* pSrc, int srcStep, ImageSize srcRoiSize, float* pDst, int dstStep, ImageSize dstRoiSize, float pointX, float pointY, ImagePoint* pMin, ImagePoint* pMax);
/** @} */

/** The state carries the window size and the scratch of every worker: levels
 *  smaller than roiSize in both dimensions get whole-level Scharr gradients,
 *  larger ones per-window gradients. InitAlloc statuses: null ppState -8;
 *  winSize, width or height < 1 -6; no memory -9 (nothing left allocated).
 *  Free: null -8.
 *  Tracking: points are (x, y) float pairs in level-0 pixels; pNextPoints
 *  holds the initial guesses and receives the results. pStatus[i] = 0 when
 *  tracked down to level 0, k > 0 when tracking failed at level k - 1;
 *  pError[i] the residual of the last level processed. Statuses: a null
 *  pointer (pyramids, their level images up to maxLevel, points, status,
 *  error, state) -8; numFeat < 1, winSize < 1 or not the state's -6;
 *  maxLevel < 0 or beyond either pyramid's topLevel, maxIter < 1 or
 *  threshold < 0 -5; a state of another type -12. Per-point failures are
 *  reported in pStatus only. Results do not depend on the worker count, also
 *  when it differs from the count at the state's creation. */
typedef struct OpticalFlowState OpticalFlowState;
/** @name Pyramidal Lucas-Kanade optical flow
 *  @{ */
/** Pyramidal Lucas-Kanade tracking and its state: described with OpticalFlowState. */
ZALCV_API StatusCode zaliOpticalFlowPyrLKInitAlloc_8u_C1R(OpticalFlowState** ppState, ImageSize roiSize, int winSize, int hint);
ZALCV_API StatusCode zaliOpticalFlowPyrLKInitAlloc_16u_C1R(OpticalFlowState** ppState, ImageSize roiSize, int winSize, int hint);
ZALCV_API StatusCode zaliOpticalFlowPyrLKInitAlloc_32f_C1R(OpticalFlowState** ppState, ImageSize roiSize, int winSize, int hint);
ZALCV_API StatusCode zaliOpticalFlowPyrLKFree_8u_C1R(OpticalFlowState* pState);
ZALCV_API StatusCode zaliOpticalFlowPyrLKFree_16u_C1R(OpticalFlowState* pState);
ZALCV_API StatusCode zaliOpticalFlowPyrLKFree_32f_C1R(OpticalFlowState* pState);
ZALCV_API StatusCode zaliOpticalFlowPyrLK_8u_C1R(const Pyramid* pPyr1, const Pyramid* pPyr2, const float* pPrev, float* pNext, int8_t* pStatus, float* pError, int numFeat, int winSize, int maxLev, int maxIter, float threshold, OpticalFlowState* pState);
ZALCV_API StatusCode zaliOpticalFlowPyrLK_16u_C1R(const Pyramid* pPyr1, const Pyramid* pPyr2, const float* pPrev, float* pNext, int8_t* pStatus, float* pError, int numFeat, int winSize, int maxLev, int maxIter, float threshold, OpticalFlowState* pState);
ZALCV_API StatusCode zaliOpticalFlowPyrLK_32f_C1R(const Pyramid* pPyr1, const Pyramid* pPyr2, const float* pPrev, float* pNext, int8_t* pStatus, float* pError, int numFeat, int winSize, int maxLev, int maxIter, float threshold, OpticalFlowState* pState);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
