/** @file
 *  @brief zalcv: objdetect operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_OBJDETECT_H
#define ZALCV_OBJDETECT_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Integral images
 *  @{ */
/** Upright tables are (W + 1) x (H + 1): row 0 and column 0 hold val (valSqr),
 *  entry (y, x) is val + the sum (of squares) of the source pixels in rows
 *  0..y-1 and columns 0..x-1. Tilted tables are (W + 2) x (H + 2): rows 0 and
 *  1 hold val, row j + 2 sums a 45-degree cone of source rows 0..j; the pixel
 *  right of the region is taken as 0. 32s tables wrap; 32f sums add the
 *  integer row sum converted to float; 64f square tables add in double.
 *  Statuses: a null pointer -8; W or H < 1 -6; srcStep < W, a 32-bit table
 *  step < 4 (W + 1) (tilted: 4 W + 8) or a 64-bit one < 8 (W + 1) (tilted:
 *  8 W + 16) -14; a table step not a multiple of its element size -108.
 *  Negative steps are rejected by the length test. */
ZALCV_API StatusCode zaliIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, ImageSize roiSize, int32_t val);
ZALCV_API StatusCode zaliIntegral_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float val);
ZALCV_API StatusCode zaliSqrIntegral_8u32s64f_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, double* pSqr, int sqrStep, ImageSize roiSize, int32_t val, double valSqr);
ZALCV_API StatusCode zaliSqrIntegral_8u32f64f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, double* pSqr, int sqrStep, ImageSize roiSize, float val, double valSqr);
ZALCV_API StatusCode zaliSqrIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, int32_t* pSqr, int sqrStep, ImageSize roiSize, int32_t val, int32_t valSqr);
ZALCV_API StatusCode zaliTiltedIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, ImageSize roiSize, int32_t val);
ZALCV_API StatusCode zaliTiltedIntegral_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float val);
ZALCV_API StatusCode zaliTiltedSqrIntegral_8u32s64f_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, double* pSqr, int sqrStep, ImageSize roiSize, int32_t val, double valSqr);
ZALCV_API StatusCode zaliTiltedSqrIntegral_8u32f64f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, double* pSqr, int sqrStep, ImageSize roiSize, float val, double valSqr);
ZALCV_API StatusCode zaliTiltedSqrIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, int32_t* pSqr, int sqrStep, ImageSize roiSize, int32_t val, int32_t valSqr);
/** @} */

/** @name Window standard deviation
 *  @{ */
/** For every output position (px, py) of roiSize, the standard deviation of
 *  the pixels of a window read from a sum table and a square-sum table whose
 *  pointers address the entry of output (0, 0). Upright window: table rows
 *  py + rect.y .. + rect.height, columns px + rect.x .. + rect.width
 *  (N = width * height pixels). Tilted window: top corner at row
 *  py + rect.x + rect.y, column px + rect.x - rect.y (N = 2 * width * height).
 *  A non-positive variance gives exactly 0. The Sfs members store
 *  trunc(sd * 2^-scaleFactor + 0.5) (shift count modulo 32), saturated at
 *  INT32_MAX. The caller guarantees every corner lies inside the tables.
 *  Statuses: a null pointer -8; W or H < 1 -6; dstStep < 4 W or a table step
 *  below (element size) * (W + rect.x + rect.width) (tilted:
 *  rect.x + rect.y + rect.width + rect.height + W - 1 elements) -14; a step not
 *  a multiple of its element size -108; rect.x or rect.y < 0, rect.width or
 *  rect.height < 1 -6. */
