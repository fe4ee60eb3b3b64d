#include "vector_state.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace dovrin {

#if defined(__x86_64__) || defined(__i386__)

namespace {

// Compiled for AVX alone, and run only on a processor that has it.
__attribute__((target("avx"))) void zeroUpper() {
    _mm256_zeroupper();
}

} // namespace

void clearUpperVectorState() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        zeroUpper();
}

#else

void clearUpperVectorState() {}

#endif

} // namespace dovrin
