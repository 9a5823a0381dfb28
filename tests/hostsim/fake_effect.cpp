// A small effect for testing the host's machinery: it declares one parameter
// of each kind, expands its request, checks out its input (and matte) layer,
// copies the input to the output in layer coordinates (optionally shifted by
// the margin, scaled by the gain, masked by the matte) and keeps per-frame data
// with the host. Knobs in FakeEffectState make it misbehave on purpose.
#include <chrono>
#include <cstring>
#include <thread>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "Util/entry.h"
#include "fake_effect_state.h"

using namespace prismora::hostsim::test;

namespace {

FakeEffectState g_state;

struct FrameData {
    float gain = 1.0f;
    A_long mode = 1;
    A_long margin = 0;
    bool matte = false;
};

void DeleteFrameData(void *data)
{
    delete static_cast<FrameData *>(data);
    ++g_state.deletes;
}

template <typename P> float ToFloat(decltype(P::alpha) v);
template <> float ToFloat<PF_Pixel8>(A_u_char v)
{
    return static_cast<float>(v) / 255.0f;
}
template <> float ToFloat<PF_Pixel16>(A_u_short v)
{
    return static_cast<float>(v) / 32768.0f;
}
template <> float ToFloat<PF_PixelFloat>(float v)
{
    return v;
}

template <typename P> decltype(P::alpha) FromFloat(float v)
{
    if constexpr (sizeof(P) == 16) {
        return v;
    } else {
        const float white = sizeof(P) == 4 ? 255.0f : 32768.0f;
        if (!(v > 0.0f)) {
            return 0;
        }
        return static_cast<decltype(P::alpha)>(static_cast<int>((v > 1.0f ? 1.0f : v) * white + 0.5f));
    }
}

template <typename P> const P *PixelAt(const PF_EffectWorld &w, A_long layer_x, A_long layer_y)
{
    const A_long x = layer_x - w.origin_x, y = layer_y - w.origin_y;
    if (!w.data || x < 0 || y < 0 || x >= w.width || y >= w.height) {
        return nullptr;
    }
    return reinterpret_cast<const P *>(reinterpret_cast<const char *>(w.data) + y * w.rowbytes) + x;
}

template <typename P>
void Shade(const PF_EffectWorld &in, const PF_EffectWorld *matte, PF_EffectWorld &out, const FrameData &f)
{
    for (A_long r = 0; r < out.height; ++r) {
        P *row = reinterpret_cast<P *>(reinterpret_cast<char *>(out.data) + r * out.rowbytes);
        for (A_long c = 0; c < out.width; ++c) {
            const A_long lx = out.origin_x + c, ly = out.origin_y + r;
            const P *src = PixelAt<P>(in, lx + (f.mode == 2 ? f.margin : 0), ly);
            P result{};
            if (src) {
                float alpha = ToFloat<P>(src->alpha);
                if (matte) {
                    const P *m = PixelAt<P>(*matte, lx, ly);
                    alpha *= m ? ToFloat<P>(m->alpha) : 0.0f;
                }
                result.alpha = FromFloat<P>(alpha);
                result.red = FromFloat<P>(ToFloat<P>(src->red) * f.gain);
                result.green = FromFloat<P>(ToFloat<P>(src->green) * f.gain);
                result.blue = FromFloat<P>(ToFloat<P>(src->blue) * f.gain);
            }
            row[c] = result;
        }
    }
}

void ShadeAtDepth(int depth, const PF_EffectWorld &in, const PF_EffectWorld *matte, PF_EffectWorld &out,
                  const FrameData &f)
{
    if (depth == 32) {
        Shade<PF_PixelFloat>(in, matte, out, f);
    } else if (depth == 16) {
        Shade<PF_Pixel16>(in, matte, out, f);
    } else {
        Shade<PF_Pixel8>(in, matte, out, f);
    }
}

PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data)
{
    PF_Err err = PF_Err_NONE;
    PF_ParamDef def;
    auto add = [&](PF_ParamType type, const char *name, auto &&fill) {
        if (err) {
            return;
        }
        std::memset(&def, 0, sizeof(def));
        def.param_type = type;
        std::strncpy(def.PF_DEF_NAME, name, sizeof(def.PF_DEF_NAME) - 1);
        fill(def.u);
        err = PF_ADD_PARAM(in_data, -1, &def);
    };
    add(PF_Param_FLOAT_SLIDER, "Gain", [](PF_ParamDefUnion &u) {
        u.fs_d.value = u.fs_d.dephault = 100;
        u.fs_d.valid_max = u.fs_d.slider_max = 200;
    });
    // A stack buffer: the host must keep its own copy of the choices.
    char choices[] = "Copy|Shift";
    add(PF_Param_POPUP, "Mode", [&](PF_ParamDefUnion &u) {
        u.pd.value = u.pd.dephault = 1;
        u.pd.num_choices = 2;
        u.pd.u.namesptr = choices;
    });
    std::memset(choices, 'x', sizeof(choices) - 1);
    add(PF_Param_FLOAT_SLIDER, "Margin", [](PF_ParamDefUnion &u) {
        u.fs_d.value = u.fs_d.dephault = 4;
        u.fs_d.valid_max = u.fs_d.slider_max = 64;
    });
    add(PF_Param_POINT, "Spot", [](PF_ParamDefUnion &u) {
        u.td.x_value = u.td.x_dephault = 50 << 16;
        u.td.y_value = u.td.y_dephault = 50 << 16;
    });
    add(PF_Param_LAYER, "Matte", [](PF_ParamDefUnion &u) { u.ld.dephault = PF_LayerDefault_NONE; });
    add(PF_Param_COLOR, "Tint", [](PF_ParamDefUnion &u) {
        u.cd.value = u.cd.dephault = {255, 255, 255, 255};
    });
    add(PF_Param_CHECKBOX, "Invert", [](PF_ParamDefUnion &u) { u.bd.u.nameptr = "Flip"; });
    if (!err) {
        out_data->num_params = kFakeParamCount;
    }
    return err;
}

