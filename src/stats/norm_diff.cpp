// Masked norms of the difference of two images.
#include "stats/norm_kernel.h"

#define ZAL_NORM_DIFF_C1(name, K, T, gate) ZAL_NORM_TWO(name, Difference, K, T, gate, 1, , 1)
#define ZAL_NORM_DIFF_C3(name, K, T, gate) ZAL_NORM_TWO(name, Difference, K, T, gate, 3, ZAL_NORM_COI_PARAM, coi)
ZAL_STATS_NORM_DIFF_C1(ZAL_NORM_DIFF_C1)
ZAL_STATS_NORM_DIFF_C3(ZAL_NORM_DIFF_C3)
