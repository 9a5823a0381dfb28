#include "effect/pre_render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "diag/log.h"
#include "effect/legacy_render_depth.h"
#include "model/float_image.h"
#include "model/gaussian_kernel.h"
#include "model/gpu_path.h"
#include "model/layer_checkouts.h"
#include "model/param_index.h"
#include "model/pixel_traits.h"

namespace prismora {
namespace {

// The value parameters a frame depends on, in checkout order. Groups, the input
// and nothing else are left out.
constexpr std::array<ParamIndex, 21> kCheckedOutParams = {
    kParamAmount,         kParamOpacity,       kParamRenderer,        kParamQuality,
    kParamGlassMode,      kParamCenter,        kParamGlassWidth,      kParamGlassHeight,
    kParamCornerRadius,   kParamAlphaMatte,    kParamDistortionScale, kParamEdgeRange,
    kParamEdgeVisibility, kParamBlurIntensity, kParamChromaticShift,  kParamChromaticRange,
    kParamTintMultiplier, kParamColorAmount,   kParamGlassColor,      kParamClampEdges,
    kParamDebugView};

// Parameter checkouts of one pre-render: a record table and the pointer table
// ReadEffectSettings reads, with only the checked-out entries set. Whatever is
// still out when the owner goes away (an exception) is checked in then.
class ParamCheckouts {
public:
    explicit ParamCheckouts(PF_InData &in_data) : in_data_(in_data) {}
    ParamCheckouts(const ParamCheckouts &) = delete;
    ParamCheckouts &operator=(const ParamCheckouts &) = delete;
    ~ParamCheckouts() { CheckInAll(); }

    PF_Err CheckOut(ParamIndex index)
    {
        PF_ParamDef &record = records_[index];
        record = PF_ParamDef{};
        const PF_Err err = in_data_.inter.checkout_param(in_data_.effect_ref, index, in_data_.current_time,
                                                         in_data_.time_step, in_data_.time_scale, &record);
        if (err == PF_Err_NONE) {
            table_[index] = &record;
        }
        return err;
    }

    // Checks in every checked-out parameter, in table order; the first error is returned.
    PF_Err CheckInAll()
    {
        PF_Err first = PF_Err_NONE;
        for (PF_ParamDef *&entry : table_) {
            if (entry != nullptr) {
                const PF_Err err = in_data_.inter.checkin_param(in_data_.effect_ref, entry);
                if (first == PF_Err_NONE) {
                    first = err;
                }
                entry = nullptr;
            }
        }
        return first;
    }

    PF_ParamDef *const *table() const { return table_.data(); }
    const PF_ParamDef *at(ParamIndex index) const { return table_[index]; }

private:
    PF_InData &in_data_;
    std::array<PF_ParamDef, kParamCount> records_{};
    std::array<PF_ParamDef *, kParamCount> table_{};
};

// The record handed to the host. Until Commit() the host's output record points
// at it only provisionally: any early exit, an exception included, takes it back
// and frees it, so the host never holds a dangling or half-made record.
class PendingRecord {
public:
    PendingRecord(PF_PreRenderOutput &output, std::unique_ptr<PreRenderData> data)
        : output_(output), data_(std::move(data))
    {
        output_.pre_render_data = data_.get();
        output_.delete_pre_render_data_func = &DeletePreRenderData;
    }
    PendingRecord(const PendingRecord &) = delete;
    PendingRecord &operator=(const PendingRecord &) = delete;
    ~PendingRecord()
    {
        if (data_ != nullptr) {
            output_.pre_render_data = nullptr;
            output_.delete_pre_render_data_func = nullptr;
        }
    }

