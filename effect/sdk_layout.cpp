// Compile-time checks that the host records have the layout of the SDK on
// Windows x64. Compiled against whichever SDK headers the build uses, so any
// divergence between our declarations and the real SDK stops the build.
#include <cstddef>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectGPUSuites.h"
#include "AE_EffectSuites.h"
#include "SP/SPBasic.h"

#define PRISMORA_CHECK_SIZE(T, N) static_assert(sizeof(T) == (N), "size of " #T)
#define PRISMORA_CHECK_OFFSET(T, F, N) static_assert(offsetof(T, F) == (N), "offset of " #T "::" #F)

PRISMORA_CHECK_SIZE(PF_InData, 408);
PRISMORA_CHECK_SIZE(PF_OutData, 408);
PRISMORA_CHECK_SIZE(PF_ParamDef, 176);
PRISMORA_CHECK_SIZE(PF_ParamDefUnion, 120);
PRISMORA_CHECK_SIZE(PF_LayerDef, 120);
PRISMORA_CHECK_SIZE(PF_InteractCallbacks, 176);
PRISMORA_CHECK_SIZE(PF_UtilCallbacks, 552);
PRISMORA_CHECK_SIZE(PF_RenderRequest, 44);
PRISMORA_CHECK_SIZE(PF_FloatSliderDef, 88);
PRISMORA_CHECK_SIZE(PF_PopupDef, 16);
PRISMORA_CHECK_SIZE(PF_CheckBoxDef, 16);
PRISMORA_CHECK_SIZE(PF_PointDef, 20);
PRISMORA_CHECK_SIZE(PF_ColorDef, 8);
PRISMORA_CHECK_SIZE(PF_SliderDef, 88);
PRISMORA_CHECK_SIZE(PF_FixedSliderDef, 92);
PRISMORA_CHECK_SIZE(PF_PreRenderInput, 64);
PRISMORA_CHECK_SIZE(PF_PreRenderOutput, 56);
PRISMORA_CHECK_SIZE(PF_CheckoutResult, 76);
PRISMORA_CHECK_SIZE(PF_PreRenderExtra, 24);
PRISMORA_CHECK_SIZE(PF_PreRenderCallbacks, 16);
PRISMORA_CHECK_SIZE(PF_SmartRenderInput, 72);
PRISMORA_CHECK_SIZE(PF_SmartRenderCallbacks, 24);
PRISMORA_CHECK_SIZE(PF_SmartRenderExtra, 16);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSetupInput, 8);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSetupOutput, 8);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSetupExtra, 16);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSetdownInput, 16);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSetdownExtra, 8);
PRISMORA_CHECK_SIZE(PF_GPUDeviceInfo, 56);
PRISMORA_CHECK_SIZE(SPBasicSuite, 56);
PRISMORA_CHECK_SIZE(PF_WorldSuite2, 24);
PRISMORA_CHECK_SIZE(PF_GPUDeviceSuite1, 120);
PRISMORA_CHECK_SIZE(PF_Pixel8, 4);
PRISMORA_CHECK_SIZE(PF_Pixel16, 8);
PRISMORA_CHECK_SIZE(PF_PixelFloat, 16);
PRISMORA_CHECK_SIZE(PF_SoundWorld, 32);

