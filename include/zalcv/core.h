/** @file
 *  @brief zalcv: library frame, aligned memory, vector helpers and pixel-wise image
 *  operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_CORE_H
#define ZALCV_CORE_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Library identity
 *  @{ */
/** Pointer to the constant identity record; the same pointer on every call,
 *  never null. The caller must not modify or free it. */
ZALCV_API const LibraryVersion* zalcvGetLibVersion(void);
/** @} */

/** @name Aligned memory
 *  @{ */
/** Allocates len elements, 32-byte aligned, contents uninitialised. Null when len < 1,
 *  when the byte count overflows or when the system is out of memory. Release
 *  only with zalsFree (a null pointer is ignored). */
ZALCV_API uint8_t* zalsMalloc_8u(int len);
ZALCV_API int8_t* zalsMalloc_8s(int len);
ZALCV_API uint16_t* zalsMalloc_16u(int len);
ZALCV_API int32_t* zalsMalloc_32s(int len);
ZALCV_API float* zalsMalloc_32f(int len);
ZALCV_API double* zalsMalloc_64f(int len);
ZALCV_API void zalsFree(void* ptr);
/** @} */

/** @name One-dimensional vectors
 *  @{ */
/** Set fills the len elements with val, Zero with zeros. Unless noted, the
 *  vector operations return -8 for a null pointer and -6 for len < 1. */
ZALCV_API StatusCode zalsSet_8u(uint8_t val, uint8_t* pDst, int len);
ZALCV_API StatusCode zalsSet_32f(float val, float* pDst, int len); /**< bit pattern copied */
ZALCV_API StatusCode zalsZero_8u(uint8_t* pDst, int len);
ZALCV_API StatusCode zalsZero_16s(int16_t* pDst, int len);
ZALCV_API StatusCode zalsZero_32f(float* pDst, int len);
/** @} */
/** @{ */
/** Copy and conversion of len elements. Copies front to back: overlapping ranges are safe only when pDst < pSrc. */
ZALCV_API StatusCode zalsCopy_8u(const uint8_t* pSrc, uint8_t* pDst, int len);
ZALCV_API StatusCode zalsCopy_32f(const float* pSrc, float* pDst, int len);
ZALCV_API StatusCode zalsConvert_16u32f(const uint16_t* pSrc, float* pDst, int len);
/** @} */
/** @{ */
/** Element-wise maximum/minimum. The 8u members and the out-of-place 32f members
 *  check nothing (len <= 0 does nothing, always 0). For 32f the second operand
 *  (pSrc2, or pSrc in place) wins only when it compares strictly greater
 *  (smaller), so a NaN comparison keeps the first operand. */
ZALCV_API StatusCode zalsMaxEvery_8u(const uint8_t* pSrc1, const uint8_t* pSrc2, uint8_t* pDst, int len);
ZALCV_API StatusCode zalsMinEvery_8u(const uint8_t* pSrc1, const uint8_t* pSrc2, uint8_t* pDst, int len);
ZALCV_API StatusCode zalsMaxEvery_32f(const float* pSrc1, const float* pSrc2, float* pDst, int len);
ZALCV_API StatusCode zalsMinEvery_32f(const float* pSrc1, const float* pSrc2, float* pDst, int len);
ZALCV_API StatusCode zalsMaxEvery_8u_I(const uint8_t* pSrc, uint8_t* pSrcDst, int len);
ZALCV_API StatusCode zalsMinEvery_8u_I(const uint8_t* pSrc, uint8_t* pSrcDst, int len);
ZALCV_API StatusCode zalsMaxEvery_32f_I(const float* pSrc, float* pSrcDst, int len);
ZALCV_API StatusCode zalsMinEvery_32f_I(const float* pSrc, float* pSrcDst, int len);
/** @} */
/** val == 1 leaves the vector unchanged; val == 0 clears it to +0.0. */
ZALCV_API StatusCode zalsMulC_32f_I(float val, float* pSrcDst, int len);
/** Product scaled by 2^-scaleFactor, rounded to nearest even, saturated. */
ZALCV_API StatusCode zalsMulC_16s_ISfs(int16_t val, int16_t* pSrcDst, int len, int scaleFactor);
/** Ascending, not stable. */
ZALCV_API StatusCode zalsSortAscend_64f_I(double* pSrcDst, int len);
/** Negative inputs give NaN and the warning StatusSqrtOfNegative (3). */
ZALCV_API StatusCode zalsSqrt_32f_I(float* pSrcDst, int len);
/** sqrt(x) * 2^-scaleFactor rounded and saturated to 16 bits; negative x gives 0
 *  and the warning StatusSqrtOfNegative (3). */
