/** @file
 *  @brief zalcv: geometry operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_GEOMETRY_H
#define ZALCV_GEOMETRY_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** @name Lens undistortion
 *  @{ */
/** Pinhole camera with focal lengths (fx, fy) in pixels, principal point
 *  (cx, cy), radial coefficients k1, k2 and tangential coefficients p1, p2.
 *  Destination pixel (u, v) reads the source at
 *      xs = u + (u - cx) * R,  ys = v + (v - cy) * R,  R = k1 r^2 + k2 r^4,
 *  with r^2 = ((u - cx) / fx)^2 + ((v - cy) / fy)^2, all in single precision.
 *
 *  zaliUndistortGetSize: bytes of the optional per-column buffer for a roi of
 *  that width (24 * width rounded up to 4, plus 32 for alignment). Null pSize
 *  -8, width or height < 1 -6 (also when the size does not fit an int).
 *
 *  zaliUndistortRadial_*: bilinear interpolation of the source (same roi as the
 *  destination). Only pixels whose source position lies in
 *  [0, W - 1) x [0, H - 1) are written; the others keep their value (so the last
 *  column and row are never written, nor anything of a 1-pixel-wide or -high
 *  roi). Integer results are rounded half up. pBuffer may be null; when given it
 *  must hold zaliUndistortGetSize bytes. Statuses: null image -8, roi < 1 -6,
 *  step below the row length -14, 16u/32f step not a multiple of the element
 *  size -108, fx or fy zero or NaN -5. */
ZALCV_API StatusCode zaliUndistortGetSize(ImageSize roiSize, int* pSize);
ZALCV_API StatusCode zaliUndistortRadial_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
ZALCV_API StatusCode zaliUndistortRadial_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
ZALCV_API StatusCode zaliUndistortRadial_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
ZALCV_API StatusCode zaliUndistortRadial_16u_C3R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
ZALCV_API StatusCode zaliUndistortRadial_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
ZALCV_API StatusCode zaliUndistortRadial_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, uint8_t* pBuffer);
/** @} */
/** Source positions (xs into pxMap, ys into pyMap) for every destination pixel,
 *  unclipped: the radial model above when p1 = p2 = 0, otherwise the full model
 *  xs = u + fx p2 r^2 + (u - cx) B,  ys = v + fy p1 r^2 + (v - cy) B,
 *  B = R + 2 p1 y + 2 p2 x  (x, y the normalised coordinates).
 *  Statuses as for zaliUndistortRadial_32f_C1R. */
ZALCV_API StatusCode zaliCreateMapCameraUndistort_32f_C1R(float* pxMap, int xStep, float* pyMap, int yStep, ImageSize roiSize, float fx, float fy, float cx, float cy, float k1, float k2, float p1, float p2, uint8_t* pBuffer);

/** @name Motion history
 *  @{ */
/** In place on the 32f history: where the silhouette shows motion (8u/16u:
 *  non-zero; 32f: < 0 or > 0, so 0 and NaN are still) the history becomes
 *  timestamp; elsewhere a history below timestamp - duration becomes 0 and any
 *  other value is kept. The 8u/16u members order history values by their bit
 *  pattern (-0.0 below +0.0; a NaN with a clear sign bit is kept), the 32f member
 *  by float comparison (a NaN history is cleared). Statuses: null pointer -8,
 *  roi < 1 -6, step below the row length -14, history step (or 16u/32f
 *  silhouette step) not a multiple of the element size -108, duration negative
 *  or NaN -11. */
ZALCV_API StatusCode zaliUpdateMotionHistory_8u32f_C1IR(const uint8_t* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roiSize, float timestamp, float duration);
ZALCV_API StatusCode zaliUpdateMotionHistory_16u32f_C1IR(const uint16_t* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roiSize, float timestamp, float duration);
ZALCV_API StatusCode zaliUpdateMotionHistory_32f_C1IR(const float* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roiSize, float timestamp, float duration);
/** @} */

/** Digital straight line from (x1, y1) to (x2, y2), both end points included.
 *  The major axis is the longer one (y on ties); the minor coordinate advances
 *  when the error term drops strictly below zero, so (0,0)-(2,1) visits
 *  (0,0), (1,0), (2,1). */
typedef struct LineIterator {
    uint8_t* current;         /**< address of the current pixel */
    ptrdiff_t error;          /**< starts at the major length */
    ptrdiff_t errorRefill;    /**< 2 * major length */
    ptrdiff_t errorDecrement; /**< 2 * minor length */
    ptrdiff_t minorStep;      /**< bytes of one step along the minor axis */
    ptrdiff_t majorStep;      /**< bytes of one step along the major axis */
} LineIterator;
/** @name Line iterator and line sampling
 *  @{ */
/** Fills *pIterator for the line starting at pImage + y1 * step + x1 * pixelSize
 *  and returns the number of points (major length + 1). Returns -1 and leaves
 *  the iterator alone when pIterator is null or the count does not fit an int.
 *  No bounds are tested. Advance: e = error - errorDecrement; if e < 0 then
 *  error = e + errorRefill and current += majorStep + minorStep, else
 *  error = e and current += majorStep. */
ZALCV_API int _zlcvInitLineIterator(uint8_t* pImage, int step, int pixelSize, int x1, int y1, int x2, int y2, LineIterator* pIterator);
/** @} */
/** @{ */
/** Copies the pixels of the line from point1 to point2 (all channels) packed into
 *  pDst, which must hold major length + 1 pixels. Statuses: null pointer -8,
 *  roi < 1 -6, step below the row length -14, 16u/32f step not a multiple of the
 *  element size -108, a point outside the roi -11, a negative point count -2. */
ZALCV_API StatusCode zaliSampleLine_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, uint8_t* pDst, ImagePoint point1, ImagePoint point2);
ZALCV_API StatusCode zaliSampleLine_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, uint8_t* pDst, ImagePoint point1, ImagePoint point2);
ZALCV_API StatusCode zaliSampleLine_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, uint16_t* pDst, ImagePoint point1, ImagePoint point2);
ZALCV_API StatusCode zaliSampleLine_16u_C3R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, uint16_t* pDst, ImagePoint point1, ImagePoint point2);
ZALCV_API StatusCode zaliSampleLine_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, float* pDst, ImagePoint point1, ImagePoint point2);
ZALCV_API StatusCode zaliSampleLine_32f_C3R(const float* pSrc, int srcStep, ImageSize roiSize, float* pDst, ImagePoint point1, ImagePoint point2);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