ZALCV_API StatusCode zaliRectStdDev_32f_C1R(const float* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliRectStdDev_32s32f_C1R(const int32_t* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliRectStdDev_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pSqr, int sqrStep, int32_t* pDst, int dstStep, ImageSize roiSize, ImageRect rect, int scaleFactor);
ZALCV_API StatusCode zaliTiltedRectStdDev_32f_C1R(const float* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliTiltedRectStdDev_32s32f_C1R(const int32_t* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliTiltedRectStdDev_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pSqr, int sqrStep, int32_t* pDst, int dstStep, ImageSize roiSize, ImageRect rect, int scaleFactor);
/** @} */

/** A state holds the weak classifiers of one cascade stage: each sums weighted
 *  rectangle sums V(A) - V(B) - V(C) + V(D) read from an integral table and
 *  votes val1 when the sum is below threshold * norm, val2 otherwise. The 32f
 *  state goes with the _32f and _32s32f operations, the 32s state with the
 *  _32s_C1RSfs ones. */
typedef struct HaarClassifierState_32f HaarClassifierState_32f;
/** The 32s counterpart of HaarClassifierState_32f. */
typedef struct HaarClassifierState_32s HaarClassifierState_32s;

/** @name Haar classifier stages
 *  @{ */
/** Builds a state from nClassifiers classifiers: pNum[k] rectangles each
 *  (listed classifier by classifier in pFeature, one weight each), one
 *  threshold, val1 and val2 per classifier. The upright constructors store the
 *  2-rectangle classifiers first, then the 3-rectangle ones, then the rest,
 *  each group in input order; the tilted constructors keep input order and
 *  place every rectangle rotated by 45 degrees.
 *  Statuses: a null pointer -8; nClassifiers < 0 or a count < 1 -6; no memory
 *  -9; a rectangle with x < 0, y < 0, width < 1 or height < 1 (tilted: also
 *  x + 1 < height) -5 with *ppState set to null. Zero classifiers is valid. */
ZALCV_API StatusCode zaliHaarClassifierInitAlloc_32f(HaarClassifierState_32f** ppState, const ImageRect* pFeature, const float* pWeight, const float* pThreshold, const float* pVal1, const float* pVal2, const int* pNum, int nClassifiers);
ZALCV_API StatusCode zaliHaarClassifierInitAlloc_32s(HaarClassifierState_32s** ppState, const ImageRect* pFeature, const int32_t* pWeight, const int32_t* pThreshold, const int32_t* pVal1, const int32_t* pVal2, const int* pNum, int nClassifiers);
ZALCV_API StatusCode zaliTiltedHaarClassifierInitAlloc_32f(HaarClassifierState_32f** ppState, const ImageRect* pFeature, const float* pWeight, const float* pThreshold, const float* pVal1, const float* pVal2, const int* pNum, int nClassifiers);
ZALCV_API StatusCode zaliTiltedHaarClassifierInitAlloc_32s(HaarClassifierState_32s** ppState, const ImageRect* pFeature, const int32_t* pWeight, const int32_t* pThreshold, const int32_t* pVal1, const int32_t* pVal2, const int* pNum, int nClassifiers);
/** @} */
/** @{ */
/** Releases a state. Null: -8. */
ZALCV_API StatusCode zaliHaarClassifierFree_32f(HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliHaarClassifierFree_32s(HaarClassifierState_32s* pState);
/** @} */
/** @{ */
/** The window a state reads: the largest column of corner C and the largest
 *  row of corner A over all rectangles ({0, 0} without classifiers).
 *  A null pointer: -8. */
ZALCV_API StatusCode zaliGetHaarClassifierSize_32f(const HaarClassifierState_32f* pState, ImageSize* pSize);
ZALCV_API StatusCode zaliGetHaarClassifierSize_32s(const HaarClassifierState_32s* pState, ImageSize* pSize);
/** @} */
/** @{ */
/** Turns the classifiers whose input index has a non-zero byte in pMask (one
 *  byte per classifier) into tilted ones; mode 0 selects the second tilted
 *  corner placement, any other value the first. An all-zero mask changes
 *  nothing. Statuses: a null pointer -8; a state already tilted -5. */
ZALCV_API StatusCode zaliTiltHaarFeatures_32f(const uint8_t* pMask, int mode, HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliTiltHaarFeatures_32s(const uint8_t* pMask, int mode, HaarClassifierState_32s* pState);
/** @} */

/** @{ */
/** Applies a stage to every window (px, py) of roiSize whose mask byte is
 *  non-zero: the table entry at (py, px) is the window origin, pNorm at
 *  (py, px) scales the thresholds. A window whose vote total is below
 *  threshold gets mask byte 0; *pPositive receives the number of windows
 *  accepted. The mixed operations read the tilted classifiers from pTilted
 *  with the origin at (py + 1, px + 1). The mixed 32s operation shifts each
 *  feature left by -scaleFactor bits. _32f_C1R splits large regions over the
 *  worker threads (same result for any thread count).
 *  Statuses: a null pointer -8; W or H < 1 -6; a table or norm step < 4 W or
 *  maskStep < W -14; a table or norm step not a multiple of 4 -108;
 *  scaleFactor > 0 -5; working memory unavailable -9. */
ZALCV_API StatusCode zaliApplyHaarClassifier_32f_C1R(const float* pSrc, int srcStep, const float* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, float threshold, const HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliApplyHaarClassifier_32s32f_C1R(const int32_t* pSrc, int srcStep, const float* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, float threshold, const HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliApplyHaarClassifier_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, int32_t threshold, const HaarClassifierState_32s* pState);
ZALCV_API StatusCode zaliApplyMixedHaarClassifier_32f_C1R(const float* pSrc, int srcStep, const float* pTilted, int tiltedStep, const float* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, float threshold, const HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliApplyMixedHaarClassifier_32s32f_C1R(const int32_t* pSrc, int srcStep, const int32_t* pTilted, int tiltedStep, const float* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, float threshold, const HaarClassifierState_32f* pState);
ZALCV_API StatusCode zaliApplyMixedHaarClassifier_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pTilted, int tiltedStep, const int32_t* pNorm, int normStep, uint8_t* pMask, int maskStep, ImageSize roiSize, int* pPositive, int32_t threshold, const HaarClassifierState_32s* pState, int scaleFactor);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
