// Masked norms of one image channel.
#include "stats/norm_kernel.h"

#define ZAL_NORM_C1(name, K, T, gate) ZAL_NORM_ONE(name, K, T, gate, 1, , 1)
#define ZAL_NORM_C3(name, K, T, gate) ZAL_NORM_ONE(name, K, T, gate, 3, ZAL_NORM_COI_PARAM, coi)
ZAL_STATS_NORM_C1(ZAL_NORM_C1)
ZAL_STATS_NORM_C3(ZAL_NORM_C3)
