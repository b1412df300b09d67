/** @file
 *  @brief zalcv: filter operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_FILTER_H
#define ZALCV_FILTER_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Separable pipeline: row pass with horizontal border
 *  @{ */
/** `zaliFilterRowBorderPipeline_<T>_C1R`(pSrc, srcStep, ppDst, roiSize, pKernel,
 *      kernelSize, xAnchor, borderType, borderValue, [divisor,] pBuffer)
 *  Extends every source row by borderType (borderValue for BorderConstant; a
 *  pointer to three values in the C3R members), correlates it with the
 *  kernelSize taps (out[x] = sum_k pKernel[k] * src[x + k - xAnchor]) and
 *  writes row y to ppDst[y] (roiSize.height pointers).
 *  Results: 32f none; 16s float sum times (1/divisor), clamped, truncated;
 *  8u16s 32-bit integer sum, then as 16s; Low_16s integer sum times
 *  trunc(16384/divisor) shifted down by 14, low 16 bits (wraps, no clamp).
 *  Statuses: -8 null pSrc/ppDst/pKernel/pBuffer; -6 size or kernelSize < 1;
 *  -34 xAnchor outside 0..kernelSize-1; -14 srcStep; -108 misaligned 16s/32f
 *  srcStep; -5 borderType outside 0..4; -8 C3R constant border with a null
 *  borderValue; -5 divisor 0; -8 when ppDst[y] is null (rows before y are
 *  written). pBuffer: at least the size the matching query reports. */
