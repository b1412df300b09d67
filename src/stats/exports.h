// Every export of the statistics family, once. One list per shape of
// prototype; a row is one export, its name first, then what the shape's
// wrapper needs. The wrappers, the internal instantiations and the tests' and
// benchmarks' member lists all expand these lists (see core/export.h).
#pragma once

// ---- Accumulation into a 32f image -------------------------------------------------

// One source (pSrc, srcStep, [pMask, maskStep,] pSrcDst, srcDstStep, roiSize):
// (name, operation, source type). There is no unmasked 32f Add.
#define ZAL_STATS_ACCUMULATE(X)                                                                              \
    X(zaliAdd_8u32f_C1IR, Add, uint8_t) X(zaliAdd_8s32f_C1IR, Add, int8_t) X(zaliAdd_16u32f_C1IR, Add, uint16_t) \
    X(zaliAddSquare_8u32f_C1IR, Square, uint8_t) X(zaliAddSquare_8s32f_C1IR, Square, int8_t)                   \
    X(zaliAddSquare_16u32f_C1IR, Square, uint16_t) X(zaliAddSquare_32f_C1IR, Square, float)
#define ZAL_STATS_ACCUMULATE_MASKED(X)                                                                        \
    X(zaliAdd_8u32f_C1IMR, Add, uint8_t) X(zaliAdd_8s32f_C1IMR, Add, int8_t)                                  \
    X(zaliAdd_16u32f_C1IMR, Add, uint16_t) X(zaliAdd_32f_C1IMR, Add, float)                                   \
    X(zaliAddSquare_8u32f_C1IMR, Square, uint8_t) X(zaliAddSquare_8s32f_C1IMR, Square, int8_t)                \
    X(zaliAddSquare_16u32f_C1IMR, Square, uint16_t) X(zaliAddSquare_32f_C1IMR, Square, float)
// Two sources: (name, source type)
#define ZAL_STATS_ADD_PRODUCT(X)                                                                              \
    X(zaliAddProduct_8u32f_C1IR, uint8_t) X(zaliAddProduct_8s32f_C1IR, int8_t)                                \
    X(zaliAddProduct_16u32f_C1IR, uint16_t) X(zaliAddProduct_32f_C1IR, float)
#define ZAL_STATS_ADD_PRODUCT_MASKED(X)                                                                       \
    X(zaliAddProduct_8u32f_C1IMR, uint8_t) X(zaliAddProduct_8s32f_C1IMR, int8_t)                              \
    X(zaliAddProduct_16u32f_C1IMR, uint16_t) X(zaliAddProduct_32f_C1IMR, float)
// One source and alpha after the ROI size: (name, source type)
#define ZAL_STATS_ADD_WEIGHTED(X)                                                                             \
    X(zaliAddWeighted_8u32f_C1IR, uint8_t) X(zaliAddWeighted_8s32f_C1IR, int8_t)                              \
    X(zaliAddWeighted_16u32f_C1IR, uint16_t) X(zaliAddWeighted_32f_C1IR, float)
#define ZAL_STATS_ADD_WEIGHTED_MASKED(X)                                                                      \
    X(zaliAddWeighted_8u32f_C1IMR, uint8_t) X(zaliAddWeighted_8s32f_C1IMR, int8_t)                            \
    X(zaliAddWeighted_16u32f_C1IMR, uint16_t) X(zaliAddWeighted_32f_C1IMR, float)

// ---- Masked mean, mean and deviation, extremes: (name, source type) ----------------

// One channel (C1), or channel coi of three (C3C); masked (M) or not.
#define ZAL_STATS_MEAN_C1M(X) \
    X(zaliMean_8u_C1MR, uint8_t) X(zaliMean_8s_C1MR, int8_t) X(zaliMean_16u_C1MR, uint16_t) X(zaliMean_32f_C1MR, float)
