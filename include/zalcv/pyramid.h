/* zalcv: pyramid operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_PYRAMID_H
#define ZALCV_PYRAMID_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Gaussian 5x5 pyramid levels ------------------------------------------
   roiSize is always the SOURCE size W x H. PyrDown writes ceil(W/2) x ceil(H/2)
   pixels (output (i, j) centred on source (2i, 2j)); PyrUp writes 2W x 2H.
   Kernel (1 4 6 4 1) in both directions (scaled by 4 for PyrUp), border by
   reflection without repeating the edge pixel. Integer results are
   (v + 128) >> 8 (down) or (v + 32) >> 6 (up) kept in the low byte; 32f
   results are v * (1/256) or v * (1/64).
   pBuffer: at least the bytes reported by the matching GetBufSize query.
   Statuses: a null pointer -8; W or H < 1 -6; a step below its row length
   -14; 32f step not a multiple of 4 -108. */
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
/* Scratch size in bytes for a source width, data-type code (1 8u, 2 8s,
   9 32f) and channel count (1 or 3): pad16(4 W c) * 6 + 32 for PyrDown,
   pad16(8 W c) * 3 + 32 for PyrUp. Statuses: null pBufSize -8; width < 1 -6;
   channels not 1 or 3 -53; unknown type code -12; a size beyond 32 bits -6. */
ZALCV_API StatusCode zaliPyrDownGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize);
ZALCV_API StatusCode zaliPyrUpGetBufSize_Gauss5x5(int roiWidth, int dataType, int channels, int* pBufSize);

/* ---- Sub-pixel rectangle copy (one channel) ----------------------------------
   CopySubpix: destination pixel (x, y) interpolates source pixels (x, y),
   (x+1, y), (x, y+1), (x+1, y+1) with the fractions of dx and dy (in [0, 1)),
   so the source block read is one column and one row larger than roiSize.
   CopySubpixIntersect: the roiSize-sized block centred on (pointX, pointY)
   is clipped to the source; pMin..pMax (inclusive) receive the destination
   columns (x) and rows (y) interpolated from four genuine source pixels
   (pMax = -1 in a coordinate where none are); outside that range the nearest
   border pixels are replicated, interpolating only along the free direction.
   Weights: Q14 for 8u sources ((... + 8192) >> 14; 8u16u: (... +
   2^(scaleFactor+13)) >> (scaleFactor+14), not saturated), Q15 for 16u
   (saturated to 65535), single precision for 32f destinations.
   Statuses: a null pointer -8; a width or height < 1 -6; a step below its row
   length -14; a 16u or 32f step not a multiple of its element size -108. */
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

#ifdef __cplusplus
}
#endif

#endif
