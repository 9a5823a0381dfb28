// Utility callbacks handed to the effect in PF_InData::utils (subset: only the
// ANSI block's sprintf and strcpy are used; the other members keep the layout).
#ifndef _H_AE_EFFECT_CB
#define _H_AE_EFFECT_CB

#include "AE_Effect.h"

#pragma pack(push, AdobeSDKExternalAlign, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
    A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char *, const A_char *, ...);
    A_char *(*strcpy)(A_char *, const A_char *);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
    A_long unused_longA;
} PF_ANSICallbacksBlock;

typedef struct {
    void *RGBtoHLS;
    void *HLStoRGB;
    void *RGBtoYIQ;
    void *YIQtoRGB;
    void *Luminance;
    void *Hue;
    void *Lightness;
    void *Saturation;
} PF_ColorCallbacks;

typedef struct _PF_UtilCallbacks {
    void *begin_sampling;
    void *subpixel_sample;
    void *area_sample;
    void *get_batch_func_is_deprecated;
    void *end_sampling;
    void *composite_rect;
    void *blend;
    void *convolve;
    void *copy;
    void *fill;
    void *gaussian_kernel;
    void *iterate;
    void *premultiply;
    void *premultiply_color;
    void *new_world;
    void *dispose_world;
    void *iterate_origin;
    void *iterate_lut;
    void *transfer_rect;
    void *transform_world;
    void *host_new_handle;
    void *host_lock_handle;
    void *host_unlock_handle;
    void *host_dispose_handle;
    void *get_callback_addr;
    void *app;
    PF_ANSICallbacksBlock ansi;
    PF_ColorCallbacks colorCB;
    void *get_platform_data;
    void *host_get_handle_size;
    void *iterate_origin_non_clip_src;
    void *iterate_generic;
    void *host_resize_handle;
    void *subpixel_sample16;
    void *area_sample16;
    void *fill16;
    void *premultiply_color16;
    void *iterate16;
    void *iterate_origin16;
    void *iterate_origin_non_clip_src16;
    void *get_pixel_data8;
    void *get_pixel_data16;
    A_long reserved[1];
} PF_UtilCallbacks;

#define PF_SPRINTF (*in_data->utils->ansi.sprintf)
#define PF_STRCPY(DST, SRC) (*in_data->utils->ansi.strcpy)((DST), (SRC))

#ifdef __cplusplus
}
#endif

#pragma pack(pop, AdobeSDKExternalAlign)

#endif
