// Masked norms of the difference of two images relative to the norm of the
// second: a zero denominator gives NaN (0/0) or +infinity and the warning 6.
#include "stats/norm_kernel.h"

#define ZAL_NORM_REL_C1(name, K, T, gate) ZAL_NORM_TWO(name, Relative, K, T, gate, 1, , 1)
#define ZAL_NORM_REL_C3(name, K, T, gate) ZAL_NORM_TWO(name, Relative, K, T, gate, 3, ZAL_NORM_COI_PARAM, coi)
ZAL_STATS_NORM_REL_C1(ZAL_NORM_REL_C1)
ZAL_STATS_NORM_REL_C3(ZAL_NORM_REL_C3)
