// Masked norms of the difference of two images relative to the norm of the second:
// a zero denominator gives NaN (0/0) or +infinity and the warning 6.
// Each line: kind, type, then the thread gates of the C1MR and C3CMR members.
#include "stats/norm_kernel.h"

extern "C" {

ZAL_NORM_TWO_IMAGES(Rel, Relative, Inf, 8u, uint8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, Inf, 8s, int8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, Inf, 16u, uint16_t, T17Multi, T15)
ZAL_NORM_TWO_IMAGES(Rel, Relative, Inf, 32f, float, T15, T15)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L1, 8u, uint8_t, Never, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L1, 8s, int8_t, T17Multi, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L1, 16u, uint16_t, T15MultiOrT17, T15)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L1, 32f, float, Never, Never)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L2, 8u, uint8_t, T17, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L2, 8s, int8_t, T17, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L2, 16u, uint16_t, T15MultiOrT17, T15)
ZAL_NORM_TWO_IMAGES(Rel, Relative, L2, 32f, float, Never, Never)

}  // extern "C"