PF_Err PreRender(PF_InData *in_data, PF_PreRenderExtra *extra)
{
    if (!in_data || !extra || !extra->input || !extra->output || !extra->cb) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    ++g_state.pre_renders;
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
        frame->gain = static_cast<float>(params[kFakeGain].u.fs_d.value) / 100.0f;
        frame->mode = params[kFakeMode].u.pd.value;
        frame->margin = static_cast<A_long>(params[kFakeMargin].u.fs_d.value);
        frame->matte = params[kFakeMatte].u.ld.data != nullptr;
        g_state.spot_x = params[kFakeSpot].u.td.x_value;
        g_state.spot_y = params[kFakeSpot].u.td.y_value;
        g_state.matte_checked_out = frame->matte;
        PF_RenderRequest req = extra->input->output_request;
        req.rect.left -= frame->margin;
        req.rect.top -= frame->margin;
        req.rect.right += frame->margin;
        req.rect.bottom += frame->margin;
        PF_CheckoutResult result;
        err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &req, in_data->current_time,
                                        in_data->time_step, in_data->time_scale, &result);
        if (!err && frame->matte) {
            err = extra->cb->checkout_layer(in_data->effect_ref, kFakeMatte, 1, &req, in_data->current_time,
                                            in_data->time_step, in_data->time_scale, &result);
        }
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

void WaitForRendezvous()
{
    const int wanted = g_state.rendezvous;
    const int arrived = ++g_state.arrivals;
    if (wanted <= 0 || arrived > wanted) {
        return;
    }
    // Frames meet only when the host really runs them at once; a generous
    // limit keeps a serial host from hanging the test.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (g_state.arrivals < wanted && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (g_state.arrivals >= wanted) {
        g_state.rendezvous_met = true;
    }
}

