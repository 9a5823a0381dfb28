// The smart pre-render and smart render callbacks: layer checkouts by id and
// the output world.
#include <chrono>
#include <string>

#include "hostsim/call_context.h"
#include "hostsim/callbacks.h"

namespace prismora::hostsim {
namespace {

bool InSmartRender(const CallContext &ctx)
{
    return ctx.cmd == PF_Cmd_SMART_RENDER || ctx.cmd == PF_Cmd_SMART_RENDER_GPU;
}

bool InGpuRender(const CallContext &ctx)
{
    return ctx.cmd == PF_Cmd_SMART_RENDER_GPU && ctx.gpu_device;
}

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest *req, A_long, A_long, A_u_long, PF_CheckoutResult *result)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkout_layer")) {
        return err;
    }
    if (ctx->cmd != PF_Cmd_SMART_PRE_RENDER || !ctx->values) {
        return ctx->Refuse("checkout_layer outside smart pre-render");
    }
    if (!req) {
        return ctx->Refuse("checkout_layer without a request");
    }
    if (index < 0 || index >= ctx->values->size() || ctx->values->type(index) != PF_Param_LAYER) {
        return ctx->Refuse("checkout_layer of parameter " + std::to_string(index) + ", which is not a layer");
    }
    if (checkout_id < 0 || ctx->layers.contains(checkout_id)) {
        return ctx->Refuse("checkout_layer with checkout id " + std::to_string(checkout_id) +
                           " (ids must be at least 0 and unique within the frame)");
    }
    LayerCheckout &c = ctx->layers[checkout_id];
    c.index = index;
    c.requested = req->rect;
    c.layer = ctx->values->layer(index);
    c.delivered = c.layer ? Intersect(req->rect, c.layer->LayerRect()) : PF_LRect{};
    if (result) {
        *result = {};
        result->result_rect = c.delivered;
        result->max_result_rect = c.layer ? c.layer->LayerRect() : PF_LRect{};
        result->par = {1, 1};
        result->ref_width = c.layer ? c.layer->width() : 0;
        result->ref_height = c.layer ? c.layer->height() : 0;
    }
    ctx->books.Update([](BookTotals &t) { ++t.layer_checkouts; });
    return PF_Err_NONE;
}

PF_Err GuidMixIn(PF_ProgPtr effect_ref, A_u_long, const void *)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    return ctx ? ctx->Enter("GuidMixInPtr") : PF_Err_BAD_CALLBACK_PARAM;
}

// Adds the time the host spends making a world for the effect to the frame's copy time.
class CopyTimer {
public:
    explicit CopyTimer(CallContext &ctx) : ctx_(ctx), start_(std::chrono::steady_clock::now()) {}
    ~CopyTimer()
    {
        ctx_.host_copy_ms +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
    }
    CopyTimer(const CopyTimer &) = delete;
    CopyTimer &operator=(const CopyTimer &) = delete;

private:
    CallContext &ctx_;
    std::chrono::steady_clock::time_point start_;
};

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld **pixels)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkout_layer_pixels")) {
        return err;
    }
    if (!InSmartRender(*ctx)) {
        return ctx->Refuse("checkout_layer_pixels outside smart render");
    }
    if (!pixels) {
        return ctx->Refuse("checkout_layer_pixels without a place for the world");
    }
    const auto it = ctx->layers.find(checkout_id);
    if (it == ctx->layers.end()) {
        return ctx->Refuse("checkout_layer_pixels of checkout id " + std::to_string(checkout_id) +
                           ", which pre-render did not check out");
    }
    LayerCheckout &c = it->second;
    const bool withheld = checkout_id == 0 && ctx->nulls.input_pixels;
    if (InGpuRender(*ctx)) {
        // A GPU frame: the layer converted to float BGRA on the device.
        if (c.layer && !c.gpu_pixels) {
            c.gpu_pixels =
                GpuWorld::Upload(*ctx->gpu_device, c.layer->Crop(c.delivered), ctx->gpu_pitch_padding);
            if (!c.gpu_pixels) {
                return PF_Err_OUT_OF_MEMORY;
            }
        }
        *pixels = c.gpu_pixels && !withheld ? &c.gpu_pixels->pf() : nullptr;
    } else {
        if (c.layer && !c.pixels && !c.whole_layer) {
            const CopyTimer timer(*ctx);
            const PF_LRect whole = c.layer->LayerRect();
            if (c.delivered.left == whole.left && c.delivered.top == whole.top &&
                c.delivered.right == whole.right && c.delivered.bottom == whole.bottom) {
                c.whole_layer = c.layer->pf();
            } else {
                c.pixels = std::make_unique<World>(c.layer->Crop(c.delivered, ctx->rows));
            }
        }
        PF_EffectWorld *world = c.pixels ? &c.pixels->pf() : (c.whole_layer ? &*c.whole_layer : nullptr);
        *pixels = world && !withheld ? world : nullptr;
    }
    // Only a world handed out has to come back: effects check in what they got.
    if (*pixels) {
        ++c.checked_out;
        ctx->books.Update([](BookTotals &t) { ++t.layer_pixel_checkouts; });
    }
    return PF_Err_NONE;
}

PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkin_layer_pixels")) {
        return err;
    }
    const auto it = ctx->layers.find(checkout_id);
    if (it == ctx->layers.end() || it->second.checked_out == 0) {
        return ctx->Refuse("checkin_layer_pixels of checkout id " + std::to_string(checkout_id) +
                           ", which is not checked out");
    }
    --it->second.checked_out;
    ctx->books.Update([](BookTotals &t) { ++t.layer_pixel_checkins; });
    return PF_Err_NONE;
}

PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld **output)
{
    CallContext *ctx = CallContext::FromRef(effect_ref);
    if (!ctx) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (PF_Err err = ctx->Enter("checkout_output")) {
        return err;
    }
    if (!InSmartRender(*ctx)) {
        return ctx->Refuse("checkout_output outside smart render");
    }
    if (!output) {
        return ctx->Refuse("checkout_output without a place for the world");
    }
    if (InGpuRender(*ctx)) {
        if (!ctx->gpu_output) {
            const PF_LRect &r = ctx->output_rect;
            const A_long width = r.right - r.left;
            ctx->gpu_output =
                GpuWorld::Create(*ctx->gpu_device, width, r.bottom - r.top, width + ctx->gpu_pitch_padding,
                                 r.left, r.top, GpuFill::kClear);
            if (!ctx->gpu_output) {
                return PF_Err_OUT_OF_MEMORY;
            }
        }
        *output = &ctx->gpu_output->pf();
        return PF_Err_NONE;
    }
    if (!ctx->output) {
        const CopyTimer timer(*ctx);
        const PF_LRect &r = ctx->output_rect;
        ctx->output = std::make_unique<World>(r.right - r.left, r.bottom - r.top, ctx->format,
                                              ctx->rows.At(r.left, r.top));
        if (ctx->nulls.output_data) {
            ctx->output->pf().data = nullptr;
        }
    }
    *output = &ctx->output->pf();
    return PF_Err_NONE;
}

} // namespace

PF_PreRenderCallbacks PreRenderCallbacks()
{
    return {CheckoutLayer, GuidMixIn};
}

PF_SmartRenderCallbacks SmartRenderCallbacks()
{
    return {CheckoutLayerPixels, CheckinLayerPixels, CheckoutOutput};
}

} // namespace prismora::hostsim
