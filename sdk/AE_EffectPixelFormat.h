// Pixel format codes of effect worlds.
#ifndef _H_AE_EFFECT_PIXEL_FORMAT
#define _H_AE_EFFECT_PIXEL_FORMAT

#include "A.h"

#define MAKE_PIXEL_FORMAT_FOURCC(CH0, CH1, CH2, CH3)                                                         \
    ((A_u_long)(A_u_char)(CH0) | ((A_u_long)(A_u_char)(CH1) << 8) | ((A_u_long)(A_u_char)(CH2) << 16) |      \
     ((A_u_long)(A_u_char)(CH3) << 24))

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_PixelFormat;

enum {
    PF_PixelFormat_ARGB32 = 0x62677261,
    PF_PixelFormat_ARGB64 = 0x36316561,
    PF_PixelFormat_ARGB128 = 0x32336561,
    PF_PixelFormat_GPU_BGRA128 = 0x41444340,
    PF_PixelFormat_RESERVED = 0x61444340,
    PF_PixelFormat_BGRA32 = 0x61726762,
    PF_PixelFormat_VUYA32 = 0x61797576,
    PF_PixelFormat_INVALID = 0x66646162
};

#ifdef __cplusplus
}
#endif

#endif