PF_Err SmartRender(PF_InData *in_data, PF_SmartRenderExtra *extra)
{
    if (!in_data || !extra || !extra->input || !extra->cb) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto *frame = static_cast<const FrameData *>(extra->input->pre_render_data);
    if (!frame) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    ++g_state.smart_renders;
    WaitForRendezvous();
    PF_EffectWorld *input = nullptr, *matte = nullptr, *output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &input);
    if (!err && frame->matte) {
        err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 1, &matte);
    }
    if (!err) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }
    const PF_WorldSuite2 *suite = nullptr;
    if (!err) {
        err = in_data->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2,
                                                 reinterpret_cast<const void **>(&suite));
    }
    if (!err) {
        PF_PixelFormat format = PF_PixelFormat_INVALID;
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
    g_state.input_was_null = !err && !input;
    if (!err && (!output || !output->data)) {
        err = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!err && input) {
        ShadeAtDepth(extra->input->bitdepth, *input, matte, *output, *frame);
    }
    if (input && !g_state.keep_input_pixels) {
        const PF_Err err2 = extra->cb->checkin_layer_pixels(in_data->effect_ref, 0);
        err = err ? err : err2;
    }
    if (matte) {
        const PF_Err err2 = extra->cb->checkin_layer_pixels(in_data->effect_ref, 1);
        err = err ? err : err2;
    }
    return err;
}

PF_Err LegacyRender(PF_InData *in_data, PF_ParamDef *params[], PF_LayerDef *output)
{
    if (!in_data || !params || !output || !output->data) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    ++g_state.legacy_renders;
    FrameData f;
    f.gain = static_cast<float>(params[kFakeGain]->u.fs_d.value) / 100.0f;
    f.mode = params[kFakeMode]->u.pd.value;
    f.margin = static_cast<A_long>(params[kFakeMargin]->u.fs_d.value);
    const int depth =
        output->rowbytes / output->width >= 16 ? 32 : (output->world_flags & PF_WorldFlag_DEEP ? 16 : 8);
    ShadeAtDepth(depth, params[0]->u.ld, nullptr, *output, f);
    return PF_Err_NONE;
}

} // namespace

extern "C" DllExport FakeEffectState *FakeEffect_State(void)
{
    return &g_state;
}

extern "C" DllExport void FakeEffect_Reset(void)
{
    g_state.version = PF_VERSION(2, 3, 0, PF_Stage_DEVELOP, 7);
    g_state.out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
    g_state.out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
                         PF_OutFlag2_SUPPORTS_THREADED_RENDERING;
    g_state.keep_a_param = g_state.keep_input_pixels = g_state.keep_a_suite = g_state.leak_a_world = false;
    g_state.rendezvous = 0;
    g_state.pre_renders = g_state.smart_renders = g_state.legacy_renders = g_state.deletes =
        g_state.arrivals = 0;
    g_state.rendezvous_met = false;
    g_state.output_format = 0;
    g_state.spot_x = g_state.spot_y = 0;
    g_state.matte_checked_out = g_state.input_was_null = false;
}

extern "C" DllExport PF_Err EffectMain(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                       PF_ParamDef *params[], PF_LayerDef *output, void *extra)
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
        std::strcpy(out_data->return_msg, "Fake Effect\rfor the host's tests");
        return PF_Err_NONE;
    case PF_Cmd_GLOBAL_SETUP:
        if (g_state.version == 0) {
            FakeEffect_Reset();
        }
        out_data->my_version = g_state.version;
        out_data->out_flags = g_state.out_flags;
        out_data->out_flags2 = g_state.out_flags2;
        return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data);
    case PF_Cmd_SMART_PRE_RENDER:
        return PreRender(in_data, static_cast<PF_PreRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRender(in_data, static_cast<PF_SmartRenderExtra *>(extra));
    case PF_Cmd_RENDER:
        return LegacyRender(in_data, params, output);
    default:
        return PF_Err_NONE;
    }
}
