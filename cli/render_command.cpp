// prismora render: one image file through the effect into another.
#include <ostream>
#include <utility>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "cli/effect_session.h"
#include "cli/file_checks.h"
#include "cli/image_file.h"
#include "cli/param_values.h"
#include "cli/plugin_location.h"

namespace prismora::cli {

void RunRender(const RenderCommand &command, std::ostream &out)
{
    // Everything the user got wrong is found before any pixel is rendered.
    RefuseSameFile(command.output, command.input, "input");
    if (command.matte) {
        RefuseSameFile(command.output, *command.matte, "matte");
    }
    LoadedImage input = ReadImageFile(command.input, command.depth, command.max_memory);
    CheckImageOutputPath(command.output, input.image.depth());
    std::optional<HostImage> matte;
    if (command.matte) {
        matte = ReadImageFile(*command.matte, input.image.depth(), command.max_memory).image;
    }
    EffectSession session(FindPlugin(), hostsim::GpuDeviceChoice::kCudaIfPresent, command.threads);
    const std::map<int, PF_ParamDef> values =
        ResolveParamValues(session.catalog(), command.assignments, input.image.width(), input.image.height());

    FrameOptions options;
    options.legacy = command.legacy;
    options.tile_width = command.tile_width;
    options.tile_height = command.tile_height;
    if (command.verbose) {
        options.report = [&out](const std::string &line) { out << line << "\n"; };
    }
    const HostImage output =
        session.Render(std::move(input.image), matte ? &*matte : nullptr, values, options);
    WriteImageFile(command.output, output);
    if (command.verbose) {
        out << "wrote " << command.output.string() << " (" << output.width() << "x" << output.height() << ", "
            << output.depth() << "-bit)\n";
    }
}

} // namespace prismora::cli