#define ZAL_STATS_MEAN_C3M(X)                                                                                 \
    X(zaliMean_8u_C3CMR, uint8_t) X(zaliMean_8s_C3CMR, int8_t) X(zaliMean_16u_C3CMR, uint16_t)                \
    X(zaliMean_32f_C3CMR, float)

#define ZAL_STATS_MEAN_STDDEV_C1(X)                                                                           \
    X(zaliMean_StdDev_8u_C1R, uint8_t) X(zaliMean_StdDev_8s_C1R, int8_t) X(zaliMean_StdDev_16u_C1R, uint16_t) \
    X(zaliMean_StdDev_32f_C1R, float)
#define ZAL_STATS_MEAN_STDDEV_C3(X)                                                                           \
    X(zaliMean_StdDev_8u_C3CR, uint8_t) X(zaliMean_StdDev_8s_C3CR, int8_t)                                    \
    X(zaliMean_StdDev_16u_C3CR, uint16_t) X(zaliMean_StdDev_32f_C3CR, float)
#define ZAL_STATS_MEAN_STDDEV_C1M(X)                                                                          \
    X(zaliMean_StdDev_8u_C1MR, uint8_t) X(zaliMean_StdDev_8s_C1MR, int8_t)                                    \
    X(zaliMean_StdDev_16u_C1MR, uint16_t) X(zaliMean_StdDev_32f_C1MR, float)
#define ZAL_STATS_MEAN_STDDEV_C3M(X)                                                                          \
    X(zaliMean_StdDev_8u_C3CMR, uint8_t) X(zaliMean_StdDev_8s_C3CMR, int8_t)                                  \
    X(zaliMean_StdDev_16u_C3CMR, uint16_t) X(zaliMean_StdDev_32f_C3CMR, float)

#define ZAL_STATS_MINMAX_C1(X)                                                                                \
    X(zaliMinMaxIndx_8u_C1R, uint8_t) X(zaliMinMaxIndx_8s_C1R, int8_t) X(zaliMinMaxIndx_16u_C1R, uint16_t)    \
    X(zaliMinMaxIndx_32f_C1R, float)
#define ZAL_STATS_MINMAX_C3(X)                                                                                \
    X(zaliMinMaxIndx_8u_C3CR, uint8_t) X(zaliMinMaxIndx_8s_C3CR, int8_t) X(zaliMinMaxIndx_16u_C3CR, uint16_t) \
    X(zaliMinMaxIndx_32f_C3CR, float)
#define ZAL_STATS_MINMAX_C1M(X)                                                                               \
    X(zaliMinMaxIndx_8u_C1MR, uint8_t) X(zaliMinMaxIndx_8s_C1MR, int8_t)                                      \
    X(zaliMinMaxIndx_16u_C1MR, uint16_t) X(zaliMinMaxIndx_32f_C1MR, float)
#define ZAL_STATS_MINMAX_C3M(X)                                                                               \
    X(zaliMinMaxIndx_8u_C3CMR, uint8_t) X(zaliMinMaxIndx_8s_C3CMR, int8_t)                                    \
    X(zaliMinMaxIndx_16u_C3CMR, uint16_t) X(zaliMinMaxIndx_32f_C3CMR, float)

// ---- Masked norms: (name, kind, source type, thread gate) ---------------------------
// The gates are the published per-member rules (see Gate in stats/ops.h).

#define ZAL_STATS_NORM_C1(X)                                                                                  \
    X(zaliNorm_Inf_8u_C1MR, Inf, uint8_t, T19) X(zaliNorm_Inf_8s_C1MR, Inf, int8_t, T19)                      \
    X(zaliNorm_Inf_16u_C1MR, Inf, uint16_t, T19) X(zaliNorm_Inf_32f_C1MR, Inf, float, T17)                    \
    X(zaliNorm_L1_8u_C1MR, L1, uint8_t, T17Multi) X(zaliNorm_L1_8s_C1MR, L1, int8_t, T17Multi)                \
    X(zaliNorm_L1_16u_C1MR, L1, uint16_t, T17) X(zaliNorm_L1_32f_C1MR, L1, float, T17)                        \
    X(zaliNorm_L2_8u_C1MR, L2, uint8_t, T17Multi) X(zaliNorm_L2_8s_C1MR, L2, int8_t, T17Multi)                \
    X(zaliNorm_L2_16u_C1MR, L2, uint16_t, T17) X(zaliNorm_L2_32f_C1MR, L2, float, T17)
