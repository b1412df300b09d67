/** @file
 *  @brief zalcv: morph operations. Included by zalcv.h; do not include on its own. */
#ifndef ZALCV_MORPH_H
#define ZALCV_MORPH_H
#ifndef ZALCV_INSIDE_H
#error "include <zalcv.h> instead"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A MorphologyState holds a flat structuring element (mask bytes, non-zero = member),
 *  its anchor, its kernel class and a working buffer for ROIs up to roiWidth pixels wide.
 *  GetSize(roiWidth, pMask, maskSize, pSize): bytes for a state of this mask, enough for
 *    any anchor. Checks: null pMask -8; roiWidth or mask size < 1 -6; null pSize -8;
 *    a size beyond a signed 32-bit int -6.
 *  Init(roiWidth, pMask, maskSize, anchor, pState): builds the state in caller memory of
 *    at least the GetSize bytes (released by the caller). Checks: null pMask -8; sizes -6;
 *    anchor outside the mask -34; null pState -8.
 *  InitAlloc(..., ppState): the same in a block from zalsMalloc_8u (-9 when it fails),
 *    released with zaliMorphologyFree (null: -8). */
typedef struct MorphologyState MorphologyState;
/** @name Morphology states
 *  @{ */
/** Size query, construction and release of a MorphologyState: described with the type. */
ZALCV_API StatusCode zaliMorphologyGetSize_8u_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyGetSize_8u_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyGetSize_8u_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyGetSize_32f_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyGetSize_32f_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyGetSize_32f_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphologyInit_8u_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInit_8u_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInit_8u_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInit_32f_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInit_32f_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInit_32f_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState* pState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_8u_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_8u_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_8u_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_32f_C1R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_32f_C3R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyInitAlloc_32f_C4R(int roiWidth, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor, MorphologyState** ppState);
ZALCV_API StatusCode zaliMorphologyFree(MorphologyState* pState);
/** @} */

/** @name Dilation and erosion with replicated border
 *  @{ */
/** dst(x, y) = max (dilate) or min (erode) over non-zero mask (i, j) of
 *  src(clamp(x + i - ax, 0, W - 1), clamp(y + j - ay, 0, H - 1)) per channel; the mask is
 *  not mirrored. An all-zero mask copies the ROI. pSrc and pDst must not overlap; the
 *  state's working buffer is overwritten (one call per state at a time).
 *  Checks: null pSrc/pDst/pState -8; ROI < 1 -6; a step shorter than a ROI row -14;
 *  32f step not a multiple of 4 -108; border other than BorderReplicate -5; ROI wider
 *  than the state's roiWidth -6; a state built for another type or channel count -5. */
ZALCV_API StatusCode zaliDilateBorderReplicate_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliDilateBorderReplicate_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliDilateBorderReplicate_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliDilateBorderReplicate_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliDilateBorderReplicate_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliDilateBorderReplicate_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
ZALCV_API StatusCode zaliErodeBorderReplicate_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphologyState* pState);
/** @} */

/** A MorphAdvState holds two morphology states, B (mask and anchor as given) and R (mask
 *  turned by 180 degrees, anchor (mw-1-ax, mh-1-ay)), and a temporary image for ROIs up
 *  to roiSize. Open: D_R(E_B(src)); Close: E_R(D_B(src)); Tophat: src - Open;
 *  Blackhat: Close - src; Gradient: D_B(src) - E_B(src). Differences never go below 0
 *  (8u saturates, 32f values below 0 become 0). Border replicated as in dilation.
 *  GetSize(roiSize, pMask, maskSize, pSize): roi height < 1 -6; null pSize -8; null pMask
 *    -8; roi width or mask size < 1 -6; a size beyond a signed 32-bit int -6.
 *  Init(pState, roiSize, pMask, maskSize, anchor): roi height < 1 -6; null pState -8; then
 *    the morphology-state checks (anchor outside the mask -34).
 *  InitAlloc(ppState, ...): null ppState -8, the GetSize status, -9, then Init's status;
 *    release with zaliMorphAdvFree (null: -8).
 *  Operations: null -8; ROI < 1 -6; short step -14; 32f step not a multiple of 4 -108;
 *    border other than BorderReplicate -5; ROI wider than roiSize.width, or H times the
 *    temporary row step beyond the reserved temporary image, -6. One call per state at
 *    a time (shared temporary image and buffers). */
typedef struct MorphAdvState MorphAdvState;
/** @name Advanced morphology (open, close, top-hat, black-hat, gradient)
 *  @{ */
