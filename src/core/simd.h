// Per-ISA clones for hot row kernels: the compiler vectorises the same plain
// loop once per target and the loader picks the best one for the processor.
// The arithmetic per element is the loop's own, so every clone gives the same
// result.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ZAL_TARGET_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZAL_TARGET_CLONES
#endif
