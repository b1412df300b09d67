/** @file
 *  @brief zalcore: the companion core library of zalcv.
 *
 *  It holds the process-wide worker configuration that zalcv's parallel
 *  operations read, a description of the processor (cores per die, largest
 *  data cache) and the NaN and infinity constants that zalcv returns. Valid C
 *  and C++. */
#ifndef ZALCORE_H
#define ZALCORE_H

#if defined(ZALCORE_BUILDING_LIBRARY)
#define ZALCORE_API __attribute__((visibility("default")))
#else
#define ZALCORE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Stores the configured worker count (at least 1) through pNumThr.
 *  Returns 0, or -8 when pNumThr is null. */
ZALCORE_API int zalGetNumThreads(int* pNumThr);

/** Sets the worker count used by every later parallel region (and by the
 *  buffer-size queries that depend on it). n < 1 returns -5 and changes
 *  nothing. Default: the number of online processors. Not to be called while
 *  another thread is inside a zalcv operation. */
ZALCORE_API int zalSetNumThreads(int n);

/** The number of processor cores on one die; 1 means a single-core die. */
ZALCORE_API int zalGetNumCoresOnDie(void);

/** Stores the size in bytes of the largest data cache through pSizeByte.
 *  Returns 0, or -8 when pSizeByte is null. */
ZALCORE_API int zalGetMaxCacheSizeB(int* pSizeByte);

/** The team size requested for every parallel region; always equal to the
 *  configured worker count. Read-only for applications. */
ZALCORE_API extern int threads_omp_of_n_zal;

/** @name Constants
 *  @{ */
/** The NaN and infinity values that zalcv writes (32f NaN, 64f NaN,
 *  +infinity, -infinity). */
ZALCORE_API extern const float zalConstantOfNAN_32f;
ZALCORE_API extern const double zalConstantOfNAN_64f;
ZALCORE_API extern const double zalConstantOfINF_64f;
ZALCORE_API extern const double zalConstantOfINF_NEG_64f;
/** @} */

#ifdef __cplusplus
}
#endif

#endif
