/** @file
 *  @brief zalcv: feature operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_FEATURE_H
#define ZALCV_FEATURE_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Canny edge detector
 *  @{ */
/** `zaliCanny_<T>8u_C1R`(pSrcDx, srcDxStep, pSrcDy, srcDyStep, pDstEdges,
 *      dstEdgeStep, roiSize, lowThresh, highThresh, pBuffer)
 *  Edge map from horizontal and vertical derivative images: magnitude
 *  |dx| + |dy| (16s: integer, kept only above trunc(lowThresh); 32f: summed in
 *  double, kept only above lowThresh), non-maximum suppression along the
 *  direction quantised to horizontal, vertical or one of the diagonals (equal
 *  neighbours: the left or upper pixel of a horizontal or vertical pair
 *  survives, neither of a diagonal pair), then hysteresis: a surviving pixel
 *  above highThresh is an edge, and so is every surviving pixel 8-connected to
 *  an edge. pDstEdges gets 255 on edges and 0 elsewhere.
 *  Statuses: -8 null pointer; -6 width or height < 1; -14 a derivative step
 *  shorter than a row, or dstEdgeStep < width; -108 a derivative step not a
 *  multiple of the element size; -5 lowThresh < 0 or NaN, or
 *  highThresh < lowThresh. pBuffer: at least zaliCannyGetSize bytes.
 *  Runs on the calling thread. */
ZALCV_API StatusCode zaliCanny_16s8u_C1R(const int16_t* pSrcDx, int srcDxStep, const int16_t* pSrcDy, int srcDyStep, uint8_t* pDstEdges, int dstEdgeStep, ImageSize roiSize, float lowThresh, float highThresh, uint8_t* pBuffer);
ZALCV_API StatusCode zaliCanny_32f8u_C1R(const float* pSrcDx, int srcDxStep, const float* pSrcDy, int srcDyStep, uint8_t* pDstEdges, int dstEdgeStep, ImageSize roiSize, float lowThresh, float highThresh, uint8_t* pBuffer);
/** @} */
/** Work-buffer size for roiSize (both input types): -8 null pBufferSize; -6
 *  width or height < 1, or a size above INT32_MAX. */
ZALCV_API StatusCode zaliCannyGetSize(ImageSize roiSize, int* pBufferSize);

/** `zaliMinEigenVal_<T>_C1R` / `zaliEigenValsVecs_<T>_C1R`(pSrc, srcStep, pDst,
 *      dstStep, roiSize, kernType, apertureSize, avgWindow, pBuffer)
 *  Structure tensor of the derivatives Gx, Gy (Sobel with apertureSize 3 or
 *  5, or Scharr 3x3; replicated border), each product averaged over an
 *  avgWindow x avgWindow box (3 or 5; replicated border) and scaled by
 *  1/(255 * 4^(apertureSize - 1)) (Scharr: times 0.6125 more).
 *  MinEigenVal writes the smaller eigenvalue per pixel; EigenValsVecs writes
 *  six floats per pixel: l1 >= l2, then the unit eigenvectors (x1, y1) of l1
 *  and (x2, y2) of l2 (all six 0 where the tensor is degenerate, (1, 0) and
 *  (0, 1) where it is nearly diagonal).
 *  Statuses: -8 null pSrc/pDst/pBuffer; -6 width or height < 1; -14 srcStep
 *  shorter than a source row or dstStep shorter than 4 (MinEigenVal) or 24
 *  (EigenValsVecs) bytes per pixel; -108 dstStep (32f input: either step) not
 *  a multiple of 4; -5 kernType not DerivKernelSobel/DerivKernelScharr; -6
 *  apertureSize not 3/5 (Scharr: not 3) or avgWindow not 3/5; the status of a
 *  failing inner filter as is. pBuffer: at least the size the matching query
 *  reports, which depends on the maximum worker count at query time. */
typedef enum DerivKernelType ZALCV_ENUM_BASE { DerivKernelSobel = 0, DerivKernelScharr = 1 } DerivKernelType;
/** @name Corner measures
 *  @{ */
/** Corner measures and their work-buffer queries: described with DerivKernelType. */
ZALCV_API StatusCode zaliMinEigenVal_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer);
ZALCV_API StatusCode zaliMinEigenVal_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer);
ZALCV_API StatusCode zaliEigenValsVecs_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer);
ZALCV_API StatusCode zaliEigenValsVecs_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, DerivKernelType kernType, int apertureSize, int avgWindow, uint8_t* pBuffer);
/** @} */
/** @{ */
/** Work-buffer sizes for (roiSize, apertureSize, avgWindow), valid for both
 *  kernel types: -8 null pBufferSize; -6 width or height < 1, apertureSize or
 *  avgWindow not 3/5, or a size above INT32_MAX. */
ZALCV_API StatusCode zaliMinEigenValGetBufferSize_8u32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize);
ZALCV_API StatusCode zaliMinEigenValGetBufferSize_32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize);
ZALCV_API StatusCode zaliEigenValsVecsGetBufferSize_8u32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize);
ZALCV_API StatusCode zaliEigenValsVecsGetBufferSize_32f_C1R(ImageSize roiSize, int apertureSize, int avgWindow, int* pBufferSize);
/** @} */

/** `zaliGradientColorToGray_<T>_C3C1R`(pSrc, srcStep, pDst, dstStep, roiSize,
 *      norm): one channel from the three of each pixel.
 *    GradientNormMax     largest channel (32f: largest absolute value)
 *    GradientNormSum     8u ((c0+c1+c2)*1365 + 2048) >> 12, 16u
 *                        ((c0+c1+c2)*5461 + 8192) >> 14, 32f |c0|+|c1|+|c2|
 *    GradientNormEuclid  integers sqrt((c0^2+c1^2+c2^2)/3) rounded half up,
 *                        32f sqrt(c0^2+c1^2+c2^2)
 *  Statuses: -8 null pointer; -6 width or height < 1; -14 srcStep < 3 pixels
 *  or dstStep < 1 pixel per column; -108 (16u, 32f) a step not a multiple of
 *  the element size; -5 norm outside 0..2. */
typedef enum GradientNorm ZALCV_ENUM_BASE { GradientNormMax = 0, GradientNormSum = 1, GradientNormEuclid = 2 } GradientNorm;
/** @name Colour gradient to gray
 *  @{ */
/** One gray channel from a three-channel gradient: described with GradientNorm. */
ZALCV_API StatusCode zaliGradientColorToGray_8u_C3C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, GradientNorm norm);
ZALCV_API StatusCode zaliGradientColorToGray_16u_C3C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, GradientNorm norm);
ZALCV_API StatusCode zaliGradientColorToGray_32f_C3C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, GradientNorm norm);
/** @} */

/** @name Fast arctangent
 *  @{ */
/** zalibFastArctan_32f(pSrcY, pSrcX, pDst, len): pDst[i] = direction of the
 *  vector (pSrcX[i], pSrcY[i]) in degrees, within about 0.14 degrees, in
 *  [-0.1405, 360.1405]. Signed zeros count as negative for the octant (so
 *  (y, x) = (+0, -1) gives 180.1405); the zero vector gives -0.1405. pDst may
 *  alias either source. Statuses: -8 null pointer; -6 len < 1. */
ZALCV_API StatusCode zalibFastArctan_32f(const float* pSrcY, const float* pSrcX, float* pDst, int len);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