/** Open, close, top-hat, black-hat and gradient, and their states: described with MorphAdvState. */
ZALCV_API StatusCode zaliMorphAdvGetSize_8u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvGetSize_8u_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvGetSize_8u_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvGetSize_32f_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvGetSize_32f_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvGetSize_32f_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphAdvInit_8u_C1R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInit_8u_C3R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInit_8u_C4R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInit_32f_C1R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInit_32f_C3R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInit_32f_C4R(MorphAdvState* pState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_8u_C1R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_8u_C3R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_8u_C4R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_32f_C1R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_32f_C3R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvInitAlloc_32f_C4R(MorphAdvState** ppState, ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphAdvFree(MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphOpenBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphCloseBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphTophatBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphBlackhatBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
ZALCV_API StatusCode zaliMorphGradientBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphAdvState* pState);
/** @} */

/** dst(x, y) = max (dilate) or min (erode) over every kernel element (i, j) of
 *  src(clamp(x + i - ax), clamp(y + j - ay)) + k(i, j): the kernel value is added in both
 *  operations. 8u: exact sums for every int32_t kernel value (no wrap-around), maximum
 *  from 0, minimum from 255, result limited to [0, 255]; 8u kernels are int32_t.
 *  32f: float sums from -/+3.4028235e38, no limiting.
 *  GetSize(roiSize, pMask, maskSize, pSize): null -8; roi or mask size < 1 -6.
 *  Init(pState, roiSize, pMask, maskSize, anchor) / InitAlloc(ppState, ...): null -8;
 *    sizes -6; anchor outside the kernel -34; InitAlloc allocation -9. Free: null -8.
 *  Operations: null -8; ROI < 1 -6; short step -14; 32f step not a multiple of 4 -108;
 *    border other than BorderReplicate -5; ROI wider or taller than at Init -6.
 *    The state is only read: one state may serve concurrent calls. */
typedef struct MorphGrayState MorphGrayState;
/** @name Grayscale-kernel morphology (one channel)
 *  @{ */
/** Grayscale-kernel dilation and erosion, and their states: described with MorphGrayState. */
ZALCV_API StatusCode zaliMorphGrayGetSize_8u_C1R(ImageSize roiSize, const int32_t* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphGrayGetSize_32f_C1R(ImageSize roiSize, const float* pMask, ImageSize maskSize, int* pSize);
ZALCV_API StatusCode zaliMorphGrayInit_8u_C1R(MorphGrayState* pState, ImageSize roiSize, const int32_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphGrayInit_32f_C1R(MorphGrayState* pState, ImageSize roiSize, const float* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphGrayInitAlloc_8u_C1R(MorphGrayState** ppState, ImageSize roiSize, const int32_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphGrayInitAlloc_32f_C1R(MorphGrayState** ppState, ImageSize roiSize, const float* pMask, ImageSize maskSize, ImagePoint anchor);
ZALCV_API StatusCode zaliMorphGrayFree_8u_C1R(MorphGrayState* pState);
ZALCV_API StatusCode zaliMorphGrayFree_32f_C1R(MorphGrayState* pState);
ZALCV_API StatusCode zaliGrayDilateBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphGrayState* pState);
ZALCV_API StatusCode zaliGrayDilateBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphGrayState* pState);
ZALCV_API StatusCode zaliGrayErodeBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int border, MorphGrayState* pState);
ZALCV_API StatusCode zaliGrayErodeBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, int border, MorphGrayState* pState);
/** @} */

/** @name Morphological reconstruction (one channel, in place)
 *  @{ */
/** pSrc is the mask image I; pSrcDst holds the marker J on entry and the reconstruction
 *  on return: by dilation the fixpoint of J = min(dilation(J), I), by erosion of
 *  J = max(erosion(J), I), after the marker is first limited by I. norm 0: 8-neighbour
 *  (3x3) unit neighbourhood; norm 1: 4-neighbour. pBuffer: the GetBufferSize bytes
 *  (width + height + 64 for 8u, 4 * width + height + 64 for 32f).
 *  GetBufferSize: null -8; width or height < 1 -6.
 *  Reconstruct: null pSrc/pSrcDst/pBuffer -8; ROI < 1 -6; short step -14; 32f step not
 *  a multiple of 4 -108; norm other than 0 or 1 -5.
 *  32f values are compared as floats and every call returns, for any values: a NaN
 *  marker value stays NaN and never spreads to other pixels, a NaN mask value sets no
 *  limit, and +/-infinity take part like any other value. (With norm 0 a NaN in the
 *  adjacent row can also hide its row neighbours from a pixel, so next to NaN the
 *  result need not be the fixpoint of the other values.) */
ZALCV_API StatusCode zaliMorphReconstructGetBufferSize_8u_C1(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliMorphReconstructGetBufferSize_32f_C1(ImageSize roiSize, int* pBufferSize);
ZALCV_API StatusCode zaliMorphReconstructDilate_8u_C1IR(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, uint8_t* pBuffer, int norm);
ZALCV_API StatusCode zaliMorphReconstructDilate_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, uint8_t* pBuffer, int norm);
ZALCV_API StatusCode zaliMorphReconstructErode_8u_C1IR(const uint8_t* pSrc, int srcStep, uint8_t* pSrcDst, int srcDstStep, ImageSize roiSize, uint8_t* pBuffer, int norm);
ZALCV_API StatusCode zaliMorphReconstructErode_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, uint8_t* pBuffer, int norm);
/** @} */

#ifdef __cplusplus
}
#endif

#endif
