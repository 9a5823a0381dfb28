// One frame: the smart path (per request or tile: pre-render, smart render,
// the delete callback) and the plain render command.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>

#include "hostsim/call_context.h"
#include "hostsim/callbacks.h"
#include "hostsim/host.h"
#include "hostsim/host_error.h"

namespace prismora::hostsim {
namespace {

// Calls the pre-render record's delete callback exactly once, on every path.
class PreRenderRecord {
public:
    PreRenderRecord(Books &books, const PF_PreRenderOutput &out)
        : books_(books), data_(out.pre_render_data), delete_(out.delete_pre_render_data_func)
    {
        if (data_ || delete_) {
            books_.Update([](BookTotals &t) { ++t.pre_render_records; });
        }
        if (data_ && !delete_) {
            books_.Note("pre-render left data without a delete callback");
        }
    }
    ~PreRenderRecord()
    {
        if (delete_) {
            delete_(data_);
            books_.Update([](BookTotals &t) { ++t.pre_render_deletes; });
        }
    }
    PreRenderRecord(const PreRenderRecord &) = delete;
    PreRenderRecord &operator=(const PreRenderRecord &) = delete;

    void *data() const { return data_; }

private:
    Books &books_;
    void *data_;
    PF_DeletePreRenderDataFunc delete_;
};

void KeepFirstError(FrameResult &result, PF_Err err, PF_Cmd cmd, const PF_OutData &out)
{
    result.out_flags = out.out_flags;
    if (err != PF_Err_NONE && result.err == PF_Err_NONE) {
        result.err = err;
        result.failed_command = cmd;
    }
    if (out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) {
        result.message.assign(out.return_msg, strnlen(out.return_msg, sizeof(out.return_msg)));
    }
}

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::vector<PF_LRect> TileGrid(A_long width, A_long height, A_long tile_width, A_long tile_height)
{
    std::vector<PF_LRect> tiles;
    for (A_long top = 0; top < height; top += tile_height) {
        for (A_long left = 0; left < width; left += tile_width) {
            tiles.push_back(
                {left, top, std::min(left + tile_width, width), std::min(top + tile_height, height)});
        }
    }
    return tiles;
}

} // namespace

FrameResult Host::Render(const FrameJob &job)
{
    const PixelFormat format = FormatForDepth(job.bit_depth);
    if (!job.input) {
        throw HostError("a frame needs an input layer");
    }
    if (job.input->format() != format) {
        throw HostError(std::string("the input layer is ") + FormatName(job.input->format()) +
                        ", the frame renders " + FormatName(format));
    }
    if (job.params.size() != params_.size()) {
        throw HostError("the frame's parameters are not this effect's (" + std::to_string(job.params.size()) +
                        " instead of " + std::to_string(params_.size()) + ")");
    }
    if ((job.tile_width > 0) != (job.tile_height > 0) || ((job.tile_width > 0) && job.request)) {
        throw HostError("a frame is tiled (both tile sizes) or has one request, not both");
    }

    // The effect sees host copies of every layer, laid out as the options say.
    const World input = job.input->Clone(HostRows());
    ParamSet values = job.params.ResolvedFor(input.width(), input.height());
    values.SetLayer(0, &input);
    std::deque<World> layers;
    for (PF_ParamIndex i = 1; i < values.size(); ++i) {
        if (values.type(i) != PF_Param_LAYER || !values.layer(i)) {
            continue;
        }
        const World &layer = *values.layer(i);
        if (layer.format() != format) {
            throw HostError("layer parameter " + std::to_string(i) + " is " + FormatName(layer.format()) +
                            ", the frame renders " + FormatName(format));
        }
        layers.push_back(layer.Clone(HostRows().At(layer.origin_x(), layer.origin_y())));
        values.SetLayer(i, &layers.back());
    }

    return job.path == RenderPath::kLegacy ? RenderLegacy(job, values, input)
                                           : RenderSmart(job, values, input);
}

FrameResult Host::RenderSmart(const FrameJob &job, const ParamSet &values, const World &input)
{
    const PixelFormat format = FormatForDepth(job.bit_depth);
    FrameResult result;
    std::vector<PF_LRect> rects;
    World assembled;
    if (job.tile_width > 0) {
        rects = TileGrid(input.width(), input.height(), job.tile_width, job.tile_height);
        assembled = World(input.width(), input.height(), format);
    } else {
        // One request: the output world itself becomes the frame when it can.
        const PF_LRect r = job.request.value_or(input.LayerRect());
        if (IsEmptyRect(r)) {
            throw HostError("the output request is empty");
        }
        rects = {r};
    }
    for (const PF_LRect &rect : rects) {
        RenderRect(job, values, input, rect, assembled, result);
        if (result.err != PF_Err_NONE) {
            break;
        }
    }
    if (assembled.empty()) {
        const PF_LRect &r = rects.front();
        assembled = World(r.right - r.left, r.bottom - r.top, format, {0, r.left, r.top});
    }
    result.output = std::move(assembled);
    for (const TileReport &tile : result.tiles) {
        if (result.path.empty()) {
            result.path = tile.path;
        } else if (result.path.find(tile.path) == std::string::npos) {
            result.path += "; " + tile.path;
        }
    }
    return result;
}

void Host::RenderRect(const FrameJob &job, const ParamSet &values, const World &input, const PF_LRect &rect,
                      World &assembled, FrameResult &result)
{
    CallContext ctx(books_, suites_);
    ctx.threads = &threads_;
    ctx.values = &values;
    ctx.format = FormatForDepth(job.bit_depth);
    ctx.rows = HostRows();
    ctx.output_rect = rect;
    ctx.nulls = job.nulls;
    for (PF_ParamIndex i = 0; i < values.size(); ++i) {
        if (values.type(i) == PF_Param_LAYER && values.layer(i)) {
            ctx.frame_worlds.push_back(values.layer(i));
        }
    }
    PF_InData in = MakeInData(ctx, &job, values, &input);
    PF_InData *in_data = job.nulls.in_data ? nullptr : &in;

    TileReport report;
    report.rect = rect;

    PF_PreRenderInput pre_in{};
    pre_in.output_request.rect = rect;
    pre_in.output_request.field = PF_Field_FRAME;
    pre_in.output_request.channel_mask = PF_ChannelMask_ARGB;
    pre_in.bitdepth = static_cast<short>(job.bit_depth);
    // After Effects names the device in pre-render when the frame may go to it.
    const GpuOffer *gpu = job.path == RenderPath::kGpuWhenPossible ? AcceptedGpuOffer() : nullptr;
    pre_in.what_gpu = gpu ? PF_GPU_Framework_CUDA : PF_GPU_Framework_NONE;
    pre_in.device_index = gpu ? gpu->device_index : 0;
    pre_in.gpu_data = gpu ? gpu->gpu_data : nullptr;
    PF_PreRenderOutput pre_out{};
    PF_PreRenderCallbacks pre_cb = PreRenderCallbacks();
    PF_PreRenderExtra pre_extra{&pre_in, &pre_out, &pre_cb};
    PF_OutData out{};
    report.pre_render_err = Send(ctx, PF_Cmd_SMART_PRE_RENDER, in_data, &out, nullptr, nullptr,
                                 job.nulls.pre_render_extra ? nullptr : &pre_extra);
    KeepFirstError(result, report.pre_render_err, PF_Cmd_SMART_PRE_RENDER, out);
    report.result_rect = pre_out.result_rect;
    report.max_result_rect = pre_out.max_result_rect;
    report.flags = pre_out.flags;
    report.solid = pre_out.solid != 0;
    for (const auto &[id, checkout] : ctx.layers) {
        report.checkouts[id] = {checkout.index, checkout.requested, checkout.delivered};
    }

    {
        const PreRenderRecord record(books_, pre_out);
        void *pre_render_data = job.nulls.pre_render_data ? nullptr : record.data();
        bool done = false;
        if (report.pre_render_err == PF_Err_NONE) {
            report.path = "cpu";
            if (job.path == RenderPath::kGpuWhenPossible) {
                if (!gpu) {
                    report.path = "cpu: no device";
                } else if (!(pre_out.flags & PF_RenderOutputFlag_GPU_RENDER_POSSIBLE)) {
                    report.path = "cpu: no GPU render possible";
                } else {
                    done = RenderRectGpu(ctx, job, in_data, pre_in.output_request, pre_render_data, report,
                                         result);
                }
            }
        }
        if (report.pre_render_err == PF_Err_NONE && !done) {
            PF_SmartRenderInput render_in{};
            render_in.output_request = pre_in.output_request;
            render_in.bitdepth = pre_in.bitdepth;
            render_in.pre_render_data = pre_render_data;
            render_in.what_gpu = PF_GPU_Framework_NONE;
            PF_SmartRenderCallbacks render_cb = SmartRenderCallbacks();
            PF_SmartRenderExtra render_extra{&render_in, &render_cb};
            out = {};
            report.rendered = true;
            const auto start = std::chrono::steady_clock::now();
            report.render_err = Send(ctx, PF_Cmd_SMART_RENDER, in_data, &out, nullptr, nullptr,
                                     job.nulls.smart_render_extra ? nullptr : &render_extra);
            report.render_ms += MillisecondsSince(start);
            KeepFirstError(result, report.render_err, PF_Cmd_SMART_RENDER, out);
        }
        report.host_copy_ms = ctx.host_copy_ms;
        ctx.FinishFrame();
    }
    if (ctx.output && !ctx.output->empty()) {
        const bool packed = ctx.output->pf().rowbytes ==
                            ctx.output->width() * static_cast<A_long>(BytesPerPixel(ctx.output->format()));
        if (assembled.empty() && packed && ctx.output->origin_x() == rect.left &&
            ctx.output->origin_y() == rect.top) {
            assembled = std::move(*ctx.output);
        } else {
            if (assembled.empty()) {
                assembled = World(rect.right - rect.left, rect.bottom - rect.top, ctx.format,
                                  {0, rect.left, rect.top});
            }
            assembled.Paste(*ctx.output);
        }
    }
    result.tiles.push_back(std::move(report));
}

bool Host::RenderRectGpu(CallContext &ctx, const FrameJob &job, PF_InData *in_data,
                         const PF_RenderRequest &request, void *pre_render_data, TileReport &report,
                         FrameResult &result)
{
    const GpuOffer &offer = *AcceptedGpuOffer();
    gpu_device_->MakeCurrent(); // the effect renders on the thread's current device
    ctx.gpu_device = gpu_device_.get();
    ctx.gpu_device_index = offer.device_index;
    ctx.gpu_pitch_padding = options_.gpu_row_padding_pixels;

    PF_SmartRenderInput render_in{};
    render_in.output_request = request;
    render_in.bitdepth = static_cast<short>(job.bit_depth);
    render_in.pre_render_data = pre_render_data;
    render_in.gpu_data = offer.gpu_data;
    render_in.what_gpu = PF_GPU_Framework_CUDA;
    render_in.device_index = offer.device_index;
    PF_SmartRenderCallbacks render_cb = SmartRenderCallbacks();
    PF_SmartRenderExtra render_extra{&render_in, &render_cb};
    PF_OutData out{};
    report.gpu_render_sent = true;
    const auto start = std::chrono::steady_clock::now();
    report.gpu_render_err = Send(ctx, PF_Cmd_SMART_RENDER_GPU, in_data, &out, nullptr, nullptr,
                                 job.nulls.smart_render_extra ? nullptr : &render_extra);
    report.render_ms += MillisecondsSince(start);
    if (report.gpu_render_err == PF_Err_UNRECOGNIZED_PARAM_TYPE) {
        // A decline: the same pre-render record goes to the CPU render.
        report.path = "cpu: effect declined (514)";
        ctx.DropGpuWorlds();
        return false;
    }
    report.rendered = true;
    report.render_err = report.gpu_render_err;
    KeepFirstError(result, report.gpu_render_err, PF_Cmd_SMART_RENDER_GPU, out);
    report.path =
        report.gpu_render_err == PF_Err_NONE ? "gpu" : "gpu: error " + std::to_string(report.gpu_render_err);
    if (ctx.gpu_output) {
        ctx.output = std::make_unique<World>(ctx.gpu_output->Download(ctx.format));
    }
    ctx.DropGpuWorlds();
    return true;
}

FrameResult Host::RenderLegacy(const FrameJob &job, const ParamSet &values, const World &input)
{
    const PixelFormat format = FormatForDepth(job.bit_depth);
    CallContext ctx(books_, suites_);
    ctx.threads = &threads_;
    ctx.values = &values;
    ctx.format = format;
    ctx.rows = HostRows();
    ctx.nulls = job.nulls;

    World output(input.width(), input.height(), format, HostRows());
    if (job.nulls.output_data) {
        output.pf().data = nullptr;
    }
    ctx.frame_worlds.push_back(&output);
    std::vector<PF_ParamDef> records;
    std::vector<PF_ParamDef *> pointers;
    for (PF_ParamIndex i = 0; i < values.size(); ++i) {
        records.push_back(values.ValueRecord(i));
        if (values.type(i) == PF_Param_LAYER && values.layer(i)) {
            ctx.frame_worlds.push_back(values.layer(i));
        }
    }
    for (PF_ParamDef &record : records) {
        pointers.push_back(&record);
    }
    ctx.params_begin = records.data();
    ctx.params_end = records.data() + records.size();

    PF_InData in = MakeInData(ctx, &job, values, &input);
    PF_OutData out{};
    FrameResult result;
    result.path = "cpu: plain render";
    const PF_Err err = Send(ctx, PF_Cmd_RENDER, job.nulls.in_data ? nullptr : &in, &out,
                            job.nulls.params ? nullptr : pointers.data(),
                            job.nulls.output ? nullptr : &output.pf(), nullptr);
    KeepFirstError(result, err, PF_Cmd_RENDER, out);
    ctx.FinishFrame();
    result.output = output.empty() ? World(input.width(), input.height(), format) : output.Clone({0, 0, 0});
    return result;
}

} // namespace prismora::hostsim
