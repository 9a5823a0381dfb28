// A small effect for testing the host's machinery: it declares a slider and a
// point, expands its request by the margin, checks out its input
// layer, copies the input to the output in layer coordinates and keeps a
// per-frame record with the host. Knobs in FakeEffectState make it misbehave.
#include <cstring>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "Util/entry.h"
#include "fake_effect_state.h"

using namespace prismora::hostsim::test;

namespace {

FakeEffectState g_state;

struct FrameData {
    A_long margin = 0;
};

void DeleteFrameData(void *data)
{
    delete static_cast<FrameData *>(data);
    ++g_state.deletes;
}

// Pixels of out that lie inside in (both placed by their origins) take in's bytes.
void CopyInLayerCoordinates(const PF_EffectWorld &in, PF_EffectWorld &out, A_long bytes_per_pixel)
{
    for (A_long r = 0; r < out.height; ++r) {
        const A_long y = out.origin_y + r - in.origin_y;
        for (A_long c = 0; c < out.width; ++c) {
            const A_long x = out.origin_x + c - in.origin_x;
            if (y >= 0 && y < in.height && x >= 0 && x < in.width) {
                std::memcpy(reinterpret_cast<char *>(out.data) + r * out.rowbytes + c * bytes_per_pixel,
                            reinterpret_cast<const char *>(in.data) + y * in.rowbytes + x * bytes_per_pixel,
                            static_cast<size_t>(bytes_per_pixel));
            }
        }
    }
}

PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data)
{
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    std::strcpy(def.PF_DEF_NAME, "Margin");
    def.u.fs_d.value = def.u.fs_d.dephault = 4;
    def.u.fs_d.valid_max = def.u.fs_d.slider_max = 64;
    PF_Err err = PF_ADD_PARAM(in_data, -1, &def);

    def = {};
    def.param_type = PF_Param_POINT;
    std::strcpy(def.PF_DEF_NAME, "Spot");
    def.u.td.x_value = def.u.td.x_dephault = 50 << 16;
    def.u.td.y_value = def.u.td.y_dephault = 50 << 16;
    err = err ? err : PF_ADD_PARAM(in_data, -1, &def);
    out_data->num_params = kFakeParamCount;
    return err;
}

PF_Err PreRender(PF_InData *in_data, PF_PreRenderExtra *extra)
{
    if (!in_data || !extra || !extra->input || !extra->output || !extra->cb) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_ParamDef params[kFakeParamCount];
    bool out[kFakeParamCount] = {};
    PF_Err err = PF_Err_NONE;
    for (PF_ParamIndex i = 1; i < kFakeParamCount && !err; ++i) {
        err = PF_CHECKOUT_PARAM(in_data, i, in_data->current_time, in_data->time_step, in_data->time_scale,
                                &params[i]);
        out[i] = !err;
    }
    auto *frame = new FrameData;
    if (!err) {
        frame->margin = static_cast<A_long>(params[kFakeMargin].u.fs_d.value);
        PF_RenderRequest req = extra->input->output_request;
        req.rect.left -= frame->margin;
        req.rect.top -= frame->margin;
        req.rect.right += frame->margin;
        req.rect.bottom += frame->margin;
        PF_CheckoutResult result;
        err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &req, in_data->current_time,
                                        in_data->time_step, in_data->time_scale, &result);
    }
    for (PF_ParamIndex i = 1; i < kFakeParamCount; ++i) {
        if (out[i] && !(g_state.keep_a_param && i == 1)) {
            const PF_Err err2 = PF_CHECKIN_PARAM(in_data, &params[i]);
            err = err ? err : err2;
        }
    }
    if (err) {
        delete frame;
        return err;
    }
    extra->output->result_rect = extra->output->max_result_rect = extra->input->output_request.rect;
    extra->output->pre_render_data = frame;
    extra->output->delete_pre_render_data_func = DeleteFrameData;
    return PF_Err_NONE;
}

PF_Err SmartRender(PF_InData *in_data, PF_SmartRenderExtra *extra)
{
    if (!in_data || !extra || !extra->input || !extra->cb) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!extra->input->pre_render_data) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    PF_EffectWorld *input = nullptr, *output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &input);
    if (!err) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }
    const PF_WorldSuite2 *suite = nullptr;
    if (!err) {
        err = in_data->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2,
                                                 reinterpret_cast<const void **>(&suite));
    }
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (!err) {
        err = suite->PF_GetPixelFormat(output, &format);
        g_state.output_format = format;
        if (!err && g_state.leak_a_world) {
            PF_EffectWorld scratch;
            err = suite->PF_NewWorld(in_data->effect_ref, 4, 4, true, format, &scratch);
        }
        if (!g_state.keep_a_suite) {
            in_data->pica_basicP->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
        }
    }
    if (!err && (!output || !output->data)) {
        err = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!err && input) {
        CopyInLayerCoordinates(*input, *output,
                               format == PF_PixelFormat_ARGB128 ? 16
                                                                : (format == PF_PixelFormat_ARGB64 ? 8 : 4));
    }
    if (input && !g_state.keep_input_pixels) {
        const PF_Err err2 = extra->cb->checkin_layer_pixels(in_data->effect_ref, 0);
        err = err ? err : err2;
    }
    return err;
}

} // namespace

extern "C" DllExport FakeEffectState *FakeEffect_State(void)
{
    return &g_state;
}

extern "C" DllExport void FakeEffect_Reset(void)
{
    g_state.keep_a_param = g_state.keep_input_pixels = g_state.keep_a_suite = g_state.leak_a_world = false;
    g_state.deletes = 0;
    g_state.output_format = 0;
}

extern "C" DllExport PF_Err EffectMain(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                       PF_ParamDef *params[], PF_LayerDef *output, void *extra)
{
    switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
        out_data->my_version = PF_VERSION(2, 3, 0, PF_Stage_DEVELOP, 7);
        out_data->out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
        out_data->out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
                               PF_OutFlag2_SUPPORTS_THREADED_RENDERING;
        return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data);
    case PF_Cmd_SMART_PRE_RENDER:
        return PreRender(in_data, static_cast<PF_PreRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRender(in_data, static_cast<PF_SmartRenderExtra *>(extra));
    case PF_Cmd_RENDER: // the plain render only checks what it was given
        return in_data && params && params[0] && output && output->data ? PF_Err_NONE
                                                                        : PF_Err_BAD_CALLBACK_PARAM;
    default:
        return PF_Err_NONE;
    }
}
