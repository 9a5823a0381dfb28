#include "cpu/cpu_features.h"

namespace prismora {

bool HasAvx()
{
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace prismora
