#include "cli/effect_session.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "cli/cli_error.h"
#include "hostsim/error_names.h"
#include "hostsim/host.h"

namespace prismora::cli {

namespace {

const char *CommandName(PF_Cmd cmd)
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return "PF_Cmd_ABOUT";
    case PF_Cmd_GLOBAL_SETUP:
        return "PF_Cmd_GLOBAL_SETUP";
    case PF_Cmd_PARAMS_SETUP:
        return "PF_Cmd_PARAMS_SETUP";
    case PF_Cmd_RENDER:
        return "PF_Cmd_RENDER";
    case PF_Cmd_SMART_PRE_RENDER:
        return "PF_Cmd_SMART_PRE_RENDER";
    case PF_Cmd_SMART_RENDER:
        return "PF_Cmd_SMART_RENDER";
    case PF_Cmd_SMART_RENDER_GPU:
        return "PF_Cmd_SMART_RENDER_GPU";
    case PF_Cmd_GPU_DEVICE_SETUP:
        return "PF_Cmd_GPU_DEVICE_SETUP";
    default:
        return "a command";
    }
}

[[noreturn]] void ThrowEffectError(PF_Err err, PF_Cmd cmd, const std::string &message = {})
{
    std::string what = "the effect returned " + std::to_string(err) + " (" + hostsim::SdkErrorName(err) +
                       ") to " + CommandName(cmd);
    if (!message.empty()) {
        what += ": " + message;
    }
    throw EffectError(what, err);
}

hostsim::World ToWorld(const HostImage &image)
{
    hostsim::World world(image.width(), image.height(), hostsim::FormatForDepth(image.depth()));
    for (int32_t y = 0; y < image.height(); ++y) {
        std::memcpy(world.PixelBytes(0, y), image.data() + image.row_bytes() * static_cast<size_t>(y),
                    image.row_bytes());
    }
    return world;
}

HostImage FromWorld(const hostsim::World &world)
{
    HostImage image(world.width(), world.height(), hostsim::BitDepth(world.format()));
    for (int32_t y = 0; y < image.height(); ++y) {
        std::memcpy(image.data() + image.row_bytes() * static_cast<size_t>(y), world.PixelBytes(0, y),
                    image.row_bytes());
    }
    return image;
}

void ApplyValue(hostsim::ParamSet &params, int index, const PF_ParamDef &def)
{
    switch (def.param_type) {
    case PF_Param_FLOAT_SLIDER:
        params.SetFloat(index, def.u.fs_d.value);
        break;
    case PF_Param_POPUP:
        params.SetPopup(index, def.u.pd.value);
        break;
    case PF_Param_POINT:
        params.SetPoint(index, def.u.td.x_value, def.u.td.y_value);
        break;
    case PF_Param_COLOR:
        params.SetColor(index, def.u.cd.value);
        break;
    case PF_Param_CHECKBOX:
        params.SetCheckbox(index, def.u.bd.value != 0);
        break;
    default:
        break;
    }
}

std::string RectText(const PF_LRect &r)
{
    std::ostringstream text;
    text << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return text.str();
}

void Report(const hostsim::FrameResult &result, const FrameOptions &options)
{
    if (!options.report) {
        return;
    }
    if (options.legacy) {
        options.report("frame: PF_Cmd_RENDER, " + result.path);
    }
    for (const hostsim::TileReport &tile : result.tiles) {
        std::string line = "request " + RectText(tile.rect) + ": ";
        if (tile.path.empty()) {
            line += "not rendered (pre-render returned " + std::to_string(tile.pre_render_err) + ")";
        } else {
            line += tile.path + ", result " + RectText(tile.result_rect);
        }
        options.report(line);
    }
}

// After Effects sends a frame to the GPU first unless the Renderer popup says CPU;
// the effect itself decides, in pre-render, whether the frame may go there.
hostsim::RenderPath PathFor(const hostsim::ParamSet &params, const ParamCatalog &catalog, bool legacy)
{
    if (legacy) {
        return hostsim::RenderPath::kLegacy;
    }
    const ParamDecl *renderer = catalog.find("renderer");
    if (renderer) {
        const auto cpu = std::find(renderer->choices.begin(), renderer->choices.end(), "CPU");
        if (params.def(renderer->index).u.pd.value == (cpu - renderer->choices.begin()) + 1) {
            return hostsim::RenderPath::kSmart;
        }
    }
    return hostsim::RenderPath::kGpuWhenPossible;
}

} // namespace

EffectSession::EffectSession(const std::filesystem::path &plugin, hostsim::GpuDeviceChoice gpu, int threads)
    : host_(plugin, hostsim::HostOptions{.gpu_device = gpu, .threads = threads})
{
    if (const PF_Err err = host_.GlobalSetup(); err != PF_Err_NONE) {
        ThrowEffectError(err, PF_Cmd_GLOBAL_SETUP);
    }
    if (const PF_Err err = host_.ParamsSetup(); err != PF_Err_NONE) {
        ThrowEffectError(err, PF_Cmd_PARAMS_SETUP);
    }
    // After Effects offers its GPU devices before the first frame.
    if (const PF_Err err = host_.GpuDeviceSetup(); err != PF_Err_NONE) {
        ThrowEffectError(err, PF_Cmd_GPU_DEVICE_SETUP);
    }
    std::vector<ParamDecl> decls;
    for (PF_ParamIndex index = 1; index < host_.params().size(); ++index) {
        decls.push_back(MakeParamDecl(host_.params(), index));
    }
    catalog_ = ParamCatalog(std::move(decls));
}

EffectAnswers EffectSession::answers()
{
    const hostsim::GlobalInfo &global = host_.global();
    return {host_.About(), global.my_version, global.out_flags, global.out_flags2};
}

HostImage EffectSession::Render(HostImage input, const HostImage *matte,
                                const std::map<int, PF_ParamDef> &values, const FrameOptions &options)
{
    const hostsim::World input_world = ToWorld(input);
    const int depth = input.depth();
    input = HostImage();
    hostsim::FrameJob job = host_.NewFrame(input_world, depth);
    for (const auto &[index, def] : values) {
        ApplyValue(job.params, index, def);
    }
    hostsim::World matte_world;
    if (matte != nullptr) {
        matte_world = ToWorld(*matte);
        for (const ParamDecl &decl : catalog_.all()) {
            if (decl.def.param_type == PF_Param_LAYER) {
                job.params.SetLayer(decl.index, &matte_world);
                break;
            }
        }
    }
    job.path = PathFor(job.params, catalog_, options.legacy);
    job.tile_width = options.tile_width;
    job.tile_height = options.tile_height;

    const hostsim::FrameResult result = host_.Render(job);
    Report(result, options);
    if (result.err != PF_Err_NONE) {
        ThrowEffectError(result.err, result.failed_command, result.message);
    }
    if (options.report) {
        for (const std::string &problem : host_.books().Imbalances()) {
            options.report("host books: " + problem);
        }
    }
    return FromWorld(result.output);
}

} // namespace prismora::cli
