/** @file
 *  @brief zalcv: stats operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_STATS_H
#define ZALCV_STATS_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Accumulation into a 32f image
 *  @{ */
/** pSrcDst is a one-channel 32f accumulator of the ROI size; sources are 8u, 8s,
 *  16u or 32f. Every step is one single-precision operation rounded to nearest:
 *    Add          A = A + s              AddSquare   A = A + s * s
 *    AddProduct   A = A + s1 * s2        AddWeighted A = A + (s - A) * alpha
 *  Masked members (C1IMR) select pixels whose mask byte is non-zero. Masking is
 *  arithmetic: an unselected pixel receives + 0.0 (integer sources) or
 *  + term * 0.0 (32f sources; and (s - A) * 0.0 in AddWeighted for all types),
 *  so a -0.0 accumulator may become +0.0 and a non-finite 32f term turns the
 *  accumulator NaN even where the mask is zero.
 *  Status: -8 null pointer; -6 width or height below 1; -14 a step shorter than
 *  its row (sources, then a 16u source's odd step -108, then mask, then
 *  accumulator); -108 an accumulator or 32f source step not a multiple of 4. */
ZALCV_API StatusCode zaliAdd_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_8s32f_C1IR(const int8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_8s32f_C1IMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAdd_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_8s32f_C1IR(const int8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_8s32f_C1IMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddSquare_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_8u32f_C1IR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_8u32f_C1IMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_8s32f_C1IR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_8s32f_C1IMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_16u32f_C1IR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_16u32f_C1IMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_32f_C1IR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZALCV_API StatusCode zaliAddProduct_32f_C1IMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
/** @} */
/** @{ */
/** alpha = 1 copies the source; alpha = 0 leaves finite accumulators unchanged. */
ZALCV_API StatusCode zaliAddWeighted_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8s32f_C1IR(const int8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8s32f_C1IMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
/** @} */

/** @name Masked mean
 *  @{ */
/** Mean of the pixels whose mask byte is non-zero, in double precision; C3CMR
 *  reads channel coi (1..3) of a three-channel image. Integer sources sum
 *  exactly; 32f values are converted to double and summed in raster order. An
 *  empty selection writes 0.0 and returns 0.
 *  Status: -8 pSrc, pMask or pMean null; -6 width or height below 1; -14 source
 *  step shorter than a row or mask step below the width (16u members test the
 *  source step's alignment, -108, between those two; 32f after both); -52 coi
 *  outside 1..3. Large ROIs are summed in row bands merged in band order. */
ZALCV_API StatusCode zaliMean_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZALCV_API StatusCode zaliMean_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
ZALCV_API StatusCode zaliMean_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZALCV_API StatusCode zaliMean_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
ZALCV_API StatusCode zaliMean_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZALCV_API StatusCode zaliMean_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
ZALCV_API StatusCode zaliMean_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZALCV_API StatusCode zaliMean_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
/** @} */

/** @name Mean and standard deviation
 *  @{ */
/** Mean and population deviation sqrt(|Q/N - mean^2|) of one channel (C1R,
 *  C3CR with coi 1..3), or of the pixels selected by a mask (C1MR, C3CMR).
 *  pMean and pStdDev are optional: a null one is not written. 32f members
 *  recompute the deviation as sqrt(sum((x - mean)^2) / N) when
 *  0.05 * mean^2 exceeds the one-pass variance. An empty selection gives 0.0
 *  and 0.0. Status as for the masked mean (only pSrc and pMask are required). */
ZALCV_API StatusCode zaliMean_StdDev_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8u_C3CR(const uint8_t* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8s_C1R(const int8_t* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8s_C3CR(const int8_t* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_16u_C3CR(const uint16_t* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_32f_C3CR(const float* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZALCV_API StatusCode zaliMean_StdDev_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
/** @} */

/** @name Minimum and maximum with location
 *  @{ */
/** Minimum and maximum of one channel (optionally of the masked pixels) as
 *  float, and the position {x, y} of the first occurrence of each in raster
 *  order, relative to the ROI. An empty selection writes 0.0, 0.0, {0, 0},
 *  {0, 0} and returns 0.
 *  Status: -8 pSrc, pMask (masked members) or any of the four outputs null;
 *  -6 width or height below 1; -14 source or mask step too short; -108 16u or
 *  32f source step not a multiple of the element size; -52 coi outside 1..3. */
ZALCV_API StatusCode zaliMinMaxIndx_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8u_C3CR(const uint8_t* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8s_C1R(const int8_t* pSrc, int srcStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8s_C3CR(const int8_t* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_16u_C3CR(const uint16_t* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_32f_C3CR(const float* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZALCV_API StatusCode zaliMinMaxIndx_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMin, float* pMax, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
/** @} */

/** @name Masked norms
 *  @{ */
/** Norms over the pixels whose mask byte is non-zero (C3CMR: channel coi, 1..3,
 *  of both images), written as a double through pValue:
 *    Norm_Inf max |x|        Norm_L1 sum |x|        Norm_L2 sqrt(sum x^2)
 *    NormDiff_*  the same of x1 - x2
 *    NormRel_*   NormDiff of (x1, x2) / Norm of x2 (L2: sqrt of the ratio of
 *                the sums of squares)
 *  Integer sources are exact (differences in 32-bit integers, 64-bit sums);
 *  32f magnitudes and differences are formed in float, sums in double. An
 *  empty selection gives 0.0. A relative norm whose denominator is zero writes
 *  NaN when the numerator is zero too, +infinity otherwise, and returns the
 *  warning StatusDivisionByZero (6).
 *  Status: -8 a source, pMask or pValue null; -6 width or height below 1;
 *  -14 a source step shorter than a row or the mask step below the width;
 *  -108 a 16u or 32f source step not a multiple of the element size; -52 coi
 *  outside 1..3. */
ZALCV_API StatusCode zaliNorm_Inf_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_Inf_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L1_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_8s_C1MR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_8s_C3CMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNorm_L2_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_Inf_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L1_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormDiff_L2_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_Inf_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L1_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_8s_C1MR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_8s_C3CMR(const int8_t* pSrc1, int src1Step, const int8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pValue);
ZALCV_API StatusCode zaliNormRel_L2_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pValue);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