#define ZAL_STATS_NORM_C3(X)                                                                                  \
    X(zaliNorm_Inf_8u_C3CMR, Inf, uint8_t, T17) X(zaliNorm_Inf_8s_C3CMR, Inf, int8_t, T17)                    \
    X(zaliNorm_Inf_16u_C3CMR, Inf, uint16_t, T17) X(zaliNorm_Inf_32f_C3CMR, Inf, float, T15)                  \
    X(zaliNorm_L1_8u_C3CMR, L1, uint8_t, T17) X(zaliNorm_L1_8s_C3CMR, L1, int8_t, T17)                        \
    X(zaliNorm_L1_16u_C3CMR, L1, uint16_t, T17) X(zaliNorm_L1_32f_C3CMR, L1, float, T17)                      \
    X(zaliNorm_L2_8u_C3CMR, L2, uint8_t, T15MultiOrT17) X(zaliNorm_L2_8s_C3CMR, L2, int8_t, T15MultiOrT17)    \
    X(zaliNorm_L2_16u_C3CMR, L2, uint16_t, T15MultiOrT17) X(zaliNorm_L2_32f_C3CMR, L2, float, T15MultiOrT17)

#define ZAL_STATS_NORM_DIFF_C1(X)                                                                             \
    X(zaliNormDiff_Inf_8u_C1MR, Inf, uint8_t, Never) X(zaliNormDiff_Inf_8s_C1MR, Inf, int8_t, Never)          \
    X(zaliNormDiff_Inf_16u_C1MR, Inf, uint16_t, Never) X(zaliNormDiff_Inf_32f_C1MR, Inf, float, Never)        \
    X(zaliNormDiff_L1_8u_C1MR, L1, uint8_t, T17Multi) X(zaliNormDiff_L1_8s_C1MR, L1, int8_t, T17Multi)        \
    X(zaliNormDiff_L1_16u_C1MR, L1, uint16_t, T17) X(zaliNormDiff_L1_32f_C1MR, L1, float, Never)              \
    X(zaliNormDiff_L2_8u_C1MR, L2, uint8_t, T17Multi) X(zaliNormDiff_L2_8s_C1MR, L2, int8_t, T17Multi)        \
    X(zaliNormDiff_L2_16u_C1MR, L2, uint16_t, T17) X(zaliNormDiff_L2_32f_C1MR, L2, float, Never)
#define ZAL_STATS_NORM_DIFF_C3(X)                                                                             \
    X(zaliNormDiff_Inf_8u_C3CMR, Inf, uint8_t, Never) X(zaliNormDiff_Inf_8s_C3CMR, Inf, int8_t, Never)        \
    X(zaliNormDiff_Inf_16u_C3CMR, Inf, uint16_t, Never) X(zaliNormDiff_Inf_32f_C3CMR, Inf, float, Never)      \
    X(zaliNormDiff_L1_8u_C3CMR, L1, uint8_t, T17) X(zaliNormDiff_L1_8s_C3CMR, L1, int8_t, T15Multi)           \
    X(zaliNormDiff_L1_16u_C3CMR, L1, uint16_t, T15Multi) X(zaliNormDiff_L1_32f_C3CMR, L1, float, Never)       \
    X(zaliNormDiff_L2_8u_C3CMR, L2, uint8_t, T17) X(zaliNormDiff_L2_8s_C3CMR, L2, int8_t, T17)                \
    X(zaliNormDiff_L2_16u_C3CMR, L2, uint16_t, T15MultiOrT17) X(zaliNormDiff_L2_32f_C3CMR, L2, float, Never)