ZALCV_API StatusCode zaliFilterRowBorderPipeline_32f_C1R(const float* pSrc, int srcStep, float** ppDst, ImageSize roiSize, const float* pKernel, int kernelSize, int xAnchor, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_32f_C3R(const float* pSrc, int srcStep, float** ppDst, ImageSize roiSize, const float* pKernel, int kernelSize, int xAnchor, BorderKind borderType, const float* borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_16s_C1R(const int16_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_16s_C3R(const int16_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, const int16_t* borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_8u16s_C3R(const uint8_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, const uint8_t* borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_Low_16s_C1R(const int16_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterRowBorderPipeline_Low_16s_C3R(const int16_t* pSrc, int srcStep, int16_t** ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int xAnchor, BorderKind borderType, const int16_t* borderValue, int divisor, uint8_t* pBuffer);
/** @} */

/** @{ */
/** Work-buffer sizes of the row pass for (roiSize, kernelSize): depends on the
 *  maximum worker count at query time, which must not grow before the call.
 *  -8 null pBufferSize; -6 size or kernelSize < 1, or a size above INT32_MAX. */
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_32f_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_32f_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_8u16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_8u16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterRowBorderPipelineGetBufferSize_Low_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
/** @} */

/** @name Separable pipeline: column pass
 *  @{ */
/** `zaliFilterColumnPipeline_<T>_C1R`(ppSrc, pDst, dstStep, roiSize, pKernel,
 *      kernelSize, [divisor,] pBuffer)
 *  Output row y = sum_k pKernel[k] * row ppSrc[y + k] (roiSize.height +
 *  kernelSize - 1 input rows). C3R filters 3 * width samples per row.
 *  Results: 32f none; 16s, 16s8u, 16s8s float sum times (1/divisor), clamped
 *  to the destination range, truncated; Low_16s integer sum times 1/divisor in
 *  float, truncated, low 16 bits (wraps).
 *  Statuses: -8 null ppSrc/pDst/pKernel; -6 size or kernelSize < 1; -14
 *  dstStep; -108 misaligned 16s/32f dstStep; -8 null pBuffer; -5 divisor 0;
 *  -8 any null input row pointer (nothing written). */
ZALCV_API StatusCode zaliFilterColumnPipeline_32f_C1R(const float** ppSrc, float* pDst, int dstStep, ImageSize roiSize, const float* pKernel, int kernelSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_32f_C3R(const float** ppSrc, float* pDst, int dstStep, ImageSize roiSize, const float* pKernel, int kernelSize, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s_C1R(const int16_t** ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s_C3R(const int16_t** ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s8u_C1R(const int16_t** ppSrc, uint8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s8u_C3R(const int16_t** ppSrc, uint8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s8s_C1R(const int16_t** ppSrc, int8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_16s8s_C3R(const int16_t** ppSrc, int8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_Low_16s_C1R(const int16_t** ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterColumnPipeline_Low_16s_C3R(const int16_t** ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
/** @} */

/** @{ */
/** Work-buffer sizes of the column pass; as for the row pass. */
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_32f_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_32f_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s8u_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s8u_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s8s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_16s8s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_Low_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterColumnPipelineGetBufferSize_Low_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
/** @} */

/** @name Fixed derivative and smoothing filters with border
 *  @{ */
/** `zaliFilter<Op>Border_<T>_C1R`(pSrc, srcStep, pDst, dstStep, roiSize, mask,
 *      borderType, borderValue, [divisor,] pBuffer)
 *  Separable built-in kernels (correlation, column kernel applied top to
 *  bottom, row kernel left to right), 3x3 (mask 33) or 5x5 (mask 55):
 *    SobelHoriz    row 1 2 1 | column -1 0 1       (positive for a ramp rising downward)
 *    SobelVert     row 1 0 -1 | column 1 2 1        SobelNegVert: its negation
 *    SobelHorizSecond  row 1 2 1 | column 1 -2 1    SobelVertSecond: transposed
 *    SobelCross    row 1 0 -1 | column -1 0 1
 *    ScharrHoriz   row 3 10 3 | column -1 0 1        ScharrVert: transposed (3x3 only, no mask)
 *    Laplacian     3x3 [2 0 2; 0 -8 0; 2 0 2]; 5x5 Sobel x D2x + D2x x Sobel
 *    Lowpass       box mean: 32f sum * 0.11111111 (0.04); 8u (S*7280+36400)>>16
 *                  for 3x3, (S*2621)>>16 for 5x5
 *  (the 5x5 kernels use 1 4 6 4 1, -1 -2 0 2 1 and 1 0 -2 0 1).
 *  The border rule applies horizontally and vertically; BorderConstant stands
 *  for rows and columns of borderValue. 8u16s results are exact; 8u8s scale the
 *  16-bit result by 1/divisor in float, clamp to -128..127 and truncate.
 *  Statuses: -8 null pSrc/pDst/pBuffer; -6 width or height < 1; -14 a step
 *  shorter than a row; -108 a 16s/32f step not a multiple of the element;
 *  -5 borderType outside 0..4; -5 divisor 0 (8u8s); -33 mask not 33/55.
 *  Results do not depend on the worker count. */
ZALCV_API StatusCode zaliFilterSobelHorizBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelHorizBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelHorizBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelNegVertBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelNegVertBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelNegVertBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelHorizSecondBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelHorizSecondBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelHorizSecondBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertSecondBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertSecondBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelVertSecondBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelCrossBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelCrossBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterSobelCrossBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrHorizBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrHorizBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrHorizBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrVertBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrVertBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterScharrVertBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterLaplacianBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterLaplacianBorder_8u8s_C1R(const uint8_t* pSrc, int srcStep, int8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterLaplacianBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterLowpassBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, uint8_t borderValue, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterLowpassBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ApertureSize mask, BorderKind borderType, float borderValue, uint8_t* pBuffer);
/** @} */

/** @{ */
/** Work-buffer sizes of the fixed filters for (roiSize, mask): they depend on
 *  the maximum worker count at query time, which must not grow before the
 *  call. -8 null pBufferSize; -6 width or height < 1, or a size above
 *  INT32_MAX; -33 mask not 33/55 (the Scharr queries take no mask). */
ZALCV_API StatusCode zaliFilterSobelHorizGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelHorizGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelHorizGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelNegVertGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelNegVertGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelNegVertGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelHorizSecondGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelHorizSecondGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelHorizSecondGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertSecondGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertSecondGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelVertSecondGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelCrossGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelCrossGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterSobelCrossGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrHorizGetBufferSize_8u16s_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrHorizGetBufferSize_8u8s_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrHorizGetBufferSize_32f_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrVertGetBufferSize_8u16s_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrVertGetBufferSize_8u8s_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterScharrVertGetBufferSize_32f_C1R(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterLaplacianGetBufferSize_8u16s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterLaplacianGetBufferSize_8u8s_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterLaplacianGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterLowpassGetBufferSize_8u_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
ZALCV_API StatusCode zaliFilterLowpassGetBufferSize_32f_C1R(ImageSize roiSize, ApertureSize mask, int* pBufferSize);
/** @} */

/** @{ */
/** Sobel-type kernel of odd length kernelSize and derivative order dx: the
 *  coefficients of (1+z)^(kernelSize-1-dx) (z-1)^dx, negated when sign < 0
 *  (3, 1 gives -1 0 1; 5, 2 gives 1 0 -2 0 1). 16s taps wrap for very long
 *  kernels. -8 null pDst; -6 kernelSize < 1 or even, dx < 0 or dx >= kernelSize. */
ZALCV_API StatusCode zaliGenSobelKernel_16s(int16_t* pDst, int kernelSize, int dx, int sign);
ZALCV_API StatusCode zaliGenSobelKernel_32f(float* pDst, int kernelSize, int dx, int sign);
/** @} */

/** @name Rectangular minimum / maximum filters with replicated border
 *  @{ */
/** dst(x, y) = min (max) over the maskSize window placed with `anchor` on (x, y) of the
 *  source, pixels beyond the ROI repeating the nearest edge pixel; every channel of C3/C4
 *  is filtered. pSrc and pDst are different images of the ROI size; pBuffer holds the
 *  bytes reported by the matching GetBufferSize query for the ROI width and mask.
 *  Checks: null pointer -8; ROI < 1 -6; mask width/height < 1 -33; anchor outside the mask
 *  -34; a step shorter than a ROI row -14 (8u: both steps in one test); 32f: each step's
 *  length then its multiple of 4 (-108), source first. Steps are positive. */
ZALCV_API StatusCode zaliFilterMinBorderReplicate_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMinBorderReplicate_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMinBorderReplicate_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMinBorderReplicate_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMinBorderReplicate_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMinBorderReplicate_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
ZALCV_API StatusCode zaliFilterMaxBorderReplicate_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, ImageSize maskSize, ImagePoint anchor, uint8_t* pBuffer);
/** @} */

/** @{ */
/** Work-buffer bytes of the filters above for ROI rows of roiWidth pixels and maskSize
 *  (Min and Max report the same): 16*mh + 2*mh*(roiWidth*pixelBytes + 32) + 32.
 *  Checks: null pBufferSize -8; roiWidth < 1 -6; mask width/height < 1 -33; a size beyond
 *  a signed 32-bit int -6. */
ZALCV_API StatusCode zaliFilterMinGetBufferSize_8u_C1R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMinGetBufferSize_8u_C3R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMinGetBufferSize_8u_C4R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMinGetBufferSize_32f_C1R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMinGetBufferSize_32f_C3R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMinGetBufferSize_32f_C4R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_8u_C1R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_8u_C3R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_8u_C4R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_32f_C1R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_32f_C3R(int roiWidth, ImageSize maskSize, int* pBufferSize);
ZALCV_API StatusCode zaliFilterMaxGetBufferSize_32f_C4R(int roiWidth, ImageSize maskSize, int* pBufferSize);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
