// Every export of the core family, once. One list per shape of prototype; a
// row is one export, its name first, then what the shape's wrapper needs.
// The wrappers, the internal instantiations and the tests' member lists all
// expand these lists (see core/export.h).
#pragma once

// ---- Identity, allocator and vector helpers ----------------------------------

// Written out in their own files: (name)
#define ZAL_CORE_SINGLE(X)                                                                      \
    X(zalcvGetLibVersion) X(zalsFree) X(zalsConvert_16u32f) X(zalsMulC_32f_I) X(zalsMulC_16s_ISfs) \
    X(zalsSortAscend_64f_I) X(zalsSqrt_32f_I) X(zalsSqrt_32s16s_Sfs) X(zaliSet_8u_C1R)

// (name, element type)
#define ZAL_CORE_MALLOC(X)                                                                   \
    X(zalsMalloc_8u, uint8_t) X(zalsMalloc_8s, int8_t) X(zalsMalloc_16u, uint16_t)           \
    X(zalsMalloc_32s, int32_t) X(zalsMalloc_32f, float) X(zalsMalloc_64f, double)

// (name, element type, unit the fill value travels as)
#define ZAL_CORE_VECTOR_SET(X) X(zalsSet_8u, uint8_t, uint8_t) X(zalsSet_32f, float, uint32_t)
// (name, element type)
#define ZAL_CORE_VECTOR_ZERO(X) X(zalsZero_8u, uint8_t) X(zalsZero_16s, int16_t) X(zalsZero_32f, float)
#define ZAL_CORE_VECTOR_COPY(X) X(zalsCopy_8u, uint8_t) X(zalsCopy_32f, float)

// Element-wise maximum/minimum, unchecked: (name, element type, pick)
#define ZAL_CORE_EVERY(X)                                                                   \
    X(zalsMaxEvery_8u, uint8_t, Max) X(zalsMinEvery_8u, uint8_t, Min)                       \
    X(zalsMaxEvery_32f, float, Max) X(zalsMinEvery_32f, float, Min)
// In place: (name, element type, pick, whether the pointers and length are checked)
#define ZAL_CORE_EVERY_INPLACE(X)                                                           \
    X(zalsMaxEvery_8u_I, uint8_t, Max, false) X(zalsMinEvery_8u_I, uint8_t, Min, false)     \
    X(zalsMaxEvery_32f_I, float, Max, true) X(zalsMinEvery_32f_I, float, Min, true)

// ---- Pixel-wise image operations -------------------------------------------------

// (name, element type)
#define ZAL_CORE_ABS_DIFF(X) \
    X(zaliAbsDiff_8u_C1R, uint8_t) X(zaliAbsDiff_16u_C1R, uint16_t) X(zaliAbsDiff_32f_C1R, float)
// (name, element type, type of the constant)
#define ZAL_CORE_ABS_DIFF_C(X) \
    X(zaliAbsDiffC_8u_C1R, uint8_t, int) X(zaliAbsDiffC_16u_C1R, uint16_t, int) X(zaliAbsDiffC_32f_C1R, float, float)

// (name, element type, channels)
#define ZAL_CORE_COPY(X)                                                                     \
    X(zaliCopy_8u_C1R, uint8_t, 1) X(zaliCopy_8u_C3R, uint8_t, 3) X(zaliCopy_8u_C4R, uint8_t, 4) \
    X(zaliCopy_32f_C1R, float, 1) X(zaliCopy_32f_C3R, float, 3) X(zaliCopy_32f_C4R, float, 4)
#define ZAL_CORE_COPY_BORDER(X)                                                              \
    X(zaliCopyReplicateBorder_8u_C1R, uint8_t, 1) X(zaliCopyReplicateBorder_8u_C3R, uint8_t, 3) \
    X(zaliCopyReplicateBorder_8u_C4R, uint8_t, 4) X(zaliCopyReplicateBorder_32s_C1R, int32_t, 1) \
    X(zaliCopyReplicateBorder_32s_C3R, int32_t, 3) X(zaliCopyReplicateBorder_32s_C4R, int32_t, 4)
#define ZAL_CORE_COPY_BORDER_INPLACE(X)                                                         \
    X(zaliCopyReplicateBorder_8u_C1IR, uint8_t, 1) X(zaliCopyReplicateBorder_8u_C3IR, uint8_t, 3)  \
    X(zaliCopyReplicateBorder_8u_C4IR, uint8_t, 4) X(zaliCopyReplicateBorder_32s_C1IR, int32_t, 1) \
    X(zaliCopyReplicateBorder_32s_C3IR, int32_t, 3) X(zaliCopyReplicateBorder_32s_C4IR, int32_t, 4)

// (name, channels)
#define ZAL_CORE_SUB_8U(X) X(zaliSub_8u_C1RSfs, 1) X(zaliSub_8u_C3RSfs, 3) X(zaliSub_8u_C4RSfs, 4)
#define ZAL_CORE_SUB_8U_INPLACE(X) X(zaliSub_8u_C1IRSfs, 1) X(zaliSub_8u_C3IRSfs, 3) X(zaliSub_8u_C4IRSfs, 4)
#define ZAL_CORE_SUB_32F(X) X(zaliSub_32f_C1R, 1) X(zaliSub_32f_C3R, 3) X(zaliSub_32f_C4R, 4)
#define ZAL_CORE_SUB_32F_INPLACE(X) X(zaliSub_32f_C1IR, 1) X(zaliSub_32f_C3IR, 3) X(zaliSub_32f_C4IR, 4)

// (name, element type): threshold and value given, or value = threshold
#define ZAL_CORE_THRESHOLD_VAL(X) X(zaliThreshold_Val_8u_C1R, uint8_t) X(zaliThreshold_Val_32f_C1R, float)
#define ZAL_CORE_THRESHOLD(X) X(zaliThreshold_8u_C1R, uint8_t) X(zaliThreshold_32f_C1R, float)
// (name, element type, comparison)
#define ZAL_CORE_THRESHOLD_FIXED(X) \
    X(zaliThreshold_GT_8u_C1R, uint8_t, Greater) X(zaliThreshold_LT_32f_C1R, float, Less)
#define ZAL_CORE_THRESHOLD_FIXED_INPLACE(X) X(zaliThreshold_LT_32f_C1IR, float, Less)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_CORE_EXPORTS(X)                                                                         \
    ZAL_CORE_SINGLE(X) ZAL_CORE_MALLOC(X) ZAL_CORE_VECTOR_SET(X) ZAL_CORE_VECTOR_ZERO(X)          \
    ZAL_CORE_VECTOR_COPY(X) ZAL_CORE_EVERY(X) ZAL_CORE_EVERY_INPLACE(X) ZAL_CORE_ABS_DIFF(X)      \
    ZAL_CORE_ABS_DIFF_C(X) ZAL_CORE_COPY(X) ZAL_CORE_COPY_BORDER(X) ZAL_CORE_COPY_BORDER_INPLACE(X) \
    ZAL_CORE_SUB_8U(X) ZAL_CORE_SUB_8U_INPLACE(X) ZAL_CORE_SUB_32F(X) ZAL_CORE_SUB_32F_INPLACE(X)   \
    ZAL_CORE_THRESHOLD_VAL(X) ZAL_CORE_THRESHOLD(X) ZAL_CORE_THRESHOLD_FIXED(X)                   \
    ZAL_CORE_THRESHOLD_FIXED_INPLACE(X)
