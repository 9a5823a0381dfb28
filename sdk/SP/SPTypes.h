// Basic PICA types (subset).
#ifndef __SPTypes__
#define __SPTypes__

#include <stdint.h>

typedef int32_t int32;
typedef uint8_t uint8;
typedef int32 SPErr;
#ifdef _WIN32
typedef int32 SPBoolean;
#else
typedef uint8 SPBoolean;
#endif

// Calling-convention macro of suite members; empty on every supported platform.
#define SPAPI

#endif