PRISMORA_CHECK_OFFSET(PF_InData, utils, 176);
PRISMORA_CHECK_OFFSET(PF_InData, effect_ref, 184);
PRISMORA_CHECK_OFFSET(PF_InData, current_time, 224);
PRISMORA_CHECK_OFFSET(PF_InData, time_scale, 240);
PRISMORA_CHECK_OFFSET(PF_InData, field, 244);
PRISMORA_CHECK_OFFSET(PF_InData, extent_hint, 260);
PRISMORA_CHECK_OFFSET(PF_InData, global_data, 312);
PRISMORA_CHECK_OFFSET(PF_InData, src_snd, 352);
PRISMORA_CHECK_OFFSET(PF_InData, pica_basicP, 384);
PRISMORA_CHECK_OFFSET(PF_InData, shutter_phase, 400);
PRISMORA_CHECK_OFFSET(PF_OutData, num_params, 48);
PRISMORA_CHECK_OFFSET(PF_OutData, origin, 88);
PRISMORA_CHECK_OFFSET(PF_OutData, out_flags, 96);
PRISMORA_CHECK_OFFSET(PF_OutData, return_msg, 100);
PRISMORA_CHECK_OFFSET(PF_OutData, dest_snd, 368);
PRISMORA_CHECK_OFFSET(PF_OutData, out_flags2, 400);
PRISMORA_CHECK_OFFSET(PF_ParamDef, param_type, 12);
PRISMORA_CHECK_OFFSET(PF_ParamDef, PF_DEF_NAME, 16);
PRISMORA_CHECK_OFFSET(PF_ParamDef, flags, 48);
PRISMORA_CHECK_OFFSET(PF_ParamDef, u, 56);
PRISMORA_CHECK_OFFSET(PF_LayerDef, world_flags, 16);
PRISMORA_CHECK_OFFSET(PF_LayerDef, data, 24);
PRISMORA_CHECK_OFFSET(PF_LayerDef, rowbytes, 32);
PRISMORA_CHECK_OFFSET(PF_LayerDef, width, 36);
PRISMORA_CHECK_OFFSET(PF_LayerDef, extent_hint, 44);
PRISMORA_CHECK_OFFSET(PF_LayerDef, platform_ref, 64);
PRISMORA_CHECK_OFFSET(PF_LayerDef, pix_aspect_ratio, 88);
PRISMORA_CHECK_OFFSET(PF_LayerDef, origin_x, 104);
PRISMORA_CHECK_OFFSET(PF_LayerDef, origin_y, 108);
PRISMORA_CHECK_OFFSET(PF_LayerDef, dephault, 116);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, value_desc, 16);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, valid_min, 48);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, dephault, 64);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, precision, 68);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, display_flags, 70);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, fs_flags, 72);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, curve_tolerance, 76);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, useExponent, 80);
PRISMORA_CHECK_OFFSET(PF_FloatSliderDef, exponent, 84);
PRISMORA_CHECK_OFFSET(PF_PopupDef, num_choices, 4);
PRISMORA_CHECK_OFFSET(PF_PopupDef, dephault, 6);
PRISMORA_CHECK_OFFSET(PF_PopupDef, u, 8);
PRISMORA_CHECK_OFFSET(PF_PointDef, restrict_bounds, 11);
PRISMORA_CHECK_OFFSET(PF_PointDef, x_dephault, 12);
PRISMORA_CHECK_OFFSET(PF_CheckBoxDef, u, 8);
PRISMORA_CHECK_OFFSET(PF_UtilCallbacks, ansi, 208);
PRISMORA_CHECK_OFFSET(PF_UtilCallbacks, ansi.sprintf, 208 + 120);
PRISMORA_CHECK_OFFSET(PF_UtilCallbacks, colorCB, 368);
PRISMORA_CHECK_OFFSET(PF_UtilCallbacks, get_platform_data, 432);
PRISMORA_CHECK_OFFSET(PF_UtilCallbacks, get_pixel_data16, 536);
PRISMORA_CHECK_OFFSET(PF_InteractCallbacks, add_param, 16);
PRISMORA_CHECK_OFFSET(PF_InteractCallbacks, reserved_str, 72);
PRISMORA_CHECK_OFFSET(PF_InteractCallbacks, reserved, 96);
PRISMORA_CHECK_OFFSET(PF_RenderRequest, field, 16);
PRISMORA_CHECK_OFFSET(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24);
PRISMORA_CHECK_OFFSET(PF_RenderRequest, reserved, 28);
PRISMORA_CHECK_OFFSET(PF_PreRenderInput, bitdepth, 44);
PRISMORA_CHECK_OFFSET(PF_PreRenderInput, gpu_data, 48);
PRISMORA_CHECK_OFFSET(PF_PreRenderInput, what_gpu, 56);
PRISMORA_CHECK_OFFSET(PF_PreRenderInput, device_index, 60);
PRISMORA_CHECK_OFFSET(PF_PreRenderOutput, solid, 32);
PRISMORA_CHECK_OFFSET(PF_PreRenderOutput, flags, 34);
PRISMORA_CHECK_OFFSET(PF_PreRenderOutput, pre_render_data, 40);
PRISMORA_CHECK_OFFSET(PF_PreRenderOutput, delete_pre_render_data_func, 48);
PRISMORA_CHECK_OFFSET(PF_CheckoutResult, par, 32);
PRISMORA_CHECK_OFFSET(PF_CheckoutResult, solid, 40);
PRISMORA_CHECK_OFFSET(PF_CheckoutResult, ref_width, 44);
PRISMORA_CHECK_OFFSET(PF_CheckoutResult, reserved, 52);
PRISMORA_CHECK_OFFSET(PF_SmartRenderInput, bitdepth, 44);
PRISMORA_CHECK_OFFSET(PF_SmartRenderInput, pre_render_data, 48);
PRISMORA_CHECK_OFFSET(PF_SmartRenderInput, gpu_data, 56);
PRISMORA_CHECK_OFFSET(PF_SmartRenderInput, what_gpu, 64);
PRISMORA_CHECK_OFFSET(PF_SmartRenderInput, device_index, 68);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSetdownInput, what_gpu, 8);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSetdownInput, device_index, 12);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceInfo, platformPV, 8);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceInfo, offscreen_opengl_devicePV, 48);
PRISMORA_CHECK_OFFSET(SPBasicSuite, ReleaseSuite, 8);
PRISMORA_CHECK_OFFSET(SPBasicSuite, Undefined, 48);
PRISMORA_CHECK_OFFSET(PF_WorldSuite2, PF_GetPixelFormat, 16);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSuite1, CreateGPUWorld, 80);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSuite1, DisposeGPUWorld, 88);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSuite1, GetGPUWorldData, 96);
PRISMORA_CHECK_OFFSET(PF_GPUDeviceSuite1, GetGPUWorldDeviceIndex, 112);

static_assert(PF_VERSION(1, 11, 0, PF_Stage_DEVELOP, 1) == 884737, "version packing");
