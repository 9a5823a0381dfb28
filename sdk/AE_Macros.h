// Small utility macros of the SDK.
#ifndef _H_AE_MACROS
#define _H_AE_MACROS

#include <string.h>

#ifndef ERR
#define ERR(FUNC)                                                                                            \
    do {                                                                                                     \
        if (!err) {                                                                                          \
            err = (FUNC);                                                                                    \
        }                                                                                                    \
    } while (0)
#endif

#ifndef ERR2
#define ERR2(FUNC)                                                                                           \
    do {                                                                                                     \
        if (((err2 = (FUNC)) != 0) && !err) {                                                                \
            err = err2;                                                                                      \
        }                                                                                                    \
    } while (0)
#endif

#ifndef AEFX_CLR_STRUCT
#define AEFX_CLR_STRUCT(STRUCT) memset(&(STRUCT), 0, sizeof(STRUCT))
#endif

#ifndef FIX_2_FLOAT
#define FIX_2_FLOAT(X) ((A_FpLong)(X) / 65536.0)
#endif

#ifndef FLOAT2FIX
#define FLOAT2FIX(F) ((PF_Fixed)((F)*65536 + (((F) < 0) ? -0.5 : 0.5)))
#endif

#ifndef INT2FIX
#define INT2FIX(X) (((A_long)(X)) << 16)
#endif

#ifndef FIX2INT
#define FIX2INT(X) (((A_long)(X)) >> 16)
#endif

#endif
