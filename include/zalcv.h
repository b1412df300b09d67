/** @file
 *  @brief zalcv: computer-vision operations on two-dimensional raster images.
 *
 * Conventions shared by every export:
 *  - An image is a pointer to the first element of its region of interest
 *    (ROI) and a signed row step in BYTES (negative for bottom-up images);
 *    the ROI size (ImageSize, pixels) follows all pointer/step pairs.
 *  - Every operation returns a StatusCode: 0 success, negative error (nothing
 *    was written), positive warning (outputs complete).
 *  - Arguments are checked in a fixed order: null pointers (-8), sizes (-6),
 *    steps (-14), step alignment (-108), then family-specific arguments; the
 *    first failing check decides the status.
 *  - Work memory: a size query plus a caller buffer, a state made by an
 *    InitAlloc function and released by its Free function, or a state built
 *    by an Init function in caller memory.
 *
 * Valid C and C++. The declarations are grouped by subsystem in the headers
 * under zalcv/, which are included here and are not meant to be included on
 * their own. */
#ifndef ZALCV_H
#define ZALCV_H

#include <stddef.h>
#include <stdint.h>

#if defined(ZALCV_BUILDING_LIBRARY)
#define ZALCV_API __attribute__((visibility("default")))
#else
#define ZALCV_API
#endif

/* The enumerations take int as their underlying type in C++, so that every
   int a C caller passes for one is a value of the type there too: the
   library answers values outside the listed ones with the documented status
   of the parameter (for instance -5 for a BorderKind, -33 for an
   ApertureSize). */
#ifdef __cplusplus
#define ZALCV_ENUM_BASE : int
#else
#define ZALCV_ENUM_BASE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Result of every operation except the version query and the allocator. */
typedef enum StatusCode ZALCV_ENUM_BASE {
    StatusComparisonNotSupported = -9999, /**< threshold comparison code other than 0 or 4 */
    StatusStepAlignmentError = -108,      /**< row step not a multiple of the element size */
    StatusMetricError = -56,              /**< distance metric weight not positive */
    StatusChannelCountError = -53,        /**< channel count other than 1 or 3 */
    StatusChannelOfInterestError = -52,   /**< coi outside 1..3 */
    StatusAnchorError = -34,              /**< anchor outside the kernel */
    StatusMaskSizeError = -33,            /**< mask-size code other than 33 or 55 */
    StatusStepError = -14,                /**< row step too small */
    StatusDataTypeError = -12,            /**< data-type code not accepted */
    StatusOutOfRange = -11,               /**< point outside the image, negative range */
    StatusNoMemory = -9,                  /**< an allocation failed */
    StatusNullPointer = -8,               /**< a required pointer is null */
    StatusSizeError = -6,                 /**< a size below its minimum or inconsistent */
    StatusBadArgument = -5,               /**< a scalar argument outside its allowed set */
    StatusLineError = -2,                 /**< line set-up gave a negative point count */
    StatusOk = 0,                         /**< success */
    StatusSqrtOfNegative = 3,             /**< warning: a square root met a negative input */
    StatusDivisionByZero = 6,             /**< warning: relative norm with a zero denominator */
    StatusAsymmetricKernel = 38           /**< warning: pyramid kernel made symmetric */
} StatusCode;

/** Width and height of a region in pixels. */
typedef struct ImageSize { int32_t width, height; } ImageSize;
/** A pixel position: column x, row y. */
typedef struct ImagePoint { int32_t x, y; } ImagePoint;
/** A rectangle: top-left corner (x, y) and its size in pixels. */
typedef struct ImageRect { int32_t x, y, width, height; } ImageRect;
/** @var ImageSize::width
 *  Columns. */
/** @var ImageSize::height
 *  Rows. */
/** @var ImagePoint::x
 *  Column. */
/** @var ImagePoint::y
 *  Row. */
/** @var ImageRect::x
 *  Column of the top-left pixel. */
/** @var ImageRect::y
 *  Row of the top-left pixel. */
/** @var ImageRect::width
 *  Columns. */
/** @var ImageRect::height
 *  Rows. */

/** Data-type codes passed as integers or stored in states (8u, 8s, 16u, 32f). */
enum { DataType8u = 1, DataType8s = 2, DataType16u = 3, DataType32f = 9 };

/** Horizontal border rule of the filters. */
typedef enum BorderKind ZALCV_ENUM_BASE {
    BorderConstant = 0,     /**< pixels beyond the edge take a given value */
    BorderReplicate = 1,    /**< ... a a | a b c ...: the edge pixel repeats */
    BorderWrap = 2,         /**< ... b c | a b c ...: the row wraps around */
    BorderReflect = 3,      /**< ... c b | a b c ...: the edge pixel is not repeated */
    BorderReflectEdge = 4   /**< ... b a | a b c ...: the edge pixel is repeated */
} BorderKind;

/** Aperture (mask-size) codes of the fixed filters. */
typedef enum ApertureSize ZALCV_ENUM_BASE { Aperture3x3 = 33, Aperture5x5 = 55 } ApertureSize;

/** The library's identity record. */
typedef struct LibraryVersion {
    int32_t majorVersion;       /**< major version number */
    int32_t minorVersion;       /**< minor version number */
    int32_t buildSeries;        /**< build series */
    int32_t buildNumber;        /**< build number within the series */
    char cpuVariant[4];         /**< processor variant code: four characters, not terminated */
    const char* libraryName;    /**< name of the library */
    const char* versionText;    /**< the version as text */
    const char* buildDate;      /**< date of the build */
} LibraryVersion;

#ifdef __cplusplus
}
#endif

#define ZALCV_INSIDE_H 1
#include "zalcv/core.h"
#include "zalcv/stats.h"
#include "zalcv/filter.h"
#include "zalcv/feature.h"
#include "zalcv/morph.h"
#include "zalcv/region.h"
#include "zalcv/pyramid.h"
#include "zalcv/objdetect.h"
#include "zalcv/geometry.h"
#undef ZALCV_INSIDE_H

#endif
