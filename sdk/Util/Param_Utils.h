// Parameter helpers (subset). The precision constants and PF_ParamFlag_NONE
// live in AE_Effect.h in this SDK version.
#ifndef _H_PARAM_UTILS
#define _H_PARAM_UTILS

#include "AE_Effect.h"

#ifndef PF_STRNNCPY
#define PF_STRNNCPY(DST, SRC, BUFF_SIZE)                                                                     \
    do {                                                                                                     \
        size_t _src_len = strlen(SRC);                                                                       \
        size_t _n = _src_len < (size_t)(BUFF_SIZE) ? _src_len : (size_t)(BUFF_SIZE)-1;                       \
        memcpy((DST), (SRC), _n);                                                                            \
        (DST)[_n] = 0;                                                                                       \
    } while (0)
#endif

#endif