    PreRenderData &data() { return *data_; }
    void Commit() { static_cast<void>(data_.release()); }

private:
    PF_PreRenderOutput &output_;
    std::unique_ptr<PreRenderData> data_;
};

// An expansion that reaches every layer's edges (the host clips it to the layer).
constexpr A_long kWholeLayer = 1073741824;

// The larger of v and 0, with NaN giving 0.
float AtLeastZero(float v)
{
    return v > 0.0f ? v : 0.0f;
}

template <typename Pixel> MatteBounds MeasureBoundsAt(const PF_EffectWorld &matte)
{
    MatteBounds bounds;
    bool any_visible = false;
    A_long left = 0;
    A_long top = 0;
    A_long right = 0;
    A_long bottom = 0;
    // A row at a time: its first and last visible pixels are all the bounds need.
    for (A_long y = 0; y < matte.height && matte.data != nullptr; ++y) {
        const Pixel *row = WorldPixelAt<Pixel>(matte, 0, y);
        A_long first = -1;
        A_long last = -1;
        bool partial = false;
        for (A_long x = 0; x < matte.width; ++x) {
            const float alpha = ClampUnit(PixelTraits<Pixel>::ToFloat(row[x].alpha)); // WorldAlphaAt
            partial = partial || 0.995f > alpha;
            if (alpha > 0.003f) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        bounds.has_partial_alpha = bounds.has_partial_alpha || partial;
        if (first < 0) {
            continue;
        }
        const A_long py = y + matte.origin_y;
        if (!any_visible) {
            left = first + matte.origin_x;
            top = py;
            right = last + matte.origin_x + 1;
            bottom = py + 1;
            any_visible = true;
        } else {
            left = std::min(left, first + matte.origin_x);
            right = std::max(right, last + matte.origin_x + 1);
            bottom = py + 1;
        }
    }
    bounds.valid = true;
    if (!any_visible) {
        left = matte.origin_x;
        top = matte.origin_y;
        right = matte.origin_x + matte.width;
        bottom = matte.origin_y + matte.height;
        bounds.has_partial_alpha = false;
    }
    bounds.left = static_cast<float>(left);
    bounds.top = static_cast<float>(top);
    bounds.right = static_cast<float>(right);
    bounds.bottom = static_cast<float>(bottom);
    bounds.mid_x = (bounds.left + bounds.right) * 0.5f;
    bounds.mid_y = (bounds.top + bounds.bottom) * 0.5f;
    bounds.half_width = std::max((bounds.right - bounds.left) * 0.5f, 1.0f);
    bounds.half_height = std::max((bounds.bottom - bounds.top) * 0.5f, 1.0f);
    return bounds;
}

bool MatteWorldUsable(const PF_ParamDef *param)
{
    return param != nullptr && param->u.ld.data != nullptr && param->u.ld.width > 0 && param->u.ld.height > 0;
}

// Moves one edge by delta, saturating at the range of the host's coordinates.
A_long MoveEdge(A_long edge, int64_t delta)
{
    const int64_t moved = static_cast<int64_t>(edge) + delta;
    return static_cast<A_long>(
        std::clamp<int64_t>(moved, std::numeric_limits<A_long>::min(), std::numeric_limits<A_long>::max()));
}

PF_RenderRequest ExpandedRequest(const PF_RenderRequest &request, A_long e)
{
    PF_RenderRequest expanded = request;
    expanded.rect.left = MoveEdge(request.rect.left, -static_cast<int64_t>(e));
    expanded.rect.top = MoveEdge(request.rect.top, -static_cast<int64_t>(e));
    expanded.rect.right = MoveEdge(request.rect.right, e);
    expanded.rect.bottom = MoveEdge(request.rect.bottom, e);
    expanded.channel_mask = PF_ChannelMask_ARGB;
    expanded.preserve_rgb_of_zero_alpha = 1;
    return expanded;
}

PF_Err CheckoutLayer(PF_InData &in_data, PF_PreRenderCallbacks &cb, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest &request)
{
    PF_CheckoutResult result{}; // not read: the frame's extent is ours to choose
    return cb.checkout_layer(in_data.effect_ref, index, checkout_id, &request, in_data.current_time,
                             in_data.time_step, in_data.time_scale, &result);
}

} // namespace

void DeletePreRenderData(void *pre_render_data)
{
    delete static_cast<PreRenderData *>(pre_render_data);
}

MatteBounds MeasureMatteBounds(const PF_EffectWorld &matte, int bit_depth)
{
    // Not the layout alone: padded rows of a matte one to three pixels wide
    // reach 16 bytes a pixel at 8 and 16 bits too, and would be read as floats.
    const bool known = bit_depth == 8 || bit_depth == 16 || bit_depth == 32;
    switch (known ? bit_depth : LegacyRenderDepth(matte)) {
    case 32:
        return MeasureBoundsAt<PF_PixelFloat>(matte);
    case 16:
        return MeasureBoundsAt<PF_Pixel16>(matte);
    default:
        return MeasureBoundsAt<PF_Pixel8>(matte);
    }
}

A_long RequestExpansion(const EffectSettings &settings, const PF_LRect &request)
{
    float r = std::max(settings.glass_width, settings.glass_height) * 0.5f;
    if (settings.glass_mode == kGlassFullFrame && request.left < request.right &&
        request.top < request.bottom) {
        // The matte shape may span the whole frame, so the panel size says nothing.
        const float width = static_cast<float>(static_cast<int64_t>(request.right) - request.left);
        const float height = static_cast<float>(static_cast<int64_t>(request.bottom) - request.top);
        r = std::max(height, width) * 0.5f;
    }
    const float blur_reach = BlurReach(BlurSigma(AtLeastZero(BlurStrength(settings))), settings.quality);
    const float m = blur_reach + r * AtLeastZero(settings.distortion_scale) +
                    AtLeastZero(settings.chromatic_shift) + 8.0f;
    // Values outside the declared ranges (a host that does not enforce them) must
    // not overflow the integer margin; NaN takes the largest one.
    constexpr auto kMaxExpansion = static_cast<float>(kWholeLayer);
    const float e = std::ceil(m);
    return e < kMaxExpansion ? static_cast<A_long>(e) : static_cast<A_long>(kMaxExpansion);
}

PF_Err PreRender(PF_InData *in_data, PF_PreRenderExtra *extra)
{
    if (in_data == nullptr || extra == nullptr || extra->input == nullptr || extra->output == nullptr ||
        extra->cb == nullptr || extra->cb->checkout_layer == nullptr ||
        in_data->inter.checkout_param == nullptr || in_data->inter.checkin_param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_PreRenderOutput &output = *extra->output;
    const PF_RenderRequest request = extra->input->output_request;

    std::unique_ptr<PreRenderData> data(new (std::nothrow) PreRenderData{});
    if (data == nullptr) {
        return PF_Err_OUT_OF_MEMORY;
    }
    PendingRecord record(output, std::move(data));
    output.solid = 0;
    output.result_rect = PF_LRect{};
    output.max_result_rect = PF_LRect{};

    ParamCheckouts params(*in_data);
    PF_Err err = PF_Err_NONE;
    for (const ParamIndex index : kCheckedOutParams) {
        err = params.CheckOut(index);
        if (err != PF_Err_NONE) {
            return err;
        }
    }

    PreRenderData &frame = record.data();
    frame.settings = ReadEffectSettings(params.table());
    const PF_ParamDef *matte_param = params.at(kParamAlphaMatte);
    frame.alpha_matte_requested =
        frame.settings.glass_mode == kGlassFullFrame && MatteWorldUsable(matte_param);

    const bool gpu_possible = GPUPathSupported(frame.settings);
    if (gpu_possible) {
        LogLine("PreRender: GPU_RENDER_POSSIBLE set");
        output.flags |= PF_RenderOutputFlag_GPU_RENDER_POSSIBLE;
    } else {
        LogLine("PreRender: GPU_RENDER_POSSIBLE not set");
    }

    if (frame.alpha_matte_requested) {
        frame.matte_bounds = MeasureMatteBounds(matte_param->u.ld, extra->input->bitdepth);
    }

    // In Full Frame the shape comes from the whole matte and may bend reads
    // across the whole input: both layers are asked for whole, so that a frame
    // does not change with how the host splits it.
    const A_long expansion =
        frame.alpha_matte_requested ? kWholeLayer : RequestExpansion(frame.settings, request.rect);
    const PF_RenderRequest expanded = ExpandedRequest(request, expansion);
    err = CheckoutLayer(*in_data, *extra->cb, kParamInput, kInputCheckoutId, expanded);
    if (err != PF_Err_NONE) {
        return err;
    }
    if (frame.alpha_matte_requested) {
        err = CheckoutLayer(*in_data, *extra->cb, kParamAlphaMatte, kMatteCheckoutId, expanded);
        if (err != PF_Err_NONE) {
            return err;
        }
    }

    output.result_rect = request.rect;
    output.max_result_rect = request.rect;
    if (gpu_possible) {
        LogLine("PreRender: GPU_RENDER_POSSIBLE confirmed after checkout");
        output.flags |= PF_RenderOutputFlag_GPU_RENDER_POSSIBLE;
    }

    // A failed check-in is a host failure like any other: no record stays behind.
    err = params.CheckInAll();
    if (err != PF_Err_NONE) {
        return err;
    }
    record.Commit();
    return PF_Err_NONE;
}

} // namespace prismora
