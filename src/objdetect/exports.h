// Every export of the objdetect family, once. One list per shape of
// prototype; a row is one export, its name first, then what the shape's
// wrapper needs. The wrappers, the internal instantiations and the tests'
// member lists all expand these lists (see core/export.h).
#pragma once

// ---- Integral images ---------------------------------------------------------

// One table: (name, table element type, geometry)
#define ZAL_OBJDETECT_INTEGRAL(X) X(zaliIntegral_8u32s_C1R, int32_t, Upright) X(zaliIntegral_8u32f_C1R, float, Upright)
#define ZAL_OBJDETECT_TILTED_INTEGRAL(X) \
    X(zaliTiltedIntegral_8u32s_C1R, int32_t, Tilted) X(zaliTiltedIntegral_8u32f_C1R, float, Tilted)
// Sum and square tables: (name, sum element type, square element type, geometry)
#define ZAL_OBJDETECT_SQR_INTEGRAL(X)                                                                       \
    X(zaliSqrIntegral_8u32s64f_C1R, int32_t, double, Upright) X(zaliSqrIntegral_8u32f64f_C1R, float, double, Upright) \
    X(zaliSqrIntegral_8u32s_C1R, int32_t, int32_t, Upright)
#define ZAL_OBJDETECT_TILTED_SQR_INTEGRAL(X)                                                \
    X(zaliTiltedSqrIntegral_8u32s64f_C1R, int32_t, double, Tilted)                          \
    X(zaliTiltedSqrIntegral_8u32f64f_C1R, float, double, Tilted)                            \
    X(zaliTiltedSqrIntegral_8u32s_C1R, int32_t, int32_t, Tilted)

// ---- Window standard deviation ---------------------------------------------------

// Float output: (name, sum table type, square table type, geometry)
#define ZAL_OBJDETECT_RECT_STDDEV(X)                                                                    \
    X(zaliRectStdDev_32f_C1R, float, double, Upright) X(zaliRectStdDev_32s32f_C1R, int32_t, double, Upright) \
    X(zaliTiltedRectStdDev_32f_C1R, float, double, Tilted)                                              \
    X(zaliTiltedRectStdDev_32s32f_C1R, int32_t, double, Tilted)
// Scaled 32s output from 32s tables: (name, geometry)
#define ZAL_OBJDETECT_RECT_STDDEV_SFS(X) X(zaliRectStdDev_32s_C1RSfs, Upright) X(zaliTiltedRectStdDev_32s_C1RSfs, Tilted)

// ---- Haar classifier states --------------------------------------------------------

// (name, state, element type of weights and votes, placement)
#define ZAL_OBJDETECT_HAAR_INIT(X)                                                                    \
    X(zaliHaarClassifierInitAlloc_32f, HaarClassifierState_32f, float, Upright)                       \
    X(zaliHaarClassifierInitAlloc_32s, HaarClassifierState_32s, int32_t, Upright)                     \
    X(zaliTiltedHaarClassifierInitAlloc_32f, HaarClassifierState_32f, float, Tilted)                  \
    X(zaliTiltedHaarClassifierInitAlloc_32s, HaarClassifierState_32s, int32_t, Tilted)
// (name, state)
#define ZAL_OBJDETECT_HAAR_FREE(X) \
    X(zaliHaarClassifierFree_32f, HaarClassifierState_32f) X(zaliHaarClassifierFree_32s, HaarClassifierState_32s)
#define ZAL_OBJDETECT_HAAR_SIZE(X)                                  \
    X(zaliGetHaarClassifierSize_32f, HaarClassifierState_32f)       \
    X(zaliGetHaarClassifierSize_32s, HaarClassifierState_32s)
#define ZAL_OBJDETECT_HAAR_TILT(X) \
    X(zaliTiltHaarFeatures_32f, HaarClassifierState_32f) X(zaliTiltHaarFeatures_32s, HaarClassifierState_32s)

// ---- Haar stage application -------------------------------------------------------

// Upright table only: (name, table type, state, arithmetic, splits large regions over workers)
#define ZAL_OBJDETECT_HAAR_APPLY(X)                                                                      \
    X(zaliApplyHaarClassifier_32f_C1R, float, HaarClassifierState_32f, Float, true)                      \
    X(zaliApplyHaarClassifier_32s32f_C1R, int32_t, HaarClassifierState_32f, IntToFloat, false)           \
    X(zaliApplyHaarClassifier_32s_C1RSfs, int32_t, HaarClassifierState_32s, Int, false)
// Upright and tilted tables: (name, table type, state, arithmetic)
#define ZAL_OBJDETECT_HAAR_APPLY_MIXED(X)                                                                \
    X(zaliApplyMixedHaarClassifier_32f_C1R, float, HaarClassifierState_32f, FloatInOrder)                \
    X(zaliApplyMixedHaarClassifier_32s32f_C1R, int32_t, HaarClassifierState_32f, IntToFloat)
// Written out in haar_apply.cpp (it alone takes a scale factor): (name)
#define ZAL_OBJDETECT_SINGLE(X) X(zaliApplyMixedHaarClassifier_32s_C1RSfs)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_OBJDETECT_EXPORTS(X)                                                                        \
    ZAL_OBJDETECT_INTEGRAL(X) ZAL_OBJDETECT_TILTED_INTEGRAL(X) ZAL_OBJDETECT_SQR_INTEGRAL(X)            \
    ZAL_OBJDETECT_TILTED_SQR_INTEGRAL(X) ZAL_OBJDETECT_RECT_STDDEV(X) ZAL_OBJDETECT_RECT_STDDEV_SFS(X)  \
    ZAL_OBJDETECT_HAAR_INIT(X) ZAL_OBJDETECT_HAAR_FREE(X) ZAL_OBJDETECT_HAAR_SIZE(X)                    \
    ZAL_OBJDETECT_HAAR_TILT(X) ZAL_OBJDETECT_HAAR_APPLY(X) ZAL_OBJDETECT_HAAR_APPLY_MIXED(X)            \
    ZAL_OBJDETECT_SINGLE(X)
