// Every export of the geometry family, once. One list per shape of
// prototype; a row is one export, its name first, then what the shape's
// wrapper needs. The wrappers, the internal instantiations and the tests'
// member lists all expand these lists (see core/export.h).
#pragma once

// Written out in their own files: (name)
#define ZAL_GEOMETRY_SINGLE(X) \
    X(zaliUndistortGetSize) X(zaliCreateMapCameraUndistort_32f_C1R) X(_zlcvInitLineIterator)

// (name, element type, channels)
#define ZAL_GEOMETRY_UNDISTORT(X)                                                                         \
    X(zaliUndistortRadial_8u_C1R, uint8_t, 1) X(zaliUndistortRadial_8u_C3R, uint8_t, 3)                  \
    X(zaliUndistortRadial_16u_C1R, uint16_t, 1) X(zaliUndistortRadial_16u_C3R, uint16_t, 3)              \
    X(zaliUndistortRadial_32f_C1R, float, 1) X(zaliUndistortRadial_32f_C3R, float, 3)
#define ZAL_GEOMETRY_SAMPLE_LINE(X)                                                                       \
    X(zaliSampleLine_8u_C1R, uint8_t, 1) X(zaliSampleLine_8u_C3R, uint8_t, 3)                            \
    X(zaliSampleLine_16u_C1R, uint16_t, 1) X(zaliSampleLine_16u_C3R, uint16_t, 3)                        \
    X(zaliSampleLine_32f_C1R, float, 1) X(zaliSampleLine_32f_C3R, float, 3)

// (name, silhouette element type)
#define ZAL_GEOMETRY_MOTION_HISTORY(X)                                                                    \
    X(zaliUpdateMotionHistory_8u32f_C1IR, uint8_t) X(zaliUpdateMotionHistory_16u32f_C1IR, uint16_t)      \
    X(zaliUpdateMotionHistory_32f_C1IR, float)

// ---- All of them (for X macros that take the name and ignore the rest) --------
#define ZAL_GEOMETRY_EXPORTS(X)                                                                           \
    ZAL_GEOMETRY_SINGLE(X) ZAL_GEOMETRY_UNDISTORT(X) ZAL_GEOMETRY_SAMPLE_LINE(X) ZAL_GEOMETRY_MOTION_HISTORY(X)
