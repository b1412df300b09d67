/* zalcv: filter operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_FILTER_H
#define ZALCV_FILTER_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Rectangular minimum / maximum filters with replicated border -----------------
   dst(x, y) = min (max) over the maskSize window placed with `anchor` on (x, y) of the
   source, pixels beyond the ROI repeating the nearest edge pixel; every channel of C3/C4
   is filtered. pSrc and pDst are different images of the ROI size; pBuffer holds the
   bytes reported by the matching GetBufferSize query for the ROI width and mask.
   Checks: null pointer -8; ROI < 1 -6; mask width/height < 1 -33; anchor outside the mask
   -34; a step shorter than a ROI row -14 (8u: both steps in one test); 32f: each step's
   length then its multiple of 4 (-108), source first. Steps are positive. */
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

/* Work-buffer bytes of the filters above for ROI rows of roiWidth pixels and maskSize
   (Min and Max report the same): 16*mh + 2*mh*(roiWidth*pixelBytes + 32) + 32.
   Checks: null pBufferSize -8; roiWidth < 1 -6; mask width/height < 1 -33; a size beyond
   a signed 32-bit int -6. */
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

#ifdef __cplusplus
}
#endif

#endif