#define ZAL_STATS_NORM_REL_C1(X)                                                                              \
    X(zaliNormRel_Inf_8u_C1MR, Inf, uint8_t, T17Multi) X(zaliNormRel_Inf_8s_C1MR, Inf, int8_t, T17Multi)      \
    X(zaliNormRel_Inf_16u_C1MR, Inf, uint16_t, T17Multi) X(zaliNormRel_Inf_32f_C1MR, Inf, float, T15)         \
    X(zaliNormRel_L1_8u_C1MR, L1, uint8_t, Never) X(zaliNormRel_L1_8s_C1MR, L1, int8_t, T17Multi)             \
    X(zaliNormRel_L1_16u_C1MR, L1, uint16_t, T15MultiOrT17) X(zaliNormRel_L1_32f_C1MR, L1, float, Never)      \
    X(zaliNormRel_L2_8u_C1MR, L2, uint8_t, T17) X(zaliNormRel_L2_8s_C1MR, L2, int8_t, T17)                    \
    X(zaliNormRel_L2_16u_C1MR, L2, uint16_t, T15MultiOrT17) X(zaliNormRel_L2_32f_C1MR, L2, float, Never)
#define ZAL_STATS_NORM_REL_C3(X)                                                                              \
    X(zaliNormRel_Inf_8u_C3CMR, Inf, uint8_t, T15MultiOrT17) X(zaliNormRel_Inf_8s_C3CMR, Inf, int8_t, T15MultiOrT17) \
    X(zaliNormRel_Inf_16u_C3CMR, Inf, uint16_t, T15) X(zaliNormRel_Inf_32f_C3CMR, Inf, float, T15)            \
    X(zaliNormRel_L1_8u_C3CMR, L1, uint8_t, T15MultiOrT17) X(zaliNormRel_L1_8s_C3CMR, L1, int8_t, T15MultiOrT17) \
    X(zaliNormRel_L1_16u_C3CMR, L1, uint16_t, T15) X(zaliNormRel_L1_32f_C3CMR, L1, float, Never)              \
    X(zaliNormRel_L2_8u_C3CMR, L2, uint8_t, T15MultiOrT17) X(zaliNormRel_L2_8s_C3CMR, L2, int8_t, T15MultiOrT17) \
    X(zaliNormRel_L2_16u_C3CMR, L2, uint16_t, T15) X(zaliNormRel_L2_32f_C3CMR, L2, float, Never)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_STATS_EXPORTS(X)                                                                                  \
    ZAL_STATS_ACCUMULATE(X) ZAL_STATS_ACCUMULATE_MASKED(X) ZAL_STATS_ADD_PRODUCT(X)                           \
    ZAL_STATS_ADD_PRODUCT_MASKED(X) ZAL_STATS_ADD_WEIGHTED(X) ZAL_STATS_ADD_WEIGHTED_MASKED(X)                \
    ZAL_STATS_MEAN_C1M(X) ZAL_STATS_MEAN_C3M(X) ZAL_STATS_MEAN_STDDEV_C1(X) ZAL_STATS_MEAN_STDDEV_C3(X)      \
    ZAL_STATS_MEAN_STDDEV_C1M(X) ZAL_STATS_MEAN_STDDEV_C3M(X) ZAL_STATS_MINMAX_C1(X) ZAL_STATS_MINMAX_C3(X)  \
    ZAL_STATS_MINMAX_C1M(X) ZAL_STATS_MINMAX_C3M(X) ZAL_STATS_NORM_C1(X) ZAL_STATS_NORM_C3(X)                \
    ZAL_STATS_NORM_DIFF_C1(X) ZAL_STATS_NORM_DIFF_C3(X) ZAL_STATS_NORM_REL_C1(X) ZAL_STATS_NORM_REL_C3(X)
