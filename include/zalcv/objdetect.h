/* zalcv: objdetect operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_OBJDETECT_H
#define ZALCV_OBJDETECT_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Integral images ---------------------------------------------------------
   Upright tables are (W + 1) x (H + 1): row 0 and column 0 hold val (valSqr),
   entry (y, x) is val + the sum (of squares) of the source pixels in rows
   0..y-1 and columns 0..x-1. Tilted tables are (W + 2) x (H + 2): rows 0 and
   1 hold val, row j + 2 sums a 45-degree cone of source rows 0..j; the pixel
   right of the region is taken as 0. 32s tables wrap; 32f sums add the
   integer row sum converted to float; 64f square tables add in double.
   Statuses: a null pointer -8; W or H < 1 -6; srcStep < W, a 32-bit table
   step < 4 (W + 1) (tilted: 4 W + 8) or a 64-bit one < 8 (W + 1) (tilted:
   8 W + 16) -14; a table step not a multiple of its element size -108.
   Negative steps are rejected by the length test. */
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

/* ---- Window standard deviation ----------------------------------------------
   For every output position (px, py) of roiSize, the standard deviation of
   the pixels of a window read from a sum table and a square-sum table whose
   pointers address the entry of output (0, 0). Upright window: table rows
   py + rect.y .. + rect.height, columns px + rect.x .. + rect.width
   (N = width * height pixels). Tilted window: top corner at row
   py + rect.x + rect.y, column px + rect.x - rect.y (N = 2 * width * height).
   A non-positive variance gives exactly 0. The Sfs members store
   trunc(sd * 2^-scaleFactor + 0.5) (shift count modulo 32), saturated at
   INT32_MAX. The caller guarantees every corner lies inside the tables.
   Statuses: a null pointer -8; W or H < 1 -6; dstStep < 4 W or a table step
   below (element size) * (W + rect.x + rect.width) (tilted:
   rect.x + rect.y + rect.width + rect.height + W - 1 elements) -14; a step not
   a multiple of its element size -108; rect.x or rect.y < 0, rect.width or
   rect.height < 1 -6. */
ZALCV_API StatusCode zaliRectStdDev_32f_C1R(const float* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliRectStdDev_32s32f_C1R(const int32_t* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliRectStdDev_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pSqr, int sqrStep, int32_t* pDst, int dstStep, ImageSize roiSize, ImageRect rect, int scaleFactor);
ZALCV_API StatusCode zaliTiltedRectStdDev_32f_C1R(const float* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliTiltedRectStdDev_32s32f_C1R(const int32_t* pSrc, int srcStep, const double* pSqr, int sqrStep, float* pDst, int dstStep, ImageSize roiSize, ImageRect rect);
ZALCV_API StatusCode zaliTiltedRectStdDev_32s_C1RSfs(const int32_t* pSrc, int srcStep, const int32_t* pSqr, int sqrStep, int32_t* pDst, int dstStep, ImageSize roiSize, ImageRect rect, int scaleFactor);

#ifdef __cplusplus
}
#endif

#endif
