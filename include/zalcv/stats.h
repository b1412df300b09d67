/* zalcv: stats operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_STATS_H
#define ZALCV_STATS_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Accumulation into a 32f image -------------------------------------------
   pSrcDst is a one-channel 32f accumulator of the ROI size; sources are 8u, 8s,
   16u or 32f. Every step is one single-precision operation rounded to nearest:
     Add          A = A + s              AddSquare   A = A + s * s
     AddProduct   A = A + s1 * s2        AddWeighted A = A + (s - A) * alpha
   Masked members (C1IMR) select pixels whose mask byte is non-zero. Masking is
   arithmetic: an unselected pixel receives + 0.0 (integer sources) or
   + term * 0.0 (32f sources; and (s - A) * 0.0 in AddWeighted for all types),
   so a -0.0 accumulator may become +0.0 and a non-finite 32f term turns the
   accumulator NaN even where the mask is zero.
   Status: -8 null pointer; -6 width or height below 1; -14 a step shorter than
   its row (sources, then a 16u source's odd step -108, then mask, then
   accumulator); -108 an accumulator or 32f source step not a multiple of 4. */
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
/* alpha = 1 copies the source; alpha = 0 leaves finite accumulators unchanged. */
ZALCV_API StatusCode zaliAddWeighted_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8s32f_C1IR(const int8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_8s32f_C1IMR(const int8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZALCV_API StatusCode zaliAddWeighted_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);

#ifdef __cplusplus
}
#endif

#endif