ZALCV_API StatusCode zalsSqrt_32s16s_Sfs(const int32_t* pSrc, int16_t* pDst, int len, int scaleFactor);

/** @name Absolute difference
 *  @{ */
/** dst = |src1 - src2| (32f: sign bit of the difference cleared). Checks: null
 *  -8, size -6, step < row bytes -14, 16u/32f step not a multiple of the
 *  element size -108. AbsDiffC clamps value to the element range first
 *  (8u: 0..255, 16u: 0..65535). */
ZALCV_API StatusCode zaliAbsDiff_8u_C1R(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAbsDiff_16u_C1R(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, uint16_t* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAbsDiff_32f_C1R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAbsDiffC_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int value);
ZALCV_API StatusCode zaliAbsDiffC_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, int value);
ZALCV_API StatusCode zaliAbsDiffC_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float value);
/** @} */

/** @name Copy
 *  @{ */
/** Elements are copied as opaque units (NaN payloads preserved). Checks: null
 *  -8, size -6; steps are not checked. */
ZALCV_API StatusCode zaliCopy_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliCopy_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliCopy_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliCopy_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliCopy_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliCopy_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize);
/** @} */

/** @name Copy with replicated border
 *  @{ */
/** The source lands at (leftBorderWidth, topBorderHeight) of the destination
 *  ROI; the rest repeats the nearest edge pixel. In place, pSrc points at the
 *  source ROI inside a larger image and the destination ROI starts
 *  topBorderHeight rows above and leftBorderWidth pixels left of it.
 *  Checks: null -8, any step < 1 -14, then -6 for a size below 1, a negative
 *  border, or a destination too small for source plus border. */
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C4R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize, uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C1R(const int32_t* pSrc, int srcStep, ImageSize srcRoiSize, int32_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C3R(const int32_t* pSrc, int srcStep, ImageSize srcRoiSize, int32_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C4R(const int32_t* pSrc, int srcStep, ImageSize srcRoiSize, int32_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C1IR(uint8_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C3IR(uint8_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_8u_C4IR(uint8_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C1IR(int32_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C3IR(int32_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
ZALCV_API StatusCode zaliCopyReplicateBorder_32s_C4IR(int32_t* pSrc, int srcDstStep, ImageSize srcRoiSize, ImageSize dstRoiSize, int topBorderHeight, int leftBorderWidth);
/** @} */

/** @name Fill
 *  @{ */
/** Checks: null -8, size -6, dstStep < 1 -14. */
ZALCV_API StatusCode zaliSet_8u_C1R(uint8_t value, uint8_t* pDst, int dstStep, ImageSize roiSize);
/** @} */

/** @name Subtraction
 *  @{ */
/** dst = src2 - src1 (in place: srcDst = srcDst - src). 8u: negative
 *  differences give 0, the result is scaled by 2^-scaleFactor with rounding
 *  to nearest even and saturated. Checks: null -8, size -6 (the C3/C4
 *  members test the width first); steps are not checked. */
ZALCV_API StatusCode zaliSub_8u_C1RSfs(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_8u_C3RSfs(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_8u_C4RSfs(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_8u_C1IRSfs(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_8u_C3IRSfs(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_8u_C4IRSfs(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, int scaleFactor);
ZALCV_API StatusCode zaliSub_32f_C1R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliSub_32f_C3R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliSub_32f_C4R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliSub_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliSub_32f_C3IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliSub_32f_C4IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
/** @} */

/** @name Threshold
 *  @{ */
/** dst = value where src compares true against threshold under cmpOp (0: less
 *  than, 4: greater than), else src. The plain members use value = threshold
 *  (a clamp). 32f compares IEEE bit patterns. Checks: cmpOp -9999, null -8,
 *  size -6, any step < 1 -14. */
ZALCV_API StatusCode zaliThreshold_Val_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold, uint8_t value, int cmpOp);
ZALCV_API StatusCode zaliThreshold_Val_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold, float value, int cmpOp);
ZALCV_API StatusCode zaliThreshold_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold, int cmpOp);
ZALCV_API StatusCode zaliThreshold_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold, int cmpOp);
ZALCV_API StatusCode zaliThreshold_GT_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t threshold);
ZALCV_API StatusCode zaliThreshold_LT_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float threshold);
ZALCV_API StatusCode zaliThreshold_LT_32f_C1IR(float* pSrcDst, int srcDstStep, ImageSize roiSize, float threshold);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
