// Worker-count queries. The configured count lives in the companion core
// library; OpenMP supplies the team and thread ids.
#pragma once

#include <omp.h>

#include "zalcore.h"

namespace zal {

// The configured worker count n (at least 1).
inline int owncvGetNumThreads() {
    int n = 1;
    zalGetNumThreads(&n);
    return n < 1 ? 1 : n;
}

// max(omp_get_max_threads(), n): used for thresholds and for sizing
// per-thread work areas, so it must not grow between a size query and the
// call that uses the buffer.
inline int owncvGetMaxNumThreads() {
    const int omp = omp_get_max_threads();
    const int n = owncvGetNumThreads();
    return omp > n ? omp : n;
}

// 0-based id of the calling thread in the current team.
inline int owncvGetIdThreads() { return omp_get_thread_num(); }

// Non-zero on a multi-core die (the number of cores), 0 on a single-core die.
inline int runomp() {
    const int cores = zalGetNumCoresOnDie();
    return cores != 1 ? cores : 0;
}

// Kernel sizes 3 and 5 follow runomp(); any other size is always non-zero.
inline int runsepomp(int kernelSize) {
    return kernelSize == 3 || kernelSize == 5 ? runomp() : (runomp() | 1);
}

// Largest data cache in bytes; sizes the row blocks of the fixed filters.
inline int owncvGetCacheSize() {
    int bytes = 0;
    zalGetMaxCacheSizeB(&bytes);
    return bytes;
}

}  // namespace zal
