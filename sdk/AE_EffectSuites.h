// World suite (subset used: the pixel-format query) and the Iterate8 suite's
// generic iterator (the host's render threads).
#ifndef _H_AE_EFFECT_SUITES
#define _H_AE_EFFECT_SUITES

#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"

#pragma pack(push, AdobeSDKExternalAlign, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2

typedef struct PF_WorldSuite2 {
    SPAPI PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                                PF_PixelFormat pixel_format, PF_EffectWorld *worldP);
    SPAPI PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld *worldP);
    SPAPI PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld *worldP, PF_PixelFormat *pixel_formatP);
} PF_WorldSuite2;

#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion2 2

// Asks for one call per host render thread; the callback receives the resolved count.
#define PF_Iterations_ONCE_PER_PROCESSOR -1L
#define PF_Iteratations_ONCE_PER_PROCESSOR PF_Iterations_ONCE_PER_PROCESSOR

// The pixel iterators are not used; only their places are kept.
typedef struct PF_Iterate8Suite2 {
    void *iterate;
    void *iterate_origin;
    void *iterate_lut;
    void *iterate_origin_non_clip_src;
    SPAPI PF_Err (*iterate_generic)(A_long iterationsL, void *refconPV,
                                    PF_Err (*fn_func)(void *refconPV, A_long thread_indexL, A_long i,
                                                      A_long iterationsL));
} PF_Iterate8Suite2;

#ifdef __cplusplus
}
#endif

#pragma pack(pop, AdobeSDKExternalAlign)

#endif
