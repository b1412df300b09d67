// Masked norms of the difference of two images.
// Each line: kind, type, then the thread gates of the C1MR and C3CMR members.
#include "stats/norm_kernel.h"

extern "C" {

ZAL_NORM_TWO_IMAGES(Diff, Difference, Inf, 8u, uint8_t, Never, Never)
ZAL_NORM_TWO_IMAGES(Diff, Difference, Inf, 8s, int8_t, Never, Never)
ZAL_NORM_TWO_IMAGES(Diff, Difference, Inf, 16u, uint16_t, Never, Never)
ZAL_NORM_TWO_IMAGES(Diff, Difference, Inf, 32f, float, Never, Never)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L1, 8u, uint8_t, T17Multi, T17)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L1, 8s, int8_t, T17Multi, T15Multi)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L1, 16u, uint16_t, T17, T15Multi)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L1, 32f, float, Never, Never)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L2, 8u, uint8_t, T17Multi, T17)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L2, 8s, int8_t, T17Multi, T17)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L2, 16u, uint16_t, T17, T15MultiOrT17)
ZAL_NORM_TWO_IMAGES(Diff, Difference, L2, 32f, float, Never, Never)

}  // extern "C"
