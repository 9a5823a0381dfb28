// A small in-process stand-in for the host's smart render callbacks: parameter
// checkouts, pre-render layer requests, layer pixel and output checkouts. It
// records every call and can fail any of them on demand.
#pragma once

#include <array>
#include <vector>

#include "AE_Effect.h"
#include "model/param_index.h"

namespace prismora::test {

class FakeSmartHost {
public:
    struct LayerRequest {
        PF_ParamIndex index;
        A_long checkout_id;
        PF_RenderRequest request;
        A_long what_time;
        A_long time_step;
        A_u_long time_scale;
    };

    // Parameter values the host hands out, indexed by parameter index; the
    // popups start at their defaults, the rest at zero, layer 13 without pixels.
    std::array<PF_ParamDef, kParamCount> params{};

    // Calls seen.
    std::vector<PF_ParamIndex> param_checkouts;
    std::vector<PF_ParamIndex> param_checkins; // by the record's id
    std::vector<LayerRequest> layer_requests;
    std::vector<A_long> pixel_checkouts;
    std::vector<A_long> pixel_checkins;
    int output_checkouts = 0;

    // Injected failures: the call for that index or id returns the error.
    PF_ParamIndex fail_param = -1;
    PF_ParamIndex fail_layer_request = -1;
    A_long fail_pixel_checkout = -1;
    A_long fail_pixel_checkin = -1;
    bool fail_output = false;
    PF_Err injected_error = 517;

    // What the smart render checkouts hand out (null is handed out as null).
    std::array<PF_EffectWorld *, 2> layer_worlds{};
    PF_EffectWorld *output_world = nullptr;

    PF_PreRenderInput pre_input{};
    PF_PreRenderOutput pre_output{};
    PF_SmartRenderInput smart_input{};

    FakeSmartHost()
    {
        in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in_data_.current_time = 12;
        in_data_.time_step = 3;
        in_data_.time_scale = 24;
        in_data_.inter.checkout_param = &CheckoutParam;
        in_data_.inter.checkin_param = &CheckinParam;
        pre_cb_.checkout_layer = &CheckoutLayer;
        smart_cb_.checkout_layer_pixels = &CheckoutLayerPixels;
        smart_cb_.checkin_layer_pixels = &CheckinLayerPixels;
        smart_cb_.checkout_output = &CheckoutOutput;
        for (A_long i = 0; i < kParamCount; ++i) {
            params[i].uu.id = i;
        }
        SetPopup(kParamRenderer, 1);
        SetPopup(kParamQuality, 2);
        SetPopup(kParamGlassMode, 1);
        SetPopup(kParamDebugView, 1);
        params[kParamAlphaMatte].param_type = PF_Param_LAYER;
    }
    FakeSmartHost(const FakeSmartHost &) = delete;
    FakeSmartHost &operator=(const FakeSmartHost &) = delete;

    void SetSlider(PF_ParamIndex index, double value) { params[index].u.fs_d.value = value; }
    void SetPopup(PF_ParamIndex index, A_long value) { params[index].u.pd.value = value; }
    void SetMatteLayer(const PF_EffectWorld &world) { params[kParamAlphaMatte].u.ld = world; }
    void SetRequest(A_long left, A_long top, A_long right, A_long bottom)
    {
        pre_input.output_request.rect = {left, top, right, bottom};
    }

    PF_InData *in_data() { return &in_data_; }
    PF_PreRenderExtra *pre_render_extra()
    {
        pre_extra_ = {&pre_input, &pre_output, &pre_cb_};
        return &pre_extra_;
    }
    PF_SmartRenderExtra *smart_render_extra()
    {
        smart_extra_ = {&smart_input, &smart_cb_};
        return &smart_extra_;
    }

private:
    static FakeSmartHost &Of(PF_ProgPtr effect_ref) { return *reinterpret_cast<FakeSmartHost *>(effect_ref); }

    static PF_Err CheckoutParam(PF_ProgPtr ref, PF_ParamIndex index, A_long, A_long, A_u_long,
                                PF_ParamDef *param)
    {
        FakeSmartHost &host = Of(ref);
        host.param_checkouts.push_back(index);
        if (index == host.fail_param) {
            return host.injected_error;
        }
        *param = host.params[index];
        return PF_Err_NONE;
    }
    static PF_Err CheckinParam(PF_ProgPtr ref, PF_ParamDef *param)
    {
        Of(ref).param_checkins.push_back(param->uu.id);
        return PF_Err_NONE;
    }
    static PF_Err CheckoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long id, const PF_RenderRequest *req,
                                A_long what_time, A_long time_step, A_u_long time_scale, PF_CheckoutResult *)
    {
        FakeSmartHost &host = Of(ref);
        host.layer_requests.push_back({index, id, *req, what_time, time_step, time_scale});
        return index == host.fail_layer_request ? host.injected_error : PF_Err_NONE;
    }
    static PF_Err CheckoutLayerPixels(PF_ProgPtr ref, A_long id, PF_EffectWorld **pixels)
    {
        FakeSmartHost &host = Of(ref);
        host.pixel_checkouts.push_back(id);
        if (id == host.fail_pixel_checkout) {
            return host.injected_error;
        }
        *pixels = host.layer_worlds[id];
        return PF_Err_NONE;
    }
    static PF_Err CheckinLayerPixels(PF_ProgPtr ref, A_long id)
    {
        FakeSmartHost &host = Of(ref);
        host.pixel_checkins.push_back(id);
        return id == host.fail_pixel_checkin ? host.injected_error : PF_Err_NONE;
    }
    static PF_Err CheckoutOutput(PF_ProgPtr ref, PF_EffectWorld **output)
    {
        FakeSmartHost &host = Of(ref);
        ++host.output_checkouts;
        if (host.fail_output) {
            return host.injected_error;
        }
        *output = host.output_world;
        return PF_Err_NONE;
    }

    PF_InData in_data_{};
    PF_PreRenderCallbacks pre_cb_{};
    PF_SmartRenderCallbacks smart_cb_{};
    PF_PreRenderExtra pre_extra_{};
    PF_SmartRenderExtra smart_extra_{};
};

} // namespace prismora::test
