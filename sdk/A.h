// Scalar types and general error codes of the After Effects SDK (subset).
#ifndef _H_A
#define _H_A

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, AdobeSDKExternalAlign, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef short A_short;
typedef unsigned short A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef A_long A_Fixed;
typedef A_u_long A_UFixed;
typedef void *A_Handle;
typedef int64_t A_intptr_t;
typedef uint64_t A_u_longlong;
typedef A_long A_AppID;

enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,
    A_Err_STRUCT = 2,
    A_Err_PARAMETER = 3,
    A_Err_ALLOC = 4,
    A_Err_MISSING_SUITE = 13
};

#ifdef __cplusplus
}
#endif

#define A_THROW(ERR) throw((A_long)(ERR))

#pragma pack(pop, AdobeSDKExternalAlign)

#endif
