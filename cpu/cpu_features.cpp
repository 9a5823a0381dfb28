#include "cpu/cpu_features.h"

#if defined(PRISMORA_AVX_LOOPS) && !defined(__GNUC__)
#include <intrin.h>
#endif

namespace prismora {

bool HasAvx()
{
#if defined(PRISMORA_AVX_LOOPS) && defined(__GNUC__)
    static const bool has = [] {
        __builtin_cpu_init(); // checks the operating system saves the AVX registers too
        return __builtin_cpu_supports("avx") != 0;
    }();
    return has;
#elif defined(PRISMORA_AVX_LOOPS)
    static const bool has = [] {
        int info[4];
        __cpuid(info, 1);
        const bool osxsave = (info[2] & (1 << 27)) != 0;
        const bool avx = (info[2] & (1 << 28)) != 0;
        // The operating system must save the SSE and AVX register state.
        return osxsave && avx && (_xgetbv(0) & 0x6) == 0x6;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace prismora
